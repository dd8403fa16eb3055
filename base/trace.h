// The diagnostic trace: printf-style lines on unbuffered standard output, only while diag is set.
#pragma once

#include "base/run_inputs.h"
#include "base/text_format.h"

#include <cstdint>

namespace orv {

void trace(const char* format, ...) ORV_PRINTF_FORMAT(1, 2);
// For the few lines printed whatever diag says.
void traceAlways(const char* format, ...) ORV_PRINTF_FORMAT(1, 2);

} // namespace orv
