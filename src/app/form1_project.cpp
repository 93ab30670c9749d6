// The project: its thirteen fields, load, save, load-or-create, the exit prompt, and the
// file choosers that assign files to the fields.

#include "app/field_markers.h"
#include "app/file_assignment.h"
#include "app/form1.h"
#include "gui/prompts.h"
#include "gui/qt_text.h"
#include "project/file_choice.h"

#include <QDir>
#include <QFile>

QLineEdit* Form1::partField(int row, int part) const {
    return part == 0 ? m_c.txt_useranf[row]
                     : (part == 1 ? m_c.txt_userloop[row] : m_c.txt_userend[row]);
}

melo::ProjectFields Form1::projectFields() const {
    melo::ProjectFields fields;
    for (int i = 0; i < 12; ++i) {
        melo::project_field(fields, i) = partField(i / 3, i % 3)->text().toStdString();
    }
    fields.dsdfilename = m_c.txt_DSDfilename->text().toStdString();
    return fields;
}

void Form1::setProjectFields(const melo::ProjectFields& fields) {
    for (int i = 0; i < 12; ++i) {
        partField(i / 3, i % 3)->setText(QString::fromStdString(melo::project_field(fields, i)));
    }
    m_c.txt_DSDfilename->setText(QString::fromStdString(fields.dsdfilename));
}

bool Form1::GetProjectData(bool mustExist) {
    const melo::LoadedProject project = melo::load_project(file_path(projectPath()));
    if (project.state == melo::ProjectState::Unreadable ||
        (mustExist && project.state == melo::ProjectState::Missing)) {
        prompts().message("Fehler beim Projekt-Laden", "Das Projekt kann nicht geöffnet werden:\n" +
                                                           projectPath() + "\n(" +
                                                           q(project.error) + ")");
        return false;
    }
    // A missing file or section is a project without files yet.
    setProjectFields(project.fields);
    m_projchanged = false;
    m_markers->recheck(); // also when the names stay and only the folder changed
    markResultsOld();
    return true;
}

bool Form1::storeProject(QString& error) {
    std::string reason;
    if (!melo::save_project(file_path(projectPath()), projectFields(), &reason)) {
        error = projectPath() + "\n(" + q(reason) + ")";
        return false;
    }
    m_projchanged = false;
    return true;
}

bool Form1::saveProject() {
    QString error;
    if (!storeProject(error)) {
        // The project was not stored: say so, and keep it marked as changed.
        prompts().message("Fehler beim Speichern",
                          "Das Projekt konnte nicht gespeichert werden:\n" + error);
        return false;
    }
    return true;
}

bool Form1::offerToSave() {
    if (!m_projchanged) {
        return true;
    }
    switch (prompts().askYesNoCancel("Warnung", "Projekt geändert: speichern?")) {
    case Prompts::Answer::Yes:
        return saveProject(); // not stored: the caller stops, so nothing is lost
    case Prompts::Answer::No:
        return true;
    case Prompts::Answer::Cancel:
        break;
    }
    return false;
}

void Form1::loadOrCreateProject() {
    // Another project replaces every field: changed ones are offered for saving first.
    if (!offerToSave()) {
        return;
    }
    const int result = getDSPfilename();
    if (result == melo::kNothingChosen) {
        return;
    }
    if (result != melo::kAccepted) {
        prompts().message("Fehler beim Projekt-Laden", "keine DSP-Projektdatei");
        return;
    }
    if (!refusedName(prompts(), m_chosenPath, "Fehler beim Projekt-Laden")) {
        openProject(m_chosenPath, m_chosenName);
    }
}

