#include <QApplication>
#include <QTest>

#include "app/gui_setup.h"
#include "app/app_environment.h"
#include "gui_fixture.h"

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void noSettingsFileStartsWithDefaultsAndWritesThemBack();
    void debugModeIsATextComparison();
    void debugModeChecksTheLastInspectedFile();
    void listenAndCheckBoxSettings();
    void badNumbersTakeTheFailurePath_data();
    void badNumbersTakeTheFailurePath();
    void closeControlWritesSettingsWithoutPrompt();
    void settingsGoWhereTheyCanBeWrittenAndAFailureIsTold();
};

void StartupTest::noSettingsFileStartsWithDefaultsAndWritesThemBack() {
    GuiFixture f;
    auto form = f.start();
    QVERIFY(form);
    const Form1Controls& c = form->controls();
    QCOMPARE(form->height(), form1_metrics::normalHeight());
    QCOMPARE(c.txt_projektfile->text(), QString("noproject.dsp"));
    QCOMPARE(c.txt_projektdir->text(), f.env.appDir);
    QCOMPARE(c.chk_soundon->state(), 1);
    QCOMPARE(c.chk_log_enable->state(), 0);
    QVERIFY(!c.cmd_listen[0]->isVisible());
    QVERIFY(!form->projchanged());
    // A project the settings name but that does not exist loads as empty fields.
    QCOMPARE(c.txt_useranf[0]->text(), QString());
    QVERIFY(!QFile::exists(f.path("noproject.dsp")));
    QCOMPARE(c.txt_epromadr->text(), QString("0"));
    QCOMPARE(c.lbl_pb1->text(), QString("0 %"));

    form->close();
    QCOMPARE(f.settingsFile(), "[DIRS]\r\nprojfiledir=" + f.dir.root() +
                                   "\r\nfileext=1\r\nprojname=noproject.dsp\r\n"
                                   "[VARS]\r\nwarnsound=1\r\nlog=0\r\n");
}

void StartupTest::debugModeIsATextComparison() {
    GuiFixture f;
    f.settings("[VARS]\ndebug=0286\n");
    QCOMPARE(f.start()->height(), form1_metrics::normalHeight());
    f.settings("[VARS]\ndebug=286\n");
    QCOMPARE(f.start()->height(), form1_metrics::debugHeight());
}

void StartupTest::debugModeChecksTheLastInspectedFile() {
    GuiFixture f;
    wavb::write_file(f.dir.path("last.wav"), wavb::wav({}, "\x10\x20"));
    f.settings("[VARS]\ndebug=286\n[DIRS]\nlastvalidsndfile=" + f.dir.path("last.wav") + "\nsndfiledir=/keep/\n");
    auto form = f.start();
    QCOMPARE(form->controls().txt_sndfilename->text(), f.path("last.wav"));
    QCOMPARE(form->controls().txt_samples->text(), QString("2"));

    // Inspecting another directory does not change the stored "sndfiledir".
    QDir(f.env.appDir).mkdir("other");
    wavb::write_file(f.dir.path("other/x.wav"), wavb::wav({}, "\x10"));
    f.prompts.chooseFile(f.path("other/x.wav"));
    QTest::mouseClick(form->controls().cmd_loadsndfile, Qt::LeftButton);
    form->close();
    const std::string settings = f.settingsFile();
    QVERIFY(settings.find("sndfiledir=/keep/\r\n") != std::string::npos);
    QVERIFY(settings.find("lastvalidsndfile=" + f.path("other/x.wav").toStdString() + "\r\n") != std::string::npos);

    // A file that no longer exists: the panel shows the failure, start-up goes on.
    GuiFixture g;
    g.settings("[VARS]\ndebug=286\n[DIRS]\nlastvalidsndfile=" + g.dir.path("gone.wav") + "\n");
    auto second = g.start();
    QVERIFY(second);
    QCOMPARE(second->controls().txt_sndstatus->text(), QString("Fehler in WAV-Datei: 3"));
    QCOMPARE(second->controls().txt_sndfilename->text(), QString());
}

