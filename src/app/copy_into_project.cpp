#include "app/copy_into_project.h"

#include "gui/prompts.h"
#include "gui/qt_text.h"
#include "project/ini_file.h"
#include "project/project_copy.h"

#include <QFile>
#include <QFileInfo>

bool takeIntoProject(Prompts& prompts, const QString& projfiledir, const QString& path) {
    const std::string dir = file_path(projfiledir);
    const std::string file = file_path(path);
    const melo::CopyIn state = melo::copy_in_state(dir, file);
    if (state == melo::CopyIn::NotNeeded || state == melo::CopyIn::Same) {
        return true;
    }
    const QString name = QFileInfo(path).fileName();
    const QString question = "„" + name + "“ liegt nicht im Projektordner\n" + projfiledir +
                             "\nDas Projekt nennt nur den Dateinamen und sucht die Datei im "
                             "Projektordner.\n\nIn den Projektordner kopieren?";
    if (prompts.askYesNo("Datei aus anderem Ordner", question) == Prompts::Answer::No) {
        return true;
    }
    if (state == melo::CopyIn::Different &&
        prompts.askYesNo("Datei ersetzen", "Im Projektordner gibt es schon eine andere Datei „" +
                                               name + "“.\nDurch die gewählte Datei ersetzen?") ==
            Prompts::Answer::No) {
        return false;
    }
    std::string error;
    if (!melo::copy_into_project(dir, file, &error)) {
        prompts.message("Fehler beim Kopieren",
                        "„" + name + "“ konnte nicht in den Projektordner kopiert werden:\n" +
                            QString::fromStdString(error));
        return false;
    }
    return true;
}

bool fitsProjectValue(const QString& name) {
    return !melo::has_line_break(name.toStdString());
}

bool refusedName(Prompts& prompts, const QString& name, const QString& title) {
    if (fitsProjectValue(name)) {
        return false;
    }
    prompts.message(title, "Der Dateiname enthält einen Zeilenumbruch und kann nicht übernommen werden.");
    return true;
}
