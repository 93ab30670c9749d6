// The one place that talks to libsndfile. The file is opened here, not by the library, so a
// FIFO or a device is refused before anything waits on it and a failure keeps its errno.
// (On Windows libsndfile opens the file by its wide-character name, after the same checks.)
//
// libsndfile keeps the errors of an open file in its handle (sf_error(file)), but a failed
// opening has no handle: its code is left in one process-wide variable that sf_error(nullptr)
// reads. A probe on the window's thread and a conversion on its worker may open files at the
// same moment, so the opening and the reading of that code hold one lock.

#include "prepare/audio_reader.h"

#include "common/atomic_file.h"
#include "common/error_output.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>
#include <mutex>
#include <sstream>

#ifdef _WIN32
// libsndfile opens Windows files by their wide-character names.
#include <windows.h>
#define ENABLE_SNDFILE_WINDOWS_PROTOTYPES 1
#include <sndfile.h>
#else
#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace melo {
namespace {

// Floats read in one call at most, whatever the channel count.
constexpr std::size_t kMaxBlockValues = 1 << 20;

// The largest sample value passed on: 60 dB above full scale.
constexpr float kLargestSample = 1000.0f;

// Writes the mean of each of `n` frames of `channels` values, each value times `unit`, to
// `mono`. The arithmetic is the same for every sample type (scaled, summed from zero, times
// 1/channels), so a file read as 16-bit integers gives the samples its float reading gives.
// One and two channels have loops of their own, which the compiler vectorizes.
template <typename T>
void mix(const T* frames, std::size_t n, std::size_t channels, float unit, float* mono) {
    if (channels == 1) {
        for (std::size_t i = 0; i < n; ++i) {
            mono[i] = static_cast<float>(frames[i]) * unit;
        }
    } else if (channels == 2) {
        for (std::size_t i = 0; i < n; ++i) {
            mono[i] = (0.0f + static_cast<float>(frames[2 * i]) * unit +
                       static_cast<float>(frames[2 * i + 1]) * unit) *
                      0.5f;
        }
    } else {
        const float scale = 1.0f / static_cast<float>(channels);
        for (std::size_t i = 0; i < n; ++i) {
            const T* frame = frames + i * channels;
            float sum = 0.0f;
            for (std::size_t c = 0; c < channels; ++c) {
                sum += static_cast<float>(frame[c]) * unit;
            }
            mono[i] = sum * scale;
        }
    }
}

std::string library_format_name(int format, int command) {
    SF_FORMAT_INFO info{};
    info.format = format;
    if (sf_command(nullptr, command, &info, sizeof info) != 0 || info.name == nullptr) {
        return "Format " + std::to_string(format);
    }
    return info.name;
}

std::string container_name(int major) {
    switch (major) {
    case SF_FORMAT_WAV:
        return "WAV";
    case SF_FORMAT_WAVEX:
        return "WAV (Extensible)";
    case SF_FORMAT_AIFF:
        return "AIFF";
    case SF_FORMAT_FLAC:
        return "FLAC";
    case SF_FORMAT_OGG:
        return "Ogg";
    case SF_FORMAT_MPEG:
        return "MPEG-Audio";
    default:
        return library_format_name(major, SFC_GET_FORMAT_INFO);
    }
}

std::string encoding_name(int subtype) {
    switch (subtype) {
    case SF_FORMAT_PCM_S8:
        return "8 bit PCM";
    case SF_FORMAT_PCM_U8:
        return "8 bit PCM ohne Vorzeichen";
    case SF_FORMAT_PCM_16:
        return "16 bit PCM";
    case SF_FORMAT_PCM_24:
        return "24 bit PCM";
    case SF_FORMAT_PCM_32:
        return "32 bit PCM";
    case SF_FORMAT_FLOAT:
        return "32 bit Gleitkomma";
    case SF_FORMAT_DOUBLE:
        return "64 bit Gleitkomma";
    case SF_FORMAT_VORBIS:
        return "Vorbis";
    case SF_FORMAT_OPUS:
        return "Opus";
    case SF_FORMAT_MPEG_LAYER_III:
        return "Layer III (MP3)";
    default:
        return library_format_name(subtype, SFC_GET_FORMAT_INFO);
    }
}

// Serialises sf_open_fd with the reading of its process-wide error code.
std::mutex g_open_lock;

// True for a line the MP3 decoder under libsndfile writes to the standard error output about
// damaged data: "[src/libmpg123/layer3.c:...] error: dequantization failed!", "Warning: Xing
// stream size off ...", "Note: Illegal Audio-MPEG-Header ...". The notes that follow an
// illegal header ("Trying to resync", "Skipped N bytes") belong to it and are not counted again.
bool is_decoder_complaint(std::string_view line) {
    const auto starts = [&](std::string_view text) { return line.substr(0, text.size()) == text; };
    return starts("[src/libmpg123") || starts("Warning: ") || starts("Note: Illegal") || starts("error: ") ||
           starts("Error: ");
}

bool is_decoder_line(std::string_view line) {
    const auto starts = [&](std::string_view text) { return line.substr(0, text.size()) == text; };
    return is_decoder_complaint(line) || starts("Note: ");
}

// True when the file's sample data chunk declares more than the file holds. libsndfile then
// reads what is there and gives no error code: the one trace is a line of the file's own
// log ("data : 88200 (should be 44100)"). A size of 0xFFFFFFFF is the mark of a file
// written as a stream, whose length was never filled in.
bool data_chunk_cut(SNDFILE* file) {
    std::string log(16384, '\0');
    sf_command(file, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()));
    log.resize(log.find('\0') == std::string::npos ? log.size() : log.find('\0'));
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line)) {
        line.erase(0, line.find_first_not_of(' ')); // chunks inside a container are indented
        const bool data_chunk = line.rfind("data", 0) == 0 || line.rfind("SSND", 0) == 0;
        if (data_chunk && line.find("(should be") != std::string::npos &&
            line.find("4294967295") == std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

AudioReader::~AudioReader() {
    if (m_file != nullptr) {
        sf_close(m_file);
    }
#ifndef _WIN32
    if (m_fd >= 0) {
        ::close(m_fd);
    }
#endif
}

PrepareCode AudioReader::open(const std::string& path, std::string& error) {
#ifdef _WIN32
    // Windows has no FIFOs to wait on, but devices ("CON", pipes): only a file on a disk is
    // handed to libsndfile, which then opens it by its wide-character name.
    const std::wstring name = native_path(path).native();
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = "ist ein Verzeichnis";
        return PrepareCode::Unreadable;
    }
    const HANDLE h = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        error = "Datei kann nicht geöffnet werden: " + system_error_text(GetLastError());
        return PrepareCode::Unreadable;
    }
    LARGE_INTEGER size{};
    const bool disk_file = GetFileType(h) == FILE_TYPE_DISK && GetFileSizeEx(h, &size);
    CloseHandle(h);
    if (!disk_file) {
        error = "keine gewöhnliche Datei";
        return PrepareCode::Unreadable;
    }
    return open_with([&name](SF_INFO& info) { return sf_wchar_open(name.c_str(), SFM_READ, &info); },
                     size.QuadPart == 0, error);
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = "Datei kann nicht geöffnet werden: " + file_error_text(errno);
        return PrepareCode::Unreadable;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const bool directory = S_ISDIR(st.st_mode);
        ::close(fd);
        error = directory ? "ist ein Verzeichnis" : "keine gewöhnliche Datei";
        return PrepareCode::Unreadable;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_fd = fd; // closed here, after libsndfile is done with it, whatever the outcome
    return open_with([fd](SF_INFO& info) { return sf_open_fd(fd, SFM_READ, &info, SF_FALSE); },
                     st.st_size == 0, error);
#endif
}

