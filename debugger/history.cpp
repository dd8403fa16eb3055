#include "debugger/history.h"

#include "base/file_names.h"
#include "base/text_format.h"
#include "debugger/disasm.h"
#include "files/safe_file.h"
#include "machine/cpu.h"

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

std::string historyLine(const HistoryEntry& entry, const SymbolTable* symbols) {
    const ByteReader recorded = [&entry](std::uint16_t address) {
        return entry.bytes[static_cast<std::uint16_t>(address - entry.pc) % entry.bytes.size()];
    };
    const DisasmLine line = disassemble(recorded, entry.pc, symbols);
    std::string bytes;
    for (int n = 0; n < line.length; ++n) bytes += formatText("%02X ", line.bytes[n]);
    return formatText("%04X  %-9s %-15s A:%02X X:%02X Y:%02X SP:%02X %s  %u", entry.pc, bytes.c_str(),
                      line.text.c_str(), entry.a, entry.x, entry.y, entry.sp, flagString(entry.p).c_str(),
                      static_cast<unsigned>(entry.cycles));
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
