#include "app/file_assignment.h"

#include "flash/field_check.h"
#include "gui/prompts.h"
#include "gui/qt_text.h"
#include "prepare/sound_preparation.h"
#include "project/file_choice.h"
#include "project/project_copy.h"
#include "project/project_path.h"
#include "tools/convert_dialog.h"
#include "wav/wav_decoder.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>

namespace {

// "; das Projekt nutzt sie für …" when fields of the project name the file `name` in the
// project folder; "" else.
QString usedBy(const QString& projfiledir, const melo::ProjectFields& fields, const QString& name) {
    const QString text = q(melo::fields_naming_text(fields, file_path(projfiledir),
                                                    file_path(projfiledir + "/" + name)));
    return text.isEmpty() ? text : "; " + text;
}

// The choose-time step for a file from outside the project folder, whose projects store only
// bare names and look for them in the project folder. It asks whether to copy the file in (Ja:
// copy, asking first when the folder holds a different file of that name; Nein: the bare name
// is stored as it always was). A file in the project folder, or one whose namesake there is
// identical, needs no question. Returns true when the file's bare name is to be assigned, false
// when nothing is to change (a replacement refused, a failed copy, which it reports).
bool takeIntoProject(Prompts& prompts, const QString& projfiledir,
                     const melo::ProjectFields& fields, const QString& path) {
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
                                               name + "“" + usedBy(projfiledir, fields, name) +
                                               ".\nDurch die gewählte Datei ersetzen?") ==
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

} // namespace

bool refusedName(Prompts& prompts, const QString& name, const QString& title) {
    if (melo::fits_project_value(file_path(name))) {
        return false;
    }
    prompts.message(title,
                    "Der Dateiname enthält einen Zeilenumbruch und kann nicht übernommen werden.");
    return true;
}

bool assignFile(Prompts& prompts, const QString& projfiledir, const melo::ProjectFields& fields,
                const QString& path, QLineEdit* field, const QString& errorTitle) {
    const QString name = QFileInfo(path).fileName();
    if (refusedName(prompts, name, errorTitle) ||
        !takeIntoProject(prompts, projfiledir, fields, path)) {
        return false;
    }
    field->setText(name);
    return true;
}

void openConversion(Prompts& prompts, const QString& projfiledir, const melo::ProjectFields& fields,
                    const QString& path, const melo::SourceInfo& info, std::int64_t freeSamples,
                    QLineEdit* field) {
    auto* dialog = new ConvertDialog(prompts, path, info, projfiledir, field->window());
    dialog->setProjectFields(fields);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFreeSamples(freeSamples);
    QObject::connect(dialog, &ConvertDialog::converted, field,
                     [field](const QString& converted) { field->setText(converted); });
    dialog->open();
}

namespace {

// Why the module would not play the file at `path` as it is although the preparation reads it
// (described by `info`): the decoder refuses it, or it has another rate. "" for a file that
// needs no conversion or that the preparation cannot read either.
QString conversionReason(const QString& path, melo::SourceInfo& info) {
    const melo::FieldCheck check = melo::check_part_file(file_path(path));
    std::string error;
    if ((check.issue != melo::FieldIssue::Unusable && check.issue != melo::FieldIssue::OtherRate) ||
        !melo::probe_sound(file_path(path), info, error)) {
        return {};
    }
    return check.issue == melo::FieldIssue::OtherRate
               ? QString("nicht die %1 Hz, die das Modul spielt").arg(melo::kTargetFreq)
               : QString("keine WAV-Datei, die das Modul liest");
}

QString describe(const QString& path, const melo::SourceInfo& info) {
    return "„" + QFileInfo(path).fileName() + "“ ist " + q(melo::describe_source(info));
}

} // namespace

QString conversionHint(const QString& path) {
    melo::SourceInfo info;
    if (conversionReason(path, info).isEmpty()) {
        return {};
    }
    return "Hinweis: " + describe(path, info) +
           "; „Umwandeln und zuweisen…“ im Kontextmenü des Felds wandelt die Datei um.";
}

ConversionOffer offerConversion(Prompts& prompts, const QString& projfiledir,
                                const melo::ProjectFields& fields, const QString& path,
                                std::int64_t freeSamples, QLineEdit* field) {
    melo::SourceInfo info;
    const QString reason = conversionReason(path, info);
    if (reason.isEmpty()) {
        return ConversionOffer::NotNeeded;
    }
    if (prompts.askYesNo("Umwandeln und zuweisen",
                         describe(path, info) + ",\n" + reason +
                             ".\n\n„Umwandeln und zuweisen…“ wandelt sie in das Format des Moduls "
                             "um. Jetzt umwandeln?") == Prompts::Answer::No) {
        return ConversionOffer::Declined;
    }
    openConversion(prompts, projfiledir, fields, path, info, freeSamples, field);
    return ConversionOffer::Converting;
}

bool acceptUnusable(Prompts& prompts, const QString& path, const QString& title) {
    const melo::FieldCheck check = melo::check_part_file(file_path(path));
    return check.issue != melo::FieldIssue::Unusable ||
           prompts.askYesNo(title, q(check.reason) + "\n\nTrotzdem zuweisen?") ==
               Prompts::Answer::Yes;
}