PrepareCode AudioReader::open_memory(std::string_view bytes, std::string& error) {
    m_memory = Memory{bytes, 0};
    static SF_VIRTUAL_IO io = {
        [](void* user) -> sf_count_t { return static_cast<sf_count_t>(static_cast<Memory*>(user)->bytes.size()); },
        [](sf_count_t offset, int whence, void* user) -> sf_count_t {
            Memory& m = *static_cast<Memory*>(user);
            const sf_count_t size = static_cast<sf_count_t>(m.bytes.size());
            const sf_count_t base = whence == SEEK_CUR ? m.position : (whence == SEEK_END ? size : 0);
            if (offset < -base || offset > size - base) {
                return -1; // before the start or past the end: refused, position unchanged
            }
            m.position = base + offset;
            return m.position;
        },
        [](void* to, sf_count_t count, void* user) -> sf_count_t {
            Memory& m = *static_cast<Memory*>(user);
            const sf_count_t n = std::clamp<sf_count_t>(count, 0, static_cast<sf_count_t>(m.bytes.size()) - m.position);
            std::copy_n(m.bytes.data() + m.position, n, static_cast<char*>(to));
            m.position += n;
            return n;
        },
        [](const void*, sf_count_t, void*) -> sf_count_t { return 0; }, // read only
        [](void* user) -> sf_count_t { return static_cast<Memory*>(user)->position; },
    };
    return open_with([this](SF_INFO& info) { return sf_open_virtual(&io, SFM_READ, &info, &m_memory); },
                     bytes.empty(), error);
}

