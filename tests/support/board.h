// The headless board: the monitor running on the emulated machine through the board's one driver
// (board/board.h: slices of 1,000 cycles, the board tick every 50,000), keys pressed as the program's
// key queue presses them (held for one tick and then released for one). For tests and benchmarks; it is
// not a second run control.
#pragma once

#include "board/board.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::test {

using ::orv::BOARD_SLICE;
using ::orv::BOARD_TICK;

// The monitor image as built (Intel HEX text). Empty with a message when it cannot be read.
std::string monitorHexText(std::string& message);

// The board's power-on (board/board.h) with the monitor image as built. Returns false with a message
// when the image cannot be read or loaded.
bool boardPowerOn(std::string& message);
// The monitor's own segment patterns of the hex digits 0-f, read from the loaded image where its label
// file places them. False with a message when the labels cannot be read.
bool monitorDigitPatterns(std::array<std::uint8_t, 16>& patterns, std::string& message);
// The reset key: a processor reset, served at once.
void boardReset();
// The display latch as before any write: every digit dark, none refreshed yet.
void boardClearDisplay();

// Runs at least `count` cycles, slice by slice, with the board tick at every tick boundary. Stops early
// on a slice that ends with SLICE_BREAK or SLICE_BADOP and returns those bits (0 when none).
std::uint8_t boardRun(std::int64_t count);
// Runs instruction by instruction until `done` returns true (checked before each instruction) or `limit`
// cycles have passed. Returns true when `done` did.
bool boardRunUntil(const std::function<bool()>& done, std::int64_t limit);
// Runs until the program counter equals `address`, at most `limit` cycles.
bool boardRunTo(std::uint16_t address, std::int64_t limit);

// One key as the key queue gives it: held `ticks` ticks, then released for one tick.
void boardPress(int key, int ticks = 1);
// Each key, by its one-character legend, pressed for one tick in turn. Returns false, pressing nothing,
// when a character is no key's legend.
bool boardType(std::string_view labels);

// One change of the cassette output line: the cycle count after the instruction that made it.
struct TapeEdge {
    std::int32_t cycle;
    int level;
};
// Runs `count` cycles instruction by instruction and records every change of RIO 0's cassette output
// line (port A bit 6, driven only while ddrA bit 6 is 1). The line counts as high while not driven.
std::vector<TapeEdge> boardRunWatchingTape(std::int64_t count);

} // namespace orv::test
