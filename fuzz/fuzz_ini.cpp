// Feeds arbitrary bytes to the INI reader and writer and checks that a write keeps every
// other line and reads back what was written.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "project/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    melo::IniDocument doc;
    doc.parse(bytes);
    if (doc.bytes() != bytes) {
        std::abort(); // an untouched document is kept byte for byte
    }
    (void)doc.get("WAVs", "Sound1AnfWAV", "d");
    (void)doc.get("VARS", "debug", "0");
    doc.set("WAVs", "DSDfilename", "basis.DS3");
    doc.set("vars", "Log", "1");
    if (doc.get("wavs", "dsdfilename", "") != "basis.DS3" || doc.get("VARS", "log", "") != "1") {
        std::abort();
    }
    melo::IniDocument again;
    again.parse(doc.bytes());
    if (again.get("WAVs", "DSDfilename", "") != "basis.DS3") {
        std::abort();
    }
    return 0;
}
