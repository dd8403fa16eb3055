#include "debugger/devices.h"

#include "base/text_format.h"
#include "machine/display_text.h"
#include "machine/keys.h"
#include "machine/latch.h"
#include "machine/rio.h"
#include "tape/tape.h"

namespace orv {

namespace {

const char* direction(std::uint8_t ddr, std::uint8_t lines) {
    if ((ddr & lines) == lines) return "out";
    return (ddr & lines) == 0 ? "in " : "mix";
}

std::string bits(std::uint8_t value) {
    std::string text;
    for (int bit = 7; bit >= 0; --bit) text += (value >> bit) & 1 ? '1' : '0';
    return text;
}

// What port A's lines show: outputs their register, inputs what drives them (pulled up when nothing does).
std::uint8_t portALines(const RioChip& chip, std::uint8_t inputs) {
    return static_cast<std::uint8_t>((chip.outA & chip.ddrA) | (inputs & ~chip.ddrA));
}

std::string rowKeys(std::uint8_t row) {
    std::string keys;
    for (const KeyInfo& key : keyTable)
        if (key.row == row) keys += std::string(key.legend) + " ";
    keys.pop_back();
    return keys;
}

} // namespace

std::string devicesText() {
    const RioChip& chip = rio[0];
    const std::uint8_t column = static_cast<std::uint8_t>(chip.outA & PA_DIGIT);
    // A held key pulls its row low while the digit lines select its column.
    std::uint8_t inputs = keypad.keyColumn == column ? keypad.keyRows : 0xFF;
    const bool playing = (tape.tapeState & TAPE_PLAYING) && tape.tapeClockStarted && !tape.trackEnded;
    if (playing && tape.tapeLevel == 0) inputs &= static_cast<std::uint8_t>(~PA_TAPE_IN);
    const std::uint8_t lines = portALines(chip, inputs);

    std::string text;
    text += formatText("RIO 0 port A $%04X: lines %s, output $%02X, direction $%02X (1 = out)\n",
                       rioPage[0] << 8 | RIO_PORT_A, bits(lines).c_str(), chip.outA, chip.ddrA);
    text += formatText("  PA0-PA2 %s  digit and keypad column: %d\n", direction(chip.ddrA, PA_DIGIT),
                       lines & PA_DIGIT);
    for (const std::uint8_t row : {KEY_ROW_HIGH, KEY_ROW_COMMAND, KEY_ROW_LOW}) {
        int bit = 0;
        while (!((row >> bit) & 1)) ++bit;
        text += formatText("  PA%d     %s  keypad row %s: %s\n", bit, direction(chip.ddrA, row),
                           rowKeys(row).c_str(), lines & row ? "high" : "low (a key is down)");
    }
    text += formatText("  PA6     %s  tape out: %d\n", direction(chip.ddrA, PA_TAPE_OUT),
                       (lines & PA_TAPE_OUT) ? 1 : 0);
    text += formatText("  PA7     %s  tape in: %d%s\n", direction(chip.ddrA, PA_TAPE_IN),
                       (lines & PA_TAPE_IN) ? 1 : 0, playing ? " (playing)" : "");
    text += formatText("RIO 0 port B $%04X: output $%02X, direction $%02X\n", rioPage[0] << 8 | RIO_PORT_B,
                       chip.outB, chip.ddrB);
    text += formatText("  PB0-PB7 %s  segments a-g and point of the selected digit: %s\n",
                       direction(chip.ddrB, 0xFF), bits(chip.outB).c_str());
    const RioChip& spare = rio[1];
    text +=
        formatText("RIO 1 port A $%04X: output $%02X, direction $%02X; port B $%04X: output $%02X, direction "
                   "$%02X (nothing wired)\n",
                   rioPage[1] << 8 | RIO_PORT_A, spare.outA, spare.ddrA, rioPage[1] << 8 | RIO_PORT_B,
                   spare.outB, spare.ddrB);

    text += "Keypad: ";
    int held = -1;
    for (int key = 0; key < KEY_COUNT; ++key)
        if (keyTable[key].row != 0 &&
            keyTable[key].row == static_cast<std::uint8_t>(~keypad.keyRows & KEY_ROWS) &&
            keyTable[key].column == keypad.keyColumn)
            held = key;
    text += held < 0 ? "no key down\n"
                     : formatText("\"%s\" down (column %d)\n", std::string(keyTable[held].legend).c_str(),
                                  keypad.keyColumn);

    text += "Display latch:";
    for (int digit = 0; digit < 8; ++digit) {
        const std::uint8_t pattern = latch.digitSegments[digit];
        text += formatText(" %d:$%02X '%c%s'", digit, pattern, pattern ? segmentCharacter(pattern) : ' ',
                           pattern & 0x80 ? "." : "");
    }
    text += latch.lastDigit >= 0 ? formatText(", last latched %d\n", latch.lastDigit) : std::string("\n");

    const char* state = tape.tapeState & TAPE_RECORDING ? "recording"
                        : tape.tapeState & TAPE_PLAYING ? "playing"
                                                        : "idle";
    text += formatText("Tape: %s%s%s\n", state, tape.tapeState ? ", file " : "",
                       tape.tapeState ? tape.tapeFileName.c_str() : "");
    return text;
}

} // namespace orv
