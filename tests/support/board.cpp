#include "support/board.h"

#include "board/board.h"
#include "debugger/symbols.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/keys.h"
#include "machine/latch.h"
#include "machine/rio.h"

#include <fstream>
#include <iterator>
#include <vector>

namespace orv::test {

namespace {

int tapeLine() {
    const RioChip& chip = rio[0];
    if (!(chip.ddrA & 0x40)) return 1;
    return (chip.outA >> 6) & 1;
}

} // namespace

std::string monitorHexText(std::string& message) {
    message.clear();
#ifdef ORV_MONITOR_HEX
    std::ifstream in(ORV_MONITOR_HEX, std::ios::binary);
    if (!in) {
        message = "Error: cannot read the monitor image '" ORV_MONITOR_HEX "'";
        return {};
    }
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
#else
    message = "Error: the monitor image is not part of this build";
    return {};
#endif
}

bool monitorDigitPatterns(std::array<std::uint8_t, 16>& patterns, std::string& message) {
    message.clear();
#ifdef ORV_MONITOR_LABELS
    SymbolTable labels;
    symbolsLoadFile(labels, ORV_MONITOR_LABELS, message);
    const auto table = symbolAddress(labels, "SEGMENTS");
    if (!table) {
        if (message.empty()) message = "Error: no SEGMENTS label in '" ORV_MONITOR_LABELS "'";
        return false;
    }
    for (std::size_t i = 0; i < patterns.size(); ++i)
        patterns[i] = busRead(static_cast<std::uint16_t>(*table + i));
    return true;
#else
    message = "Error: the monitor's labels are not part of this build";
    return false;
#endif
}

bool boardPowerOn(std::string& message) {
    const std::string text = monitorHexText(message);
    if (!message.empty()) return false;
    ::orv::boardPowerOn(text, message);
    return message.empty();
}

void boardReset() {
    cpuRequestReset();
}

void boardClearDisplay() {
    latch = LatchRecord{};
}

std::uint8_t boardRun(std::int64_t count) {
    const auto start = static_cast<std::uint32_t>(cpu.cycles);
    while (static_cast<std::uint32_t>(cpu.cycles) - start < count) {
        const std::uint8_t status = boardSlice(BOARD_SLICE);
        if (status & (SLICE_BREAK | SLICE_BADOP)) return status;
    }
    return 0;
}

bool boardRunUntil(const std::function<bool()>& done, std::int64_t limit) {
    const auto start = static_cast<std::uint32_t>(cpu.cycles);
    while (!done()) {
        if (static_cast<std::uint32_t>(cpu.cycles) - start >= limit) return false;
        if (boardSlice(0) & SLICE_BADOP) return false;
    }
    return true;
}

bool boardRunTo(std::uint16_t address, std::int64_t limit) {
    return boardRunUntil([address] { return cpu.pc == address; }, limit);
}

void boardPress(int key, int ticks) {
    keyDown(key);
    boardRun(static_cast<std::int64_t>(ticks) * BOARD_TICK);
    keyUp();
    boardRun(BOARD_TICK);
}

bool boardType(std::string_view legends) {
    for (std::size_t i = 0; i < legends.size(); ++i)
        if (keyWithLegend(legends.substr(i, 1)) < 0) return false;
    for (std::size_t i = 0; i < legends.size(); ++i) boardPress(keyWithLegend(legends.substr(i, 1)));
    return true;
}

std::vector<TapeEdge> boardRunWatchingTape(std::int64_t count) {
    std::vector<TapeEdge> edges;
    int level = tapeLine();
    const auto start = static_cast<std::uint32_t>(cpu.cycles);
    while (static_cast<std::uint32_t>(cpu.cycles) - start < count) {
        if (boardSlice(0) & SLICE_BADOP) break;
        const int now = tapeLine();
        if (now != level) edges.push_back({cpu.cycles, now});
        level = now;
    }
    return edges;
}

} // namespace orv::test
