#include "debugger/trace_log.h"

#include "base/file_names.h"
#include "base/hex_digits.h"
#include "base/text_format.h"
#include "debugger/history.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/opcodes.h"

#include <cstdio>

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

void appendByte(std::string& out, std::uint8_t value) {
    char two[2];
    hexByteText(value, two);
    out.append(two, 2);
}

// Lines are made by hand, not by printf: the trace writes one for every instruction.
void appendTraceLine(std::string& line, const HistoryEntry& entry, std::string_view text,
                     const TraceAccess& access, std::uint8_t after) {
    char cycles[10];
    std::uint32_t n = entry.cycles;
    for (int at = 9; at >= 0; --at, n /= 10)
        cycles[at] = n || at == 9 ? static_cast<char>('0' + n % 10) : ' ';
    line.append(cycles, sizeof cycles).append("  ").append(text).append(" ");
    appendRegisters(line, entry);
    if (access.kind == TraceAccess::None) return;
    line.append("  [$");
    appendByte(line, static_cast<std::uint8_t>(access.address >> 8));
    appendByte(line, static_cast<std::uint8_t>(access.address));
    line.append("]");
    if (access.kind != TraceAccess::Write) {
        line.append("=");
        appendByte(line, access.before);
    }
    if (access.kind != TraceAccess::Read) {
        line.append("<-");
        appendByte(line, after);
    }
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
    const std::uint16_t pc = cpu.pc;
    entry = {static_cast<std::uint32_t>(cpu.cycles),
             pc,
             {peekByte(pc), peekByte(static_cast<std::uint16_t>(pc + 1)),
              peekByte(static_cast<std::uint16_t>(pc + 2))},
             cpu.a,
             cpu.x,
             cpu.y,
             cpu.sp,
             cpuStatusByte()};
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

int traceExecute(TraceLog& log, std::int32_t budget, std::uint8_t& sliceStatus, const SymbolTable* symbols) {
    if (!log.active() || budget < 0) return cpuExecute(budget, sliceStatus);
    const auto start = static_cast<std::uint32_t>(cpu.cycles);
    int executed = 0;
    do {
        log.before();
        const int one = cpuExecute(0, sliceStatus);
        log.after(symbols, one > 0);
        executed += one;
    } while (!(sliceStatus & (SLICE_BREAK | SLICE_WATCH | SLICE_BADOP | SLICE_GOAL)) && log.active() &&
             static_cast<std::uint32_t>(cpu.cycles) - start <= static_cast<std::uint32_t>(budget));
    // A trace that reached its limit in the slice leaves the rest to the plain loop.
    if (!(sliceStatus & (SLICE_BREAK | SLICE_WATCH | SLICE_BADOP | SLICE_GOAL))) {
        const auto ran = static_cast<std::uint32_t>(cpu.cycles) - start;
        if (ran <= static_cast<std::uint32_t>(budget))
            executed +=
                cpuExecute(static_cast<std::int32_t>(static_cast<std::uint32_t>(budget) - ran), sliceStatus);
    }
    return executed;
}

} // namespace orv
