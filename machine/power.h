// Power-on of the machine and the pseudo-random source that fills RAM and registers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

void machinePowerOn();
std::uint8_t randomByte();
void fillRandom(std::uint8_t* buffer, std::size_t length);

} // namespace orv
