#include "app/app_environment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

AppEnvironment executable_environment() {
    AppEnvironment env;
    env.appDir = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() + ".INI";
    env.settingsPath = env.appDir + QDir::separator() + name;
    if (!QFileInfo::exists(env.settingsPath) && !QFileInfo(env.appDir).isWritable()) {
        const QString userDir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        QDir().mkpath(userDir);
        env.settingsPath = QDir::toNativeSeparators(userDir + "/" + name);
    }
    return env;
}
