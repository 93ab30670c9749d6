#include "app/gui_setup.h"
#include "gui_fixture.h"

#include <QApplication>
#include <QTest>

class ProjectTest : public QObject {
    Q_OBJECT

private slots:
    void labelsAndPicturesAssignTheirPart();
    void wrongTypeAndCancelChangeNothing();
    void newProjectIsSavedFromTheCurrentFields();
    void existingProjectReplacesAllFields();
    void changedProjectIsOfferedForSavingBeforeAnotherOpens();
    void changedFlagShowsYellow();
    void exitPromptAnswers();
    void failedSaveKeepsTheFlagAndSaysWhy();
    void anyNameSurvivesASaveAndNamesWithLineBreaksAreRefused();
    void aProjectThatCannotBeCreatedLeavesThePreviousOne();
};

namespace {
const QColor kYellow(255, 255, 0);

QColor nameColour(Form1& form) {
    return form.controls().txt_projektfile->palette().color(QPalette::Base);
}
} // namespace

void ProjectTest::labelsAndPicturesAssignTheirPart() {
    GuiFixture f;
    auto form = f.start();
    const Form1Controls& c = form->controls();
    f.prompts.chooseFile(f.path("snd/Horn.Wav"));
    QTest::mouseClick(c.lab_userend[2], Qt::LeftButton);
    QCOMPARE(c.txt_userend[2]->text(), QString("Horn.Wav")); // bare name, letters unchanged
    QVERIFY(form->projchanged());
    QCOMPARE(f.prompts.requests.last().title, QString("WAV-File auswählen"));
    QCOMPARE(f.prompts.requests.last().initialDir, form->projfiledir());

    const std::pair<int, QLineEdit*> pictures[] = {
        {7, c.txt_userloop[2]}, {11, c.txt_userend[3]}, {0, c.txt_useranf[0]}};
    for (const auto& [index, field] : pictures) {
        f.prompts.chooseFile(f.path("p" + std::to_string(index) + ".wav"));
        QTest::mouseClick(c.Picture1[index], Qt::LeftButton);
        QCOMPARE(field->text(), QString("p%1.wav").arg(index));
    }
    // ".WAV" anywhere in the path counts, also in a directory's name.
    f.prompts.chooseFile(f.path("takes.wav.d/notes.txt"));
    QTest::mouseClick(c.lab_userloop[3], Qt::LeftButton);
    QCOMPARE(c.txt_userloop[3]->text(), QString("notes.txt"));
    f.prompts.chooseFile(f.path("x/base.ds3"));
    QTest::mouseClick(c.pic_diskloadDSD, Qt::LeftButton);
    QCOMPARE(c.txt_DSDfilename->text(), QString("base.ds3"));
    QCOMPARE(f.prompts.requests.last().defaultSuffix, QString("DS3"));
}

void ProjectTest::wrongTypeAndCancelChangeNothing() {
    GuiFixture f;
    auto form = f.start();
    const Form1Controls& c = form->controls();
    QTest::mouseClick(c.lab_useranf[1], Qt::LeftButton); // cancelled
    QCOMPARE(c.txt_useranf[1]->text(), QString());
    QVERIFY(!form->projchanged());

    f.prompts.chooseFile(f.path("notes.txt"), 2);
    QTest::mouseClick(c.lab_useranf[1], Qt::LeftButton);
    QCOMPARE(f.prompts.messages.last(), QString("Fehler beim WAV-Laden: keine WAV-Datei"));
    QCOMPARE(form->fileext(), QString("2"));
    QVERIFY(!form->projchanged());

    f.prompts.chooseFile(f.path("base.bin"), 2);
    QTest::mouseClick(c.pic_diskloadDSD, Qt::LeftButton);
    QCOMPARE(f.prompts.messages.last(), QString("Fehler beim DSD/DS3-Laden: keine DSD/DS3-Datei"));
    f.prompts.chooseFile(f.path("readme.txt"), 2);
    QTest::mouseClick(c.Picture2, Qt::LeftButton);
    QCOMPARE(f.prompts.messages.size(), 3);
    QCOMPARE(c.txt_projektfile->text(), QString("noproject.dsp"));
}

void ProjectTest::newProjectIsSavedFromTheCurrentFields() {
    GuiFixture f;
    auto form = f.start();
    const Form1Controls& c = form->controls();
    c.txt_useranf[0]->setText("a.wav");
    c.txt_userloop[0]->setText("(leer)");
    QDir(f.env.appDir).mkdir("proj");
    f.prompts.chooseFile(f.path("proj/Neu"));
    f.prompts.answer(Prompts::Answer::No); // not into the old project: into the new one
    QTest::mouseClick(c.Picture2, Qt::LeftButton);
    QCOMPARE(f.prompts.requests.last().title, QString("Projektfile auswählen"));
    QVERIFY(!f.prompts.requests.last().mustExist);
    QCOMPARE(c.txt_projektfile->text(), QString("Neu.DSP"));
    QCOMPARE(c.txt_projektdir->text(), f.path("proj"));
    QVERIFY(!form->projchanged());
    QCOMPARE(c.txt_useranf[0]->text(), QString("a.wav"));
    QCOMPARE(c.txt_userloop[0]->text(), QString("(leer)"));
    QCOMPARE(melo::load_project(f.dir.path("proj/Neu.DSP")).fields.useranf[0], "a.wav");
}

