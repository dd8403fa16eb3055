#include "machine/power.h"

#include "base/trace.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/rio.h"
#include "tape/tape.h"

#include <chrono>

namespace orv {

namespace {
std::uint32_t randomState = 0;
bool randomSeeded = false;
} // namespace

void seedRandom(std::uint32_t seed) {
    randomState = seed;
    randomSeeded = true;
}

std::uint8_t randomByte() {
    if (!randomSeeded) {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        randomState =
            static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
        randomSeeded = true;
    }
    randomState = randomState * 1664525u + 1u;
    return static_cast<std::uint8_t>(randomState >> 11);
}

void fillRandom(std::uint8_t* buffer, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) buffer[i] = randomByte();
}

void machinePowerOn() {
    trace("Power On\n");
    bus.pageFlags.fill(PAGE_EMPTY);
    for (int page = RAM_FIRST_PAGE; page <= RAM_LAST_PAGE; ++page) bus.pageFlags[page] = PAGE_RAM;
    for (int page = ROM_FIRST_PAGE; page <= ROM_LAST_PAGE; ++page) bus.pageFlags[page] = PAGE_ROM;
    bus.pageFlags[rioPage[0]] = PAGE_RIO0;
    bus.pageFlags[rioPage[1]] = PAGE_RIO1;
    for (int page = 0; page < 256; ++page) {
        if (bus.pageFlags[page] == PAGE_RAM) fillRandom(bus.memory.data() + page * 256, 256);
    }
    const std::uint8_t pcHigh = randomByte();
    const std::uint8_t pcLow = randomByte();
    cpu.pc = static_cast<std::uint16_t>((pcHigh << 8) | pcLow);
    cpu.a = randomByte();
    cpu.x = randomByte();
    cpu.y = randomByte();
    cpu.sp = randomByte();
    for (std::uint8_t* flag : {&cpu.n, &cpu.v, &cpu.b, &cpu.d, &cpu.i, &cpu.z, &cpu.c}) {
        *flag = randomByte() & 1;
    }
    cpu.pendingInterrupts = 0;
    // A running tape goes on across the restart of the counter.
    tapeClockMoved(cpu.cycles, 0);
    cpu.cycles = 0;
}

} // namespace orv
