// How an installed program starts: its command line, a project handed over by the file
// manager, the settings beside a write-protected executable or in the per-user directory,
// and the result sounds in the data directory.

#include <QApplication>
#include <QTest>

#include "app/command_line.h"
#include "app/gui_setup.h"
#include "gui_fixture.h"

class InstalledStartTest : public QObject {
    Q_OBJECT

private slots:
    void commandLine_data();
    void commandLine();
    void projectFromTheCommandLineOpensLikeTheFolderButton();
    void badProjectOnTheCommandLineKeepsTheStoredOne();
    void unreadableProjectAtStartUpIsToldOf();
    void settingsOfAnInstalledProgram();
    void resultSoundsBesideTheExecutableThenInTheDataDirectory();
};

using Action = CommandLine::Action;
Q_DECLARE_METATYPE(CommandLine::Action)

void InstalledStartTest::commandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("project");
    QTest::newRow("nothing") << QStringList{} << Action::Run << "";
    QTest::newRow("project") << QStringList{"/p/a.DSP"} << Action::Run << "/p/a.DSP";
    QTest::newRow("dash path") << QStringList{"--", "-a.DSP"} << Action::Run << "-a.DSP";
    QTest::newRow("help wins") << QStringList{"--bogus", "a.DSP", "-h"} << Action::Help << "";
    QTest::newRow("version") << QStringList{"a.DSP", "--version"} << Action::Version << "";
    QTest::newRow("after --") << QStringList{"--", "--help"} << Action::Run << "--help";
    QTest::newRow("unknown") << QStringList{"--bogus"} << Action::UsageError << "";
    QTest::newRow("two paths") << QStringList{"a.DSP", "b.DSP"} << Action::UsageError << "";
    QTest::newRow("image") << QStringList{"--image", "x.bin"} << Action::Run << "";
    QTest::newRow("image by name") << QStringList{"x.dsu"} << Action::Run << "";
    QTest::newRow("image and project") << QStringList{"--image", "x.DSU", "a.DSP"} << Action::UsageError << "";
    QTest::newRow("image missing") << QStringList{"--image"} << Action::UsageError << "";
}

void InstalledStartTest::commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(Action, action);
    QFETCH(QString, project);
    const CommandLine command = parse_command_line(arguments);
    QCOMPARE(command.action, action);
    QCOMPARE(command.project, project);
    QCOMPARE(command.error.isEmpty(), action != Action::UsageError);
    QCOMPARE(!command.image.isEmpty(), QString(QTest::currentDataTag()).startsWith("image by") ||
                                           QString(QTest::currentDataTag()) == "image");
}

void InstalledStartTest::projectFromTheCommandLineOpensLikeTheFolderButton() {
    GuiFixture f;
    QDir(f.env.appDir).mkpath("Projekte/sub");
    wavb::write_file(f.dir.path("Projekte/Orgel.DSP"), "[WAVs]\r\nSound2EndWAV=b.wav\r\n");
    auto form = f.start();
    form->controls().txt_useranf[0]->setText("unsaved.wav");
    // A relative path, as a shell passes it, counts from the working directory.
    const QString before = QDir::currentPath();
    QDir::setCurrent(f.path("Projekte/sub"));
    const bool opened = open_command_line_project(*form, f.prompts, "../Orgel.DSP");
    QDir::setCurrent(before);
    QVERIFY(opened);
    const Form1Controls& c = form->controls();
    QCOMPARE(c.txt_projektfile->text(), QString("Orgel.DSP"));
    QCOMPARE(c.txt_projektdir->text(), f.path("Projekte"));
    QCOMPARE(c.txt_userend[1]->text(), QString("b.wav"));
    QCOMPARE(c.txt_useranf[0]->text(), QString());
    QVERIFY(!form->projchanged());
    QVERIFY(f.prompts.messages.isEmpty());
    form->close();
    const std::string settings = f.settingsFile();
    QVERIFY(settings.find("projfiledir=" + f.dir.path("Projekte") + "\r\n") != std::string::npos);
    QVERIFY(settings.find("projname=Orgel.DSP\r\n") != std::string::npos);
}

void InstalledStartTest::badProjectOnTheCommandLineKeepsTheStoredOne() {
    GuiFixture f;
    wavb::write_file(f.dir.path("stored.dsp"), "[WAVs]\r\nSound1AnfWAV=a.wav\r\n");
    wavb::write_file(f.dir.path("notes.txt"), "[WAVs]\r\n");
    wavb::write_file(f.dir.path("big.DSP"), std::string(1024 * 1024 + 1, '\n'));
    QDir(f.env.appDir).mkdir("folder.DSP");
    f.settings("[DIRS]\nprojname=stored.dsp\n");
    auto form = f.start();
    const QString reason = "Das Projekt kann nicht geöffnet werden:\n";
    const std::pair<QString, QString> cases[] = {
        {f.path("gone.DSP"), reason + f.path("gone.DSP") +
                                 "\n(Datei kann nicht geöffnet werden: Verzeichnis oder Datei "
                                 "existiert nicht)"},
        {f.path("notes.txt"), "keine DSP-Projektdatei:\n" + f.path("notes.txt")},
        {f.path("folder.DSP"),
         reason + f.path("folder.DSP") + "\n(keine gewöhnliche Datei: ist ein Verzeichnis)"},
        {f.path("big.DSP"), reason + f.path("big.DSP") + "\n(Datei zu groß (1048577 Bytes, höchstens 1048576))"},
    };
    for (const auto& [path, message] : cases) {
        QVERIFY(!open_command_line_project(*form, f.prompts, path));
        QCOMPARE(f.prompts.messages.takeLast(), "Fehler beim Projekt-Laden: " + message);
        QCOMPARE(form->controls().txt_projektfile->text(), QString("stored.dsp"));
        QCOMPARE(form->controls().txt_useranf[0]->text(), QString("a.wav"));
        QVERIFY(!form->projchanged());
    }
    QVERIFY(!QFile::exists(f.path("gone.DSP"))); // no new project from a mistyped path
}

