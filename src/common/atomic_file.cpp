// Whole-file writing and reading as the program's rules want them: the link rule, the limit
// of a read, and the German reasons. The operating system's part is src/platform's.

#include "common/atomic_file.h"

#include "common/file_errors.h"
#include "platform/file_replace.h"
#include "platform/input_file.h"
#include "platform/paths.h"

#include <algorithm>
#include <cstdint>

namespace melo {
namespace {

void set_error(std::string* error, const std::string& text) {
    if (error != nullptr) {
        *error = text;
    }
}

std::string replace_failure_text(const ReplaceFailure& failure) {
    const char* step = "";
    switch (failure.step) {
    case ReplaceStep::not_a_file:
        return not_a_file_text(failure.kind);
    case ReplaceStep::no_directory:
        step = "Verzeichnis existiert nicht";
        break;
    case ReplaceStep::directory_readonly:
        step = "Verzeichnis ist schreibgeschützt";
        break;
    case ReplaceStep::file_readonly:
        step = "Datei ist schreibgeschützt";
        break;
    case ReplaceStep::create:
        step = "Datei kann nicht angelegt werden";
        break;
    case ReplaceStep::write:
        step = "Datei kann nicht geschrieben werden";
        break;
    case ReplaceStep::replace:
        step = "Datei kann nicht ersetzt werden";
        break;
    }
    return std::string(step) + ": " + system_error_text(failure.error);
}

// The folder a name stands in.
std::string folder_of(const std::string& path) {
    const std::string folder = utf8_path(native_path(path).parent_path());
    return folder.empty() ? "." : folder;
}

// Reads from `file` until its end, never more than `limit` bytes in all.
bool read_to_end(InputFile& file, std::string& contents, std::size_t limit, std::string* error) {
    contents.resize(static_cast<std::size_t>(file.size()));
    std::size_t got = 0;
    for (;;) {
        if (got == contents.size()) {
            if (contents.size() >= limit) {
                // A file that grew past the limit while it was read is too large too.
                char extra = 0;
                if (file.read(&extra, 1) > 0) {
                    set_error(error,
                              "Datei zu groß (mehr als " + std::to_string(limit) + " Bytes)");
                    return false;
                }
                break;
            }
            contents.resize(std::min(limit, contents.size() + 65536));
        }
        const auto wanted = static_cast<std::int64_t>(contents.size() - got);
        const std::int64_t n = file.read(contents.data() + got, wanted);
        if (n < 0) {
            set_error(error, "Datei kann nicht gelesen werden: " + system_error_text(file.error()));
            return false;
        }
        got += static_cast<std::size_t>(n);
        if (n < wanted) {
            break; // the end of the file
        }
    }
    contents.resize(got);
    return true;
}

} // namespace

bool replace_file(const std::string& target, std::string_view contents, std::string* error,
                  LinkRule links) {
    if (target.empty() || is_path_separator(target.back())) {
        set_error(error, "kein Dateiname");
        return false;
    }
    std::string path = target;
    if (const std::optional<std::string> destination = link_destination(target)) {
        if (links == LinkRule::inside_folder) {
            const std::optional<std::string> folder = real_directory(folder_of(target));
            if (!folder || !lies_within(*destination, *folder)) {
                set_error(error, "ist ein symbolischer Link auf " + *destination +
                                     " außerhalb des Ordners und wird nicht überschrieben");
                return false;
            }
        }
        path = *destination;
    }
    ReplaceFailure failure;
    if (!write_and_replace(path, contents, failure)) {
        set_error(error, replace_failure_text(failure));
        return false;
    }
    return true;
}

bool read_file(const std::string& path, std::string& contents, std::size_t limit,
               std::string* error) {
    contents.clear();
    InputFile file;
    InputFile::Failure why;
    if (!file.open(path, &why)) {
        set_error(error, why.kind != EntryKind::regular
                             ? not_a_file_text(why.kind)
                             : "Datei kann nicht geöffnet werden: " + system_error_text(why.error));
        return false;
    }
    if (static_cast<std::uint64_t>(file.size()) > limit) {
        set_error(error, "Datei zu groß (" + std::to_string(file.size()) + " Bytes, höchstens " +
                             std::to_string(limit) + ")");
        return false;
    }
    if (!read_to_end(file, contents, limit, error)) {
        contents.clear();
        return false;
    }
    return true;
}

} // namespace melo
