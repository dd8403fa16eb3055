// The disassembler: one instruction for the debugger's views, or a range as ca65 source that assembles
// back to the same bytes. Text is ca65 syntax: upper-case mnemonics and hex, "LDA ($10),Y",
// "STA $0300,X", "ASL A", branch targets as addresses, "a:" on absolute operands below $100 (ca65
// would otherwise choose zero page), ".byte $xx" for an opcode this processor does not have.
#pragma once

#include "debugger/symbols.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace orv {

// Where the bytes come from: peekByte for the machine's memory (no device is touched), or any buffer.
using ByteReader = std::function<std::uint8_t(std::uint16_t)>;

struct DisasmLine {
    std::uint16_t address;
    std::uint8_t length; // bytes taken: 1 for an undefined opcode
    std::array<std::uint8_t, 3> bytes;
    std::string text; // "LDA ($10),Y"
};

// The instruction at `address`; with symbols, operand addresses and branch targets by name where one
// is known (immediate values never).
DisasmLine disassemble(const ByteReader& read, std::uint16_t address, const SymbolTable* symbols = nullptr);

// first..last (inclusive) as ca65 source: ca65 and "ld65 -t none" make the same bytes of it. Symbols
// on an instruction give "name:" lines, others that the range holds or an operand uses "name = $xxxx".
// Only names ca65 can take back are used: no cheap locals (shown as comments), only the first
// definition of a name. Bytes that cannot be an instruction there (running past `last`, a branch past
// the end of memory) are ".byte" lines.
std::string disassembleRange(const ByteReader& read, std::uint16_t first, std::uint16_t last,
                             const SymbolTable* symbols = nullptr);

} // namespace orv