PrepareCode AudioReader::open_with(const std::function<SNDFILE*(SF_INFO&)>& opener, bool empty,
                                   std::string& error) {
    SF_INFO info{};
    int code = SF_ERR_NO_ERROR;
    int open_errno = 0;
    {
        const std::lock_guard<std::mutex> lock(g_open_lock);
        count_complaints(capture_error_output(
            [&] {
                errno = 0;
                m_file = opener(info);
                open_errno = errno;
            },
            is_decoder_line));
        if (m_file == nullptr) {
            code = sf_error(nullptr);
        }
    }
    if (m_file == nullptr) {
        switch (code) {
        case SF_ERR_UNRECOGNISED_FORMAT:
            error = empty ? "Datei ist leer" : "unbekanntes Dateiformat";
            return empty ? PrepareCode::Empty : PrepareCode::UnknownFormat;
        case SF_ERR_UNSUPPORTED_ENCODING:
            error = "Kodierung wird nicht unterstützt";
            return PrepareCode::UnknownFormat;
        case SF_ERR_SYSTEM:
            error = "Datei kann nicht gelesen werden: " +
                    file_error_text(open_errno != 0 ? open_errno : EIO);
            return PrepareCode::Unreadable;
        default:
            error = "Datei ist beschädigt oder unvollständig";
            return PrepareCode::Damaged;
        }
    }
    if (info.channels < 1 || info.samplerate < 1) {
        error = "Datei ist beschädigt (keine Kanäle oder keine Abtastrate)";
        return PrepareCode::Damaged;
    }
    m_container = info.format & SF_FORMAT_TYPEMASK;
    m_pcm16 = (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16;
    m_info.format =
        container_name(m_container) + ", " + encoding_name(info.format & SF_FORMAT_SUBMASK);
    m_info.rate = info.samplerate;
    m_info.channels = info.channels;
    // Some containers (an Ogg stream cut short) do not know their length.
    m_info.frames = info.frames >= 0 && info.frames < std::numeric_limits<sf_count_t>::max() / 2
                        ? info.frames
                        : -1;
    return PrepareCode::Ok;
}

void AudioReader::count_complaints(const std::vector<std::string>& lines) {
    m_complaints += std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return is_decoder_complaint(l); });
}

std::size_t AudioReader::read_block(const std::function<std::int64_t()>& read) {
    sf_count_t got = 0;
    const auto run = [&] { got = read(); };
    if (m_container == SF_FORMAT_MPEG) {
        count_complaints(capture_error_output(run, is_decoder_line)); // its decoder talks
    } else {
        run();
    }
    // The handle's error holds what went wrong in this read only: each read clears it.
    const bool error = sf_error(m_file) != SF_ERR_NO_ERROR;
    if (got <= 0) {
        m_read_failed = error;
        return 0;
    }
    // A decoder that met data it could not parse and went on behind it (FLAC does).
    m_decode_error = m_decode_error || error;
    m_frames_read += got;
    return static_cast<std::size_t>(got);
}

std::size_t AudioReader::block_frames(std::size_t max_frames) const {
    return std::max<std::size_t>(1, std::min(max_frames, kMaxBlockValues / channels()));
}

const float* AudioReader::read_frames(std::size_t max_frames, std::size_t& frames_read) {
    frames_read = 0;
    if (m_file == nullptr || m_read_failed) {
        return m_block.data();
    }
    const std::size_t frames = block_frames(max_frames);
    m_block.resize(frames * channels());
    frames_read = read_block(
        [&] { return sf_readf_float(m_file, m_block.data(), static_cast<sf_count_t>(frames)); });
    // A float file may hold infinities or NaNs, which the filter would smear over its length,
    // and values so large that the sums of mixing and filtering overflow to infinity: those
    // count as silence, and the rest is limited to 60 dB above full scale, where a float file
    // holds nothing but garbage.
    for (std::size_t i = 0; i < frames_read * channels(); ++i) {
        float& v = m_block[i];
        v = std::isfinite(v) ? std::clamp(v, -kLargestSample, kLargestSample) : 0.0f;
    }
    return m_block.data();
}

std::size_t AudioReader::read_mono(float* mono, std::size_t max_frames) {
    if (m_file == nullptr || m_read_failed) {
        return 0;
    }
    std::size_t n = 0;
    if (m_pcm16) {
        // 16-bit samples are read as the file stores them, in one read per block, and scaled
        // here as libsndfile's float reading scales them: by exactly 2^-15.
        const std::size_t frames = block_frames(max_frames);
        m_pcm16_block.resize(frames * channels());
        n = read_block([&] {
            return sf_readf_short(m_file, m_pcm16_block.data(), static_cast<sf_count_t>(frames));
        });
        mix(m_pcm16_block.data(), n, channels(), 1.0f / 32768.0f, mono);
    } else {
        const float* block = read_frames(max_frames, n);
        mix(block, n, channels(), 1.0f, mono);
    }
    return n;
}

std::string AudioReader::damage() const {
    if (m_file == nullptr) {
        return {};
    }
    if (m_read_failed) {
        return "Datei kann nicht vollständig gelesen werden";
    }
    if (m_info.frames < 0) {
        return "Datei ist unvollständig (ihr Ende fehlt)"; // an Ogg stream without its last page
    }
    if (m_frames_read < m_info.frames) {
        // An MP3 without a length header declares an estimate; only a clear shortfall counts.
        const bool estimate = m_container == SF_FORMAT_MPEG;
        if (!estimate || m_frames_read < m_info.frames - m_info.frames / 100) {
            return "Datei ist unvollständig oder beschädigt: nur " + std::to_string(m_frames_read) +
                   " von " + std::to_string(m_info.frames) + " Samples lesbar";
        }
    }
    if (m_decode_error) {
        return "Datei ist beschädigt (fehlerhafte Daten)";
    }
    if (data_chunk_cut(m_file)) {
        return "Datei ist unvollständig (endet vor dem Ende ihrer Daten)";
    }
    return {};
}

} // namespace melo
