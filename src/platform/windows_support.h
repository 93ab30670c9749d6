#pragma once

// What the Windows implementations of the platform share (and the tests' Windows helpers);
// included by *_windows.cpp only.

#include "platform/system_error.h"

#include <string>
#include <string_view>
#include <windows.h>

namespace melo {

// UTF-8 and the wide characters of the Windows API; bytes that are no UTF-8 become U+FFFD.
std::wstring wide_text(std::string_view utf8);
std::string utf8_text(std::wstring_view wide);

// The meaning of a Windows error code (GetLastError).
SystemError windows_error(DWORD code);

// Closes a handle when it goes out of scope.
class Handle {
public:
    explicit Handle(HANDLE h) : m_h(h) {}
    ~Handle() { close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return m_h != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_h; }
    // Closes the handle; false when closing reported an error.
    bool close() {
        const bool ok = !valid() || CloseHandle(m_h) != 0;
        m_h = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE m_h;
};

// Marks an open file to vanish when its last handle closes, or takes that mark back; false
// when the file system refuses.
bool set_delete_on_close(HANDLE h, bool on);

// Creates a new file beside `path` under a temporary name nobody else uses (in `temp`),
// marked to vanish with its handle, so a writer killed while it writes leaves nothing behind.
// Before, removes the temporary files of `path` that no writer holds open any more. Returns
// INVALID_HANDLE_VALUE when it cannot be created (GetLastError tells why); `marked` says
// whether the mark could be set.
HANDLE create_temporary(const std::wstring& path, std::wstring& temp, bool& marked);

} // namespace melo