void StartupTest::listenAndCheckBoxSettings() {
    GuiFixture f;
    f.settings("[VARS]\nlisten=1\nwarnsound=2\nlog=1\n");
    auto form = f.start();
    QVERIFY(form->controls().cmd_listen[3]->isVisible());
    QCOMPARE(form->controls().chk_soundon->checkState(), Qt::PartiallyChecked);
    QCOMPARE(form->controls().chk_log_enable->state(), 1);
    form->close();
    QVERIFY(f.settingsFile().find("warnsound=2\r\n") != std::string::npos);
}

void StartupTest::badNumbersTakeTheFailurePath_data() {
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("failure");
    QTest::newRow("listen word") << "listen=abc" << "13/Typen unverträglich";
    QTest::newRow("listen empty") << "listen=" << "13/Typen unverträglich";
    QTest::newRow("listen huge") << "listen=99999999999" << "6/Überlauf";
    QTest::newRow("warnsound 3") << "warnsound=3" << "380/Unzulässiger Eigenschaftswert";
    QTest::newRow("log word") << "log=ja" << "13/Typen unverträglich";
}

void StartupTest::badNumbersTakeTheFailurePath() {
    QFETCH(QString, settings);
    QFETCH(QString, failure);
    GuiFixture f;
    f.settings("[VARS]\n" + settings.toStdString() + "\n");
    const std::string before = f.settingsFile();
    {
        Form1 form(f.env);
        const std::optional<StartupFailure> result = form.startUp();
        QVERIFY(result);
        QCOMPARE(startupFailureText(*result),
                 "Direct Sound Objekt konnte nicht initialisiert werden.\r\n"
                 "Prüfe ob eine SoundKarte installiert ist und ob sie funktioniert.\r" + failure);
        form.close(); // even a close writes nothing after a failed start
    }
    QCOMPARE(f.settingsFile(), before);
}

void StartupTest::closeControlWritesSettingsWithoutPrompt() {
    GuiFixture f;
    auto form = f.start();
    form->controls().txt_projektfile->setText("typed.dsp");
    QVERIFY(form->projchanged());
    form->close(); // the window's own close control: no save prompt
    QVERIFY(f.prompts.questions.isEmpty());
    QVERIFY(!QFile::exists(f.path("typed.dsp")));
    QVERIFY(f.settingsFile().find("projname=typed.dsp\r\n") != std::string::npos);
}

void StartupTest::settingsGoWhereTheyCanBeWrittenAndAFailureIsTold() {
    TempDir dir;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.path("config")));
    const QString appDir = QString::fromStdString(dir.root());
    const QString beside = QDir::toNativeSeparators(appDir + "/melo-sound-manager.INI");
    QCOMPARE(environment_at(appDir, "melo-sound-manager").settingsPath, beside);
#ifndef Q_OS_WIN // Wine, which runs the Windows tests, gives a folder no write protection
    // A folder without write permission refuses the file even to root: the per-user folder
    // holds it then, unless a settings file is already there.
    QFile::setPermissions(appDir, QFile::ReadOwner | QFile::ExeOwner);
    const QString fallback = environment_at(appDir, "melo-sound-manager").settingsPath;
    QVERIFY2(fallback.startsWith(QString::fromStdString(dir.path("config"))), qPrintable(fallback));
    QFile::setPermissions(appDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    wavb::write_file(dir.path("melo-sound-manager.INI"), "[VARS]\r\n");
    QFile::setPermissions(appDir, QFile::ReadOwner | QFile::ExeOwner);
    QCOMPARE(environment_at(appDir, "melo-sound-manager").settingsPath, beside);
    QFile::setPermissions(appDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
#endif

    // Settings that cannot be stored at the end are not lost silently.
    GuiFixture f;
    auto form = f.start();
    f.settings("[DIRS]\n");
    QFile::setPermissions(f.path("melo-sound-manager.INI"), QFile::ReadOwner);
    form->close();
    QVERIFY(f.prompts.messages.last().startsWith("Fehler beim Speichern: Die Einstellungen konnten nicht gespeichert werden"));
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    setup_application_look(app);
    StartupTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "startup_test.moc"
