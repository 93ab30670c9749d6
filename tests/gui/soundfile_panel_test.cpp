#include <QApplication>
#include <QTest>

#include "app/gui_setup.h"
#include "gui_fixture.h"

class SoundfilePanelTest : public QObject {
    Q_OBJECT

private slots:
    void loadDecodesTheChosenFileFully();
    void cancelledOrRejectedChoiceKeepsReadfilesMessage();
    void infoChecksTheHeaderOfTheShownFile();
    void sampleViewerFollowsTheSpinner();
};

namespace {
QColor statusColour(Form1& form) {
    return form.controls().txt_sndstatus->palette().color(QPalette::Base);
}

// The inspection panel is in view in the debug mode.
struct Fixture : GuiFixture {
    Fixture() { settings("[VARS]\ndebug=286\n[DIRS]\nsndfiledir=" + dir.root() + "\n"); }
};
} // namespace

void SoundfilePanelTest::loadDecodesTheChosenFileFully() {
    Fixture f;
    QDir(QString::fromStdString(f.dir.root())).mkdir("Sounds.x");
    const std::string path = f.dir.path("Sounds.x/horn.WAV");
    wavb::write_file(path, wavb::wav({.rate = 22050}, std::string(22050, '\x90')));
    auto window = f.start();
    Form1& form = *window;
    f.prompts.chooseFile(QString::fromStdString(path));
    // The format fields are filled as soon as the format is read, not at the end.
    QString rateMidway;
    QObject::connect(form.controls().ProgressBar2, &DesignProgressBar::valueChanged, [&](int value) {
        if (value == 500) {
            rateMidway = form.controls().txt_freq->text();
        }
    });
    QTest::mouseClick(form.controls().cmd_loadsndfile, Qt::LeftButton);
    QCOMPARE(rateMidway, QString("22050 Hz (5622)"));

    const Form1Controls& c = form.controls();
    QCOMPARE(f.prompts.requests.size(), 1);
    QCOMPARE(f.prompts.requests[0].title, QString("WAV-File öffnen"));
    QCOMPARE(f.prompts.requests[0].initialDir, QString::fromStdString(f.dir.root()));
    QCOMPARE(c.txt_sndstatus->text(), QString("WAV decodiert, Ende=22050"));
    QCOMPARE(statusColour(form), windowBackground());
    QCOMPARE(c.txt_sndfilename->text(), QString::fromStdString(path));
    QCOMPARE(form.sndfiledir(), QString::fromStdString(f.dir.path("Sounds.x/")));
    QCOMPARE(c.txt_freq->text(), QString("22050 Hz (5622)"));
    QCOMPARE(c.txt_time->text(), QString("0m 1.00s"));
    QCOMPARE(c.Text1->text(), QString(" total=22050 Bytes"));
    QCOMPARE(c.ProgressBar2->value(), 1000);
    QCOMPARE(c.lbl_pb2->text(), "100" + QLocale().decimalPoint() + "0 %"); // the user's decimal separator
    QCOMPARE(c.UpDown1->maximum(), 22050);
    QCOMPARE(c.txt_epromadr->text(), QString("1"));
    QCOMPARE(c.txt_epromwert->text(), QString("90"));
    QVERIFY(c.cmd_loadsndfile->isEnabled() && c.cmd_konvertieren->isEnabled());

    // A broken file: red, with the message of its code.
    const std::string broken = f.dir.path("broken.wav");
    wavb::write_file(broken, wavb::wav({.tag = 85}, "\x10"));
    f.prompts.chooseFile(QString::fromStdString(broken));
    QTest::mouseClick(c.cmd_loadsndfile, Qt::LeftButton);
    QCOMPARE(c.txt_sndstatus->text(), QString("Fehler in WAV-Datei: WAV ist kein PCM-Format (#9): 85=MP3"));
    QCOMPARE(statusColour(form), QColor(255, 0, 0));
}

