// The window's command line: a project to open, or a help or version answer.

#include "app/command_line.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "app/form1.h"
#include "gui/prompts.h"
#include "gui/qt_text.h"
#include "common/version.h"
#include "project/file_choice.h"

namespace {

const char* const kHelp =
    "Aufruf: melo-sound-manager [PROJEKT.DSP]\n"
    "        melo-sound-manager [--image] IMAGE.DSU\n"
    "\n"
    "Öffnet das Fenster von MELO Sound-Manager mit dem Projekt PROJEKT.DSP, ohne Angabe\n"
    "mit dem zuletzt benutzten Projekt.\n"
    "\n"
    "Optionen:\n"
    "  --image    die Sounds des Images IMAGE.DSU in der Wellenform anzeigen und anhören\n"
    "  --help     diese Hilfe anzeigen\n"
    "  --version  die Version anzeigen\n";

} // namespace

CommandLine parse_command_line(const QStringList& arguments) {
    CommandLine result;
    bool optionsEnded = false;
    bool imageNext = false;
    for (const QString& argument : arguments) {
        if (imageNext) {
            imageNext = false;
            result.image = argument;
            continue;
        }
        if (!optionsEnded && (argument == "--help" || argument == "-h")) {
            return CommandLine{CommandLine::Action::Help, {}, {}, {}};
        }
        if (!optionsEnded && argument == "--version") {
            return CommandLine{CommandLine::Action::Version, {}, {}, {}};
        }
        if (!result.error.isEmpty()) {
            continue; // a later --help or --version still wins
        }
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument == "--image") {
            imageNext = true;
        } else if (!optionsEnded && argument.startsWith('-') && argument != "-") {
            result.error = "unbekannte Option '" + argument + "'";
        } else if (!result.project.isEmpty()) {
            result.error = "nur eine Projektdatei möglich, '" + argument + "' ist zu viel";
        } else {
            result.project = argument;
        }
    }
    // An image named like a project (a double-click on a .DSU in the file manager) is shown
    // as an image.
    if (result.image.isEmpty() && result.project.endsWith(".DSU", Qt::CaseInsensitive)) {
        result.image = result.project;
        result.project.clear();
    }
    if (result.error.isEmpty() && imageNext) {
        result.error = "'--image' braucht eine Image-Datei";
    } else if (result.error.isEmpty() && !result.image.isEmpty() && !result.project.isEmpty()) {
        result.error = "ein Projekt oder '--image', nicht beides";
    }
    if (!result.error.isEmpty()) {
        result.action = CommandLine::Action::UsageError;
        result.project.clear();
        result.image.clear();
    }
    return result;
}

QStringList program_arguments(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    return arguments;
}

std::optional<int> answer_without_window(const CommandLine& command, bool qtOptionsRemoved) {
    switch (command.action) {
    case CommandLine::Action::Help:
        std::fputs(kHelp, stdout);
        return 0;
    case CommandLine::Action::Version:
        std::printf("melo-sound-manager%s\n", melo::versionfull().c_str());
        return 0;
    case CommandLine::Action::UsageError:
        if (!qtOptionsRemoved) {
            return std::nullopt;
        }
        std::fprintf(stderr, "melo-sound-manager: %s (siehe melo-sound-manager --help)\n",
                     command.error.toLocal8Bit().constData());
        return 2;
    case CommandLine::Action::Run:
        break;
    }
    return std::nullopt;
}

bool open_command_line_project(Form1& window, Prompts& prompts, const QString& path) {
    const QString fullPath =
        QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    const QString bareName = QFileInfo(fullPath).fileName();
    // The folder button's rule decides what counts as a project file.
    const int type = melo::classify_file(melo::FileKind::Project, file_path(fullPath));
    if (type != melo::kAccepted) {
        prompts.message("Fehler beim Projekt-Laden", "keine DSP-Projektdatei:\n" + fullPath);
        return false;
    }
    // Unlike a name typed into the dialog, a missing file is no new project: it is a mistake.
    return window.openProject(fullPath, bareName, false);
}
