#include "app/app_environment.h"
#include "app/command_line.h"
#include "app/form1.h"
#include "app/gui_setup.h"
#include "app/image_window_main.h"
#include "gui/prompts.h"
#include "app/safe_application.h"
#include "platform/process.h"

namespace {

int run(SafeApplication& app, const CommandLine& command) {
    QtPrompts prompts;
    AppEnvironment env = executable_environment();
    env.prompts = &prompts;

    Form1 window(env);
    prompts.setParent(&window);
    if (const std::optional<StartupFailure> failure = window.startUp()) {
        // The one start-up failure: a message, then the end, without a window or settings.
        prompts.setParent(nullptr);
        prompts.message("MELO Sound-Manager", startupFailureText(*failure));
        return 1;
    }
    window.show();
    if (!command.project.isEmpty()) {
        open_command_line_project(window, prompts, command.project);
    }
    return app.exec();
}

} // namespace

int main(int argc, char* argv[]) {
    melo::ignore_file_size_signal();
    // --help and --version are answered before Qt starts, so they need no display.
    if (const std::optional<int> status =
            answer_without_window(parse_command_line(program_arguments(argc, argv)), false)) {
        return *status;
    }
    SafeApplication app(argc, argv);
    const CommandLine command = parse_command_line(app.arguments().mid(1)); // without Qt's options
    if (const std::optional<int> status = answer_without_window(command, true)) {
        return *status;
    }
    setup_application_look(app);
    try {
        if (!command.image.isEmpty()) {
            return run_image_window(command.image); // the image's sounds, without the main window
        }
        return run(app, command);
    } catch (...) {
        // Outside any event handler (start-up, shut-down): tell the user and end cleanly.
        SafeApplication::report(SafeApplication::currentFailureText());
        return 1;
    }
}