void ProjectTest::existingProjectReplacesAllFields() {
    GuiFixture f;
    wavb::write_file(f.dir.path("old.dsp"),
                     "[WAVs]\r\nSound2LoopWAV=b.wav\r\nDSDfilename=x.DSD\r\n");
    auto form = f.start();
    const Form1Controls& c = form->controls();
    f.prompts.chooseFile(f.path("old.dsp"));
    QTest::mouseClick(c.Picture2, Qt::LeftButton);
    QVERIFY(f.prompts.questions.isEmpty()); // a clean project is left without a question
    QCOMPARE(c.txt_userloop[1]->text(), QString("b.wav"));
    QCOMPARE(c.txt_DSDfilename->text(), QString("x.DSD"));
    QVERIFY(!form->projchanged());
}

void ProjectTest::changedProjectIsOfferedForSavingBeforeAnotherOpens() {
    GuiFixture f;
    wavb::write_file(f.dir.path("other.dsp"), "[WAVs]\r\nSound2LoopWAV=b.wav\r\n");
    f.settings("[DIRS]\nprojname=mine.dsp\n");
    auto form = f.start();
    const Form1Controls& c = form->controls();
    c.txt_useranf[0]->setText("unsaved.wav");
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form.get()));

    // Cancel: no dialog, every edit and the changed state stay.
    f.prompts.answer(Prompts::Answer::Cancel);
    QTest::keyClick(form.get(), Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(f.prompts.questions, QStringList("Warnung: Projekt geändert: speichern?"));
    QVERIFY(f.prompts.requests.isEmpty());
    QCOMPARE(c.txt_useranf[0]->text(), QString("unsaved.wav"));
    QCOMPARE(c.txt_projektfile->text(), QString("mine.dsp"));
    QVERIFY(form->projchanged());

    // Ja: the edits are saved, then the other project opens.
    f.prompts.answer(Prompts::Answer::Yes);
    f.prompts.chooseFile(f.path("other.dsp"));
    QTest::mouseClick(c.Picture2, Qt::LeftButton);
    QCOMPARE(melo::load_project(f.dir.path("mine.dsp")).fields.useranf[0], "unsaved.wav");
    QCOMPARE(c.txt_userloop[1]->text(), QString("b.wav"));
    QCOMPARE(c.txt_useranf[0]->text(), QString());

    // Nein: the edits are dropped as the user said.
    c.txt_useranf[3]->setText("dropped.wav");
    f.prompts.answer(Prompts::Answer::No);
    f.prompts.chooseFile(f.path("mine.dsp"));
    QTest::mouseClick(c.Picture2, Qt::LeftButton);
    QCOMPARE(c.txt_useranf[0]->text(), QString("unsaved.wav"));
    QCOMPARE(melo::load_project(f.dir.path("other.dsp")).fields.useranf[3], "");
    QVERIFY(!form->projchanged());
}

void ProjectTest::changedFlagShowsYellow() {
    GuiFixture f;
    auto form = f.start();
    QTRY_COMPARE(nameColour(*form), windowBackground());
    QTest::keyClicks(form->controls().txt_projektfile, "x");
    QVERIFY(form->projchanged());
    QTRY_COMPARE(nameColour(*form), kYellow);
    // Saving writes a file of the typed name and clears the flag.
    QTest::mouseClick(form->controls().Picture3, Qt::LeftButton);
    QVERIFY(QFile::exists(f.path("noproject.dspx")));
    QTRY_COMPARE(nameColour(*form), windowBackground());
}

void ProjectTest::exitPromptAnswers() {
    GuiFixture f;
    auto form = f.start();
    const Form1Controls& c = form->controls();
    QTest::mouseClick(c.cmd_EXIT, Qt::LeftButton); // clean: closes at once
    QVERIFY(f.prompts.questions.isEmpty());
    QVERIFY(!form->isVisible());

    form = f.start();
    form->controls().txt_DSDfilename->setText("b.DSD");
    f.prompts.answer(Prompts::Answer::Cancel);
    QTest::mouseClick(form->controls().cmd_EXIT, Qt::LeftButton);
    QCOMPARE(f.prompts.questions.last(), QString("Warnung: Projekt geändert: speichern?"));
    QVERIFY(form->isVisible());
    QVERIFY(form->projchanged());

    f.prompts.answer(Prompts::Answer::No);
    QTest::mouseClick(form->controls().cmd_EXIT, Qt::LeftButton);
    QVERIFY(!form->isVisible());
    QVERIFY(!QFile::exists(f.path("noproject.dsp")));

    form = f.start();
    form->controls().txt_DSDfilename->setText("c.DSD");
    f.prompts.answer(Prompts::Answer::Yes);
    QTest::mouseClick(form->controls().cmd_EXIT, Qt::LeftButton);
    QVERIFY(!form->isVisible());
    QCOMPARE(melo::load_project(f.dir.path("noproject.dsp")).fields.dsdfilename, "c.DSD");
}

