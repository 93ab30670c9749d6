#pragma once

#include <QString>

// The resource path of one of the program's pictures, named without its suffix
// (":/icons/app"): the SVG where Qt draws SVG, else the PNG the build rendered from it (with an
// @2x twin for high-density screens).
inline QString picture_resource(const char* stem) {
    return QString::fromLatin1(stem) + QStringLiteral(MELO_PICTURE_SUFFIX);
}
