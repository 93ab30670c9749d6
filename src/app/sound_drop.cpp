#include "app/sound_drop.h"

#include "gui/qt_text.h"

#include "app/context_menus.h"
#include "app/copy_into_project.h"
#include "gui/prompts.h"
#include "prepare/sound_preparation.h"
#include "project/file_choice.h"
#include "tools/convert_dialog.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QPointer>
#include <QTimer>

namespace {

// The first local file among the dropped ones, or "".
QString droppedFile(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls()) {
        return {};
    }
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) {
            return url.toLocalFile();
        }
    }
    return {};
}

} // namespace

void SoundDrop::install(const Form1Controls& c, ProjectDir projfiledir, PromptsSource prompts,
                        FreeSamples freeSamples) {
    auto* drop = new SoundDrop(c.txt_DSDfilename->window(), c.txt_DSDfilename,
                               std::move(projfiledir), std::move(prompts), std::move(freeSamples));
    c.txt_DSDfilename->installEventFilter(drop);
    for (int row = 0; row < 4; ++row) {
        for (QLineEdit* field : {c.txt_useranf[row], c.txt_userloop[row], c.txt_userend[row]}) {
            field->installEventFilter(drop);
            add_context_entries(field, [drop, field](QMenu& menu) {
                menu.addAction("Umwandeln und zuweisen…", drop,
                               [drop, field] { drop->chooseAndConvert(field); });
            });
        }
    }
}

SoundDrop::SoundDrop(QObject* parent, QLineEdit* base, ProjectDir projfiledir,
                     PromptsSource prompts, FreeSamples freeSamples)
    : QObject(parent), m_base(base), m_projfiledir(std::move(projfiledir)),
      m_prompts(std::move(prompts)), m_freeSamples(std::move(freeSamples)) {}

bool SoundDrop::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::DragEnter && event->type() != QEvent::DragMove &&
        event->type() != QEvent::Drop) {
        return false;
    }
    auto* drag = static_cast<QDropEvent*>(event);
    const QString path = droppedFile(drag->mimeData());
    if (path.isEmpty()) {
        return false; // dropped text goes into the field as usual
    }
    drag->acceptProposedAction();
    if (event->type() == QEvent::Drop) {
        // Questions and the conversion window come after the drop has ended.
        QPointer<QLineEdit> field = static_cast<QLineEdit*>(watched);
        QTimer::singleShot(0, this, [this, field, path] {
            if (field == m_base) {
                takeBase(path);
            } else if (field) {
                takePart(field, path);
            }
        });
    }
    return true;
}

void SoundDrop::takePart(QLineEdit* field, const QString& path) {
    const QString name = QFileInfo(path).fileName();
    if (refusedName(m_prompts(), name, "Fehler beim WAV-Laden")) {
        return;
    }
    if (melo::ready_for_module(file_path(path))) {
        if (takeIntoProject(m_prompts(), m_projfiledir(), path)) {
            field->setText(name);
        }
        return;
    }
    melo::SourceInfo info;
    std::string error;
    if (!melo::probe_sound(file_path(path), info, error)) {
        m_prompts().message("Fehler beim WAV-Laden",
                            "„" + name +
                                "“ ist keine lesbare Audiodatei: " + QString::fromStdString(error));
        return;
    }
    auto* dialog = new ConvertDialog(m_prompts(), path, info, m_projfiledir(), field->window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFreeSamples(m_freeSamples(field));
    connect(dialog, &ConvertDialog::converted, field,
            [field](const QString& converted) { field->setText(converted); });
    dialog->open();
}

void SoundDrop::takeBase(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const bool differs = melo::extension_differs(file_path(name), "DS3");
    if (refusedName(m_prompts(), name, "Fehler beim DSD/DS3-Laden")) {
        return;
    }
    if (melo::classify_choice(file_path(path), differs, {".DS3", ".DSD"}) != melo::kAccepted) {
        m_prompts().message("Fehler beim DSD/DS3-Laden", "keine DSD/DS3-Datei");
        return;
    }
    if (takeIntoProject(m_prompts(), m_projfiledir(), path)) {
        m_base->setText(name);
    }
}

void SoundDrop::chooseAndConvert(QLineEdit* field) {
    OpenFileRequest request;
    request.initialDir = m_projfiledir();
    request.title = "Audiodatei auswählen";
    request.filter =
        "Audiodateien|*.wav;*.flac;*.ogg;*.oga;*.opus;*.mp3;*.aif;*.aiff;*.w64;*.caf;*.au"
        "|alle Files (*.*)|*.*";
    request.defaultSuffix = "wav";
    const OpenFileResult chosen = m_prompts().openFile(request);
    if (!chosen.fullPath.isEmpty()) {
        takePart(field, chosen.fullPath);
    }
}
