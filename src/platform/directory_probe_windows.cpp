#include "platform/directory_probe.h"
#include "platform/paths.h"
#include "platform/windows_support.h"

namespace melo {

bool directory_writable(const std::string& directory) {
    const std::wstring dir = native_path(directory).native();
    const DWORD attributes = GetFileAttributesW(dir.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return false;
    }
    // Access control lists decide, which only an attempt reads right: a file that vanishes
    // when it is closed.
    std::wstring probe;
    bool marked = false;
    const Handle h(create_temporary(dir + L"\\.melo-probe", probe, marked));
    if (h.valid() && !marked) {
        DeleteFileW(probe.c_str()); // a file system without the mark: removed by hand
    }
    return h.valid();
}

} // namespace melo
