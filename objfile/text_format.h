// printf-style formatting into a std::string, for the messages of the file operations.
#pragma once

#include <string>

namespace orv {

std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace orv
