#include "settings/flags.h"

namespace orv {

std::uint8_t menu = 1;
std::uint8_t keys = 1;

} // namespace orv
