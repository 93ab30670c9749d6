#pragma once

#include <string>

namespace melo {

// " V" + major + "." + minor as two digits, e.g. " V1.01".
std::string versionstr();

// versionstr() + "." + revision as four digits, e.g. " V1.01.0001".
std::string versionfull();

// The main window's title: "MELO Sound-Manager" directly followed by versionstr().
std::string window_title();

} // namespace melo
