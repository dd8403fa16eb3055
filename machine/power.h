// Switching the board on. The RAM, the RIO chips' RAM and the processor's registers come up holding
// whatever they happen to hold, for which a pseudo-random source stands in; the ROM keeps what it holds.
// The processor does nothing useful until the reset key sends it through the reset vector. rioReset
// (machine/rio.h) is the chips' half of power-on and follows machinePowerOn.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orv {

void machinePowerOn();
// Makes what power-on finds repeatable: the same seed, the same bytes. Unseeded, the source starts from
// the clock at its first use.
void seedRandom(std::uint32_t seed);
std::uint8_t randomByte();
void fillRandom(std::uint8_t* buffer, std::size_t length);

} // namespace orv
