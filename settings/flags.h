// The program's switches, loaded from and saved to the settings file. Bytes, non-zero meaning on.
#pragma once

#include "base/trace.h"

#include <cstdint>

namespace orv {

extern std::uint8_t menu;
extern std::uint8_t keys;
extern std::uint8_t debug;
extern std::uint8_t mute;
// diag is the trace's own switch, declared with it.

} // namespace orv
