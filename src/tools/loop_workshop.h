#pragma once

#include "loop/loop_session.h"

#include <QWidget>
#include <cstdint>
#include <functional>

class BackgroundTask;
class HeldListening;
class ListenPlayback;
class LoopCandidateModel;
class PrepareOptionsBox;
class Prompts;
class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class SeamView;
class WaveformView;

// The window "Loop-Werkstatt": one recording cut into a start, a loop and an end part. It
// lays out a LoopSession, which holds the state and the rules, and forwards to it: the
// recording prepared as the module will play it, the waveform with the search range and the
// loop points as draggable markers, the candidates of the search, the seam close up, the
// crossfade and the parts played with the space bar held. Preparing, searching and writing
// run in the background. "Übernehmen" writes the three parts into the project folder and
// hands their names on. It knows only the files.
class LoopWorkshop : public QWidget {
    Q_OBJECT
public:
    // A window for the recording at `recording`, titled with `context` (the sound row it is
    // for, or "" for none); the parts go into `projfiledir` under names made from `stem`.
    // Preparing the recording starts at once.
    LoopWorkshop(Prompts& prompts, ListenPlayback& player, const QString& recording,
                 const QString& projfiledir, const QString& stem, const QString& context = {},
                 QWidget* parent = nullptr);
    // Stops running work and waits for it.
    ~LoopWorkshop() override;

    // What the flash still takes for the three parts, asked when the recording is shown and
    // again before "Übernehmen": the window tells, and asks before writing, when they will
    // not fit.
    void setFreeSamples(std::function<std::int64_t()> freeSamples);

    const melo::LoopSession& session() const { return m_session; }
    // True while preparing, searching or writing runs.
    bool running() const;

    // Prepares the recording again with the options shown, then searches it.
    void prepareRecording();
    // Searches the range for loops.
    void search();
    // Writes the three parts and hands their names on.
    void accept();
    // Stops running work; without any, closes the window.
    void cancelOrClose();

signals:
    // The parts were written into the project folder under these bare names, as the folder
    // spells them; "" for a part without samples, which gets no file.
    void partsWritten(const QString& start, const QString& loop, const QString& end);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls(const QString& stem);
    QLayout* sidePanel();
    QLayout* waveformColumn();
    QLayout* bottomRow();
    void connectControls();
    void setUpListening(ListenPlayback& player);

    void recordingPrepared(melo::PreparedRecording recording);
    void searched(const melo::LoopResult& result);
    void written(const melo::FolderWrite& written);
    void choose(int index);
    void markerMoved(int index, double position);
    void setRunning(bool running);
    void showSessionStatus();
    void showBudget();
    // Shows the session's loop everywhere: markers, figures, seam, chosen candidate, buttons.
    void showLoop();
    void bringLoopIntoView();

    Prompts& m_prompts;
    QString m_recording;
    QString m_projfiledir;
    melo::LoopSession m_session;
    std::function<std::int64_t()> m_freeSamples;
    BackgroundTask* m_task;
    LoopCandidateModel* m_model;
    HeldListening* m_listening = nullptr;

    WaveformView* m_view = nullptr;
    SeamView* m_seam = nullptr;
    QLabel* m_seamText = nullptr;
    QLabel* m_loopText = nullptr;
    QTableView* m_list = nullptr;
    QDoubleSpinBox* m_minLength = nullptr;
    QDoubleSpinBox* m_crossfade = nullptr;
    PrepareOptionsBox* m_optionsBox = nullptr;
    QCheckBox* m_module = nullptr;
    QLineEdit* m_stem = nullptr;
    QPushButton* m_prepare = nullptr;
    QPushButton* m_search = nullptr;
    QPushButton* m_snap = nullptr;
    QPushButton* m_accept = nullptr;
    QPushButton* m_cancel = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_budget = nullptr;
};
