#pragma once

#include "project/project_folder.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace melo {

// The three parts of a sound: [0, a), the loop [a, b) and [b, end).
struct LoopParts {
    std::vector<float> start;
    std::vector<float> loop;
    std::vector<float> end;
};

// Cuts `signal` at a < b. With a crossfade of c samples (at most a and b - a), the loop's last
// c samples blend into the c samples before a, so its end runs into its start as the start
// part runs into it; the end part's first c samples blend from the material after a into
// that after b, so the end part follows the loop without a step. Without a crossfade the
// three parts put end to end are the signal, sample for sample. Points outside the signal are
// moved to its ends.
LoopParts cut_loop(std::span<const float> signal, std::int64_t a, std::int64_t b,
                   std::int64_t crossfade);

// The crossfade `cut_loop` applies at most for [a, b): it needs material before a.
std::int64_t usable_crossfade(std::int64_t a, std::int64_t b, std::int64_t crossfade);

// The samples of mono PCM frames, 8-bit unsigned (128 is 0) or 16-bit signed little-endian,
// as -1 to 1 at the scale of the module's 8-bit steps (128 steps per full scale).
std::vector<float> signal_of_frames(int bits, std::string_view frames);

// The frames of `signal` at `bits`: rounded to the nearest step and limited to the module's
// 1..254 (8 bits) or the 16-bit range. The exact inverse of signal_of_frames for its samples.
std::string frames_of_signal(int bits, std::span<const float> signal);

// The file names of the three parts of `stem`: STEM_anfang.wav, STEM_loop.wav, STEM_ende.wav.
std::array<std::string, 3> loop_part_names(const std::string& stem);

// The three part files of `stem`, named by loop_part_names, as mono PCM WAV of `rate` and
// `bits`: what write_into_folder (project/project_folder.h) puts into the project folder. A
// part without samples gets no file and no name (a WAV file without samples is no part the
// generation run takes; the field stays empty): a loop over the whole recording is its loop
// part alone.
std::vector<FolderFile> loop_part_files(const std::string& stem, const LoopParts& parts,
                                        std::int32_t rate, int bits);

} // namespace melo
