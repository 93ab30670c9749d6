#include "platform/directory_probe.h"
#include "platform/posix_support.h"

namespace melo {

bool directory_writable(const std::string& directory) {
    struct stat st {};
    if (::stat(directory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        return false;
    }
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 &&
           ::access(directory.c_str(), W_OK | X_OK) == 0;
}

} // namespace melo
