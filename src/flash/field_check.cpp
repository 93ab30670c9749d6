#include "flash/field_check.h"

#include "common/cp1252.h"
#include "common/module_constants.h"
#include "common/number_format.h"
#include "flash/flash_image.h"
#include "flash/generation_run.h"
#include "flash/part_placement.h"
#include "flash/sound_budget.h"
#include "platform/paths.h"
#include "project/file_choice.h"
#include "project/project_path.h"
#include "wav/decode_result.h"
#include "wav/wav_decoder.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>

namespace melo {
namespace {

std::string quoted(const std::string& name) {
    return "„" + visible_controls(name) + "“";
}

std::string seconds_of(std::int64_t samples, char separator) {
    return format_one_decimal(static_cast<double>(samples) / kTargetFreq, separator) + " s";
}

// The file a field names, or the issue that keeps the run from reading it.
FieldCheck locate(const std::string& projfiledir, const std::string& name, ProjectFile& file) {
    file = resolve_project_file(projfiledir, name);
    if (file.control_characters) {
        return {FieldIssue::Unusable, quoted(name) + ": der Name enthält Steuerzeichen"};
    }
    if (file.outside) {
        return {FieldIssue::Unusable,
                quoted(name) + " liegt außerhalb des Projektordners und wird nicht gelesen"};
    }
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(native_path(file.path), ec))) {
        return {FieldIssue::Missing, quoted(name) + " fehlt im Projektordner " + projfiledir};
    }
    return {};
}

// The base file: present, readable as a file, long enough to hold the address table.
FieldCheck check_base(const std::string& projfiledir, const std::string& name,
                      std::int64_t& length) {
    length = 0;
    if (name.empty()) {
        return {FieldIssue::NoBase,
                "Kein Basis-Soundfile gewählt: „DSU-File erzeugen“ braucht eine DSD/DS3-Datei"};
    }
    ProjectFile file;
    if (FieldCheck located = locate(projfiledir, name, file); located.issue != FieldIssue::None) {
        return located;
    }
    std::error_code ec;
    const auto path = native_path(file.path);
    if (!std::filesystem::is_regular_file(path, ec)) {
        return {FieldIssue::Unusable, quoted(name) + " ist keine Datei"};
    }
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    length = ec ? 0 : static_cast<std::int64_t>(size);
    if (length == 0) {
        return {FieldIssue::Unusable, quoted(name) + " ist leer"};
    }
    if (length < kAddressTableEnd) {
        return {FieldIssue::Unusable, quoted(name) + " ist zu kurz: " + std::to_string(length) +
                                          " Bytes, die Adresstabelle braucht " +
                                          std::to_string(kAddressTableEnd)};
    }
    return {};
}

// The header check the run makes of a part's file at `path`, named `name` in the reasons;
// `samples` receives what the image will hold of it.
FieldCheck check_wav(const std::string& path, const std::string& name, DecodedSound& sound,
                     std::int64_t& samples) {
    samples = 0;
    SoundSlots slots;
    const std::uint8_t code = check_part(path, slots, sound);
    if (code == kFileNotFound) {
        return {FieldIssue::Unusable, quoted(name) + " kann nicht gelesen werden"};
    }
    if (code != kDecodeOk) {
        return {FieldIssue::Unusable, quoted(name) + " ist keine WAV-Datei, die das Modul liest: " +
                                          wavdecoderesult_message(code) + " (#" +
                                          std::to_string(code) + ")"};
    }
    const auto slot = static_cast<std::size_t>(slots.sndslot);
    samples = std::max<std::int64_t>(0, std::int64_t{slots.sndend[slot]} - slots.sndstart[slot]);
    if (sound.wavfreq != kTargetFreq) {
        return {FieldIssue::OtherRate,
                quoted(name) + " hat " + std::to_string(sound.wavfreq) + " Hz statt " +
                    std::to_string(kTargetFreq) + " Hz: das Modul spielt den Teil " +
                    (sound.wavfreq > kTargetFreq ? "langsamer und tiefer" : "schneller und höher")};
    }
    return {};
}

FieldCheck check_named_part(const std::string& projfiledir, const std::string& name,
                            DecodedSound& sound, std::int64_t& samples) {
    samples = 0;
    ProjectFile file;
    if (FieldCheck located = locate(projfiledir, name, file); located.issue != FieldIssue::None) {
        return located;
    }
    return check_wav(file.path, name, sound, samples);
}

} // namespace

FieldCheck check_part_file(const std::string& path) {
    const std::string name = bare_name_of(path);
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(native_path(path), ec))) {
        return {FieldIssue::Missing, quoted(name) + " gibt es nicht"};
    }
    auto sound = std::make_unique<DecodedSound>();
    std::int64_t samples = 0;
    return check_wav(path, name, *sound, samples);
}

ProjectCheck check_project(const ProjectFields& fields, const std::string& projfiledir,
                           char decimal_separator, std::span<const int> skip) {
    ProjectCheck result;
    std::int64_t used = 0;
    FieldCheck& base = result.fields[kBaseField];
    base = check_base(projfiledir, fields.dsdfilename, used);
    if (too_big_for_flash(used)) {
        base = {FieldIssue::TooLong, quoted(fields.dsdfilename) + " ist größer als der Flash"};
    }
    auto sound = std::make_unique<DecodedSound>(); // large: not on the stack
    for (int index = 0; index < kBaseField; ++index) {
        const std::string& name = project_field(fields, index);
        std::int64_t samples = 0;
        FieldCheck& field = result.fields[static_cast<std::size_t>(index)];
        if (!is_empty_part(name) && std::ranges::find(skip, index) == skip.end()) {
            field = check_named_part(projfiledir, name, *sound, samples);
        }
        // The image holds the parts in this order, each closed by its marker byte.
        if (samples > 0 && too_big_for_flash(used + samples + 1)) {
            const std::string other = field.reason.empty() ? "" : "\n" + field.reason;
            field = {FieldIssue::TooLong, quoted(name) + " passt nicht mehr in den Flash: " +
                                              seconds_of(samples, decimal_separator) +
                                              " lang, davor " +
                                              sound_budget_text(used, decimal_separator) + other};
        }
        used += samples + 1;
    }
    result.image_size = used;
    return result;
}

} // namespace melo
