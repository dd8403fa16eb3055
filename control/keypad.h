// Keypad input: the key queue that the housekeeping tick plays to the emulated keypad, and the
// debugger keypad's state.
#pragma once

#include <cstdint>

namespace orv {

constexpr std::uint8_t DEBUG_IDLE = 0;
constexpr std::uint8_t DEBUG_ADDRESS = 1;
constexpr std::uint8_t DEBUG_DATA = 2;
constexpr std::uint8_t DEBUG_GO = 4;
constexpr std::uint8_t DEBUG_BREAKPOINT = 8;

// Which debugger field the keypad is entering; painting shows that field in red while halted.
extern std::uint8_t debugMode;

// Once per housekeeping tick: press or release the key at the head of the key queue.
void advanceKeyQueue();

} // namespace orv
