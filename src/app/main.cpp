#include <QApplication>

#include "app/app_environment.h"
#include "app/form1.h"
#include "app/gui_setup.h"
#include "app/image_window_main.h"
#include "app/prompts.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    setup_application_look(app);
    // "--image FILE.DSU" shows the sounds of that image, without the main window.
    if (app.arguments().size() == 3 && app.arguments().at(1) == "--image") {
        return run_image_window(app.arguments().at(2));
    }

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
