#include "common/version.h"

#include "common/number_format.h"
#include "melo_version.h"

namespace melo {

std::string versionstr() {
    return " V" + std::to_string(kVersionMajor) + "." + format_digits(kVersionMinor, 2);
}

std::string versionfull() {
    return versionstr() + "." + format_digits(kVersionRevision, 4);
}

std::string window_title() {
    return "MELO Sound-Manager" + versionstr();
}

} // namespace melo
