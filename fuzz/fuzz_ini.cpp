// Feeds arbitrary bytes to the INI reader and writer and checks that a write keeps every
// other line and reads back what was written.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/cp1252.h"
#include "project/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    melo::IniDocument doc;
    doc.parse(bytes);
    if (melo::file_text_to_utf8(doc.bytes()) != melo::file_text_to_utf8(bytes)) {
        std::abort(); // an untouched document keeps its text (its encoding only where the rule says)
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
