// The fields' state where it is: marks and tool tips at each file field as the user edits,
// the offer to convert a file the module would play wrongly, every problem in the failed
// run's result line, and the last run's results marked as old once the project changes.

#include "app/field_markers.h"
#include "app/gui_setup.h"
#include "gui_fixture.h"
#include "tools/convert_dialog.h"

#include <QAction>
#include <QApplication>
#include <QLocale>
#include <QTest>

class FieldStateTest : public QObject {
    Q_OBJECT

private slots:
    void everyFieldShowsItsProblemAsTheUserEdits();
    void aFailedRunListsEveryProblemTheFieldsShow();
    void assigningAFileOfAnotherRateOffersTheConversion();
    void aTextFileNamedWavIsAssignedOnlyWhenTheUserSaysSo();
    void resultsOfTheLastRunAreMarkedOldOnceTheProjectChanges();
};

namespace {

// A project "tag.DSP" with a base file, a good part and the kinds of file a day brings.
struct DayFixture : GuiFixture {
    DayFixture() {
        wavb::write_file(dir.path("base.DS3"), std::string(1000, '\x11'));
        wavb::write_file(dir.path("motor.wav"), wavb::wav({}, std::string(300, '\x30')));
        wavb::write_file(dir.path("ansage.wav"),
                         wavb::wav({.rate = 22050}, std::string(300, '\x30')));
        wavb::write_file(dir.path("notiz.wav"), "kein Audio\n");
        wavb::write_file(dir.path("tag.DSP"),
                         "[WAVs]\r\nSound1AnfWAV=motor.wav\r\nDSDfilename=base.DS3\r\n");
        settings("[DIRS]\nprojname=tag.DSP\n");
    }
};

QAction* mark(QLineEdit* field) {
    return field->findChild<QAction*>(field->objectName() + "_mark");
}

bool marked(QLineEdit* field) {
    return mark(field) != nullptr && mark(field)->isVisible();
}

} // namespace

void FieldStateTest::everyFieldShowsItsProblemAsTheUserEdits() {
    DayFixture f;
    wavb::write_file(f.dir.path("lang.wav"), wavb::wav({}, std::string(4193000, '\x30')));
    auto form = f.start();
    const Form1Controls& c = form->controls();
    const QRect before = c.txt_userloop[0]->geometry();
    QVERIFY(!marked(c.txt_useranf[0]) && !marked(c.txt_DSDfilename));

    // Typed names are checked once the typing pauses.
    c.txt_userloop[0]->setText("fehlt.wav");
    c.txt_userend[0]->setText("notiz.wav");
    c.txt_useranf[1]->setText("ansage.wav");
    QTRY_VERIFY(marked(c.txt_userloop[0]));
    QCOMPARE(c.txt_userloop[0]->toolTip(), "„fehlt.wav“ fehlt im Projektordner " + f.env.appDir);
    QVERIFY(marked(c.txt_userend[0]));
    QCOMPARE(c.txt_userend[0]->toolTip(),
             QString("„notiz.wav“ ist keine WAV-Datei, die das Modul liest: File zu kurz (#1)"));
    QVERIFY(marked(c.txt_useranf[1]));
    QCOMPARE(c.txt_useranf[1]->toolTip(), QString("„ansage.wav“ hat 22050 Hz statt 13021 Hz: das "
                                                  "Modul spielt den Teil langsamer und tiefer"));
    QVERIFY(mark(c.txt_userloop[0])->icon().cacheKey() !=
            mark(c.txt_useranf[1])->icon().cacheKey());
    QCOMPARE(c.txt_userloop[0]->geometry(), before); // the mark lies inside the field

    // A part that the flash no longer holds behind the ones before it.
    c.txt_userend[3]->setText("lang.wav");
    c.txt_userloop[3]->setText("motor.wav");
    QTRY_VERIFY(marked(c.txt_userend[3]));
    QVERIFY(c.txt_userend[3]->toolTip().startsWith("„lang.wav“ passt nicht mehr in den Flash: 322" +
                                                   QString(QLocale().decimalPoint())));

    // Mended, the mark goes.
    c.txt_userloop[0]->setText("motor.wav");
    QTRY_VERIFY(!marked(c.txt_userloop[0]));
    QCOMPARE(c.txt_userloop[0]->toolTip(), QString());
}

void FieldStateTest::aFailedRunListsEveryProblemTheFieldsShow() {
    DayFixture f;
    auto form = f.start();
    const Form1Controls& c = form->controls();
    c.txt_DSDfilename->setText("");
    c.txt_userloop[0]->setText("fehlt.wav");
    c.txt_userend[1]->setText("notiz.wav");
    form->cmd_konvertieren_Click();
    QCOMPARE(c.txt_genstatus->text(), QString("Ergebnis = FEHLERHAFT"));
    // The log names the first failure only, as the run always did; the tool tip names all.
    QVERIFY(!c.txt_log->toPlainText().contains("notiz.wav"));
    QCOMPARE(c.txt_genstatus->toolTip(),
             "Ergebnis = FEHLERHAFT\n\nIn den Feldern:\n"
             "Basis-Soundfile: Kein Basis-Soundfile gewählt: „DSU-File erzeugen“ braucht eine "
             "DSD/DS3-Datei\n"
             "Sound A (200) Loop: „fehlt.wav“ fehlt im Projektordner " +
                 f.env.appDir +
                 "\n"
                 "Sound B (201) Ende: „notiz.wav“ ist keine WAV-Datei, die das Modul liest: File "
                 "zu kurz (#1)");
}

