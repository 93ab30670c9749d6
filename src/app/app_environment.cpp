#include "app/app_environment.h"

#include "gui/qt_text.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/directory_probe.h"

namespace {

// The data directories of an installed tree, where the result sounds lie: the one beside
// `appDir`'s bin directory, then the configured prefix's. None on Windows.
QStringList data_directories(const QString& appDir) {
#ifdef MELO_SOUND_DIR_FROM_BIN
    return {appDir + "/" MELO_SOUND_DIR_FROM_BIN, QStringLiteral(MELO_SOUND_DIR)};
#else
    Q_UNUSED(appDir);
    return {};
#endif
}

} // namespace

AppEnvironment environment_at(const QString& appDir, const QString& baseName) {
    AppEnvironment env;
    env.appDir = QDir::toNativeSeparators(appDir);
    const QString name = baseName + ".INI";
    env.settingsPath = env.appDir + QDir::separator() + name;
    // The same test the writer applies: a directory it would refuse sends the file elsewhere.
    // So does an installed tree (its data directory beside bin), which the administrator may
    // well be able to write: a bin directory is no place for a user's settings.
    const QStringList data = data_directories(appDir);
    const bool installed = !data.isEmpty() && QFileInfo::exists(data.front());
    if (!QFileInfo::exists(env.settingsPath) &&
        (installed || !melo::directory_writable(file_path(env.appDir)))) {
#ifdef Q_OS_WIN
        // %APPDATA%\<program>, where Windows programs keep a user's settings.
        const QString userDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
#else
        const QString userDir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
#endif
        QDir().mkpath(userDir);
        env.settingsPath = QDir::toNativeSeparators(userDir + "/" + name);
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        env.startDir = QDir::toNativeSeparators(
            !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath());
    }
    return env;
}

AppEnvironment executable_environment() {
    return environment_at(QCoreApplication::applicationDirPath(),
                          QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());
}

QString result_sound_path(const QString& appDir, const QString& name) {
    const QString beside = appDir + QDir::separator() + name;
    if (QFileInfo::exists(beside)) {
        return beside;
    }
    for (const QString& dir : data_directories(appDir)) {
        const QString path = QDir::toNativeSeparators(QDir::cleanPath(dir + "/" + name));
        if (QFileInfo::exists(path)) {
            return path;
        }
    }
    return beside;
}
