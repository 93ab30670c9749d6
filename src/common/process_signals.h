#pragma once

namespace melo {

// Makes a write beyond the process's file size limit fail with an error the writer reports,
// instead of ending the process (SIGXFSZ). Every program calls it once at its start.
void ignore_file_size_signal();

} // namespace melo