void FieldStateTest::assigningAFileOfAnotherRateOffersTheConversion() {
    DayFixture f;
    auto form = f.start();
    const Form1Controls& c = form->controls();
    f.prompts.chooseFile(f.path("ansage.wav"));
    f.prompts.answer(Prompts::Answer::No);
    QTest::mouseClick(c.Picture1[1], Qt::LeftButton);
    QVERIFY2(
        f.prompts.questions.last().startsWith("Umwandeln und zuweisen: „ansage.wav“ ist WAV") &&
            f.prompts.questions.last().contains("22050 Hz") &&
            f.prompts.questions.last().contains("nicht die 13021 Hz, die das Modul spielt"),
        qPrintable(f.prompts.questions.last()));
    QCOMPARE(c.txt_userloop[0]->text(), QString("ansage.wav")); // "Nein": assigned as it is
    QTRY_VERIFY(marked(c.txt_userloop[0]));

    f.prompts.chooseFile(f.path("ansage.wav"));
    f.prompts.answer(Prompts::Answer::Yes);
    QTest::mouseClick(c.Picture1[2], Qt::LeftButton);
    auto* dialog = form->findChild<ConvertDialog*>();
    QVERIFY(dialog && dialog->isVisible());
    QCOMPARE(c.txt_userend[0]->text(), QString()); // the conversion assigns its output
}

void FieldStateTest::aTextFileNamedWavIsAssignedOnlyWhenTheUserSaysSo() {
    DayFixture f;
    auto form = f.start();
    const Form1Controls& c = form->controls();
    f.prompts.chooseFile(f.path("notiz.wav"));
    f.prompts.answer(Prompts::Answer::No);
    QTest::mouseClick(c.lab_userend[2], Qt::LeftButton);
    QCOMPARE(f.prompts.questions.last(),
             QString("Fehler beim WAV-Laden: „notiz.wav“ ist keine WAV-Datei, die das Modul liest: "
                     "File zu kurz (#1)\n\nTrotzdem zuweisen?"));
    QCOMPARE(c.txt_userend[2]->text(), QString());
    QVERIFY(!form->projchanged());
    f.prompts.chooseFile(f.path("notiz.wav"));
    f.prompts.answer(Prompts::Answer::Yes);
    QTest::mouseClick(c.lab_userend[2], Qt::LeftButton);
    QCOMPARE(c.txt_userend[2]->text(), QString("notiz.wav"));
    QTRY_VERIFY(marked(c.txt_userend[2]));
}

void FieldStateTest::resultsOfTheLastRunAreMarkedOldOnceTheProjectChanges() {
    DayFixture f;
    auto form = f.start();
    const Form1Controls& c = form->controls();
    const QColor normal = c.txt_log->palette().color(QPalette::Text);
    form->cmd_konvertieren_Click();
    const QString result = c.txt_genstatus->text();
    QVERIFY(result.startsWith("Ergebnis = OK"));
    QVERIFY(!c.txt_genstatus->toolTip().startsWith("(vorheriger Lauf)"));

    c.txt_useranf[2]->setText("motor.wav");
    QCOMPARE(c.txt_genstatus->text(), result); // still there to read, but marked as old
    QVERIFY(c.txt_genstatus->toolTip().startsWith("(vorheriger Lauf) " + result));
    QVERIFY(c.txt_log->toolTip().startsWith("(vorheriger Lauf)"));
    QVERIFY(c.txt_log->palette().color(QPalette::Text) != normal);
    QVERIFY(c.txt_genstatus->palette().color(QPalette::Text) != normal);

    // The next run is current again.
    form->cmd_konvertieren_Click();
    QVERIFY(!c.txt_genstatus->toolTip().startsWith("(vorheriger Lauf)"));
    QCOMPARE(c.txt_log->toolTip(), QString());
    QCOMPARE(c.txt_log->palette().color(QPalette::Text), normal);

    // Another project makes the results old as well.
    f.prompts.answer(Prompts::Answer::No); // the edit above is not to be saved
    f.prompts.chooseFile(f.path("tag.DSP"));
    QTest::mouseClick(c.Picture2, Qt::LeftButton);
    QVERIFY(c.txt_genstatus->toolTip().startsWith("(vorheriger Lauf)"));
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    setup_application_look(app);
    FieldStateTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "field_state_test.moc"
