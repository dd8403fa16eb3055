// printf-style formatting into a std::string: the one way the core and the program build their
// messages and display texts. It lives beside the trace, at the bottom of the core, because every
// folder uses it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// printf-style checking of a function's format and arguments. MinGW's "printf" is Microsoft's, which
// knows no %zu; the build uses MinGW's own C99 printf there, which gnu_printf describes.
#ifdef __MINGW32__
#define ORV_PRINTF_FORMAT(formatIndex, firstArgument)                                                        \
    __attribute__((format(gnu_printf, formatIndex, firstArgument)))
#else
#define ORV_PRINTF_FORMAT(formatIndex, firstArgument)                                                        \
    __attribute__((format(printf, formatIndex, firstArgument)))
#endif

namespace orv {

std::string formatText(const char* format, ...) ORV_PRINTF_FORMAT(1, 2);

// The words of a line: the runs of characters between separators, views into `line`.
std::vector<std::string_view> splitWords(std::string_view line, bool (*isSeparator)(char));

// User text echoed in a message, its control bytes shown as \x01 so they neither vanish nor act on the
// terminal.
std::string escapedText(std::string_view text);

} // namespace orv
