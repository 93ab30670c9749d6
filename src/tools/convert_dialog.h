#pragma once

#include "prepare/sound_preparation.h"
#include "project/project_file.h"
#include "tools/prepare_options_box.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

class BackgroundTask;
class Prompts;

// The window that converts one audio file into the project folder in the module's format:
// it shows the input's folder, format, rate, channels and length, takes the target name, the
// sample width with its dither and the level (peak or loudness) and trim settings, tells
// when the result will not fit into the free flash, and runs the conversion on a worker
// thread with a progress bar and a cancel button, so the main window keeps painting. It
// knows only the files.
class ConvertDialog : public QDialog {
    Q_OBJECT
public:
    ConvertDialog(Prompts& prompts, const QString& input, const melo::SourceInfo& info,
                  const QString& projfiledir, QWidget* parent = nullptr);
    // Stops a running conversion and waits for its thread.
    ~ConvertDialog() override;

    // The samples the flash still takes for this part: the window tells at once, and asks
    // before converting, when the result will not fit.
    void setFreeSamples(std::int64_t samples);
    // The project's fields: a question before replacing a file says which of them use it.
    void setProjectFields(const melo::ProjectFields& fields) { m_fields = fields; }

    QLineEdit* target() const { return m_target; }
    PrepareOptionsBox* optionsBox() const { return m_options; }
    QComboBox* bits() const { return m_options->bits(); }
    QCheckBox* dither() const { return m_options->dither(); }
    QCheckBox* normalize() const { return m_options->normalize(); }
    QDoubleSpinBox* normalizeLevel() const { return m_options->normalizeLevel(); }
    QCheckBox* loudness() const { return m_options->loudness(); }
    QDoubleSpinBox* loudnessLevel() const { return m_options->loudnessLevel(); }
    QCheckBox* trim() const { return m_options->trim(); }
    QDoubleSpinBox* trimLevel() const { return m_options->trimLevel(); }
    QLabel* budget() const { return m_budget; }
    QPushButton* startButton() const { return m_start; }
    QPushButton* cancelButton() const { return m_cancel; }
    QLabel* status() const { return m_status; }
    QProgressBar* progress() const { return m_progress; }
    bool running() const;

    // "Abbrechen", Escape or closing: stops a running conversion, else closes.
    void reject() override;

signals:
    // The conversion succeeded; `name` is the written file's bare name in the project folder.
    void converted(const QString& name);

private:
    void start();
    void finished(const melo::PrepareResult& result, const QString& name);
    void setRunning(bool running);
    // "; das Projekt nutzt sie für …" for the file `output`, or "".
    QString usedBy(const QString& output) const;
    // The samples the result will have, estimated from the input's length; -1 when unknown.
    std::int64_t expectedSamples() const;

    Prompts& m_prompts;
    QString m_input;
    QString m_projfiledir;
    melo::SourceInfo m_info;
    std::optional<std::int64_t> m_free;
    melo::ProjectFields m_fields;
    QLineEdit* m_target;
    PrepareOptionsBox* m_options;
    QLabel* m_budget;
    QProgressBar* m_progress;
    QLabel* m_status;
    QPushButton* m_start;
    QPushButton* m_cancel;
    BackgroundTask* m_task;
};
