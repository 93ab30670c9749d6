#include "app/app_environment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "common/atomic_file.h"

AppEnvironment executable_environment() {
    AppEnvironment env;
    env.appDir = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() + ".INI";
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
