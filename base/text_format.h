// printf-style formatting into a std::string: the one way the core and the program build their
// messages and display texts. It lives beside the trace, at the bottom of the core, because every
// folder uses it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orv {

std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The words of a line: the runs of characters between separators, views into `line`.
std::vector<std::string_view> splitWords(std::string_view line, bool (*isSeparator)(char));

// User text echoed in a message, its control bytes shown as \x01 so they neither vanish nor act on the
// terminal.
std::string escapedText(std::string_view text);

} // namespace orv
