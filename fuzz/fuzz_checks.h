#pragma once

#include <string_view>

// The checks of the fuzz targets, one per in-memory entry point. Each feeds `bytes` to its
// entry point and aborts when a promise the rest of the program relies on is broken. The
// fuzz targets call them with generated inputs; the replay test with the stored corpora.
namespace melo::fuzz {

// The WAV decoder, header only and full: the sample count within the buffer, progress rising
// in per mille, a full decode's samples 1 to 254.
void check_decoder(std::string_view bytes);

// The INI reader and writer: an untouched document keeps its text, a write keeps every other
// line and reads back what was written.
void check_ini(std::string_view bytes);

// An image (.DSU) read by `dump` and by the waveform model: every entry and sample range
// inside the image, the ranges of a stretch what its samples hold.
void check_image(std::string_view bytes);

// `bytes` as a name in a project, resolved in a fixture folder with links in and out of it, a
// link loop and names that differ only in case: a name that is not refused lies inside the
// folder once every link is resolved, and a name with a control character is refused.
void check_project_path(std::string_view bytes);

// The preparation's audio reader over the bytes as a file in memory: it opens or says why
// not, reads to the end with every sample finite, and tells what was damaged.
void check_audio_reader(std::string_view bytes);

// The loop search over any signal with any settings (see loop_search_input in
// fuzz_checks.cpp for the layout): it ends, a loop lies inside the signal and its range with
// the asked-for length, the chosen loop is honest exactly when the code says Ok, and a
// refusal says why. The user's own points, snapped or not, and the cut parts stay inside too.
void check_loop_search(std::string_view bytes);

} // namespace melo::fuzz
