#include "settings/flags.h"

namespace orv {

std::uint8_t menu = 1;
std::uint8_t keys = 1;
std::uint8_t debug = 0;
std::uint8_t mute = 0;

} // namespace orv
