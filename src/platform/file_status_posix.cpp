#include "platform/file_status.h"
#include "platform/posix_support.h"

namespace melo {

std::optional<FileStatus> file_status(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return FileStatus{file_kind(st.st_mode), static_cast<std::int64_t>(st.st_size)};
}

} // namespace melo
