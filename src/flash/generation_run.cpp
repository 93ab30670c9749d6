#include "flash/generation_run.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>

#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "common/module_constants.h"
#include "common/number_format.h"
#include "common/progress.h"
#include "platform/paths.h"
#include "project/project_path.h"
#include "wav/decode_result.h"

namespace melo {
namespace {

const char* const kCrLf = "\r\n";
const char* const kControlCharacterReason = "der Name enthält Steuerzeichen";

std::string in_quotes(const std::string& text) {
    return "\"" + text + "\"";
}

} // namespace

std::string project_base(const std::string& project_name) {
    std::string lower = project_name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const auto at = lower.find(".dsp");
    return at == std::string::npos ? std::string() : project_name.substr(0, at + 1);
}

std::string size_message(std::int32_t flashpos) {
    if (too_big_for_flash(flashpos)) {
        return "*** Warnung: Zu groß für 32Mbit: " + std::to_string(static_cast<std::int64_t>(flashpos) - kFlashCapacity) +
               " zuviel";
    }
    return "FLASH 32Mbit: " + std::to_string(kFlashCapacity - flashpos) + " frei";
}

void GenerationRun::add2log(const std::string& line, bool logalso) {
    m_result.debug_text += kCrLf + line;
    if (logalso) {
        m_result.log_text += kCrLf + line;
    }
    m_observer->log_line(line, logalso);
}

void GenerationRun::progress(int permille, const std::string& caption) {
    if (!caption.empty()) {
        m_observer->progress_caption(caption);
    }
    m_observer->progress(permille);
}

void GenerationRun::status(const std::string& text, StatusColour colour) {
    m_result.status_text = text;
    m_result.colour = colour;
    m_observer->status(text, colour);
}

void GenerationRun::decode_failed(const std::string& name, std::uint8_t code) {
    add2log(name + ": WAV-Filedecodierung mit Fehler " + std::to_string(code) + " beendet:", true);
    add2log(wavdecoderesult_text(code, m_sound), true);
    m_generror = true;
}

void GenerationRun::warning(const std::string& name, const std::string& text) {
    add2log("*** Warnung: " + name + ": " + text, true);
    ++m_result.warncount;
}

RunResult GenerationRun::run(const RunInput& input, RunObserver& observer) {
    m_observer = &observer;
    m_result = RunResult{};
    m_generror = false;

    // Phase 1: preparation.
    m_projbase = project_base(input.project_name);
    m_paths = {};
    const std::string first_line = "VUZOdezir-Version: " + input.versionfull;
    m_result.debug_text = first_line;
    m_result.log_text = first_line;
    observer.views_reset(first_line);
    progress(0, "");
    m_flash.fill(255);
    m_slots.sndstart.fill(0);
    m_slots.sndend.fill(0);
    m_slots.sndslot = 1;
    status("DSD/DS3-File einlesen", StatusColour::Window);

    base_image(input);
    wav_checks(input);
    if (!m_generror) {
        placement();
    }
    result(input);
    log_files(input);
    return m_result;
}

void GenerationRun::base_image(const RunInput& input) {
    const std::string name = input.fields.dsdfilename;
    const ProjectFile file = resolve_project_file(input.projfiledir, name);
    if (file.control_characters) {
        m_result.flashpos = kAddressTableEnd;
        add2log("Fehler: Basis-DSD/DS3file " + in_quotes(visible_controls(name)) + " nicht gefunden: " +
                    kControlCharacterReason,
                true);
        m_generror = true;
        return;
    }
    if (file.outside) {
        m_result.flashpos = kAddressTableEnd;
        add2log("Fehler: Basis-DSD/DS3file " + in_quotes(name) + " liegt außerhalb des Projektordners", true);
        m_generror = true;
        return;
    }
    // The whole file is read first, as every other input is: a read error fails the run
    // rather than leaving fill bytes in the image.
    std::string bytes;
    std::string error;
    std::error_code ec;
    const bool present = !name.empty() && std::filesystem::exists(std::filesystem::symlink_status(native_path(file.path), ec));
    if (present && !read_file(file.path, bytes, kReadLimit, &error)) {
        m_result.flashpos = kAddressTableEnd;
        add2log("Fehler: Basis-DSD/DS3file " + in_quotes(name) + " nicht lesbar: " + error, true);
        m_generror = true;
        return;
    }
    const auto length = static_cast<std::int64_t>(bytes.size());
    if (length == 0) {
        m_result.flashpos = kAddressTableEnd;
        add2log("Fehler: Basis-DSD/DS3file " + in_quotes(name) + " nicht gefunden", true);
        m_generror = true;
        return;
    }

    // Copy the base file to address 0 on. The progress display moves at each per-mille
    // change, as if the file were read byte by byte; the bytes go in blocks.
    const std::int64_t readable = std::min<std::int64_t>(length, static_cast<std::int64_t>(kFlashLastAddress) + 1);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    PermilleGate shown(nullptr, 1);
    std::int64_t done = 0;
    while (done < length) {
        // The first byte always gets its own step: its value is compared with the initial 1.
        const std::int64_t until = done == 0 ? 1 : std::min(length, next_permille_change(done, length));
        if (done < readable) {
            m_flash.writeBlock(done, data + done, std::min(until, readable) - done);
        }
        done = until;
        const int permille = permille_of(done, length);
        if (shown.pass(permille)) {
            progress(permille, format_one_decimal(permille / 10.0, input.decimal_separator));
        }
    }
    m_result.flashpos = static_cast<std::int32_t>(std::min<std::int64_t>(length, INT32_MAX));

    // The address table lies in the base file's bytes 170 to 205; a shorter base file cannot
    // hold it, and the parts' data would be written over it.
    if (length < kAddressTableEnd) {
        add2log("Fehler: Basis-DSD/DS3file " + in_quotes(name) + " zu kurz: " + std::to_string(length) +
                    " Bytes, die Adresstabelle braucht " + std::to_string(kAddressTableEnd),
                true);
        m_generror = true;
    }
}

void GenerationRun::wav_checks(const RunInput& input) {
    status("USER-WAVs einlesen", StatusColour::Window);
    for (int k = 0; k < 4 && !m_generror; ++k) {
        for (int p = 0; p < 3; ++p) {
            const std::string& name = input.fields.part(k, p);
            const auto s = static_cast<std::size_t>(m_slots.sndslot);
            std::uint8_t code = 0;
            if (is_empty_part(name)) {
                const std::int32_t start = p == 0 ? 44 : m_sound.wavdatastart;
                m_slots.sndstart[s] = start;
                m_slots.sndend[s] = start;
                m_slots.sndmark[s] = 0;
                m_sound.wavfreq = kTargetFreq;
            } else {
                const ProjectFile file = resolve_project_file(input.projfiledir, name);
                if (file.control_characters) {
                    add2log(visible_controls(name) + ": WAV-File nicht gefunden: " + kControlCharacterReason, true);
                    m_generror = true;
                    continue;
                }
                if (file.outside) {
                    // Never read: a project could otherwise copy any readable file into an image.
                    add2log(name + ": WAV-File liegt außerhalb des Projektordners und wird nicht gelesen", true);
                    m_generror = true;
                    continue;
                }
                m_paths[s] = file.path;
                code = check_part(file.path, m_slots, m_sound, m_observer->decode_progress());
                m_observer->decoded(code, m_sound, true);
                add2log(name + ":", false);
            }
            if (code != 0) {
                decode_failed(name, code);
                if (input.conversion_hint) {
                    if (const std::string hint = input.conversion_hint(m_paths[s]); !hint.empty()) {
                        add2log(hint, true);
                    }
                }
                continue; // the next part reuses the slot
            }
            m_slots.sndname[s] = name;
            add2log(hexx(m_slots.sndstart[s], 6) + "," + hexx(m_slots.sndend[s], 6), false);
            if (m_sound.wavfreq != kTargetFreq) {
                warning(name, "Abtastfrequenz hier " + std::to_string(m_sound.wavfreq) + " Hz statt " +
                                  std::to_string(kTargetFreq) + " Hz");
            }
            // A header that declares no samples although sample bytes follow it: the part
            // stays empty in the image, which the user should know.
            const std::int64_t behind = m_sound.wavfilelen - m_sound.wavdatastart;
            if (!is_empty_part(name) && m_slots.sndend[s] == m_slots.sndstart[s] && behind > 0) {
                warning(name, "der Header gibt 0 Samples an, dahinter stehen aber " + std::to_string(behind) +
                                  " Bytes; der Teil bleibt leer");
            }
            ++m_slots.sndslot;
        }
    }
}

void GenerationRun::placement() {
    const int slots = m_slots.sndslot - 1;
    std::int64_t flashpos = m_result.flashpos;
    for (int i = 1; i <= slots; ++i) {
        const auto s = static_cast<std::size_t>(i);
        const std::string& name = m_slots.sndname[s];
        add2log("WAV  " + std::to_string(i) + ": " + name + ":", true);
        const bool named = !is_empty_part(name);
        const PlacedPart part = place_part(named ? m_paths[s] : std::string(), m_slots, i, m_sound,
                                           m_observer->decode_progress());
        if (named) {
            m_observer->decoded(part.code, m_sound, false);
        }
        if (!part.placed()) {
            if (part.changed) {
                // Another file now, whose samples start elsewhere than the checked one's.
                add2log(name + ": WAV-File hat sich seit der Prüfung geändert", true);
                m_generror = true;
            } else {
                // The file vanished or changed since its check: the image cannot be trusted.
                decode_failed(name, part.code);
            }
            break;
        }
        const PlacedSamples& placed = part.samples;
        if (placed.cut_off) {
            warning(name, "File kürzer als im Header angegeben: " + std::to_string(placed.occupied()) + " von " +
                              std::to_string(placed.declared) + " Samples");
        }
        m_flash.writeFLASH3(kAddressTable + 3 * (i - 1), static_cast<std::int32_t>(flashpos));
        const std::int64_t first = placed.first, last = placed.last;
        const std::int64_t valid_first = placed.valid_first, valid_last = placed.valid_last;
        if (valid_first <= valid_last) {
            m_flash.writeBlock(flashpos + (valid_first - first), m_sound.wavdata.data() + valid_first,
                               valid_last - valid_first + 1);
        }
        auto sample_hex = [&](std::int64_t j) {
            return j >= valid_first && j <= valid_last ? " " + hexx(m_sound.wavdata[static_cast<std::size_t>(j)], 2)
                                                       : std::string();
        };
        std::string dump = "WAVBytes: ";
        for (std::int64_t j = first; j <= last && j < first + 4; ++j) {
            dump += sample_hex(j);
        }
        dump += "....";
        for (std::int64_t j = last - 3; j <= last; ++j) {
            if (j >= first) {
                dump += sample_hex(j);
            }
        }
        flashpos += placed.occupied();

        const std::uint8_t marker = slot_marker(i, m_slots.sndmark[s]);
        m_flash.writeFLASH(static_cast<std::int32_t>(std::min<std::int64_t>(flashpos, INT32_MAX)), marker);
        ++flashpos;
        add2log(dump + "," + hexx(marker, 2), false);

        const int permille = i * 1000 / slots;
        progress(permille, std::to_string(std::lround(permille / 10.0)) + " %");
    }
    m_result.flashpos = static_cast<std::int32_t>(std::min<std::int64_t>(flashpos, INT32_MAX));
}

void GenerationRun::result(const RunInput& input) {
    const std::int32_t flashpos = m_result.flashpos;
    add2log("benötigte Bytes: " + std::to_string(flashpos), true);
    const std::string size = size_message(flashpos);
    add2log(size, true);

    m_result.dsu_path = input.output_dir + path_separator() + m_projbase + "DSU";
    if (!m_generror) {
        // The image is written before the result is decided: an image that cannot be
        // written makes the run a failure, and no half-written file is left.
        const auto n = static_cast<std::size_t>(std::min(flashpos, kFlashLastAddress));
        std::string error;
        m_result.dsu_written = replace_file(
            m_result.dsu_path,
            std::string_view(reinterpret_cast<const char*>(m_flash.image(static_cast<std::int32_t>(n))), n), &error);
        if (!m_result.dsu_written) {
            add2log("Fehler: DSU-File " + in_quotes(m_result.dsu_path) + " nicht geschrieben: " + error, true);
            m_generror = true;
        }
    }

    if (m_generror) {
        m_result.failed = true;
        add2log("Ergebnis = FEHLERHAFT", true);
        status("Ergebnis = FEHLERHAFT", StatusColour::Red);
        if (input.result_sounds) {
            m_observer->result_sound("nok.wav");
        }
        return;
    }
    if (m_result.warncount == 0) {
        status("Ergebnis = OK, " + size, StatusColour::Green);
    } else {
        const std::string warnings = std::to_string(m_result.warncount) + " Warnung(en)";
        add2log(warnings, true);
        status("Ergebnis = OK mit " + warnings + ", " + size, StatusColour::Yellow);
    }
    add2log("Ergebnis = OK", true);
    if (input.result_sounds) {
        m_observer->result_sound(m_result.warncount == 0 ? "ok.wav" : "warn.wav");
    }
}

void GenerationRun::log_files(const RunInput& input) {
    const std::string stem = input.output_dir + path_separator() + m_projbase;
    auto write = [&](const std::string& path, const std::string& text) {
        std::string error;
        if (!replace_file(path, utf8_to_file_text(text + kCrLf), &error)) {
            const std::string line = "Fehler: Logfile " + in_quotes(path) + " nicht geschrieben: " + error;
            m_result.file_errors.push_back(line);
            add2log(line, true);
        }
    };
    if (input.write_log) {
        write(stem + "LOG", m_result.log_text);
    }
    if (input.write_debug) {
        write(stem + "DBG", m_result.debug_text);
    }
}

} // namespace melo
