// The program's switches, loaded from and saved to the settings file. Bytes, non-zero meaning on.
#pragma once

#include <cstdint>

namespace orv {

extern std::uint8_t menu;
extern std::uint8_t keys;
extern std::uint8_t debug;
extern std::uint8_t mute;
extern std::uint8_t diag;

} // namespace orv