bool Form1::openProject(const QString& fullPath, const QString& bareName, bool createMissing) {
    // Where the window points now: a new project that cannot be stored leaves it there.
    const QString previousName = m_c.txt_projektfile->text();
    const QString previousDir = m_projfiledir;
    const bool previousChanged = m_projchanged;
    m_c.txt_projektfile->setText(bareName);
    m_projfiledir = q_path(melo::directory_of(file_path(fullPath)));
    m_c.txt_projektdir->setText(m_projfiledir);
    const auto restore = [&] {
        m_c.txt_projektfile->setText(previousName);
        m_projfiledir = previousDir;
        m_c.txt_projektdir->setText(previousDir);
        m_projchanged = previousChanged;
    };
    if (createMissing && !melo::fileexists(file_path(fullPath))) {
        // A new project starts as a copy of the fields the window holds.
        QString error;
        if (!storeProject(error)) {
            restore();
            prompts().message("Fehler beim Projekt-Anlegen",
                              "Das neue Projekt konnte nicht angelegt werden:\n" + error +
                                  "\nDas bisherige Projekt bleibt geöffnet.");
            return false;
        }
    }
    if (!GetProjectData(!createMissing)) {
        restore(); // the fields still hold the previous project: the window points at it again
        return false;
    }
    return true;
}

void Form1::cmd_EXIT_Click() {
    if (offerToSave()) {
        close();
    }
}

int Form1::chooseFile(const QString& title, const QString& filter, melo::FileKind kind,
                      bool mustExist) {
    OpenFileRequest request;
    request.initialDir = m_projfiledir;
    request.title = title;
    request.filter = filter;
    request.filterIndex = 1;
    request.defaultSuffix = q(melo::default_extension(kind));
    request.mustExist = mustExist;
    const OpenFileResult chosen = prompts().openFile(request);
    m_fileext = QString::number(chosen.filterIndex);
    m_chosenPath = chosen.fullPath;
    m_chosenName = chosen.bareName;
    return melo::classify_file(kind, file_path(chosen.fullPath), chosen.extensionDifferent);
}

int Form1::getDSPfilename() {
    return chooseFile("Projektfile auswählen", "DSP-Files|*.DSP|alle Files (*.*)|*.*",
                      melo::FileKind::Project, false);
}

int Form1::getDSDfilename() {
    return chooseFile("DSD/DS3-File auswählen", "DSD/DS3-Files|*.DSD;*.DS3|alle Files (*.*)|*.*",
                      melo::FileKind::Base, true);
}

int Form1::getWAVfilename() {
    return chooseFile("WAV-File auswählen", "WAV-Files|*.WAV|alle Files (*.*)|*.*",
                      melo::FileKind::Part, true);
}

void Form1::assignWav(int row, int part) {
    const int result = getWAVfilename();
    if (result == melo::kAccepted) {
        QLineEdit* field = partField(row, part);
        const ConversionOffer offer = offerConversion(prompts(), m_projfiledir, projectFields(),
                                                      m_chosenPath, freeSamplesFor({field}), field);
        if (offer == ConversionOffer::Converting ||
            (offer == ConversionOffer::NotNeeded &&
             !acceptUnusable(prompts(), m_chosenPath, "Fehler beim WAV-Laden"))) {
            return; // the conversion window assigns its output, or the user kept the field
        }
        if (assignFile(prompts(), m_projfiledir, projectFields(), m_chosenPath, field,
                       "Fehler beim WAV-Laden")) {
            m_projchanged = true;
        }
    } else if (result != melo::kNothingChosen) {
        // An audio file of another kind (FLAC, MP3, Ogg …) gets the conversion offer, whose
        // question says that it is no WAV the module reads; anything else the plain refusal.
        QLineEdit* field = partField(row, part);
        if (offerConversion(prompts(), m_projfiledir, projectFields(), m_chosenPath,
                            freeSamplesFor({field}), field) == ConversionOffer::NotNeeded) {
            prompts().message("Fehler beim WAV-Laden", "keine WAV-Datei");
        }
    }
}

void Form1::assignDsd() {
    const int result = getDSDfilename();
    if (result == melo::kAccepted) {
        if (assignFile(prompts(), m_projfiledir, projectFields(), m_chosenPath, m_c.txt_DSDfilename,
                       "Fehler beim DSD/DS3-Laden")) {
            m_projchanged = true;
        }
    } else if (result != melo::kNothingChosen) {
        prompts().message("Fehler beim DSD/DS3-Laden", "keine DSD/DS3-Datei");
    }
}
