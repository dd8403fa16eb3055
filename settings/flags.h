// The program's switches, loaded from and saved to the settings file. Bytes, non-zero meaning on.
#pragma once

#include "base/trace.h"

#include <cstdint>

namespace orv {

extern std::uint8_t menu;
extern std::uint8_t keys;
// diag is the trace's own switch, declared with it; debug and mute are run inputs (base/run_inputs.h).

} // namespace orv
