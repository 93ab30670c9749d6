#include "app/gui_setup.h"
#include "common/atomic_file.h"
#include "gui_fixture.h"

#include <QApplication>
#include <QLocale>
#include <QTest>

class RunTest : public QObject {
    Q_OBJECT

private slots:
    void successShowsGreenAndWritesTheImage();
    void warningsShowYellow();
    void failureShowsRedAndWritesNoImage();
    void theRunCannotBeEnteredTwiceNorClosedUnderneath();
};

namespace {

struct RunFixture : GuiFixture {
    // A project "demo.DSP" in the application directory with a base file and sound A's parts.
    explicit RunFixture(std::uint32_t rate = 13021, const std::string& extraSettings = "") {
        std::string base(1000, '\x11');
        wavb::write_file(dir.path("base.DS3"), base);
        wavb::write_file(dir.path("a1.wav"), wavb::wav({.rate = rate}, std::string(300, '\x30')));
        wavb::write_file(dir.path("a2.wav"), wavb::wav({.bits = 16}, std::string(400, '\x00')));
        wavb::write_file(dir.path("a3.wav"), wavb::wav({}, std::string(100, '\x50')));
        wavb::write_file(dir.path("demo.DSP"),
                         "[WAVs]\r\nSound1AnfWAV=a1.wav\r\nSound1LoopWAV=a2.wav\r\n"
                         "Sound1EndWAV=a3.wav\r\nDSDfilename=base.DS3\r\n");
        settings("[DIRS]\nprojname=demo.DSP\n[VARS]\nlog=1\n" + extraSettings);
    }
    std::string image() const {
        std::string bytes;
        melo::read_file(dir.path("demo.DSU"), bytes);
        return bytes;
    }
};

QColor genstatusColour(Form1& form) {
    return form.controls().txt_genstatus->palette().color(QPalette::Base);
}

} // namespace

void RunTest::successShowsGreenAndWritesTheImage() {
    RunFixture f;
    auto form = f.start();
    const Form1Controls& c = form->controls();
    QTest::mouseClick(c.cmd_konvertieren, Qt::LeftButton);
    const int used = 1000 + 301 + 201 + 101 + 9;
    QCOMPARE(c.txt_genstatus->text(),
             QString("Ergebnis = OK, FLASH 32Mbit: %1 frei").arg(4194304 - used));
    QCOMPARE(genstatusColour(*form), QColor(0, 255, 0));
    // The play time still free: in the result line's tooltip, never in the log.
    QCOMPARE(c.txt_genstatus->toolTip(),
             c.txt_genstatus->text() +
                 QString("\nnoch %1 s frei bei 13021 Hz")
                     .arg(QString::number(std::floor((4194304 - used) * 10.0 / 13021) / 10, 'f', 1)
                              .replace('.', QLocale().decimalPoint())));
    QVERIFY(!c.txt_log->toPlainText().contains("s frei bei"));
    QCOMPARE(c.ProgressBar1->value(), 1000);
    QCOMPARE(c.lbl_pb1->text(), QString("100 %"));
    QCOMPARE(f.image().size(), static_cast<std::size_t>(used));
    QVERIFY(QFile::exists(f.path("demo.LOG")));
    QVERIFY(!QFile::exists(f.path("demo.DBG"))); // not in debug mode
    QCOMPARE(f.audio.log, QStringList({"file play " + f.path("ok.wav")}));
    // The views: the log view's lines, and the debug view's extra lines.
    QVERIFY(
        c.txt_log->toPlainText().startsWith("VUZOdezir-Version:  V1.01.0001\nWAV  1: a1.wav:\n"));
    QVERIFY(c.txt_log->toPlainText().endsWith("\nErgebnis = OK"));
    QVERIFY(c.txt_debug->toPlainText().contains("\na1.wav:\n00002C,000158\n"));
    // The inspection panel shows the last part decoded.
    QCOMPARE(c.txt_sndfilename->text(), f.path("a3.wav"));
    QCOMPARE(c.txt_samples->text(), QString("100"));
    QVERIFY(!form->projchanged());
}

void RunTest::warningsShowYellow() {
    RunFixture f(22050, "warnsound=0\n");
    QDir(f.env.appDir).mkdir("demo.LOG"); // the log file cannot be written
    auto form = f.start();
    QTest::mouseClick(form->controls().cmd_konvertieren, Qt::LeftButton);
    QVERIFY(form->controls().txt_genstatus->text().startsWith(
        "Ergebnis = OK mit 1 Warnung(en), FLASH 32Mbit: "));
    QCOMPARE(form->controls().txt_genstatus->cursorPosition(),
             0); // the long result shows its beginning
    QVERIFY(form->controls().txt_log->toPlainText().contains(
        "\nFehler: Logfile \"" + f.path("demo.LOG") + "\" nicht geschrieben: "));
    QCOMPARE(genstatusColour(*form), QColor(255, 255, 0));
    QVERIFY(f.audio.log.isEmpty()); // "Warntöne" clear: no sound
    QVERIFY(!f.image().empty());
}

void RunTest::failureShowsRedAndWritesNoImage() {
    RunFixture f;
    wavb::write_file(f.dir.path("a3.wav"), "not a wav file at all, but long enough to be read....");
    auto form = f.start();
    const Form1Controls& c = form->controls();
    QTest::mouseClick(c.cmd_konvertieren, Qt::LeftButton);
    QCOMPARE(c.txt_genstatus->text(), QString("Ergebnis = FEHLERHAFT"));
    QCOMPARE(genstatusColour(*form), QColor(255, 0, 0));
    QVERIFY(f.image().empty());
    QCOMPARE(f.audio.log, QStringList({"file play " + f.path("nok.wav")}));
    QCOMPARE(c.txt_sndstatus->text(),
             QString("Fehler in WAV-Datei: Kein WAV-File: 'RIFF' fehlt (#13)"));
    QVERIFY(c.txt_log->toPlainText().contains(
        "a3.wav: WAV-Filedecodierung mit Fehler 13 beendet:\n"
        "Fehler in WAV-Datei: Kein WAV-File: 'RIFF' fehlt (#13)"));
}

void RunTest::theRunCannotBeEnteredTwiceNorClosedUnderneath() {
    RunFixture f;
    auto form = f.start();
    const Form1Controls& c = form->controls();
    int resets = 0;
    bool lockedDuringRun = true;
    bool closedDuringRun = false;
    connect(c.txt_genstatus, &QLineEdit::textChanged, form.get(), [&](const QString& text) {
        if (text == "DSD/DS3-File einlesen") {
            ++resets;
        }
    });
    connect(c.ProgressBar1, &DesignProgressBar::valueChanged, form.get(), [&](int value) {
        if (value == 500) {
            lockedDuringRun = lockedDuringRun && !c.cmd_konvertieren->isEnabled() && form->busy();
            QTest::mouseClick(c.cmd_konvertieren, Qt::LeftButton); // a second click
            form->close();                                         // and a close request
            closedDuringRun = !form->isVisible();
        }
    });
    QTest::mouseClick(c.cmd_konvertieren, Qt::LeftButton);
    QCOMPARE(resets, 1);
    QVERIFY(lockedDuringRun);
    QVERIFY(!closedDuringRun);
    QVERIFY(!f.image().empty());
    QTRY_VERIFY(!form->isVisible()); // the close follows the end of the run
    QVERIFY(f.settingsFile().find("projname=demo.DSP") != std::string::npos);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    setup_application_look(app);
    RunTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "run_test.moc"
