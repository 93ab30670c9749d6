#pragma once

// The window's texts and the core's: QString on one side, UTF-8 std::string on the other, and
// file paths in the file system's own encoding (a name that is not valid UTF-8 survives the
// round trip only through file_path() and q_path()).

#include "common/number_format.h"

#include <QFile>
#include <QLocale>
#include <QString>
#include <string>

// A core text (UTF-8) for the window.
inline QString q(const std::string& text) {
    return QString::fromStdString(text);
}

// A path from the window for the core, in the file system's encoding. On Windows that is the
// core's UTF-8, which it widens for the Windows API.
inline std::string file_path(const QString& path) {
#ifdef Q_OS_WIN
    return path.toStdString();
#else
    return QFile::encodeName(path).toStdString();
#endif
}

// A path from the core for the window.
inline QString q_path(const std::string& path) {
#ifdef Q_OS_WIN
    return QString::fromStdString(path);
#else
    return QFile::decodeName(path.c_str());
#endif
}

// The user's decimal separator, for every number a window shows with decimals.
inline char decimal_separator() {
    return QLocale().decimalPoint().at(0).toLatin1();
}

// A time in seconds with `decimals` decimals and the user's separator: "0,400 s".
inline QString seconds_text(double seconds, int decimals = 3) {
    return q(melo::seconds_text(seconds, decimals, decimal_separator()));
}
