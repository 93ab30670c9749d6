#pragma once

// The window's texts and the core's: QString on one side, UTF-8 std::string on the other, and
// file paths in the file system's own encoding.

#include <QFile>
#include <QString>
#include <string>

inline QString q(const std::string& text) {
    return QString::fromStdString(text);
}

inline std::string file_path(const QString& path) {
    return QFile::encodeName(path).toStdString();
}
