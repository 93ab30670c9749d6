// The waveform window opened from the main window: a sound row of the project, or an image
// file chosen in a dialog.

#include "app/form1_waveform.h"

#include "app/context_menus.h"
#include "app/form1.h"
#include "flash/sound_budget.h"
#include "gui/prompts.h"
#include "gui/qt_text.h"
#include "gui/window_placement.h"
#include "tools/waveform_window.h"

namespace {

void open_row(Form1& form, int row) {
    const Form1Controls& c = form.controls();
    const std::array<QString, 3> names = {c.txt_useranf[row]->text(), c.txt_userloop[row]->text(),
                                          c.txt_userend[row]->text()};
    WaveformWindow* window =
        WaveformWindow::forProjectRow(form.listenPlayer(), form.projfiledir(), row, names, &form);
    window->setBudget(q(melo::sound_budget_text(
        melo::project_image_size(form.projectFields(), file_path(form.projfiledir())),
        decimal_separator())));
    show_over(window, &form);
}

void open_image(Form1& form) {
    OpenFileRequest request;
    request.initialDir = form.projfiledir();
    request.title = "DSU-Image ansehen";
    request.filter = "DSU-Files|*.DSU;*.dsu|alle Files (*.*)|*.*";
    request.defaultSuffix = "DSU";
    const OpenFileResult chosen = form.prompts().openFile(request);
    if (chosen.fullPath.isEmpty()) {
        return;
    }
    QString error;
    if (WaveformWindow* window =
            WaveformWindow::forImage(form.listenPlayer(), chosen.fullPath, error, &form)) {
        show_over(window, &form);
    } else {
        form.prompts().message("MELO Sound-Manager", error);
    }
}

} // namespace

void install_waveform_entries(Form1& form) {
    Form1Controls& c = form.controls();
    for (int r = 0; r < 4; ++r) {
        auto entry = [&form, r](QMenu& menu) {
            menu.addAction("Wellenform anzeigen…", [&form, r] { open_row(form, r); });
        };
        for (QWidget* w : std::initializer_list<QWidget*>{c.Label14[r], c.txt_useranf[r],
                                                          c.txt_userloop[r], c.txt_userend[r]}) {
            add_context_entries(w, entry);
        }
    }
    add_context_entries(c.txt_projektfile, [&form](QMenu& menu) {
        menu.addAction("DSU-Image ansehen…", [&form] { open_image(form); });
    });
}
