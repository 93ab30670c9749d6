#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

// A fresh directory under the system's temporary directory, removed with its contents
// when the object goes out of scope.
class TempDir {
public:
#ifdef _WIN32
    // Windows has no mkdtemp: a random name that create_directory claims for us alone.
    TempDir() {
        std::random_device random;
        for (int attempt = 0; attempt < 100 && m_root.empty(); ++attempt) {
            const std::filesystem::path candidate =
                std::filesystem::temp_directory_path() / ("melo-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate)) {
                m_root = candidate.string(); // UTF-8 with this standard library
            }
        }
        if (m_root.empty()) {
            std::abort();
        }
    }
#else
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "melo-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        m_root = pattern;
    }
#endif
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(m_root, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
#ifdef _WIN32
        // Windows deletes no read-only file.
        for (std::filesystem::recursive_directory_iterator it(m_root, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code ignored;
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add, ignored);
        }
#endif
        std::filesystem::remove_all(m_root, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& root() const { return m_root; }
#ifdef _WIN32
    std::string path(const std::string& name) const { return m_root + "\\" + name; }
#else
    std::string path(const std::string& name) const { return m_root + "/" + name; }
#endif

    // Names of the entries in the directory, sorted.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(m_root)) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string m_root;
};
