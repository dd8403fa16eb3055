// The program's switches, loaded from and saved to the settings file. Bytes, non-zero meaning on.
#pragma once

#include "base/trace.h"

#include <cstdint>

namespace orv {

struct Switches {
    std::uint8_t menu = 1;
    std::uint8_t keys = 1;
};
// diag, debug and mute are run inputs (base/run_inputs.h).
extern Switches switches;

} // namespace orv