void ProjectTest::failedSaveKeepsTheFlagAndSaysWhy() {
    GuiFixture f;
    auto form = f.start();
    form->controls().txt_projektfile->setText(""); // an empty name
    QVERIFY(!form->saveProject());
    QVERIFY(form->projchanged());
    QVERIFY(f.prompts.messages.last().contains(f.env.appDir + QDir::separator()));

    form->controls().txt_projektfile->setText("locked.dsp");
    wavb::write_file(f.dir.path("locked.dsp"), "[WAVs]\r\n");
    QFile::setPermissions(f.path("locked.dsp"), QFile::ReadOwner);
    f.prompts.answer(Prompts::Answer::Yes);
    QTest::mouseClick(form->controls().cmd_EXIT, Qt::LeftButton);
    QVERIFY(f.prompts.messages.last().contains("locked.dsp"));
    QVERIFY(form->isVisible()); // not stored, so the window stays open
    QVERIFY(form->projchanged());
}

void ProjectTest::anyNameSurvivesASaveAndNamesWithLineBreaksAreRefused() {
    GuiFixture f;
    QDir(f.env.appDir).mkdir("Звук");
    f.settings("[DIRS]\nprojfiledir=" + f.dir.path("Звук") + "\nprojname=日本.DSP\n");
    auto form = f.start();
    const Form1Controls& c = form->controls();
    QCOMPARE(c.txt_projektdir->text(), f.path("Звук"));
    f.prompts.chooseFile(f.path("Звук/日本.wav"));
    QTest::mouseClick(c.lab_useranf[0], Qt::LeftButton);
    QVERIFY(form->saveProject());
    QVERIFY(!form->projchanged());
    form->close();
    form = f.start(); // the next session finds the folder, the project and the name again
    QCOMPARE(form->controls().txt_projektdir->text(), f.path("Звук"));
    QCOMPARE(form->controls().txt_useranf[0]->text(), QString("日本.wav"));

    // A line break in a chosen name would split the project file's line: refused.
    f.prompts.chooseFile(f.path("x\nDSDfilename=y.wav"));
    QTest::mouseClick(form->controls().lab_userloop[0], Qt::LeftButton);
    QCOMPARE(f.prompts.messages.last(),
             QString("Fehler beim WAV-Laden: Der Dateiname enthält einen Zeilenumbruch und kann "
                     "nicht übernommen werden."));
    QCOMPARE(form->controls().txt_userloop[0]->text(), QString());
    QVERIFY(!form->projchanged());
}

void ProjectTest::aProjectThatCannotBeCreatedLeavesThePreviousOne() {
    GuiFixture f;
    wavb::write_file(f.dir.path("old.dsp"), "[WAVs]\r\nDSDfilename=x.DSD\r\n");
    f.settings("[DIRS]\nprojname=old.dsp\n");
    auto form = f.start();
    const Form1Controls& c = form->controls();
    c.txt_useranf[0]->setText("edited.wav");
    // A file where the new project's folder should be: nothing can be created there.
    wavb::write_file(f.dir.path("locked"), "");
    f.prompts.chooseFile(f.path("locked/Neu.DSP"));
    f.prompts.answer(Prompts::Answer::No); // the edits are to go into the new project
    QTest::mouseClick(c.Picture2, Qt::LeftButton);
    QVERIFY(!f.prompts.messages.isEmpty());
    QVERIFY(f.prompts.messages.last().startsWith(
        "Fehler beim Projekt-Anlegen: Das neue Projekt konnte nicht "
        "angelegt werden:\n" +
        f.path("locked/Neu.DSP")));
    QCOMPARE(c.txt_projektfile->text(), QString("old.dsp"));
    QCOMPARE(c.txt_projektdir->text(), f.env.appDir);
    QCOMPARE(form->projfiledir(), f.env.appDir);
    QCOMPARE(c.txt_useranf[0]->text(), QString("edited.wav"));
    QVERIFY(form->projchanged());
    form->close();
    QVERIFY(f.settingsFile().find("projname=old.dsp\r\n") != std::string::npos);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    setup_application_look(app);
    ProjectTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "project_test.moc"
