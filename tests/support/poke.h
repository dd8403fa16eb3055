// Bytes put into the emulated memory by the tests and the benchmarks.
#pragma once

#include "machine/bus.h"

#include <cstdint>
#include <initializer_list>
#include <span>

namespace orv::test {

// Forced writes, so that ROM can be filled too; the address wraps at the top of memory.
inline void poke(std::uint16_t address, std::span<const std::uint8_t> bytes) {
    for (std::uint8_t byte : bytes) busWrite(address++, byte, 1);
}

inline void poke(std::uint16_t address, std::initializer_list<std::uint8_t> bytes) {
    poke(address, std::span(bytes.begin(), bytes.size()));
}

} // namespace orv::test
