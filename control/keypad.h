// Keypad input: key commands from the key buttons and the PC keyboard, the key queue that the
// housekeeping tick plays to the emulated keypad, and the debugger keypad used while halted.
#pragma once

#include <array>
#include <cstdint>

class QKeyEvent;

namespace orv {

constexpr std::uint8_t DEBUG_IDLE = 0;
constexpr std::uint8_t DEBUG_ADDRESS = 1;
constexpr std::uint8_t DEBUG_DATA = 2;
constexpr std::uint8_t DEBUG_GO = 4;
constexpr std::uint8_t DEBUG_BREAKPOINT = 8;

constexpr int KEY_QUEUE_SIZE = 8;

struct KeyInput {
    // Which debugger field the keypad is entering; painting shows that field in red while halted.
    std::uint8_t debugMode = DEBUG_IDLE;

    // Keys waiting for the emulated keypad, head first. The head stays counted while it is held down.
    std::array<std::int32_t, KEY_QUEUE_SIZE> keyQueue{};
    std::int32_t keyQueueCount = 0;
    bool keyHeld = false;
    // How often a full queue turned a key away with the beep.
    std::int32_t beepCount = 0;
};

extern KeyInput keyInput;

// A key id 0-23 from a key button or the PC keyboard: queued while running, the debugger keypad's
// while halted. Gives the keyboard focus back to the main window.
void keyCommand(int key);
// A key id while halted; does nothing unless the debug panel is shown.
void debuggerKey(int key);
// Once per housekeeping tick: press or release the key at the head of the key queue. A key goes down
// only while no paste is typing (machine/key_feed.h); the paste waits while it is held.
void advanceKeyQueue();

// The PC keyboard. A key by its Qt key code (Pause, the arrows, F1), then the character it typed.
void keyDownMessage(int qtKey);
void characterMessage(char32_t character);
// A key press of the main window, both ways. Only plain keys count (Shift and the number pad
// allowed): with Alt, Ctrl or Meta held a key is a menu's mnemonic or nothing.
void keyPressMessage(const QKeyEvent& e);

} // namespace orv
