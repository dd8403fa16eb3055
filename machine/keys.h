// The board's 25 keys in key-id order: each key's legend, the PC characters that press it, where it sits
// in the keypad matrix on RIO 0's port A, and where its button stands on the front panel. The key id is
// also the key button's command number.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace orv {

// The port A line a held key pulls low, one line per row of the matrix.
constexpr std::uint8_t KEY_ROW_LOW = 0x20;     // 0-7
constexpr std::uint8_t KEY_ROW_HIGH = 0x08;    // 8-f
constexpr std::uint8_t KEY_ROW_COMMAND = 0x10; // m g p s l r ^ v
constexpr std::uint8_t KEY_ROWS = KEY_ROW_LOW | KEY_ROW_HIGH | KEY_ROW_COMMAND;

struct KeyInfo {
    std::string_view legend;     // painted above the button; one character for the matrix keys
    std::string_view characters; // typed on the PC keyboard, they press the key
    std::uint8_t row;            // KEY_ROW_...; 0 for the reset key, which is not in the matrix
    std::uint8_t column;         // the digit select lines (port A bits 0-2) that reach it
    std::uint8_t x, y;           // top-left corner of its button in layout units
};

constexpr int KEY_COUNT = 25;

constexpr std::array<KeyInfo, KEY_COUNT> keyTable = {{
    {"0", "0", KEY_ROW_LOW, 0, 10, 74},
    {"1", "1", KEY_ROW_LOW, 1, 23, 74},
    {"2", "2", KEY_ROW_LOW, 2, 36, 74},
    {"3", "3", KEY_ROW_LOW, 3, 49, 74},
    {"4", "4", KEY_ROW_LOW, 4, 10, 62},
    {"5", "5", KEY_ROW_LOW, 5, 23, 62},
    {"6", "6", KEY_ROW_LOW, 6, 36, 62},
    {"7", "7", KEY_ROW_LOW, 7, 49, 62},
    {"8", "8", KEY_ROW_HIGH, 0, 10, 50},
    {"9", "9", KEY_ROW_HIGH, 1, 23, 50},
    {"a", "aA", KEY_ROW_HIGH, 2, 36, 50},
    {"b", "bB", KEY_ROW_HIGH, 3, 49, 50},
    {"c", "cC", KEY_ROW_HIGH, 4, 10, 38},
    {"d", "dD", KEY_ROW_HIGH, 5, 23, 38},
    {"e", "eE", KEY_ROW_HIGH, 6, 36, 38},
    {"f", "fF", KEY_ROW_HIGH, 7, 49, 38},
    {"m", "mM", KEY_ROW_COMMAND, 0, 67, 38},
    {"g", "gG", KEY_ROW_COMMAND, 1, 67, 50},
    {"p", "pP", KEY_ROW_COMMAND, 2, 67, 62},
    {"s", "sS", KEY_ROW_COMMAND, 3, 67, 74},
    {"l", "lL", KEY_ROW_COMMAND, 4, 80, 38},
    {"r", "rR", KEY_ROW_COMMAND, 5, 80, 50},
    {"^", "^\r", KEY_ROW_COMMAND, 6, 80, 62},
    {"v", "vV", KEY_ROW_COMMAND, 7, 80, 74},
    {"rst", "\x1b", 0, 0, 80, 26},
}};

// The key with this legend; -1 for none.
constexpr int keyWithLegend(std::string_view legend) {
    for (int id = 0; id < KEY_COUNT; ++id)
        if (keyTable[static_cast<std::size_t>(id)].legend == legend) return id;
    return -1;
}

// The key a typed character presses; -1 for none.
constexpr int keyOfCharacter(char32_t character) {
    if (character == 0 || character > 0x7F) return -1;
    const char c = static_cast<char>(character);
    for (int id = 0; id < KEY_COUNT; ++id)
        if (keyTable[static_cast<std::size_t>(id)].characters.find(c) != std::string_view::npos) return id;
    return -1;
}

} // namespace orv
