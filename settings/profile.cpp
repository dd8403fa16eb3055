#include "settings/profile.h"

#include "files/safe_file.h"

#include <cstdio>
#include <optional>
#include <vector>

namespace orv {

namespace {

struct Lines {
    std::vector<std::string> text;
    bool crlf = false; // a file rewritten keeps the line ends its first line had
};

// False when the file is missing or cannot be read; why tells which.
bool readLines(const std::string& path, Lines& lines, FileRefusal& why) {
    std::string content;
    if (!readWhole(path, NO_READ_LIMIT, content, why)) return false;
    std::size_t position = 0;
    while (position < content.size()) {
        std::size_t end = content.find('\n', position);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(position, end - position);
        position = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            if (lines.text.empty()) lines.crlf = true;
        }
        lines.text.push_back(line);
    }
    return true;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The section name of a "[name]" line.
std::optional<std::string> sectionOf(const std::string& line) {
    const std::string text = trimmed(line);
    if (text.size() < 2 || text.front() != '[') return std::nullopt;
    const auto close = text.find(']');
    if (close == std::string::npos) return std::nullopt;
    return trimmed(text.substr(1, close - 1));
}

// The key of a "key=value" line, with its value.
bool keyOf(const std::string& line, std::string& key, std::string& value) {
    const std::string text = trimmed(line);
    if (text.empty() || text.front() == ';') return false;
    const auto equals = text.find('=');
    if (equals == std::string::npos) return false;
    key = trimmed(text.substr(0, equals));
    value = trimmed(text.substr(equals + 1));
    return true;
}

// Index of the section's header line, or npos.
std::size_t findSection(const Lines& lines, const std::string& section) {
    for (std::size_t i = 0; i < lines.text.size(); ++i) {
        const auto name = sectionOf(lines.text[i]);
        if (name && sameName(*name, section)) return i;
    }
    return std::string::npos;
}

// The lines of the section after its header: [first, end).
std::size_t sectionEnd(const Lines& lines, std::size_t header) {
    std::size_t end = header + 1;
    while (end < lines.text.size() && !sectionOf(lines.text[end])) ++end;
    return end;
}

std::optional<std::string> findValue(const std::string& path, const std::string& section,
                                     const std::string& key) {
    Lines lines;
    FileRefusal why;
    if (!readLines(path, lines, why)) return std::nullopt;
    const std::size_t header = findSection(lines, section);
    if (header == std::string::npos) return std::nullopt;
    const std::size_t end = sectionEnd(lines, header);
    std::string name, value;
    for (std::size_t i = header + 1; i < end; ++i) {
        if (keyOf(lines.text[i], name, value) && sameName(name, key)) return value;
    }
    return std::nullopt;
}

} // namespace

std::int32_t profileReadInt(const std::string& path, const std::string& section, const std::string& key,
                            std::int32_t defaultValue) {
    const auto value = findValue(path, section, key);
    if (!value) return defaultValue;
    std::size_t i = 0;
    bool negative = false;
    if (i < value->size() && ((*value)[i] == '-' || (*value)[i] == '+')) negative = (*value)[i++] == '-';
    // Wraps like a 32-bit register rather than overflowing.
    std::uint32_t number = 0;
    for (; i < value->size() && (*value)[i] >= '0' && (*value)[i] <= '9'; ++i) {
        number = number * 10u + static_cast<std::uint32_t>((*value)[i] - '0');
    }
    if (negative) number = 0u - number;
    return static_cast<std::int32_t>(number);
}

std::string profileReadString(const std::string& path, const std::string& section, const std::string& key,
                              const std::string& defaultValue, std::size_t size) {
    const auto value = findValue(path, section, key);
    const std::string& text = value ? *value : defaultValue;
    return size == 0 ? std::string() : text.substr(0, size - 1);
}

bool profileWriteString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value) {
    Lines lines;
    FileRefusal why;
    // A file that is there but cannot be read must not be replaced by one holding only this key.
    if (!readLines(path, lines, why) && why != FileRefusal::Missing) return false;
    // A line break would end the value early and turn the rest into lines of their own.
    const std::string entry = key + "=" + value.substr(0, value.find_first_of("\r\n"));
    const std::size_t header = findSection(lines, section);
    if (header == std::string::npos) {
        lines.text.push_back("[" + section + "]");
        lines.text.push_back(entry);
    } else {
        const std::size_t end = sectionEnd(lines, header);
        std::size_t last = header; // the section's last line that is not blank
        bool replaced = false;
        std::string name, old;
        for (std::size_t i = header + 1; i < end && !replaced; ++i) {
            if (keyOf(lines.text[i], name, old) && sameName(name, key)) {
                lines.text[i] = entry;
                replaced = true;
            }
            if (!trimmed(lines.text[i]).empty()) last = i;
        }
        if (!replaced) lines.text.insert(lines.text.begin() + static_cast<std::ptrdiff_t>(last + 1), entry);
    }
    std::string content;
    for (const std::string& line : lines.text) content += line + (lines.crlf ? "\r\n" : "\n");
    return replaceWhole(path, content, why);
}

} // namespace orv
