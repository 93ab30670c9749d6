// The main window's ways into the loop workshop: "Aus einer Aufnahme schneiden…" in the
// context menu of each sound row's title and part fields, and an audio file dropped on that
// title. The parts it writes are assigned to the row's three fields.

#include "app/context_menus.h"
#include "app/file_assignment.h"
#include "app/form1.h"
#include "app/form1_waveform.h"
#include "common/captions.h"
#include "gui/prompts.h"
#include "gui/window_placement.h"
#include "tools/loop_workshop.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QTimer>
#include <array>

namespace {

void open_workshop(Form1& form, int row, const QString& recording) {
    const Form1Controls& c = form.controls();
    auto* window = new LoopWorkshop(form.prompts(), form.listenPlayer(), recording,
                                    form.projfiledir(), QFileInfo(recording).completeBaseName(),
                                    QString::fromStdString(melo::row_title(row)), &form);
    // The row's three fields are about to get the new parts: they do not count as used.
    window->setFreeSamples([&form, &c, row] {
        return form.freeSamplesFor({c.txt_useranf[row], c.txt_userloop[row], c.txt_userend[row]});
    });
    // The parts lie in the project folder already; they are assigned as any chosen file is.
    // A part without samples has no file: its field is emptied, so no part of an earlier cut
    // plays beside the new ones.
    QObject::connect(
        window, &LoopWorkshop::partsWritten, &form,
        [&form, &c, row](const QString& start, const QString& loop, const QString& end) {
            const std::array<std::pair<QString, QLineEdit*>, 3> parts = {
                {{start, c.txt_useranf[row]},
                 {loop, c.txt_userloop[row]},
                 {end, c.txt_userend[row]}}};
            for (const auto& [name, field] : parts) {
                if (name.isEmpty()) {
                    field->setText("");
                } else {
                    assignFile(form.prompts(), form.projfiledir(), form.projectFields(),
                               form.projfiledir() + "/" + name, field, "Loop-Werkstatt");
                }
            }
        });
    show_over(window, &form);
}

void choose_recording(Form1& form, int row) {
    OpenFileRequest request;
    request.initialDir = form.projfiledir();
    request.title = "Aufnahme auswählen";
    request.filter =
        "Audiodateien|*.wav;*.flac;*.ogg;*.oga;*.opus;*.mp3;*.aif;*.aiff;*.w64;*.caf;*.au"
        "|alle Files (*.*)|*.*";
    request.defaultSuffix = "wav";
    const OpenFileResult chosen = form.prompts().openFile(request);
    if (!chosen.fullPath.isEmpty()) {
        open_workshop(form, row, chosen.fullPath);
    }
}

// An audio file dropped on a row's title opens the workshop for that row.
class RecordingDrop : public QObject {
public:
    RecordingDrop(Form1& form, int row) : QObject(&form), m_form(form), m_row(row) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::DragEnter && event->type() != QEvent::DragMove &&
            event->type() != QEvent::Drop) {
            return false;
        }
        auto* drag = static_cast<QDropEvent*>(event);
        const QMimeData* mime = drag->mimeData();
        if (mime == nullptr || !mime->hasUrls() || !mime->urls().first().isLocalFile()) {
            return false;
        }
        drag->acceptProposedAction();
        if (event->type() == QEvent::Drop) {
            // The window opens after the drop has ended.
            QTimer::singleShot(
                0, this,
                [this, path = QDir::toNativeSeparators(mime->urls().first().toLocalFile())] {
                    open_workshop(m_form, m_row, path);
                });
        }
        return true;
    }

private:
    Form1& m_form;
    int m_row;
};

} // namespace

void install_loop_workshop_entries(Form1& form) {
    const Form1Controls& c = form.controls();
    for (int r = 0; r < 4; ++r) {
        // On the row's title and on each of its part fields, so the keyboard reaches it too.
        for (QWidget* w : std::initializer_list<QWidget*>{c.Label14[r], c.txt_useranf[r],
                                                          c.txt_userloop[r], c.txt_userend[r]}) {
            add_context_entries(w, [&form, r](QMenu& menu) {
                menu.addAction("Aus einer Aufnahme schneiden…",
                               [&form, r] { choose_recording(form, r); });
            });
        }
        c.Label14[r]->setAcceptDrops(true);
        c.Label14[r]->installEventFilter(new RecordingDrop(form, r));
    }
}
