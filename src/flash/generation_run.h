#pragma once

#include <cstdint>
#include <functional>
#include <array>
#include <string>
#include <vector>

#include "flash/flash_image.h"
#include "flash/part_placement.h"
#include "project/project_file.h"
#include "wav/wav_decoder.h"

namespace melo {

// Background colours of the run's status line.
enum class StatusColour { Window, Red, Green, Yellow };

// What a run works on: the project's fields and where its files are.
struct RunInput {
    ProjectFields fields;
    std::string projfiledir;  // the project directory: base and WAV files are looked for here
    std::string output_dir;   // where the .DSU, .LOG and .DBG files go
    std::string project_name; // the project file name; its stem names the output files
    std::string versionfull;  // the version text of the first log line
    bool write_log = false;   // "Logfile" ticked
    bool write_debug = false; // the debug mode
    bool result_sounds = false; // "Warntöne" not clear
    char decimal_separator = '.'; // of the progress caption while the base file is read
    // For a part the decoder refuses: a line that tells how to convert the file at `path`, or
    // "" for none. The shells know the sound preparation; the run does not.
    std::function<std::string(const std::string& path)> conversion_hint;
};

// Told of everything a run shows while it runs. The window turns these into widget states;
// the command-line tool prints lines and a progress bar.
// Its progress() is the run's progress display (0 to 1000); a run is not cancelled.
class RunObserver : public ProgressObserver {
public:
    // Both views start afresh with this line.
    virtual void views_reset(const std::string& first_line) { (void)first_line; }
    // A line for the debug view, and for the log view too when `logalso`.
    virtual void log_line(const std::string& line, bool logalso) { (void)line, (void)logalso; }
    // The caption beside the progress display changed; told before the value it belongs to.
    virtual void progress_caption(const std::string& caption) { (void)caption; }
    virtual void status(const std::string& text, StatusColour colour) { (void)text, (void)colour; }
    // A decode of the run ended. `checked`: a header check, whose result the inspection
    // panel's status field shows.
    virtual void decoded(int code, const DecodedSound& sound, bool checked) { (void)code, (void)sound, (void)checked; }
    // Receives the decoder's progress, or nothing.
    virtual DecodeProgress* decode_progress() { return nullptr; }
    // The result sound to play ("ok.wav", "warn.wav" or "nok.wav").
    virtual void result_sound(const std::string& name) { (void)name; }
};

struct RunResult {
    bool failed = false;
    std::int32_t flashpos = 0;
    std::int32_t warncount = 0;
    std::string log_text;   // the log view: lines separated by CR LF
    std::string debug_text; // the debug view
    std::string status_text;
    StatusColour colour = StatusColour::Window;
    std::string dsu_path;
    bool dsu_written = false;
    // The .LOG or .DBG files that could not be written, each as a German sentence that the
    // log views also received.
    std::vector<std::string> file_errors;
};

// The generation run: preparation, base image, WAV checks, placement of the parts with the
// address table, size check and result, the .DSU file and the log files. It works on the
// window's image buffer, slot tables and decoded sound, which keep their contents afterwards.
class GenerationRun {
public:
    GenerationRun(FlashImage& flash, SoundSlots& slot_tables, DecodedSound& sound)
        : m_flash(flash), m_slots(slot_tables), m_sound(sound) {}

    RunResult run(const RunInput& input, RunObserver& observer);

private:
    void add2log(const std::string& line, bool logalso);
    void progress(int permille, const std::string& caption);
    void status(const std::string& text, StatusColour colour);
    void decode_failed(const std::string& name, std::uint8_t code);
    void warning(const std::string& name, const std::string& text);

    void base_image(const RunInput& input);
    void wav_checks(const RunInput& input);
    void placement();
    void result(const RunInput& input);
    void log_files(const RunInput& input);

    FlashImage& m_flash;
    SoundSlots& m_slots;
    DecodedSound& m_sound;
    RunObserver* m_observer = nullptr;
    RunResult m_result;
    bool m_generror = false;
    std::string m_projbase; // the output files' stem, with its dot
    // The file each slot's part was found as in the checks; placement decodes the same file.
    std::array<std::string, SoundSlots::kSize> m_paths;
};

// The output files' stem: the project name up to and including the "." of its first ".dsp"
// (any case); "" when it has none.
std::string project_base(const std::string& project_name);

// Whether an image of `size` bytes is too big for the flash: a completely full memory counts
// as too big, as the run's size line says.
inline bool too_big_for_flash(std::int64_t size) {
    return size >= kFlashCapacity;
}

// "FLASH 32Mbit: N frei", or the oversize warning from 4,194,304 bytes on.
std::string size_message(std::int32_t flashpos);

} // namespace melo
