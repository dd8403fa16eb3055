#include "base/text_format.h"

#include <cstdarg>
#include <cstdio>

namespace orv {

std::string formatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text;
    if (length > 0) {
        text.resize(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        text.resize(static_cast<std::size_t>(length));
    }
    va_end(again);
    return text;
}

std::vector<std::string_view> splitWords(std::string_view line, bool (*isSeparator)(char)) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && isSeparator(line[at])) ++at;
        const std::size_t start = at;
        while (at < line.size() && !isSeparator(line[at])) ++at;
        if (at > start) words.push_back(line.substr(start, at - start));
    }
    return words;
}

std::string escapedText(std::string_view text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            shown += formatText("\\x%02x", byte);
        else
            shown += c;
    }
    return shown;
}

} // namespace orv
