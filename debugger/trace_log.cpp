#include "debugger/trace_log.h"

#include "base/file_names.h"
#include "base/hex_digits.h"
#include "base/text_format.h"
#include "debugger/history.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/opcodes.h"

#include <cstdio>
#include <cstring>

namespace orv {

namespace {

// The zero-page pointer as the interpreter reads it: straight from memory, p = 0xFF pairing with 0x0100.
std::uint16_t pointerAt(unsigned p) {
    return static_cast<std::uint16_t>(peekByte(static_cast<std::uint16_t>(p)) |
                                      peekByte(static_cast<std::uint16_t>(p + 1)) << 8);
}

TraceAccess::Kind kindOf(std::string_view mnemonic) {
    if (mnemonic == "STA" || mnemonic == "STX" || mnemonic == "STY") return TraceAccess::Write;
    for (const std::string_view modify : {"ASL", "LSR", "ROL", "ROR", "INC", "DEC"})
        if (mnemonic == modify) return TraceAccess::Modify;
    // A jump's operand is where it goes, not a byte it reads.
    if (mnemonic == "JMP" || mnemonic == "JSR") return TraceAccess::None;
    return TraceAccess::Read;
}

} // namespace

TraceAccess traceAccessOf(const HistoryEntry& entry) {
    const OpcodeInfo& op = opcodeTable[entry.bytes[0]];
    const std::uint8_t low = entry.bytes[1];
    const auto word = static_cast<std::uint16_t>(low | entry.bytes[2] << 8);
    TraceAccess access;
    switch (op.mode) {
    case AddrMode::ZeroPage: access.address = low; break;
    case AddrMode::ZeroPageX: access.address = static_cast<std::uint8_t>(low + entry.x); break;
    case AddrMode::ZeroPageY: access.address = static_cast<std::uint8_t>(low + entry.y); break;
    case AddrMode::Absolute: access.address = word; break;
    case AddrMode::AbsoluteX: access.address = static_cast<std::uint16_t>(word + entry.x); break;
    case AddrMode::AbsoluteY: access.address = static_cast<std::uint16_t>(word + entry.y); break;
    case AddrMode::IndirectX: access.address = pointerAt(static_cast<std::uint8_t>(low + entry.x)); break;
    case AddrMode::IndirectY: access.address = static_cast<std::uint16_t>(pointerAt(low) + entry.y); break;
    default: return access;
    }
    access.kind = kindOf(op.mnemonic);
    access.before = peekByte(access.address);
    return access;
}

namespace {

char* writeAddress(char* out, std::uint16_t address) {
    hexByteText(static_cast<std::uint8_t>(address >> 8), out);
    hexByteText(static_cast<std::uint8_t>(address), out + 2);
    return out + 4;
}

// Lines are made by hand, not by printf: the trace writes one for every instruction.
void appendTraceLine(std::string& line, const HistoryEntry& entry, std::string_view text,
                     const TraceAccess& access, std::uint8_t after) {
    char buffer[64];
    char* out = buffer;
    std::uint32_t n = entry.cycles;
    for (int at = 9; at >= 0; --at, n /= 10) out[at] = n || at == 9 ? static_cast<char>('0' + n % 10) : ' ';
    out[10] = out[11] = ' ';
    line.append(buffer, 12).append(text);
    out = buffer;
    *out++ = ' ';
    out = writeRegisters(out, entry);
    if (access.kind != TraceAccess::None) {
        std::memcpy(out, "  [$", 4);
        out = writeAddress(out + 4, access.address);
        *out++ = ']';
        if (access.kind != TraceAccess::Write) {
            *out++ = '=';
            hexByteText(access.before, out);
            out += 2;
        }
        if (access.kind != TraceAccess::Read) {
            *out++ = '<';
            *out++ = '-';
            hexByteText(after, out);
            out += 2;
        }
    }
    line.append(buffer, out);
}

} // namespace

std::string traceLine(const HistoryEntry& entry, const TraceAccess& access, std::uint8_t after,
                      const SymbolTable* symbols) {
    std::string line;
    appendTraceLine(line, entry, instructionText(entry, symbols), access, after);
    return line;
}

TraceLog::~TraceLog() {
    if (file.file) replacingDiscard(file);
}

bool TraceLog::open(const std::string& path, std::uint64_t sizeLimit, std::string& message) {
    message.clear();
    name = bareName(path);
    FileRefusal why = FileRefusal::None;
    if (!replacingOpen(file, path, why)) {
        message = writeRefusalMessage(why, name);
        return false;
    }
    limit = sizeLimit;
    written = 0;
    texts.assign(0x10000, CachedText{});
    pending.clear();
    full = failed = false;
    return true;
}

void TraceLog::before() {
    entry = entryNow();
    access = traceAccessOf(entry);
}

void TraceLog::after(const SymbolTable* symbols, bool ran) {
    // A breakpoint before the instruction stops the slice with nothing run.
    if (!active() || !ran || static_cast<std::uint32_t>(cpu.cycles) == entry.cycles) return;
    // A program runs the same instructions over and over: each one's text is made once.
    CachedText& cached = texts[entry.pc];
    if (!cached.valid || cached.bytes != entry.bytes)
        cached = {true, entry.bytes, instructionText(entry, symbols)};
    const std::size_t start = pending.size();
    appendTraceLine(pending, entry, cached.text, access, peekByte(access.address));
    pending += '\n';
    if (written + pending.size() > limit) {
        pending.resize(start);
        full = true;
    }
    if (full || pending.size() >= TRACE_BLOCK) flush();
}

void TraceLog::flush() {
    failed |= std::fwrite(pending.data(), 1, pending.size(), file.file) != pending.size();
    written += pending.size();
    pending.clear();
}

bool TraceLog::close(std::string& message) {
    message.clear();
    if (!file.file) return true;
    flush();
    if (failed) {
        replacingDiscard(file);
        message = writeRefusalMessage(FileRefusal::Failed, name);
        return false;
    }
    if (!replacingCommit(file)) {
        message = writeRefusalMessage(FileRefusal::Failed, name);
        return false;
    }
    if (full)
        message = formatText("Warning: the trace in '%s' stopped at its limit of %llu bytes", name.c_str(),
                             static_cast<unsigned long long>(limit));
    return true;
}

} // namespace orv
