#pragma once

#include "common/progress.h"
#include "flash/waveform_model.h"
#include "loop/loop_finder.h"
#include "loop/loop_parts.h"
#include "prepare/sound_preparation.h"
#include "project/project_folder.h"
#include "wav/pcm_file.h"
#include "wav/wav_decoder.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace melo {

// A recording prepared for cutting, as the module will play it.
struct PreparedRecording {
    std::string name; // the recording's file name, which the waveform shows
    PrepareOptions options;
    PrepareResult result; // code Ok, or why there is nothing to cut (German)
    int bits = 16;        // of the prepared frames, and so of the parts written
    // The samples, -1 to 1 at the scale of the module's 8-bit steps; shared with the searches
    // and never changed. None when the preparation failed.
    std::shared_ptr<const std::vector<float>> signal;
    std::vector<std::uint8_t> module; // the 8-bit samples the image gets of the recording
};

// Prepares the recording at `path` with `options` (work for a worker thread: it touches no
// session). Never throws; a failure or a cancel leaves `result` telling why.
PreparedRecording prepare_recording(const std::string& path, const PrepareOptions& options,
                                    ProgressObserver& observer);

// A loop search to run on a worker thread: the signal nobody changes, and the settings.
struct LoopSearch {
    std::shared_ptr<const std::vector<float>> signal;
    LoopSettings settings;
};

// Runs `search`. Never throws; see LoopFinder::find.
LoopResult run_loop_search(const LoopSearch& search, ProgressObserver& observer);

// The part files to write into a project folder, ready for a worker thread: start, loop and
// end, a part without samples without a name (it gets no file).
struct PartsToWrite {
    std::string directory;
    std::vector<FolderFile> files;
};

// Writes the parts, all or none, replacing what is there (the user was asked before): see
// write_into_folder. The result's names are the files' names as the folder spells them.
FolderWrite write_parts(const PartsToWrite& job, ProgressObserver& observer);

// What must be known before the parts are written.
struct WriteCheck {
    std::string problem;                // why nothing can be written (German), or ""
    std::vector<std::string> differing; // files there already with other contents: ask first
    std::int64_t samples = 0;           // of the three parts together
    bool fits = true;                   // whether they fit the free flash
    // Why the loop will not sound like one (German), when the search found nothing that
    // repeats and the loop is one of its candidates without a crossfade; else "".
    std::string doubt;
};

// The last outcome of the session's work, as the window's status line shows it.
struct SessionStatus {
    std::string text; // German
    bool failure = false;
};

// The loop workshop's state and rules, without a window: one prepared recording, the range
// the search looks in, the loop [a, b) (chosen from the candidates or moved by hand), the
// crossfade, the three parts that loop makes and the check before they are written. The
// long steps (preparing, searching, writing) run elsewhere on the values this class hands
// out, and their results come back to it.
class LoopSession {
public:
    // Texts with decimals use `decimal_separator`.
    explicit LoopSession(char decimal_separator = '.');

    // Takes a preparation's outcome. A prepared recording replaces the one before: the
    // range becomes its steady middle, the loop that range, and the candidates go. A failed
    // one changes the status only. Returns whether a recording was taken.
    bool take_recording(PreparedRecording recording);
    bool prepared() const { return m_recording.signal != nullptr; }
    const PreparedRecording& recording() const { return m_recording; }
    std::span<const float> signal() const;
    std::int64_t length() const { return static_cast<std::int64_t>(signal().size()); }
    // The recording as the waveform shows it: one part that holds it all, in 8-bit samples.
    const WaveformRow& row() const { return m_row; }

    SampleSpan range() const { return m_range; }
    const LoopCandidate& loop() const { return m_loop; }
    bool has_loop() const { return prepared() && m_loop.b > m_loop.a; }
    const std::vector<LoopCandidate>& candidates() const { return m_candidates; }
    // The candidate that is the loop, or -1 when the loop was moved by hand.
    int chosen() const { return m_chosen; }

    // The four markers of the waveform, in this order.
    enum Marker { kRangeFrom, kRangeTo, kLoopStart, kLoopEnd };
    // Moves a marker to `at`, kept inside the recording and on its side of its partner;
    // a moved loop point makes the loop the user's own.
    void move_marker(int marker, std::int64_t at);
    // Makes candidate `index` the loop; an index without a candidate changes nothing.
    void choose(int index);
    // Moves both loop points by at most a few milliseconds to the best seam near them.
    void snap();
    double crossfade_ms() const { return m_crossfade_ms; }
    // The crossfade the parts get; the loop's figures are taken again with it.
    void set_crossfade_ms(double ms);
    double min_seconds() const { return m_min_seconds; }
    void set_min_seconds(double seconds) { m_min_seconds = seconds; }

    // A search over the range, with the shortest loop and the crossfade set.
    LoopSearch search() const;
    // Takes a search's outcome: its candidates, the best of them as the loop.
    void take_search(const LoopResult& result);

    // The three parts of the loop, crossfaded as set.
    LoopParts parts() const;
    // The parts as they play: with `as_module` the 8-bit samples the image gets, else the
    // samples as written.
    std::array<PcmSound, 3> part_sounds(bool as_module) const;
    // The loop's seam as the image will play it: its last samples, then its first.
    SeamCloseUp seam() const;

    // Whether the parts may be written into `directory` under `stem`, with `free_samples`
    // left in the flash (none: not known). The files named by a project there in another
    // case are the ones compared, and replaced.
    WriteCheck check_write(const std::string& directory, const std::string& stem,
                           std::optional<std::int64_t> free_samples) const;
    PartsToWrite parts_to_write(const std::string& directory, const std::string& stem) const;
    // Takes the outcome of writing the parts.
    void take_written(const FolderWrite& written);

    const SessionStatus& status() const { return m_status; }
    // "Loop 0,420 s (5470) bis …": the loop with its seam figures; or that there is none.
    std::string loop_text() const { return loop_text(m_loop); }
    std::string loop_text(const LoopCandidate& loop) const;
    // "Nahtstelle Loop → Loop (8 Bit): Sprung +1 (116 → 117)", or that there is no loop.
    std::string seam_text() const;
    // A time of `samples` samples with three decimals and the unit, "0,420 s".
    std::string seconds_text(std::int64_t samples) const;
    // A figure with `decimals` decimals.
    std::string number_text(double value, int decimals) const;

private:
    std::int64_t crossfade_samples() const;
    std::string module_samples(std::span<const float> samples) const;
    void evaluate(std::int64_t a, std::int64_t b);

    char m_separator;
    PreparedRecording m_recording;
    WaveformRow m_row;
    SampleSpan m_range;
    LoopCandidate m_loop;
    std::vector<LoopCandidate> m_candidates;
    int m_chosen = -1;
    double m_crossfade_ms = 0.0;
    double m_min_seconds = kDefaultMinLoopSeconds;
    SessionStatus m_status;
    std::string m_doubt;                     // the last search's reason why its loops do not repeat
    std::unique_ptr<DecodedSound> m_decoded; // the decoder's buffer for 16-bit parts
};

} // namespace melo
