// "DSU-File erzeugen": the generation run with its views, progress, status and result sound.

#include "app/field_markers.h"
#include "app/file_assignment.h"
#include "app/form1.h"
#include "app/form1_decode_view.h"
#include "common/version.h"
#include "flash/sound_budget.h"
#include "gui/qt_text.h"

#include <QFile>

namespace {

QColor colour_of(melo::StatusColour colour) {
    switch (colour) {
    case melo::StatusColour::Red:
        return {255, 0, 0};
    case melo::StatusColour::Green:
        return {0, 255, 0};
    case melo::StatusColour::Yellow:
        return {255, 255, 0};
    case melo::StatusColour::Window:
        break;
    }
    return windowBackground();
}
} // namespace

// Shows a run in the window: the two views, the progress bar with its caption, the status
// line, the inspection panel for every decode, and the result sound.
class Form1::RunView : public melo::RunObserver {
public:
    explicit RunView(Form1& form) : m_form(form), m_c(form.m_c) {}

    void views_reset(const std::string& first_line) override {
        m_c.txt_debug->setPlainText(q(first_line));
        m_c.txt_log->setPlainText(q(first_line));
    }
    void log_line(const std::string& line, bool logalso) override {
        m_c.txt_debug->appendPlainText(q(line));
        if (logalso) {
            m_c.txt_log->appendPlainText(q(line));
        }
    }
    void progress_caption(const std::string& caption) override { m_c.lbl_pb1->setText(q(caption)); }
    void progress(int permille) override {
        m_c.ProgressBar1->setValue(permille);
        m_form.letEventsRun(false);
    }
    void status(const std::string& text, melo::StatusColour colour) override {
        setBackground(m_c.txt_genstatus, colour_of(colour));
        m_c.txt_genstatus->setText(q(text));
        m_c.txt_genstatus->setCursorPosition(0); // a long result shows its beginning
    }
    melo::DecodeProgress* decode_progress() override {
        m_decodeView = m_form.beginDecode();
        return m_decodeView.get();
    }
    void decoded(int code, const melo::DecodedSound&, bool checked) override {
        if (m_decodeView) {
            m_form.finishDecode(*m_decodeView);
        }
        if (checked) {
            m_form.show_wavdecoderesult(code);
        }
        m_form.letEventsRun(true); // once at the end of every file
    }
    void result_sound(const std::string& name) override { m_form.playResultSound(q(name)); }

private:
    Form1& m_form;
    Form1Controls& m_c;
    std::unique_ptr<DecodeProgressView> m_decodeView;
};

melo::RunResult Form1::cmd_konvertieren_Click() {
    const BusyScope busy(*this);
    markResultsCurrent();
    melo::RunInput input;
    input.fields = projectFields();
    input.projfiledir = file_path(m_projfiledir);
    input.output_dir = file_path(m_c.txt_projektdir->text());
    input.project_name = file_path(m_c.txt_projektfile->text());
    input.versionfull = melo::versionfull();
    input.write_log = m_c.chk_log_enable->state() == 1;
    input.write_debug = debugMode();
    input.result_sounds = m_c.chk_soundon->state() != 0;
    input.decimal_separator = m_sound.decimal_separator;
    input.conversion_hint = [](const std::string& path) {
        return conversionHint(q_path(path)).toStdString();
    };

    RunView view(*this);
    melo::GenerationRun run(m_flash, m_slots, m_sound);
    const melo::RunResult result = run.run(input, view);
    // The play time still free and every problem the fields show go into the result line's
    // tooltip: the log views and the log files stay as the run writes them (a failed run names
    // only its first failing part), and no control of the window moves.
    QString tip = m_c.txt_genstatus->text();
    if (!result.failed) {
        tip += "\n" + q(melo::sound_budget_text(result.flashpos, decimal_separator()));
    }
    m_markers->recheck();
    if (const QStringList problems = m_markers->problems();
        (result.failed || result.warncount > 0) && !problems.isEmpty()) {
        tip += "\n\nIn den Feldern:\n" + problems.join('\n');
    }
    m_c.txt_genstatus->setToolTip(tip);
    return result;
}
