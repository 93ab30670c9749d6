#include "loop/loop_session.h"

#include "common/number_format.h"
#include "flash/sound_budget.h"
#include "project/file_choice.h"
#include "wav/byte_source.h"
#include "wav/wav_writer.h"

#include <algorithm>

namespace melo {
namespace {

// The 8-bit samples the image gets of `samples` written with `bits`: an 8-bit part's as they
// are; a 16-bit part's through the decoder (whose buffer `sound` is), which drops the low
// byte as the generation run does.
std::string module_samples(int bits, std::span<const float> samples, DecodedSound& sound) {
    std::string frames = frames_of_signal(bits, samples);
    if (bits == 8 || frames.empty()) {
        return frames;
    }
    const std::string wav = pcm_wav(kTargetFreq, 1, bits, frames);
    MemorySource source(wav);
    if (decode_sound(source, "", true, sound) != kDecodeOk || sound.wavend < 1) {
        return {};
    }
    const auto* first = sound.wavdata.data() + 1; // index 0 is unused
    return std::string(first, first + sound.wavend);
}

PcmSound pcm(int bits, std::string frames) {
    return PcmSound{1, kTargetFreq, bits, bits / 8, std::move(frames)};
}

} // namespace

PreparedRecording prepare_recording(const std::string& path, const PrepareOptions& options,
                                    ProgressObserver& observer) {
    PreparedRecording recording;
    recording.name = bare_name_of(path);
    recording.options = options;
    PreparedSound sound;
    recording.result = SoundPreparation().prepare(path, options, observer, sound);
    if (recording.result.code != PrepareCode::Ok) {
        return recording;
    }
    recording.bits = sound.bits;
    auto signal = std::make_shared<std::vector<float>>(signal_of_frames(sound.bits, sound.frames));
    sound.frames.clear();
    const auto decoded = std::make_unique<DecodedSound>(); // 8 MiB: not on the stack
    const std::string bytes = module_samples(sound.bits, *signal, *decoded);
    recording.module.assign(bytes.begin(), bytes.end());
    recording.signal = std::move(signal);
    return recording;
}

LoopResult run_loop_search(const LoopSearch& search, ProgressObserver& observer) {
    return LoopFinder().find(*search.signal, search.settings, observer);
}

FolderWrite write_parts(const PartsToWrite& job, ProgressObserver& observer) {
    return guarded(
        [&] { return write_into_folder(job.directory, job.files, Replace::allowed, &observer); },
        [](WorkFault fault) {
            FolderWrite failed;
            failed.error = fault == WorkFault::NoMemory
                               ? "Der Arbeitsspeicher reicht zum Schreiben nicht aus"
                               : "Das Schreiben ist an einem inneren Fehler gescheitert";
            return failed;
        });
}

LoopSession::LoopSession(char decimal_separator)
    : m_separator(decimal_separator), m_decoded(std::make_unique<DecodedSound>()) {}

std::span<const float> LoopSession::signal() const {
    return m_recording.signal ? std::span<const float>(*m_recording.signal)
                              : std::span<const float>();
}

bool LoopSession::take_recording(PreparedRecording recording) {
    const PrepareResult& result = recording.result;
    if (result.code != PrepareCode::Ok || !recording.signal) {
        m_status = {result.message, result.code != PrepareCode::Cancelled};
        return false;
    }
    m_recording = std::move(recording);
    m_status = {describe_result(m_recording.result, m_recording.options, m_separator), false};
    WaveformPart part;
    part.title = "Aufnahme";
    part.name = m_recording.name;
    part.samples = m_recording.module;
    part.summary = MinMaxSummary(part.samples);
    m_row = WaveformRow();
    m_row.title = m_recording.name;
    m_row.parts[0] = std::move(part);
    m_candidates.clear();
    m_chosen = -1;
    m_doubt.clear();
    m_range = steady_range(signal(), kTargetFreq);
    evaluate(m_range.from, m_range.to);
    return true;
}

void LoopSession::move_marker(int marker, std::int64_t at) {
    if (!prepared()) {
        return;
    }
    switch (marker) {
    case kRangeFrom:
        m_range.from = std::clamp<std::int64_t>(at, 0, m_range.to - 1);
        return;
    case kRangeTo:
        m_range.to = std::clamp<std::int64_t>(at, m_range.from + 1, length());
        return;
    case kLoopStart:
        evaluate(std::clamp<std::int64_t>(at, 0, m_loop.b - 1), m_loop.b);
        break;
    case kLoopEnd:
        evaluate(m_loop.a, std::clamp<std::int64_t>(at, m_loop.a + 1, length()));
        break;
    default:
        return;
    }
    m_chosen = -1;
}

void LoopSession::choose(int index) {
    if (index < 0 || index >= static_cast<int>(m_candidates.size())) {
        return;
    }
    const LoopCandidate& c = m_candidates[static_cast<std::size_t>(index)];
    evaluate(c.a, c.b);
    m_chosen = index;
}

void LoopSession::snap() {
    if (!has_loop()) {
        return;
    }
    m_loop = snap_loop(signal(), m_loop.a, m_loop.b, kLoopSnapMs, crossfade_samples(), kTargetFreq);
    m_chosen = -1;
}

void LoopSession::set_crossfade_ms(double ms) {
    m_crossfade_ms = std::clamp(ms, 0.0, kMaxCrossfadeMs);
    if (prepared()) {
        evaluate(m_loop.a, m_loop.b);
    }
}

LoopSearch LoopSession::search() const {
    LoopSearch search;
    search.signal = m_recording.signal;
    search.settings.range = m_range;
    search.settings.min_seconds = m_min_seconds;
    search.settings.crossfade_ms = m_crossfade_ms;
    search.settings.decimal_separator = m_separator;
    return search;
}

void LoopSession::take_search(const LoopResult& result) {
    if (result.code == LoopCode::NoLoop) {
        // Nothing repeats in the range: no candidate of an earlier search stands for it.
        m_candidates.clear();
        m_chosen = -1;
        m_doubt.clear();
    }
    if (result.code != LoopCode::Ok && result.code != LoopCode::NoRepetition) {
        m_status = {result.message, result.code != LoopCode::Cancelled};
        return;
    }
    m_candidates = result.candidates;
    m_doubt = result.code == LoopCode::NoRepetition ? result.message : std::string();
    choose(0);
    const std::string found =
        result.code == LoopCode::Ok
            ? std::to_string(m_candidates.size()) + " Loops gefunden; der beste ist gewählt."
            : result.message;
    m_status = {describe_result(m_recording.result, m_recording.options, m_separator) + "\n" +
                    found,
                result.code != LoopCode::Ok};
}

LoopParts LoopSession::parts() const {
    return cut_loop(signal(), m_loop.a, m_loop.b,
                    usable_crossfade(m_loop.a, m_loop.b, crossfade_samples()));
}

std::array<PcmSound, 3> LoopSession::part_sounds(bool as_module) const {
    const LoopParts cut = parts();
    const int bits = m_recording.bits;
    std::array<PcmSound, 3> sounds;
    std::size_t p = 0;
    for (const std::vector<float>* part : {&cut.start, &cut.loop, &cut.end}) {
        sounds[p++] =
            as_module ? pcm(8, module_samples(*part)) : pcm(bits, frames_of_signal(bits, *part));
    }
    return sounds;
}

SeamCloseUp LoopSession::seam() const {
    if (!has_loop()) {
        return {};
    }
    constexpr std::ptrdiff_t width = 64;
    const LoopParts cut = parts();
    std::vector<float> ends = cut.loop;
    if (cut.loop.size() > 2 * width) {
        ends.assign(cut.loop.begin(), cut.loop.begin() + width);
        ends.insert(ends.end(), cut.loop.end() - width, cut.loop.end());
    }
    WaveformPart part;
    const std::string bytes = module_samples(ends);
    part.samples.assign(bytes.begin(), bytes.end());
    return loop_seam(part);
}

WriteCheck LoopSession::check_write(const std::string& directory, const std::string& stem,
                                    std::optional<std::int64_t> free_samples) const {
    WriteCheck check;
    check.samples = length();
    if (!has_loop()) {
        check.problem = "Kein Loop gewählt.";
        return check;
    }
    check.problem = new_file_name_problem(stem);
    if (!check.problem.empty()) {
        return check;
    }
    check.fits = !free_samples || fits_free_flash(check.samples, *free_samples);
    // The search's word against its own loops stands until the user blends the seam or
    // sets the points.
    if (m_chosen >= 0 && m_crossfade_ms <= 0.0) {
        check.doubt = m_doubt;
    }
    check.differing = differing_files(directory, parts_to_write(directory, stem).files);
    return check;
}

PartsToWrite LoopSession::parts_to_write(const std::string& directory,
                                         const std::string& stem) const {
    return PartsToWrite{directory, loop_part_files(stem, parts(), kTargetFreq, m_recording.bits)};
}

void LoopSession::take_written(const FolderWrite& written) {
    if (written.outcome != FolderOutcome::written) {
        m_status = {written.error, written.outcome != FolderOutcome::cancelled};
        return;
    }
    std::string names; // a part without samples has no file
    for (const std::string& name : written.names) {
        if (!name.empty()) {
            names += (names.empty() ? "" : ", ") + name;
        }
    }
    m_status = {"Geschrieben und zugewiesen: " + names, false};
}

std::string LoopSession::seconds_text(std::int64_t samples) const {
    return format_fixed(static_cast<double>(samples) / kTargetFreq, 3, m_separator) + " s";
}

std::string LoopSession::number_text(double value, int decimals) const {
    return format_fixed(value, decimals, m_separator);
}

std::string LoopSession::loop_text(const LoopCandidate& loop) const {
    if (!prepared() || loop.b <= loop.a) {
        return "Kein Loop gewählt.";
    }
    const auto with_count = [this](std::int64_t samples) {
        return seconds_text(samples) + " (" + std::to_string(samples) + ")";
    };
    const SeamFigures& s = loop.seam;
    return "Loop " + with_count(loop.a) + " bis " + with_count(loop.b) + ", Länge " +
           with_count(loop.length()) + "\nScore " + number_text(loop.score, 3) + ", Sprung " +
           number_text(s.step, 1) + " (typisch " + number_text(s.typical_step, 1) +
           ", 95 %: " + number_text(s.step_p95, 1) + "), Korrelation " +
           number_text(s.correlation, 4) + ", Pegel " + number_text(s.level_db, 1) + " dB";
}

std::string LoopSession::seam_text() const {
    const SeamCloseUp close = seam();
    if (close.before.empty()) {
        return "Nahtstelle Loop: kein Loop";
    }
    return "Nahtstelle Loop → Loop (8 Bit): Sprung " + std::string(close.step > 0 ? "+" : "") +
           std::to_string(close.step) + " (" + std::to_string(close.before.back()) + " → " +
           std::to_string(close.after.front()) + ")";
}

std::int64_t LoopSession::crossfade_samples() const {
    return melo::crossfade_samples(m_crossfade_ms, kTargetFreq);
}

std::string LoopSession::module_samples(std::span<const float> samples) const {
    return melo::module_samples(m_recording.bits, samples, *m_decoded);
}

void LoopSession::evaluate(std::int64_t a, std::int64_t b) {
    m_loop = evaluate_loop(signal(), a, b, crossfade_samples(), kTargetFreq);
}

} // namespace melo
