#pragma once

#include "flash/waveform_model.h"
#include "loop/loop_finder.h"
#include "loop/loop_parts.h"
#include "prepare/sound_preparation.h"
#include "wav/pcm_file.h"
#include "wav/wav_decoder.h"

#include <QWidget>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class HeldListening;
class ListenPlayback;
class PrepareOptionsBox;
class Prompts;
class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QThread;
class SeamView;
class WaveformView;

// The window "Loop-Werkstatt": one recording cut into a start, a loop and an end part. It
// prepares the recording as the module will play it (on a worker thread), shows it with the
// search range and the two loop points as draggable markers, searches the range for seamless
// loops (on a worker thread), lists the candidates, shows the seam of the chosen loop close
// up and plays start, loop (while the space bar is held) and end. "Übernehmen" writes the
// three parts into the project folder and hands their names on. It knows only the files.
class LoopWorkshop : public QWidget {
    Q_OBJECT
public:
    // A window for the recording at `recording`; the parts go into `projfiledir` under names
    // made from `stem`. Preparing the recording starts at once.
    LoopWorkshop(Prompts& prompts, ListenPlayback& player, const QString& recording,
                 const QString& projfiledir, const QString& stem, QWidget* parent = nullptr);
    // Stops a running task and waits for its thread.
    ~LoopWorkshop() override;

    // What the flash still takes for the three parts, asked when the recording is shown and
    // again before "Übernehmen": the window tells, and asks before writing, when they will
    // not fit.
    void setFreeSamples(std::function<std::int64_t()> freeSamples);

    // The markers of the view, in this order.
    enum MarkerIndex { kRangeFrom, kRangeTo, kLoopStart, kLoopEnd };

    WaveformView* view() const { return m_view; }
    SeamView* seamView() const { return m_seam; }
    QTableWidget* candidateList() const { return m_list; }
    QDoubleSpinBox* crossfade() const { return m_crossfade; }
    PrepareOptionsBox* optionsBox() const { return m_optionsBox; }
    QCheckBox* moduleToggle() const { return m_module; }
    QLineEdit* stem() const { return m_stem; }
    QPushButton* prepareButton() const { return m_prepare; }
    QPushButton* searchButton() const { return m_search; }
    QPushButton* snapButton() const { return m_snap; }
    QPushButton* acceptButton() const { return m_accept; }
    QPushButton* cancelButton() const { return m_cancel; }
    QProgressBar* progress() const { return m_progress; }
    QLabel* status() const { return m_status; }
    QLabel* budget() const { return m_budget; }
    QLabel* loopText() const { return m_loopText; }
    bool running() const { return m_thread != nullptr; }
    // True once a recording is prepared and shown.
    bool prepared() const { return !m_signal.empty(); }
    // The loop [a, b) as chosen or dragged, in samples of the prepared recording.
    std::int64_t loopStart() const { return m_loop.a; }
    std::int64_t loopEnd() const { return m_loop.b; }
    const melo::LoopCandidate& loop() const { return m_loop; }
    const std::vector<melo::LoopCandidate>& candidates() const { return m_candidates; }

    // Prepares the recording again with the options shown.
    void prepareRecording();
    // Searches the range for loops.
    void search();
    // Moves both loop points a few milliseconds to the best seam near them.
    void snap();
    // Makes candidate `index` the loop.
    void choose(int index);
    // Writes the three parts and hands their names on.
    void accept();
    // Stops a running task; without one, closes the window.
    void cancelOrClose();

    // What the space bar does: a press starts the three parts, the release ends the loop.
    void pressPlay();
    void releasePlay();

signals:
    // The three parts were written into the project folder under these bare names.
    void partsWritten(const QString& start, const QString& loop, const QString& end);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void run(const QString& text, std::function<void()> work, std::function<void()> done);
    void finished(const std::function<void()>& done);
    void setRunning(bool running);
    void showStatus(const QString& text, bool failure);
    void showBudget();
    void showRecording();
    void showLoop(const melo::LoopCandidate& loop);
    void markerMoved(int index, double position);
    // No candidate is chosen in the list.
    void clearChoice();
    void updateMarkers();
    std::int64_t crossfadeSamples() const;
    melo::LoopParts parts() const;
    std::array<melo::PcmSound, 3> partSounds() const;
    QString loopDescription(const melo::LoopCandidate& loop) const;

    Prompts& m_prompts;
    QString m_recording;
    QString m_projfiledir;

    WaveformView* m_view;
    SeamView* m_seam;
    QLabel* m_seamText;
    QLabel* m_loopText;
    QTableWidget* m_list;
    QDoubleSpinBox* m_minLength;
    QDoubleSpinBox* m_crossfade;
    PrepareOptionsBox* m_optionsBox;
    QCheckBox* m_module;
    QLineEdit* m_stem;
    QPushButton* m_prepare;
    QPushButton* m_search;
    QPushButton* m_snap;
    QPushButton* m_accept;
    QPushButton* m_cancel;
    QProgressBar* m_progress;
    QLabel* m_status;
    QLabel* m_budget;
    HeldListening* m_listening;
    std::function<std::int64_t()> m_freeSamples;

    // The task on the worker thread and what it works with; the thread is the only one
    // touching them while it runs.
    QThread* m_thread = nullptr;
    melo::SoundPreparation m_preparation;
    melo::LoopFinder m_finder;
    melo::PreparedSound m_sound;
    melo::PrepareResult m_prepareResult;
    melo::PrepareOptions m_options;
    melo::LoopResult m_loopResult;
    std::atomic<bool> m_cancelWrite{false};
    melo::FolderWrite m_written;

    std::vector<float> m_signal;          // the prepared recording
    int m_bits = 16;                      // of its frames, and of the parts written
    mutable melo::DecodedSound m_decoded; // the decoder's buffer for 16-bit parts' 8-bit samples
    melo::WaveformRow m_row;              // its 8-bit samples, as the view shows them
    melo::SampleSpan m_range;             // where the search looks
    melo::LoopCandidate m_loop;           // the loop chosen or dragged
    std::vector<melo::LoopCandidate> m_candidates;
};
