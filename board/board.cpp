#include "board/board.h"

#include "machine/cpu.h"
#include "machine/latch.h"
#include "machine/power.h"
#include "machine/rio.h"
#include "objfile/hex.h"
#include "tape/tape.h"

#include <vector>

namespace orv {

BoardRecord board;

int boardLoadMonitor(std::string_view monitorHex, std::string& message) {
    // The loader may end lines in place and wants a NUL after the text.
    std::vector<char> buffer(monitorHex.begin(), monitorHex.end());
    buffer.push_back('\0');
    return loadHexText("orvROM", buffer.data(), monitorHex.size(), message);
}

int boardPowerOn(std::string_view monitorHex, std::string& message) {
    machinePowerOn();
    rioReset();
    return boardLoadMonitor(monitorHex, message);
}

std::uint8_t boardTick() {
    ++board.ticks;
    std::uint8_t events = 0;
    if (tape.tapeState != 0) {
        const bool active = tapeActive(cpu.cycles);
        if (active && (tape.tapeState & TAPE_WAITING)) {
            tape.tapeState ^= TAPE_WAITING | TAPE_ACTIVE;
            events |= BOARD_TAPE_MOVED;
        } else if (!active && (tape.tapeState & TAPE_ACTIVE)) {
            tape.tapeState ^= TAPE_ACTIVE | TAPE_ENDED;
            events |= BOARD_TAPE_MOVED;
            board.tapeStopDue = board.ticks + TAPE_STOP_DELAY;
        }
        if (board.tapeStopDue != 0 && board.ticks > board.tapeStopDue && (tape.tapeState & TAPE_ENDED)) {
            board.tapeStopDue = 0;
            events |= BOARD_TAPE_STOP;
        }
    }
    fadeDigits();
    return events;
}

std::uint8_t boardSlice(std::int32_t budget, std::uint8_t status) {
    const std::uint32_t from = static_cast<std::uint32_t>(cpu.cycles) / BOARD_TICK;
    cpuExecute(budget, status);
    // Where the counter wraps, that slice misses its tick.
    for (std::uint32_t tick = from; tick < static_cast<std::uint32_t>(cpu.cycles) / BOARD_TICK; ++tick)
        board.events |= boardTick();
    return status;
}

} // namespace orv
