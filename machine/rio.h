// The two RAM-I/O chips and the keypad matrix wired to RIO 0's port A.
#pragma once

#include <array>
#include <cstdint>

namespace orv {

struct RioChip {
    std::uint8_t ddrA, ddrB, outA, outB;
    std::array<std::uint8_t, 128> ram;
};

extern std::array<RioChip, 2> rio;
constexpr std::array<std::uint8_t, 2> rioPage = {0x0E, 0x0F};

extern std::uint8_t keyColumn;
extern std::uint8_t keyRows;
extern std::int32_t rioWarningsLeft;

std::uint8_t rioRead(std::uint16_t address);
void rioWrite(std::uint16_t address, std::uint8_t value);
// rioRead without its effects: port A shows its output register as last read or written (a real read
// would sample the keypad and the tape), and a bad offset gives the page number without a warning.
std::uint8_t rioPeek(std::uint16_t address);
void rioReset();

// A key of keyTable held down on the keypad matrix, and released. The reset key pulls no row.
void keyDown(int key);
void keyUp();

} // namespace orv
