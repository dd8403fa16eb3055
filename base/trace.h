// The diagnostic trace: printf-style lines on unbuffered standard output, only while diag is set.
#pragma once

#include "base/text_format.h"

#include <cstdint>

namespace orv {

// The trace's switch, non-zero meaning on: the program's diag setting, loaded and saved with the other
// switches (settings/flags.h).
extern std::uint8_t diag;

void trace(const char* format, ...) ORV_PRINTF_FORMAT(1, 2);
// For the few lines printed whatever diag says.
void traceAlways(const char* format, ...) ORV_PRINTF_FORMAT(1, 2);

} // namespace orv
