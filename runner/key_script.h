// Key scripts: what --keys types on the keypad. The keys' own characters (0-9, a-f, m g p s l r ^ v,
// either case) press them; blanks only separate; "{reset}" is the reset key and "{wait N}" lets N
// milliseconds of emulated time pass before the next step.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orv {

struct KeyStep {
    enum Kind : std::uint8_t { Key, Reset, Wait } kind;
    int key = -1;             // Key: the key id
    std::uint32_t millis = 0; // Wait
};

// The steps of a script; false with a message naming the first thing that is not a step.
bool parseKeyScript(std::string_view script, std::vector<KeyStep>& steps, std::string& message);

} // namespace orv
