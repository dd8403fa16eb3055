#include "debugger/history.h"

#include "base/file_names.h"
#include "base/hex_digits.h"
#include "base/text_format.h"
#include "debugger/disasm.h"
#include "files/safe_file.h"
#include "machine/bus.h"
#include "machine/cpu.h"

#include <cstring>

namespace orv {

void historySwitch(bool on) {
    if (on && !debugHooks.history.on) {
        debugHooks.history.ring.assign(HISTORY_LENGTH, HistoryEntry{});
        debugHooks.history.next = 0;
        debugHooks.history.count = 0;
    }
    debugHooks.history.on = on;
}

bool historyRecording() {
    return debugHooks.history.on;
}

std::size_t historySize() {
    return debugHooks.history.count;
}

const HistoryEntry& historyAt(std::size_t index) {
    // While the ring is not yet full its oldest entry is the first.
    const std::size_t oldest = debugHooks.history.count < HISTORY_LENGTH ? 0 : debugHooks.history.next;
    return debugHooks.history.ring[(oldest + index) % HISTORY_LENGTH];
}

HistoryEntry entryNow() {
    const std::uint16_t pc = cpu.pc;
    return {static_cast<std::uint32_t>(cpu.cycles),
            pc,
            {peekByte(pc), peekByte(static_cast<std::uint16_t>(pc + 1)),
             peekByte(static_cast<std::uint16_t>(pc + 2))},
            cpu.a,
            cpu.x,
            cpu.y,
            cpu.sp,
            cpuStatusByte()};
}

std::string instructionText(const HistoryEntry& entry, const SymbolTable* symbols) {
    const ByteReader recorded = [&entry](std::uint16_t address) {
        return entry.bytes[static_cast<std::uint16_t>(address - entry.pc) % entry.bytes.size()];
    };
    const DisasmLine line = disassemble(recorded, entry.pc, symbols);
    std::string bytes;
    for (int n = 0; n < line.length; ++n) bytes += formatText("%02X ", line.bytes[n]);
    return formatText("%04X  %-9s %-15s", entry.pc, bytes.c_str(), line.text.c_str());
}

char* writeRegisters(char* out, const HistoryEntry& entry) {
    // By hand: the trace log writes one of these for every instruction.
    static constexpr char form[] = "A:.. X:.. Y:.. SP:.. NV1BDIZC";
    std::memcpy(out, form, REGISTER_COLUMNS);
    hexByteText(entry.a, out + 2);
    hexByteText(entry.x, out + 7);
    hexByteText(entry.y, out + 12);
    hexByteText(entry.sp, out + 18);
    for (int bit = 7; bit >= 0; --bit)
        if (bit != 5 && !(entry.p & (1 << bit))) out[21 + 7 - bit] = '-';
    return out + REGISTER_COLUMNS;
}

void appendRegisters(std::string& out, const HistoryEntry& entry) {
    char text[REGISTER_COLUMNS];
    out.append(text, writeRegisters(text, entry));
}

std::string instructionColumns(const HistoryEntry& entry, const SymbolTable* symbols) {
    std::string columns = instructionText(entry, symbols) + " ";
    appendRegisters(columns, entry);
    return columns;
}

std::string historyLine(const HistoryEntry& entry, const SymbolTable* symbols) {
    return instructionColumns(entry, symbols) + formatText("  %u", static_cast<unsigned>(entry.cycles));
}

bool historyExport(const std::string& path, std::string& message, const SymbolTable* symbols) {
    message.clear();
    std::string text;
    for (std::size_t n = 0; n < historySize(); ++n) text += historyLine(historyAt(n), symbols) + "\n";
    FileRefusal why = FileRefusal::None;
    if (replaceWhole(path, text, why)) return true;
    message = writeRefusalMessage(why, bareName(path));
    return false;
}

} // namespace orv
