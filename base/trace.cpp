#include "base/trace.h"

#include <cstdarg>
#include <cstdio>

namespace orv {

void trace(const char* format, ...) {
    if (!runInputs.diag) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fflush(stdout);
}

void traceAlways(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, format, args);
    va_end(args);
    std::fflush(stdout);
}

} // namespace orv
