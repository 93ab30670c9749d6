#include "project/ini_file.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "common/atomic_file.h"
#include "common/cp1252.h"
#include "platform/paths.h"

namespace melo {
namespace {

constexpr auto npos = std::string::npos;

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == npos) {
        return {};
    }
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

bool same_name(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

// The section name of a "[name]" line, or nothing for another line.
bool section_name(std::string_view line, std::string_view& name) {
    const std::string_view t = trim(line);
    if (t.empty() || t.front() != '[') {
        return false;
    }
    const auto close = t.find(']');
    name = trim(t.substr(1, close == npos ? npos : close - 1));
    return true;
}

// The key and value of a "key=value" line.
bool key_value(std::string_view line, std::string_view& key, std::string_view& value) {
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

// One line of a text: `text` without its line end, and where the next line starts.
struct LineSpan {
    std::size_t begin;
    std::string_view text;
    std::size_t next;
};

LineSpan line_at(const std::string& all, std::size_t at) {
    const auto nl = all.find('\n', at);
    if (nl == npos) {
        return {at, std::string_view(all).substr(at), all.size()};
    }
    std::size_t length = nl - at;
    if (length > 0 && all[nl - 1] == '\r') {
        --length;
    }
    return {at, std::string_view(all).substr(at, length), nl + 1};
}

// The first 254 characters of a UTF-8 text.
std::string cut(std::string_view text) {
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && chars++ == kIniValueLimit) {
            return std::string(text.substr(0, i));
        }
    }
    return std::string(text);
}

}  // namespace

bool IniDocument::load(const std::string& path) {
    m_text.clear();
    m_bom = false;
    std::string bytes;
    if (!read_file(path, bytes, kIniFileLimit)) {
        return false;
    }
    parse(bytes);
    return true;
}

bool IniDocument::load_for_update(const std::string& path, std::string* error) {
    m_text.clear();
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
    m_bom = raw.substr(0, kUtf8Bom.size()) == kUtf8Bom;
    m_text = file_text_to_utf8(raw);
}

std::pair<std::size_t, std::size_t> IniDocument::section_range(const std::string& section) const {
    std::string_view name;
    for (std::size_t at = 0; at < m_text.size();) {
        const LineSpan line = line_at(m_text, at);
        at = line.next;
        if (section_name(line.text, name) && same_name(name, section)) {
            std::size_t end = at;
            while (end < m_text.size()) {
                const LineSpan body = line_at(m_text, end);
                if (section_name(body.text, name)) {
                    break;
                }
                end = body.next;
            }
            return {at, end};
        }
    }
    return {npos, npos};
}

bool IniDocument::has_section(const std::string& section) const {
    return section_range(section).first != npos;
}

std::string IniDocument::get(const std::string& section, const std::string& key,
                             const std::string& default_value) const {
    const auto [first, end] = section_range(section);
    if (first != npos) {
        std::string_view k;
        std::string_view v;
        for (std::size_t at = first; at < end;) {
            const LineSpan line = line_at(m_text, at);
            at = line.next;
            if (key_value(line.text, k, v) && same_name(k, key)) {
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
    const auto [first, end] = section_range(section);
    if (first == npos) {
        // A last line without a line end gets one before the new section.
        if (!m_text.empty() && m_text.back() != '\n') {
            m_text += "\r\n";
        }
        m_text += "[" + section + "]\r\n" + line + "\r\n";
        return true;
    }
    std::string_view k;
    std::string_view v;
    // At the end of the section: behind its last line that is not blank.
    std::size_t insert_at = first;
    for (std::size_t at = first; at < end;) {
        const LineSpan span = line_at(m_text, at);
        at = span.next;
        if (key_value(span.text, k, v) && same_name(k, key)) {
            m_text.replace(span.begin, span.text.size(), line);
            return true;
        }
        if (!trim(span.text).empty()) {
            insert_at = span.next;
        }
    }
    std::string added = line + "\r\n";
    if (insert_at == m_text.size() && !m_text.empty() && m_text.back() != '\n') {
        added.insert(0, "\r\n"); // the line before has no line end of its own
    }
    m_text.insert(insert_at, added);
    return true;
}

std::string IniDocument::bytes() const {
    std::string out = utf8_to_file_text(m_text);
    // A byte-order mark stays with a file that stays UTF-8.
    if (m_bom && out == m_text) {
        out.insert(0, kUtf8Bom);
    }
    return out;
}

bool IniDocument::save(const std::string& path, std::string* error, LinkRule links) const {
    return replace_file(path, bytes(), error, links);
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
