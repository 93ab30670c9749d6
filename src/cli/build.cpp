#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>

#include "cli/commands.h"
#include "cli/terminal_progress.h"
#include "common/atomic_file.h"
#include "common/number_format.h"
#include "common/version.h"
#include "flash/generation_run.h"
#include "flash/image_dump.h"
#include "flash/sound_budget.h"
#include "project/file_choice.h"
#include "project/project_file.h"

namespace melo::cli {
namespace {

// Prints the run's log lines as they come, and a progress bar on a terminal.
class PrintingObserver : public RunObserver {
public:
    explicit PrintingObserver(bool verbose) : m_verbose(verbose) {}

    void views_reset(const std::string& first_line) override { print(first_line); }
    void log_line(const std::string& line, bool logalso) override {
        if (logalso || m_verbose) {
            print(line);
        }
    }
    void progress(int permille, const std::string&) override { m_bar.show(permille); }

private:
    void print(const std::string& line) {
        m_bar.clear();
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
    bool m_verbose;
    TerminalProgress m_bar;
};

} // namespace

int build(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    std::vector<std::string> flags;
    if (!parse_args("build", args, {"--log", "--debug-log", "--verbose"}, 1, files, flags)) {
        return kUsageError;
    }
    auto has = [&](const char* flag) { return std::find(flags.begin(), flags.end(), flag) != flags.end(); };
    std::error_code ec;
    const std::string path = std::filesystem::absolute(files[0], ec).lexically_normal().string();
    if (ec || !std::filesystem::is_regular_file(path, ec) || !fileexists(path)) {
        std::fprintf(stderr, "melo-dsu build: Projektfile '%s' nicht lesbar\n", files[0].c_str());
        return kUsageError;
    }

    RunInput input;
    input.fields = load_project(path);
    input.projfiledir = directory_of(path);
    input.output_dir = input.projfiledir;
    input.project_name = bare_name_of(path);
    input.versionfull = versionfull();
    input.write_log = has("--log");
    input.write_debug = has("--debug-log");

    static FlashImage flash;
    static SoundSlots slots;
    static DecodedSound sound;
    PrintingObserver printer(has("--verbose"));
    GenerationRun run(flash, slots, sound);
    const RunResult result = run.run(input, printer);
    // The budget is no log line: the log and its file stay as the window's run writes them.
    if (!result.failed) {
        std::printf("%s\n", sound_budget_text(result.flashpos).c_str());
    }
    for (const std::string& error : result.file_errors) {
        std::fprintf(stderr, "melo-dsu build: %s\n", error.c_str());
    }
    return result.failed || !result.file_errors.empty() ? 1 : 0;
}

int dump(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    std::vector<std::string> flags;
    if (!parse_args("dump", args, {}, 1, files, flags)) {
        return kUsageError;
    }
    // The file's type and size first: a device or a FIFO would never end, and no image is
    // larger than the image buffer.
    std::error_code ec;
    const auto status = std::filesystem::status(files[0], ec);
    if (ec || !std::filesystem::is_regular_file(status)) {
        std::fprintf(stderr, "melo-dsu dump: '%s' %s\n", files[0].c_str(),
                     ec || !std::filesystem::exists(status) ? "existiert nicht" : "ist keine gewöhnliche Datei");
        return kUsageError;
    }
    const std::uintmax_t size = std::filesystem::file_size(files[0], ec);
    if (!ec && size > static_cast<std::uintmax_t>(kMaxImageSize)) {
        std::printf("Fehler: Image ist %ju Bytes groß, ein Image hat höchstens %lld Bytes\n1 Fehler gefunden.\n",
                    size, static_cast<long long>(kMaxImageSize));
        return 1;
    }
    std::string image;
    std::string error;
    if (ec || !read_file(files[0], image, static_cast<std::size_t>(kMaxImageSize), &error)) {
        std::fprintf(stderr, "melo-dsu dump: Image '%s' nicht lesbar: %s\n", files[0].c_str(), error.c_str());
        return kUsageError;
    }
    const ImageDump d = dump_image(image);
    for (const SlotDump& s : d.slots) {
        std::printf("Slot %2d  %-20s  Adresse %7lld (%s)  Samples %7lld  Marker %s\n", s.slot,
                    slot_title(s.slot).c_str(), static_cast<long long>(s.address),
                    hexx(static_cast<std::int32_t>(s.address), 6).c_str(), static_cast<long long>(s.samples),
                    s.marker < 0 ? "--" : hexx(s.marker, 2).c_str());
    }
    std::printf("Belegt: %lld Bytes; %s\n", static_cast<long long>(d.size),
                size_message(static_cast<std::int32_t>(std::min<std::int64_t>(d.size, INT32_MAX))).c_str());
    std::printf("%s\n", sound_budget_text(d.size).c_str());
    for (const std::string& problem : d.problems) {
        std::printf("Fehler: %s\n", problem.c_str());
    }
    std::printf(d.problems.empty() ? "Konsistent.\n" : "%zu Fehler gefunden.\n", d.problems.size());
    return d.problems.empty() ? 0 : 1;
}

} // namespace melo::cli
