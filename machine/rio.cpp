#include "machine/rio.h"

#include "machine/cpu.h"
#include "machine/keys.h"
#include "machine/latch.h"
#include "machine/power.h"
#include "machine/trace.h"
#include "tape/tape.h"

namespace orv {

std::array<RioChip, 2> rio{};
std::uint8_t keyColumn = 0;
std::uint8_t keyRows = 0xFF;
std::int32_t rioWarningsLeft = 1;

namespace {

// Inputs float high; outputs show the output register.
std::uint8_t portALines(const RioChip& chip) {
    return static_cast<std::uint8_t>((chip.outA & chip.ddrA) | static_cast<std::uint8_t>(~chip.ddrA));
}

void warnBadAddress(std::uint16_t address) {
    if (rioWarningsLeft <= 0) return;
    --rioWarningsLeft;
    trace("Invalid RIO address: %04x\n", address);
}

} // namespace

std::uint8_t rioRead(std::uint16_t address) {
    const std::uint8_t page = static_cast<std::uint8_t>(address >> 8);
    const int index = page == rioPage[0] ? 0 : 1;
    RioChip& chip = rio[index];
    const std::uint8_t offset = static_cast<std::uint8_t>(address);
    if (offset >= 0x80) return chip.ram[offset - 0x80];
    switch (offset) {
    case 0x20: {
        std::uint8_t input = 0xFF;
        if (index == 0) {
            if (keyColumn == (portALines(chip) & 0x07)) input = keyRows;
            if (!(chip.ddrA & 0x80) && tapeInputBit(cycles) == 0) input &= 0x7F;
        }
        const std::uint8_t result =
            static_cast<std::uint8_t>((static_cast<std::uint8_t>(~chip.ddrA) | chip.outA) & input);
        chip.outA = result;
        return result;
    }
    case 0x21: return chip.outB;
    case 0x22: return chip.ddrA;
    case 0x23: return chip.ddrB;
    default: warnBadAddress(address); return page;
    }
}

std::uint8_t rioPeek(std::uint16_t address) {
    const std::uint8_t page = static_cast<std::uint8_t>(address >> 8);
    const RioChip& chip = rio[page == rioPage[0] ? 0 : 1];
    const std::uint8_t offset = static_cast<std::uint8_t>(address);
    if (offset >= 0x80) return chip.ram[offset - 0x80];
    switch (offset) {
    case 0x20: return chip.outA;
    case 0x21: return chip.outB;
    case 0x22: return chip.ddrA;
    case 0x23: return chip.ddrB;
    default: return page;
    }
}

void rioWrite(std::uint16_t address, std::uint8_t value) {
    const std::uint8_t page = static_cast<std::uint8_t>(address >> 8);
    const int index = page == rioPage[0] ? 0 : 1;
    RioChip& chip = rio[index];
    const std::uint8_t offset = static_cast<std::uint8_t>(address);
    if (offset >= 0x80) {
        chip.ram[offset - 0x80] = value;
        return;
    }
    switch (offset) {
    case 0x20: chip.outA = static_cast<std::uint8_t>((value & chip.ddrA) | (chip.outA & ~chip.ddrA)); break;
    case 0x21: chip.outB = static_cast<std::uint8_t>((value & chip.ddrB) | (chip.outB & ~chip.ddrB)); break;
    case 0x22: chip.ddrA = value; break;
    case 0x23: chip.ddrB = value; break;
    default: warnBadAddress(address); return;
    }
    if (index == 0 && offset == 0x20) {
        const std::uint8_t lines = portALines(chip);
        // Every digit select latches, even an unchanged one: that refresh is what keeps the digit lit.
        latchDigit(chip.outB, lines & 0x07);
        if (chip.ddrA & 0x40) tapeOutputBit((lines >> 6) & 1, cycles);
    }
}

void rioReset() {
    for (RioChip& chip : rio) chip.ddrA = chip.ddrB = chip.outA = chip.outB = 0xFF;
    fillRandom(rio[0].ram.data(), rio[0].ram.size());
    fillRandom(rio[1].ram.data(), rio[1].ram.size());
    latchDigit(rio[0].outB, rio[0].outA % 8);
}

void keyDown(int key) {
    if (key < 0 || key >= KEY_COUNT) return;
    const KeyInfo& k = keyTable[static_cast<std::size_t>(key)];
    rio[0].outA |= KEY_ROWS;
    keyRows = static_cast<std::uint8_t>(~k.row);
    keyColumn = k.column;
}

void keyUp() {
    keyRows = 0xFF;
}

} // namespace orv