void SoundfilePanelTest::cancelledOrRejectedChoiceKeepsReadfilesMessage() {
    Fixture f;
    auto window = f.start();
    Form1& form = *window;
    const Form1Controls& c = form.controls();
    c.UpDown1->setValue(7);
    QTest::mouseClick(c.cmd_loadsndfile, Qt::LeftButton); // cancelled
    QCOMPARE(c.txt_sndstatus->text(), QString("Fehler beim Dateiladen"));
    QCOMPARE(c.txt_epromadr->text(), QString("7")); // the viewer was not reset

    f.prompts.chooseFile(QString::fromStdString(f.dir.path("horn.mp3")), 2);
    QTest::mouseClick(c.cmd_loadsndfile, Qt::LeftButton);
    QCOMPARE(c.txt_sndstatus->text(), QString("Falscher Dateityp  2"));
    f.prompts.chooseFile(QString::fromStdString(f.dir.path("horn")), 2);
    QTest::mouseClick(c.cmd_loadsndfile, Qt::LeftButton);
    QCOMPARE(c.txt_sndstatus->text(), QString("Falscher Dateityp  3"));
    QCOMPARE(form.sndfiledir(), QString::fromStdString(f.dir.root())); // unchanged
}

void SoundfilePanelTest::infoChecksTheHeaderOfTheShownFile() {
    Fixture f;
    const std::string first = f.dir.path("a.wav");
    const std::string second = f.dir.path("b.wav");
    wavb::write_file(first, wavb::wav({}, std::string(300, '\x70')));
    wavb::write_file(second, wavb::wav({.channels = 2, .rate = 44100, .bits = 16}, std::string(4000, '\0')));
    auto window = f.start();
    Form1& form = *window;
    const Form1Controls& c = form.controls();
    f.prompts.chooseFile(QString::fromStdString(first));
    QTest::mouseClick(c.cmd_loadsndfile, Qt::LeftButton);

    c.txt_sndfilename->setText(QString::fromStdString(second));
    QTest::mouseClick(c.cmd_testsndfile, Qt::LeftButton);
    QCOMPARE(c.txt_samples->text(), QString("1000"));
    QCOMPARE(c.txt_kanaele->text(), QString("2"));
    // The end of the samples still held from the full decode of the first file.
    QCOMPARE(c.txt_sndstatus->text(), QString("WAV decodiert, Ende=300"));

    c.txt_sndfilename->setText("");
    QTest::mouseClick(c.cmd_testsndfile, Qt::LeftButton);
    QCOMPARE(c.txt_sndstatus->text(), QString("Fehler in WAV-Datei: File nicht gefunden (#3)"));
    QCOMPARE(statusColour(form), QColor(255, 0, 0));
    QCOMPARE(c.txt_freq->text(), QString());
}

void SoundfilePanelTest::sampleViewerFollowsTheSpinner() {
    Fixture f;
    const std::string path = f.dir.path("ramp.wav");
    std::string ramp;
    for (int i = 0; i < 40; ++i) {
        ramp += static_cast<char>(10 + i);
    }
    wavb::write_file(path, wavb::wav({}, ramp));
    auto window = f.start();
    Form1& form = *window;
    const Form1Controls& c = form.controls();
    QCOMPARE(c.txt_epromadr->text(), QString("0")); // an empty field shows index 0
    QCOMPARE(c.UpDown1->maximum(), 10);             // before any decode
    f.prompts.chooseFile(QString::fromStdString(path));
    QTest::mouseClick(c.cmd_loadsndfile, Qt::LeftButton);

    c.txt_epromadr->setText("&H10");
    QCOMPARE(c.txt_epromadr->text(), QString("16"));
    QCOMPARE(c.txt_epromwert->text(), QString("19")); // sample 16 = 10 + 15 = 0x19
    QTest::mouseClick(c.UpDown1->findChild<QToolButton*>("UpDown1_up"), Qt::LeftButton);
    QCOMPARE(c.txt_epromadr->text(), QString("17"));
    c.txt_epromadr->setText("1000");
    QCOMPARE(c.txt_epromadr->text(), QString("40"));
    QCOMPARE(c.txt_epromwert->text(), QString("31"));
    c.txt_epromadr->setText("12xyz");
    QCOMPARE(c.txt_epromadr->text(), QString("12"));
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    setup_application_look(app);
    SoundfilePanelTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "soundfile_panel_test.moc"
