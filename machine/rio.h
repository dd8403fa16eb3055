// The RAM-I/O chips ("RIO"). Each holds 128 bytes of RAM and two 8-bit ports, A and B, with a data
// direction register per port: a 1 bit makes that line an output, and an input line floats high. The
// board has two: RIO 0 in page 0x0E runs the display, the keypad and the cassette; the ports of RIO 1
// in page 0x0F are not connected. Either chip answers at these offsets of its page and no others:
//
//   0x20  port A   reads the lines and keeps what it read in the output register; writes the
//                  output register, only the bits whose DDR bit is 1
//   0x21  port B   reads the output register; writes it like port A
//   0x22  DDR A
//   0x23  DDR B
//   0x80-0xFF      RAM
//
// Any other offset reads as the page number and drops what is written, with one warning per run.
//
// RIO 0 as the board wires it:
//
//   port B  PB0-PB7 -->  segments a-g and the point of the digit now selected
//   port A  PA0-PA2 -->  digit select 0-7, also the keypad column
//           PA3     <--  keypad row 8-f        |  a held key pulls its row low while
//           PA4     <--  keypad row m-v        |  its column is selected
//           PA5     <--  keypad row 0-7        |
//           PA6     -->  cassette out: driven only while the line is an output
//           PA7     <--  cassette in: sampled only while the line is an input
//
// The keypad matrix, columns by digit select, rows by the line a key pulls low (machine/keys.h):
//
//              column 0   1   2   3   4   5   6   7
//     PA5  row 0-7    0   1   2   3   4   5   6   7
//     PA3  row 8-f    8   9   a   b   c   d   e   f
//     PA4  row m-v    m   g   p   s   l   r   ^   v
//
// The reset key "rst" is not in the matrix: it resets the processor. Every read of RIO 0's port A tells
// the key feed (machine/key_feed.h) which column was read, so fed keys follow the program's scanning.
//
// The monitor shows a digit by writing its pattern to port B, then its number to port A: every write
// of RIO 0's port A latches port B into that digit (machine/latch.h), changed or not.
#pragma once

#include <array>
#include <cstdint>

namespace orv {

// Register offsets within a RIO page.
constexpr std::uint8_t RIO_PORT_A = 0x20;
constexpr std::uint8_t RIO_PORT_B = 0x21;
constexpr std::uint8_t RIO_DDR_A = 0x22;
constexpr std::uint8_t RIO_DDR_B = 0x23;
constexpr std::uint8_t RIO_RAM = 0x80; // to 0xFF

// Lines of RIO 0's port A besides the keypad rows (KEY_ROW_... in machine/keys.h).
constexpr std::uint8_t PA_DIGIT = 0x07;    // PA0-PA2: digit select and keypad column
constexpr std::uint8_t PA_TAPE_OUT = 0x40; // PA6
constexpr std::uint8_t PA_TAPE_IN = 0x80;  // PA7

struct RioChip {
    std::uint8_t ddrA, ddrB, outA, outB;
    std::array<std::uint8_t, 128> ram;
};

// The two chips, indexed like rioPage.
struct RioRecord {
    std::array<RioChip, 2> chips{};
    // "Invalid RIO address" warnings still allowed in this run of the program; never raised again.
    std::int32_t rioWarningsLeft = 1;

    RioChip& operator[](std::size_t n) { return chips[n]; }
    const RioChip& operator[](std::size_t n) const { return chips[n]; }
};

extern RioRecord rio;
constexpr std::array<std::uint8_t, 2> rioPage = {0x0E, 0x0F};

// The key held on the matrix, as keyDown and keyUp leave it.
struct KeypadRecord {
    std::uint8_t keyColumn = 0;  // column of the key last pressed
    std::uint8_t keyRows = 0xFF; // what the held key drives onto port A: its row line low, 0xFF for none
};

extern KeypadRecord keypad;

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
