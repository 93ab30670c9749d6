#include "app/app_environment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "common/atomic_file.h"

AppEnvironment environment_for(const QString& appDir, const QString& baseName) {
    AppEnvironment env;
    env.appDir = QDir::toNativeSeparators(appDir);
    const QString name = baseName + ".INI";
    env.settingsPath = env.appDir + QDir::separator() + name;
    // The same test the writer applies: a directory it would refuse sends the file elsewhere.
    if (!QFileInfo::exists(env.settingsPath) &&
        !melo::directory_writable(QFile::encodeName(env.appDir).toStdString())) {
        const QString userDir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
        QDir().mkpath(userDir);
        env.settingsPath = QDir::toNativeSeparators(userDir + "/" + name);
    }
    return env;
}

AppEnvironment executable_environment() {
    return environment_for(QCoreApplication::applicationDirPath(),
                           QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
}
