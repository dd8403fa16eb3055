// The history of executed instructions: the last HISTORY_LENGTH of them, recorded by the interpreter
// only while switched on, shown as lines and exported to a text file.
#pragma once

#include "debugger/symbols.h"
#include "machine/debug_hooks.h"

#include <cstddef>
#include <string>

namespace orv {

// Switching on starts an empty record; switching off keeps what was recorded, for viewing.
void historySwitch(bool on);
bool historyRecording();
std::size_t historySize();
// 0 is the oldest; index < historySize().
const HistoryEntry& historyAt(std::size_t index);
// The instruction at PC with the registers and cycles as they stand, before it runs: the entry the
// interpreter would record, read without touching a device.
HistoryEntry entryNow();
// "0215  A9 10     LDA #$10        A:10 X:00 Y:00 SP:FD N-1B-I-C  1234": the instruction as it was,
// the registers before it ran and the cycle count when it began.
std::string historyLine(const HistoryEntry& entry, const SymbolTable* symbols = nullptr);
// The same without the cycle count, which the trace log puts first; it is the instruction's text
// ("0215  A9 10     LDA #$10       "), a blank, and the registers and flags.
std::string instructionColumns(const HistoryEntry& entry, const SymbolTable* symbols = nullptr);
std::string instructionText(const HistoryEntry& entry, const SymbolTable* symbols = nullptr);
void appendRegisters(std::string& out, const HistoryEntry& entry);
// The same written at out, REGISTER_COLUMNS characters; returns their end.
constexpr std::size_t REGISTER_COLUMNS = 29;
char* writeRegisters(char* out, const HistoryEntry& entry);
// Every line, oldest first, to a text file written whole or not at all.
bool historyExport(const std::string& path, std::string& message, const SymbolTable* symbols = nullptr);

} // namespace orv
