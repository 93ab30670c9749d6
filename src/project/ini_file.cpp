#include "project/ini_file.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "common/atomic_file.h"
#include "common/cp1252.h"

namespace melo {
namespace {

constexpr auto npos = std::string::npos;

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == npos) {
        return "";
    }
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

bool same_name(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// The section name of a "[name]" line, or nothing for another line.
bool section_name(const std::string& line, std::string& name) {
    const std::string t = trim(line);
    if (t.empty() || t.front() != '[') {
        return false;
    }
    const auto close = t.find(']');
    name = trim(t.substr(1, close == npos ? npos : close - 1));
    return true;
}

// The key and value of a "key=value" line.
bool key_value(const std::string& line, std::string& key, std::string& value) {
    const auto eq = line.find('=');
    if (eq == npos) {
        return false;
    }
    key = trim(line.substr(0, eq));
    value = trim(line.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return true;
}

// The first 254 characters of a UTF-8 text.
std::string cut(const std::string& text) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && chars++ == kIniValueLimit) {
            return text.substr(0, i);
        }
    }
    return text;
}



} // namespace

bool IniDocument::load(const std::string& path) {
    m_lines.clear();
    std::string bytes;
    if (!read_file(path, bytes, kIniFileLimit)) {
        return false;
    }
    parse(bytes);
    return true;
}

bool IniDocument::load_for_update(const std::string& path, std::string* error) {
    m_lines.clear();
    m_bom = false;
    std::string bytes;
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(native_path(path), ec))) {
        return true;
    }
    if (!read_file(path, bytes, kIniFileLimit, error)) {
        return false;
    }
    parse(bytes);
    return true;
}

void IniDocument::parse(std::string_view raw) {
    m_lines.clear();
    m_bom = raw.substr(0, kUtf8Bom.size()) == kUtf8Bom;
    const std::string bytes = file_text_to_utf8(raw);
    std::size_t start = 0;
    while (start < bytes.size()) {
        const auto nl = bytes.find('\n', start);
        Line line;
        if (nl == npos) {
            line.text = std::string(bytes.substr(start));
            start = bytes.size();
        } else {
            line.text = std::string(bytes.substr(start, nl - start));
            line.ending = "\n";
            start = nl + 1;
            if (!line.text.empty() && line.text.back() == '\r') {
                line.text.pop_back();
                line.ending = "\r\n";
            }
        }
        m_lines.push_back(std::move(line));
    }
}

std::pair<std::size_t, std::size_t> IniDocument::section_range(const std::string& section) const {
    std::string name;
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        if (section_name(m_lines[i].text, name) && same_name(name, section)) {
            std::size_t end = i + 1;
            while (end < m_lines.size() && !section_name(m_lines[end].text, name)) {
                ++end;
            }
            return {i + 1, end};
        }
    }
    return {npos, npos};
}

std::string IniDocument::get(const std::string& section, const std::string& key,
                             const std::string& default_value) const {
    const auto [first, end] = section_range(section);
    if (first != npos) {
        std::string k;
        std::string v;
        for (std::size_t i = first; i < end; ++i) {
            if (key_value(m_lines[i].text, k, v) && same_name(k, key)) {
                return cut(v);
            }
        }
    }
    return cut(default_value);
}

bool IniDocument::set(const std::string& section, const std::string& key, const std::string& value) {
    if (has_line_break(section) || has_line_break(key) || has_line_break(value)) {
        return false;
    }
    const std::string line = key + "=" + value;
    auto [first, end] = section_range(section);
    if (first == npos) {
        // A last line without a line end gets one before the new section.
        if (!m_lines.empty() && m_lines.back().ending.empty()) {
            m_lines.back().ending = "\r\n";
        }
        m_lines.push_back({"[" + section + "]", "\r\n"});
        m_lines.push_back({line, "\r\n"});
        return true;
    }
    std::string k;
    std::string v;
    for (std::size_t i = first; i < end; ++i) {
        if (key_value(m_lines[i].text, k, v) && same_name(k, key)) {
            m_lines[i].text = line;
            return true;
        }
    }
    // At the end of the section: behind its last line that is not blank.
    std::size_t at = end;
    while (at > first && trim(m_lines[at - 1].text).empty()) {
        --at;
    }
    if (at > 0 && m_lines[at - 1].ending.empty()) {
        m_lines[at - 1].ending = "\r\n";
    }
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), Line{line, "\r\n"});
    return true;
}

std::string IniDocument::bytes() const {
    std::string text;
    for (const Line& l : m_lines) {
        text += l.text;
        text += l.ending;
    }
    std::string out = utf8_to_file_text(text);
    // A byte-order mark stays with a file that stays UTF-8.
    if (m_bom && out == text) {
        out.insert(0, kUtf8Bom);
    }
    return out;
}

bool IniDocument::save(const std::string& path, std::string* error) const {
    return replace_file(path, bytes(), error);
}

bool has_line_break(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

std::string ini_read(const std::string& path, const std::string& section, const std::string& key,
                     const std::string& default_value) {
    IniDocument doc;
    doc.load(path);
    return doc.get(section, key, default_value);
}

} // namespace melo
