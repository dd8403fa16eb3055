#include "machine/rio.h"

#include "base/trace.h"
#include "machine/cpu.h"
#include "machine/debug_hooks.h"
#include "machine/key_feed.h"
#include "machine/keys.h"
#include "machine/latch.h"
#include "machine/power.h"
#include "tape/tape.h"

namespace orv {

RioRecord rio;
KeypadRecord keypad;

namespace {

// Inputs float high; outputs show the output register.
std::uint8_t portALines(const RioChip& chip) {
    return static_cast<std::uint8_t>((chip.outA & chip.ddrA) | static_cast<std::uint8_t>(~chip.ddrA));
}

void warnBadAddress(std::uint16_t address) {
    if (rio.rioWarningsLeft <= 0) return;
    --rio.rioWarningsLeft;
    trace("Invalid RIO address: %04x\n", address);
}

} // namespace

std::uint8_t rioRead(std::uint16_t address) {
    const std::uint8_t page = static_cast<std::uint8_t>(address >> 8);
    const int index = page == rioPage[0] ? 0 : 1;
    RioChip& chip = rio[index];
    const std::uint8_t offset = static_cast<std::uint8_t>(address);
    if (offset >= RIO_RAM) return chip.ram[offset - RIO_RAM];
    switch (offset) {
    case RIO_PORT_A: {
        std::uint8_t input = 0xFF;
        if (index == 0) {
            if (keypad.keyColumn == (portALines(chip) & PA_DIGIT)) input = keypad.keyRows;
            if (!(chip.ddrA & PA_TAPE_IN) && tapeInputBit(cpu.cycles) == 0)
                input &= static_cast<std::uint8_t>(~PA_TAPE_IN);
        }
        const std::uint8_t result =
            static_cast<std::uint8_t>((static_cast<std::uint8_t>(~chip.ddrA) | chip.outA) & input);
        // The digit lines as they were for this read: the key feed counts it against that column.
        const std::uint8_t column = portALines(chip) & PA_DIGIT;
        chip.outA = result;
        if (index == 0) keyFeedScanned(column);
        return result;
    }
    case RIO_PORT_B: return chip.outB;
    case RIO_DDR_A: return chip.ddrA;
    case RIO_DDR_B: return chip.ddrB;
    default: warnBadAddress(address); return page;
    }
}

std::uint8_t rioPeek(std::uint16_t address) {
    const std::uint8_t page = static_cast<std::uint8_t>(address >> 8);
    const RioChip& chip = rio[page == rioPage[0] ? 0 : 1];
    const std::uint8_t offset = static_cast<std::uint8_t>(address);
    if (offset >= RIO_RAM) return chip.ram[offset - RIO_RAM];
    switch (offset) {
    case RIO_PORT_A: return chip.outA;
    case RIO_PORT_B: return chip.outB;
    case RIO_DDR_A: return chip.ddrA;
    case RIO_DDR_B: return chip.ddrB;
    default: return page;
    }
}

void rioWrite(std::uint16_t address, std::uint8_t value) {
    const std::uint8_t page = static_cast<std::uint8_t>(address >> 8);
    const int index = page == rioPage[0] ? 0 : 1;
    RioChip& chip = rio[index];
    const std::uint8_t offset = static_cast<std::uint8_t>(address);
    if (offset >= RIO_RAM) {
        chip.ram[offset - RIO_RAM] = value;
        return;
    }
    switch (offset) {
    case RIO_PORT_A:
        chip.outA = static_cast<std::uint8_t>((value & chip.ddrA) | (chip.outA & ~chip.ddrA));
        break;
    case RIO_PORT_B:
        chip.outB = static_cast<std::uint8_t>((value & chip.ddrB) | (chip.outB & ~chip.ddrB));
        break;
    case RIO_DDR_A: chip.ddrA = value; break;
    case RIO_DDR_B: chip.ddrB = value; break;
    default: warnBadAddress(address); return;
    }
    if (index == 0 && offset == RIO_PORT_A) {
        const std::uint8_t lines = portALines(chip);
        // Every digit select latches, even an unchanged one: that refresh is what keeps the digit lit.
        latchDigit(chip.outB, lines & PA_DIGIT);
        if (chip.ddrA & PA_TAPE_OUT) tapeOutputBit((lines & PA_TAPE_OUT) ? 1 : 0, cpu.cycles);
    }
}

void rioReset() {
    for (RioChip& chip : rio.chips) chip.ddrA = chip.ddrB = chip.outA = chip.outB = 0xFF;
    fillRandom(rio[0].ram.data(), rio[0].ram.size());
    fillRandom(rio[1].ram.data(), rio[1].ram.size());
    latchDigit(rio[0].outB, rio[0].outA & PA_DIGIT);
}

void keyDown(int key) {
    if (key < 0 || key >= KEY_COUNT) return;
    noteBoardInput(BoardInput::KeyDown, key);
    const KeyInfo& k = keyTable[static_cast<std::size_t>(key)];
    rio[0].outA |= KEY_ROWS;
    keypad.keyRows = static_cast<std::uint8_t>(~k.row);
    keypad.keyColumn = k.column;
}

void keyUp() {
    noteBoardInput(BoardInput::KeyUp);
    keypad.keyRows = 0xFF;
}

} // namespace orv