void InstalledStartTest::unreadableProjectAtStartUpIsToldOf() {
    GuiFixture f;
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("[WAVs]\r\nSound1AnfWAV=a.wav\r\n")) {
        utf16 += {c, '\0'};
    }
    wavb::write_file(f.dir.path("wide.dsp"), utf16);
    f.settings("[DIRS]\nprojname=wide.dsp\n");
    auto form = f.start();
    QCOMPARE(f.prompts.messages.size(), 1);
    QCOMPARE(f.prompts.messages.front(),
             "Fehler beim Projekt-Laden: Das Projekt kann nicht geöffnet werden:\n" + f.path("wide.dsp") +
                 "\n(Projektfile ist in UTF-16 geschrieben, erwartet wird Windows-1252 oder UTF-8)");
    QCOMPARE(form->controls().txt_useranf[0]->text(), QString("(leer)"));
}

void InstalledStartTest::settingsOfAnInstalledProgram() {
#ifdef Q_OS_WIN
    QSKIP("Linux's installed tree (bin beside share); Windows installs into one folder");
#endif
    TempDir home;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(home.path("config")));
    const QString perUser =
        QString::fromStdString(home.path("config/melo-sound-manager/melo-sound-manager.INI"));
    GuiFixture f;
    // An installed tree goes to the per-user directory even where its bin directory can be
    // written (by the administrator, say).
    QDir(f.env.appDir).mkpath("usr/bin");
    QDir(f.env.appDir).mkpath("usr/share/melo-sound-manager");
    QCOMPARE(environment_at(f.path("usr/bin"), "melo-sound-manager").settingsPath, perUser);

    QFile::setPermissions(f.env.appDir,
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);

    // First start: the settings go to the per-user directory, which is created for them.
    AppEnvironment first = environment_at(f.env.appDir, "melo-sound-manager");
    QCOMPARE(first.settingsPath, perUser);
    // Its folders start in the user's documents folder, the home folder where there is none.
    const QByteArray realHome = qgetenv("HOME");
    qputenv("HOME", QByteArray::fromStdString(home.root()));
    QCOMPARE(environment_at(f.env.appDir, "melo-sound-manager").startDir, QString::fromStdString(home.root()));
    QDir(QString::fromStdString(home.root())).mkdir("Documents");
    QCOMPARE(environment_at(f.env.appDir, "melo-sound-manager").startDir, QString::fromStdString(home.path("Documents")));
    qputenv("HOME", realHome);
    f.env.settingsPath = first.settingsPath;
    auto form = f.start();
    QVERIFY(form);
    form->controls().chk_log_enable->setState(1);
    form->close();
    // The next start finds them there and starts from them.
    QCOMPARE(environment_at(f.env.appDir, "melo-sound-manager").settingsPath, perUser);
    form = f.start();
    QCOMPARE(form->controls().chk_log_enable->state(), 1);
    form->close();

    // A settings file beside the executable wins, even where the directory is write-protected.
    QFile::setPermissions(f.env.appDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    f.settings("[VARS]\nlog=2\n");
    QFile::setPermissions(f.env.appDir, QFile::ReadOwner | QFile::ExeOwner);
    f.env.settingsPath = environment_at(f.env.appDir, "melo-sound-manager").settingsPath;
    QCOMPARE(f.env.settingsPath, f.path("melo-sound-manager.INI"));
    QCOMPARE(f.start()->controls().chk_log_enable->state(), 2);
    qunsetenv("XDG_CONFIG_HOME");
}

void InstalledStartTest::resultSoundsBesideTheExecutableThenInTheDataDirectory() {
#ifdef Q_OS_WIN
    QSKIP("Linux's installed tree (bin beside share); Windows installs into one folder");
#endif
    GuiFixture f;
    QDir(f.env.appDir).mkpath("usr/bin");
    QDir(f.env.appDir).mkpath("usr/share/melo-sound-manager");
    wavb::write_file(f.dir.path("usr/share/melo-sound-manager/ok.wav"), "RIFF");
    wavb::write_file(f.dir.path("usr/share/melo-sound-manager/nok.wav"), "RIFF");
    wavb::write_file(f.dir.path("usr/bin/nok.wav"), "RIFF");
    f.env.appDir = f.path("usr/bin");
    auto form = f.start();
    form->playResultSound("ok.wav");
    QCOMPARE(f.audio.log.last(), "file play " + f.path("usr/share/melo-sound-manager/ok.wav"));
    form->playResultSound("nok.wav");
    QCOMPARE(f.audio.log.last(), "file play " + f.path("usr/bin/nok.wav"));
    // Found nowhere: handed to the player beside the executable all the same.
    form->playResultSound("warn.wav");
    QCOMPARE(f.audio.log.last(), "file play " + f.path("usr/bin/warn.wav"));
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName("melo-sound-manager"); // the installed executable's name
    setup_application_look(app);
    InstalledStartTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "installed_start_test.moc"
