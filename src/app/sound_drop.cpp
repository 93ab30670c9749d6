#include "app/sound_drop.h"

#include "app/context_menus.h"
#include "app/file_assignment.h"
#include "gui/prompts.h"
#include "gui/qt_text.h"
#include "prepare/sound_preparation.h"
#include "project/file_choice.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QPointer>
#include <QTimer>

namespace {

// The first local file among the dropped ones, with the platform's separators ("\" from
// Explorer), or "".
QString droppedFile(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls()) {
        return {};
    }
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) {
            return QDir::toNativeSeparators(url.toLocalFile());
        }
    }
    return {};
}

} // namespace

void SoundDrop::install(const Form1Controls& c, ProjectDir projfiledir, Fields fields,
                        PromptsSource prompts, FreeSamples freeSamples) {
    auto* drop =
        new SoundDrop(c.txt_DSDfilename->window(), c.txt_DSDfilename, std::move(projfiledir),
                      std::move(fields), std::move(prompts), std::move(freeSamples));
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

SoundDrop::SoundDrop(QObject* parent, QLineEdit* base, ProjectDir projfiledir, Fields fields,
                     PromptsSource prompts, FreeSamples freeSamples)
    : QObject(parent), m_base(base), m_projfiledir(std::move(projfiledir)),
      m_fields(std::move(fields)), m_prompts(std::move(prompts)),
      m_freeSamples(std::move(freeSamples)) {}

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
    if (melo::ready_for_module(file_path(path))) {
        assignFile(m_prompts(), m_projfiledir(), m_fields(), path, field, "Fehler beim WAV-Laden");
        return;
    }
    if (refusedName(m_prompts(), name, "Fehler beim WAV-Laden")) {
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
    openConversion(m_prompts(), m_projfiledir(), m_fields(), path, info, m_freeSamples(field),
                   field);
}

void SoundDrop::takeBase(const QString& path) {
    if (melo::classify_file(melo::FileKind::Base, file_path(path)) != melo::kAccepted) {
        m_prompts().message("Fehler beim DSD/DS3-Laden", "keine DSD/DS3-Datei");
        return;
    }
    assignFile(m_prompts(), m_projfiledir(), m_fields(), path, m_base, "Fehler beim DSD/DS3-Laden");
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
