// The temporary files' names: formed by the writers of both platforms and recognised by the
// sweep that removes what a killed writer left.

#include "platform/temporary_name.h"

#include <cstdio>
#include <random>

namespace melo {
namespace {

constexpr std::string_view kMark = ".tmp";
constexpr std::size_t kDigits = 12;

} // namespace

std::string temporary_name(const std::string& path, std::uint64_t number) {
    char suffix[kDigits + 1];
    std::snprintf(suffix, sizeof suffix, "%012llx",
                  static_cast<unsigned long long>(number & 0xFFFFFFFFFFFFull));
    return path + std::string(kMark) + suffix;
}

std::uint64_t temporary_number() {
    thread_local std::mt19937_64 random{std::random_device{}()};
    return random();
}

bool is_temporary_name(std::string_view entry, std::string_view file_name) {
    if (entry.size() != file_name.size() + kMark.size() + kDigits ||
        entry.substr(0, file_name.size()) != file_name ||
        entry.substr(file_name.size(), kMark.size()) != kMark) {
        return false;
    }
    const std::string_view digits = entry.substr(file_name.size() + kMark.size());
    return digits.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

} // namespace melo
