#include "cli/commands.h"
#include "cli/terminal_progress.h"
#include "common/cp1252.h"
#include "common/version.h"
#include "flash/generation_run.h"
#include "flash/sound_budget.h"
#include "platform/paths.h"
#include "project/file_choice.h"
#include "project/project_file.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

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
    void progress(int permille) override { m_bar.show(permille); }

private:
    void print(const std::string& line) {
        m_bar.clear();
        std::printf("%s\n", visible_controls(line).c_str()); // a name may hold an escape sequence
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
    auto has = [&](const char* flag) {
        return std::find(flags.begin(), flags.end(), flag) != flags.end();
    };
    std::error_code ec;
    const std::string path =
        utf8_path(std::filesystem::absolute(native_path(files[0]), ec).lexically_normal());
    const LoadedProject project = load_project(path);
    if (ec || project.state != ProjectState::Loaded) {
        std::fprintf(stderr, "melo-dsu build: Projektfile '%s' nicht lesbar: %s\n",
                     visible_controls(files[0]).c_str(), project.error.c_str());
        return kUsageError;
    }

    RunInput input;
    input.fields = project.fields;
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
        std::printf("%s\n", sound_budget_text(result.flashpos, kBudgetSeparator).c_str());
    }
    for (const std::string& error : result.file_errors) {
        std::fprintf(stderr, "melo-dsu build: %s\n", error.c_str());
    }
    return result.failed || !result.file_errors.empty() ? 1 : 0;
}

} // namespace melo::cli
