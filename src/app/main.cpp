#include "app/app_environment.h"
#include "app/form1.h"
#include "app/gui_setup.h"
#include "app/prompts.h"
#include "app/safe_application.h"
#include "common/process_signals.h"

namespace {

int run(SafeApplication& app) {
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
    return app.exec();
}

} // namespace

int main(int argc, char* argv[]) {
    melo::ignore_file_size_signal();
    SafeApplication app(argc, argv);
    setup_application_look(app);
    try {
        return run(app);
    } catch (...) {
        // Outside any event handler (start-up, shut-down): tell the user and end cleanly.
        SafeApplication::report(SafeApplication::currentFailureText());
        return 1;
    }
}
