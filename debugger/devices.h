// The devices view: both RIO chips as the board wires them, the keypad matrix, the display latch and the
// tape's lines, as text. Read without touching a chip: what a read would sample (the keypad rows, the
// tape input) is worked out from the records, not by reading the port.
#pragma once

#include <string>

namespace orv {

std::string devicesText();

} // namespace orv
