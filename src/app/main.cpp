#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QStyleFactory>

#include "app/app_environment.h"
#include "app/form1.h"
#include "app/gui_setup.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    setup_application_look(app);

    AppEnvironment env;
    env.appDir = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    const QString exeBase = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    env.settingsPath = env.appDir + QDir::separator() + exeBase + ".INI";
    env.debugMode = qEnvironmentVariableIntValue("MELO_DEBUG_LAYOUT") != 0;

    Form1 window(env);
    window.show();
    return app.exec();
}
