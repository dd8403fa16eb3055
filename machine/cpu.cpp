#include "machine/cpu.h"

#include "base/run_inputs.h"
#include "base/text_format.h"
#include "base/trace.h"
#include "machine/bus.h"
#include "machine/debug_hooks.h"
#include "machine/opcodes.h"

#include <algorithm>
#include <array>

// Computed goto is a GCC and Clang extension; WebAssembly has no indirect jump to make of it.
#if (defined(__GNUC__) || defined(__clang__)) && !defined(__EMSCRIPTEN__)
#define ORV_COMPUTED_GOTO 1
#endif

namespace orv {

CpuRecord cpu{{0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0}};

namespace {

// Cycles each opcode adds, 0 for an opcode this processor does not have: the instruction table's
// counts as a byte array of their own, so the loop's lookup stays one load.
constexpr std::array<std::uint8_t, 256> opcodeCycles = [] {
    std::array<std::uint8_t, 256> counts{};
    for (std::size_t op = 0; op < counts.size(); ++op) counts[op] = opcodeTable[op].cycles;
    return counts;
}();

// Device pages are rare; keep their calls out of line so the RAM/ROM path stays small. The tape
// reads `cpu.cycles` from inside the RIO code, so it must be current before the call.
[[gnu::noinline]] std::uint8_t deviceRead(std::uint16_t address, std::uint32_t cyc) {
    cpu.cycles = static_cast<std::int32_t>(cyc);
    return busRead(address);
}

[[gnu::noinline]] void deviceWrite(std::uint16_t address, std::uint8_t value, std::uint32_t cyc) {
    cpu.cycles = static_cast<std::int32_t>(cyc);
    busWrite(address, value, FORCE_NONE);
}

// The plain loop reads RAM and ROM, and writes RAM, without asking the map: an address test is cheaper
// than a load of its page's kind, and folds away for the zero page and the stack. RAM from 0x0000 and
// ROM up to 0xFFFF meet across the top of the address space, so one compare covers both. The loop runs
// only while the map has these pages so (a saved state may give a page another kind); everything else
// goes to the bus.
static_assert(RAM_FIRST_PAGE == 0x00 && ROM_LAST_PAGE == 0xFF);
constexpr unsigned RAM_END = (RAM_LAST_PAGE + 1) << 8;
constexpr std::uint16_t ROM_START = ROM_FIRST_PAGE << 8;

// Whether `bytes` bytes from `address` on (wrapping at 0xFFFF) all lie in that RAM and ROM.
[[gnu::always_inline]] inline bool inFixedMemory(std::uint16_t address, unsigned bytes = 1) {
    return static_cast<std::uint16_t>(address - ROM_START) <= 0x10000 - ROM_START + RAM_END - bytes;
}

// Where the plain loop may start an instruction without a test: all three bytes from there lie in that
// RAM and ROM, and no armed breakpoint is there. One load instead of an address test and a compare with
// the breakpoint before each instruction.
struct DirectCode {
    std::array<std::uint8_t, 65536> at = [] {
        std::array<std::uint8_t, 65536> direct{};
        for (unsigned address = 0; address < direct.size(); ++address)
            direct[address] = inFixedMemory(static_cast<std::uint16_t>(address), 3);
        return direct;
    }();
    int hole = -1; // the armed breakpoint's address, taken out

    void takeOut(int address) {
        if (address == hole) return;
        if (hole >= 0) at[static_cast<unsigned>(hole)] = inFixedMemory(static_cast<std::uint16_t>(hole), 3);
        if (address >= 0) at[static_cast<unsigned>(address)] = 0;
        hole = address;
    }
};
DirectCode directCode;

bool fixedPagesHold() {
    for (unsigned page = RAM_FIRST_PAGE; page <= RAM_LAST_PAGE; ++page)
        if (!(bus.pageFlags[page] & PAGE_RAM)) return false;
    for (unsigned page = ROM_FIRST_PAGE; page <= ROM_LAST_PAGE; ++page)
        if (!(bus.pageFlags[page] & (PAGE_RAM | PAGE_ROM))) return false;
    return true;
}

// The accesses of the current instruction that a watchpoint covers; the slice looks at them once the
// instruction is done. An instruction and an interrupt entry make at most seven.
struct WatchedAccess {
    std::uint8_t kind;
    std::uint16_t address;
};
std::array<WatchedAccess, 8> watchedAccesses;
unsigned watchedCount = 0;

void noteAccess(std::uint8_t kind, std::uint16_t address) {
    if ((debugHooks.trapMap[address] & kind) && watchedCount < watchedAccesses.size())
        watchedAccesses[watchedCount++] = {kind, address};
}

// The slow path of a slice that checks watchpoints: watched RAM and ROM pages come here as well as the
// devices.
[[gnu::noinline]] std::uint8_t watchedRead(std::uint16_t address, std::uint32_t cyc) {
    noteAccess(TRAP_READ, address);
    cpu.cycles = static_cast<std::int32_t>(cyc);
    return busRead(address);
}

[[gnu::noinline]] void watchedWrite(std::uint16_t address, std::uint8_t value, std::uint32_t cyc) {
    noteAccess(TRAP_WRITE, address);
    cpu.cycles = static_cast<std::int32_t>(cyc);
    busWrite(address, value, FORCE_NONE);
}

std::uint8_t decimalValue(std::uint8_t bcd) {
    return static_cast<std::uint8_t>((bcd >> 4) * 10 + (bcd & 0x0F));
}

std::uint8_t toBcd(int value) {
    return static_cast<std::uint8_t>(((value / 10) << 4) | (value % 10));
}

// `execute` is inlined into each of the plain loop's 256 handlers, where its constant opcode folds it to
// one instruction. An unoptimized build folds nothing, and 256 whole copies would cost the compiler
// minutes and gigabytes: there it is called.
#ifdef __OPTIMIZE__
#define ORV_EXECUTE_INLINE [[gnu::always_inline]]
#else
#define ORV_EXECUTE_INLINE
#endif

// Status bits kept together in Core::p; the rest are kept apart.
constexpr std::uint8_t P_BIT5 = 0x20;
constexpr std::uint8_t P_B = 0x10;
constexpr std::uint8_t P_D = 0x08;
constexpr std::uint8_t P_I = 0x04;

// The registers held in locals for the length of a slice, in as few of the host's registers as they
// fit: the fewer there are, the fewer the compiler keeps on the stack. n and z share `nzSource`, the value
// they were taken from: z is set when its low byte is 0, n is bit 7 or bit 8 (bit 8 carries an n that
// differs from bit 7 of the value, after BIT, PLP and RTI). The four flags that only a few
// instructions touch share `p`. The slice counts down the cycles it has `left`.
// Checked is the variant for slices that check the debugger's hooks; the plain one knows nothing of them.
template <bool Checked>
struct Core {
    std::uint16_t pc;
    std::uint8_t a, x, y, sp;
    std::uint16_t nzSource;
    std::uint8_t v, c;
    std::uint8_t p;    // P_BIT5, P_B, P_D, P_I
    std::int32_t left; // the slice ends once this is below 0
    std::uint32_t end; // cpu.cycles where `left` is 0

    [[gnu::always_inline]] std::uint32_t cyc() const { return end - static_cast<std::uint32_t>(left); }

    // Opcode and operand fetches, which no watchpoint sees. The plain loop fetches an instruction only
    // when all its bytes lie in that RAM and ROM, and reads them straight from memory.
    [[gnu::always_inline]] std::uint8_t fetchAt(std::uint16_t address) {
        if constexpr (Checked) {
            if (bus.pageFlags[address >> 8] & (PAGE_RAM | PAGE_ROM)) [[likely]]
                return bus.memory[address];
            return deviceRead(address, cyc());
        }
        return bus.memory[address];
    }
    [[gnu::always_inline]] std::uint8_t read(std::uint16_t address) {
        if constexpr (Checked) {
            const std::uint8_t flags = bus.pageFlags[address >> 8];
            if ((flags & (PAGE_RAM | PAGE_ROM)) && !(flags & PAGE_WATCH)) [[likely]]
                return bus.memory[address];
            return watchedRead(address, cyc());
        }
        if (inFixedMemory(address)) [[likely]]
            return bus.memory[address];
        // The monitor's delay loop reads an empty page: answered here, it costs no call.
        if (bus.pageFlags[address >> 8] & PAGE_EMPTY) return static_cast<std::uint8_t>(address >> 8);
        return deviceRead(address, cyc());
    }
    [[gnu::always_inline]] void write(std::uint16_t address, std::uint8_t value) {
        if constexpr (Checked) {
            const std::uint8_t flags = bus.pageFlags[address >> 8];
            if ((flags & PAGE_RAM) && !(flags & PAGE_WATCH)) [[likely]]
                bus.memory[address] = value;
            else
                watchedWrite(address, value, cyc());
            return;
        }
        if (address < RAM_END) [[likely]]
            bus.memory[address] = value;
        else
            deviceWrite(address, value, cyc());
    }
    [[gnu::always_inline]] std::uint16_t readWord(std::uint16_t address) {
        const std::uint8_t low = read(address);
        return static_cast<std::uint16_t>(low | read(static_cast<std::uint16_t>(address + 1)) << 8);
    }

    [[gnu::always_inline]] std::uint8_t fetch() { return fetchAt(pc++); }
    [[gnu::always_inline]] std::uint16_t fetchWord() {
        const std::uint8_t low = fetchAt(pc);
        const std::uint8_t high = fetchAt(static_cast<std::uint16_t>(pc + 1));
        pc = static_cast<std::uint16_t>(pc + 2);
        return static_cast<std::uint16_t>(low | high << 8);
    }

    // Effective addresses.
    [[gnu::always_inline]] std::uint16_t zp() { return fetch(); }
    [[gnu::always_inline]] std::uint16_t zpIndexed(std::uint8_t index) {
        return static_cast<std::uint8_t>(fetch() + index);
    }
    [[gnu::always_inline]] std::uint16_t abs() { return fetchWord(); }
    [[gnu::always_inline]] std::uint16_t absIndexed(std::uint8_t index) {
        return static_cast<std::uint16_t>(fetchWord() + index);
    }
    // The zero-page pointer comes straight from memory and is not wrapped: p = 0xFF pairs with 0x0100.
    [[gnu::always_inline]] std::uint16_t pointerAt(unsigned p) {
        if constexpr (Checked) {
            if ((debugHooks.trapMap[p] | debugHooks.trapMap[p + 1]) & TRAP_READ) [[unlikely]] {
                noteAccess(TRAP_READ, static_cast<std::uint16_t>(p));
                noteAccess(TRAP_READ, static_cast<std::uint16_t>(p + 1));
            }
        }
        return static_cast<std::uint16_t>(bus.memory[p] | bus.memory[p + 1] << 8);
    }
    [[gnu::always_inline]] std::uint16_t izx() { return pointerAt(static_cast<std::uint8_t>(fetch() + x)); }
    [[gnu::always_inline]] std::uint16_t izy() { return static_cast<std::uint16_t>(pointerAt(fetch()) + y); }

    [[gnu::always_inline]] void push(std::uint8_t value) {
        write(static_cast<std::uint16_t>(0x0100 | sp), value);
        --sp;
    }
    [[gnu::always_inline]] std::uint8_t pull() {
        ++sp;
        return read(static_cast<std::uint16_t>(0x0100 | sp));
    }
    void pushPc() {
        push(static_cast<std::uint8_t>(pc >> 8));
        push(static_cast<std::uint8_t>(pc));
    }

    TrapRegs regs() const { return {pc, a, x, y, sp, status()}; }

    std::uint8_t status() const {
        return static_cast<std::uint8_t>(((nzSource | nzSource >> 1) & 0x80) | v << 6 | p |
                                         (static_cast<std::uint8_t>(nzSource) == 0) << 1 | c);
    }
    void setStatus(std::uint8_t s) {
        nzSource = static_cast<std::uint16_t>((s & 0x80) << 1 | !(s & 0x02));
        v = (s >> 6) & 1;
        p = s & (P_BIT5 | P_B | P_D | P_I);
        c = s & 1;
    }

    [[gnu::always_inline]] std::uint8_t nz(std::uint8_t value) {
        nzSource = value;
        return value;
    }

    [[gnu::always_inline]] void adc(std::uint8_t m) {
        if (p & P_D) [[unlikely]] {
            const int sum = decimalValue(a) + decimalValue(m) + c;
            c = sum > 99;
            a = nz(toBcd(sum % 100));
            return;
        }
        const unsigned sum = a + m + c;
        v = (~(a ^ m) & (a ^ sum) & 0x80) != 0;
        c = sum > 0xFF;
        a = nz(static_cast<std::uint8_t>(sum));
    }
    [[gnu::always_inline]] void sbc(std::uint8_t m) {
        if (p & P_D) [[unlikely]] {
            const int diff = decimalValue(a) - decimalValue(m) - (1 - c);
            c = diff >= 0;
            a = nz(toBcd((diff % 100 + 100) % 100));
            return;
        }
        const int diff = a - m - (1 - c);
        const auto result = static_cast<std::uint8_t>(diff);
        v = ((a ^ m) & (a ^ result) & 0x80) != 0;
        c = diff >= 0;
        a = nz(result);
    }
    [[gnu::always_inline]] void compare(std::uint8_t reg, std::uint8_t m) {
        c = reg >= m;
        nz(static_cast<std::uint8_t>(reg - m));
    }
    [[gnu::always_inline]] void bit(std::uint8_t m) {
        nzSource = static_cast<std::uint16_t>((a & m) | (m & 0x80) << 1);
        v = (m >> 6) & 1;
    }
    [[gnu::always_inline]] std::uint8_t asl(std::uint8_t m) {
        c = m >> 7;
        return nz(static_cast<std::uint8_t>(m << 1));
    }
    [[gnu::always_inline]] std::uint8_t lsr(std::uint8_t m) {
        c = m & 1;
        return nz(static_cast<std::uint8_t>(m >> 1));
    }
    [[gnu::always_inline]] std::uint8_t rol(std::uint8_t m) {
        const std::uint8_t carry = c;
        c = m >> 7;
        return nz(static_cast<std::uint8_t>(m << 1 | carry));
    }
    [[gnu::always_inline]] std::uint8_t ror(std::uint8_t m) {
        const std::uint8_t carry = c;
        c = m & 1;
        return nz(static_cast<std::uint8_t>(m >> 1 | carry << 7));
    }
    [[gnu::always_inline]] std::uint8_t inc(std::uint8_t m) { return nz(static_cast<std::uint8_t>(m + 1)); }
    [[gnu::always_inline]] std::uint8_t dec(std::uint8_t m) { return nz(static_cast<std::uint8_t>(m - 1)); }

    // Read-modify-write: one read and one write through the bus, nothing more.
    template <typename Op>
    [[gnu::always_inline]] void modify(std::uint16_t address, Op op) {
        if constexpr (!Checked) {
            if (address < RAM_END) [[likely]] { // one test for both accesses
                bus.memory[address] = (this->*op)(bus.memory[address]);
                return;
            }
        }
        write(address, (this->*op)(read(address)));
    }

    [[gnu::always_inline]] void branch(bool taken) {
        const auto offset = static_cast<std::int8_t>(fetch());
        if (taken) {
            pc = static_cast<std::uint16_t>(pc + offset);
            --left;
        }
    }

    void enterInterrupt(std::uint16_t vector) {
        p |= P_I;
        pc = readWord(vector);
    }

    // Serves what is pending before the next instruction. A reset pushes nothing and runs no
    // instruction in the same pass: true then, and the caller looks at its budget first.
    bool serveInterrupt(std::uint8_t& pending) {
        if (pending & PEND_RESET) {
            pending &= static_cast<std::uint8_t>(~PEND_RESET);
            p |= P_I | P_B;
            pc = readWord(VECTOR_RESET);
            left -= 6;
            return true;
        }
        if (pending & PEND_NMI) {
            pending &= static_cast<std::uint8_t>(~PEND_NMI);
            pushPc();
            push(status());
            enterInterrupt(VECTOR_NMI);
        } else if ((pending & PEND_IRQ) && !(p & P_I)) {
            pending &= static_cast<std::uint8_t>(~PEND_IRQ);
            pushPc();
            p &= static_cast<std::uint8_t>(~P_B);
            push(status());
            enterInterrupt(VECTOR_IRQ);
        }
        return false;
    }

    // Takes the registers from `cpu` for a slice of `budget` cycles, and gives them back with what the
    // loop kept beside them.
    void load(std::uint32_t budget) {
        pc = cpu.pc;
        a = cpu.a;
        x = cpu.x;
        y = cpu.y;
        sp = cpu.sp;
        setStatus(cpuStatusByte());
        left = static_cast<std::int32_t>(budget);
        end = static_cast<std::uint32_t>(cpu.cycles) + budget;
    }
    void store(std::uint16_t opcodeAddr, std::uint8_t pending) const {
        cpu.lastOpcodeAddr = opcodeAddr;
        cpu.pendingInterrupts = pending;
        cpu.pc = pc;
        cpu.a = a;
        cpu.x = x;
        cpu.y = y;
        cpu.sp = sp;
        cpuSetStatusByte(status());
        cpu.cycles = static_cast<std::int32_t>(cyc());
    }

    ORV_EXECUTE_INLINE bool execute(std::uint8_t opcode);
};

template <bool Checked>
inline bool Core<Checked>::execute(std::uint8_t opcode) {
    switch (opcode) {
    // Loads
    case 0xA9: a = nz(fetch()); break;
    case 0xA5: a = nz(read(zp())); break;
    case 0xB5: a = nz(read(zpIndexed(x))); break;
    case 0xAD: a = nz(read(abs())); break;
    case 0xBD: a = nz(read(absIndexed(x))); break;
    case 0xB9: a = nz(read(absIndexed(y))); break;
    case 0xA1: a = nz(read(izx())); break;
    case 0xB1: a = nz(read(izy())); break;
    case 0xA2: x = nz(fetch()); break;
    case 0xA6: x = nz(read(zp())); break;
    case 0xB6: x = nz(read(zpIndexed(y))); break;
    case 0xAE: x = nz(read(abs())); break;
    case 0xBE: x = nz(read(absIndexed(y))); break;
    case 0xA0: y = nz(fetch()); break;
    case 0xA4: y = nz(read(zp())); break;
    case 0xB4: y = nz(read(zpIndexed(x))); break;
    case 0xAC: y = nz(read(abs())); break;
    case 0xBC: y = nz(read(absIndexed(x))); break;

    // Stores
    case 0x85: write(zp(), a); break;
    case 0x95: write(zpIndexed(x), a); break;
    case 0x8D: write(abs(), a); break;
    case 0x9D: write(absIndexed(x), a); break;
    case 0x99: write(absIndexed(y), a); break;
    case 0x81: write(izx(), a); break;
    case 0x91: write(izy(), a); break;
    case 0x86: write(zp(), x); break;
    case 0x96: write(zpIndexed(y), x); break;
    case 0x8E: write(abs(), x); break;
    case 0x84: write(zp(), y); break;
    case 0x94: write(zpIndexed(x), y); break;
    case 0x8C: write(abs(), y); break;

    // Transfers, increments and decrements of registers
    case 0xAA: x = nz(a); break;
    case 0xA8: y = nz(a); break;
    case 0x8A: a = nz(x); break;
    case 0x98: a = nz(y); break;
    case 0xBA: x = nz(sp); break;
    case 0x9A: sp = x; break;
    case 0xE8: x = nz(static_cast<std::uint8_t>(x + 1)); break;
    case 0xC8: y = nz(static_cast<std::uint8_t>(y + 1)); break;
    case 0xCA: x = nz(static_cast<std::uint8_t>(x - 1)); break;
    case 0x88: y = nz(static_cast<std::uint8_t>(y - 1)); break;

    // Logic and arithmetic
    case 0x09: a = nz(a | fetch()); break;
    case 0x05: a = nz(a | read(zp())); break;
    case 0x15: a = nz(a | read(zpIndexed(x))); break;
    case 0x0D: a = nz(a | read(abs())); break;
    case 0x1D: a = nz(a | read(absIndexed(x))); break;
    case 0x19: a = nz(a | read(absIndexed(y))); break;
    case 0x01: a = nz(a | read(izx())); break;
    case 0x11: a = nz(a | read(izy())); break;
    case 0x29: a = nz(a & fetch()); break;
    case 0x25: a = nz(a & read(zp())); break;
    case 0x35: a = nz(a & read(zpIndexed(x))); break;
    case 0x2D: a = nz(a & read(abs())); break;
    case 0x3D: a = nz(a & read(absIndexed(x))); break;
    case 0x39: a = nz(a & read(absIndexed(y))); break;
    case 0x21: a = nz(a & read(izx())); break;
    case 0x31: a = nz(a & read(izy())); break;
    case 0x49: a = nz(a ^ fetch()); break;
    case 0x45: a = nz(a ^ read(zp())); break;
    case 0x55: a = nz(a ^ read(zpIndexed(x))); break;
    case 0x4D: a = nz(a ^ read(abs())); break;
    case 0x5D: a = nz(a ^ read(absIndexed(x))); break;
    case 0x59: a = nz(a ^ read(absIndexed(y))); break;
    case 0x41: a = nz(a ^ read(izx())); break;
    case 0x51: a = nz(a ^ read(izy())); break;
    case 0x69: adc(fetch()); break;
    case 0x65: adc(read(zp())); break;
    case 0x75: adc(read(zpIndexed(x))); break;
    case 0x6D: adc(read(abs())); break;
    case 0x7D: adc(read(absIndexed(x))); break;
    case 0x79: adc(read(absIndexed(y))); break;
    case 0x61: adc(read(izx())); break;
    case 0x71: adc(read(izy())); break;
    case 0xE9: sbc(fetch()); break;
    case 0xE5: sbc(read(zp())); break;
    case 0xF5: sbc(read(zpIndexed(x))); break;
    case 0xED: sbc(read(abs())); break;
    case 0xFD: sbc(read(absIndexed(x))); break;
    case 0xF9: sbc(read(absIndexed(y))); break;
    case 0xE1: sbc(read(izx())); break;
    case 0xF1: sbc(read(izy())); break;
    case 0xC9: compare(a, fetch()); break;
    case 0xC5: compare(a, read(zp())); break;
    case 0xD5: compare(a, read(zpIndexed(x))); break;
    case 0xCD: compare(a, read(abs())); break;
    case 0xDD: compare(a, read(absIndexed(x))); break;
    case 0xD9: compare(a, read(absIndexed(y))); break;
    case 0xC1: compare(a, read(izx())); break;
    case 0xD1: compare(a, read(izy())); break;
    case 0xE0: compare(x, fetch()); break;
    case 0xE4: compare(x, read(zp())); break;
    case 0xEC: compare(x, read(abs())); break;
    case 0xC0: compare(y, fetch()); break;
    case 0xC4: compare(y, read(zp())); break;
    case 0xCC: compare(y, read(abs())); break;
    case 0x24: bit(read(zp())); break;
    case 0x2C: bit(read(abs())); break;

    // Shifts, rotates, increments and decrements of memory
    case 0x0A: a = asl(a); break;
    case 0x06: modify(zp(), &Core::asl); break;
    case 0x16: modify(zpIndexed(x), &Core::asl); break;
    case 0x0E: modify(abs(), &Core::asl); break;
    case 0x1E: modify(absIndexed(x), &Core::asl); break;
    case 0x4A: a = lsr(a); break;
    case 0x46: modify(zp(), &Core::lsr); break;
    case 0x56: modify(zpIndexed(x), &Core::lsr); break;
    case 0x4E: modify(abs(), &Core::lsr); break;
    case 0x5E: modify(absIndexed(x), &Core::lsr); break;
    case 0x2A: a = rol(a); break;
    case 0x26: modify(zp(), &Core::rol); break;
    case 0x36: modify(zpIndexed(x), &Core::rol); break;
    case 0x2E: modify(abs(), &Core::rol); break;
    case 0x3E: modify(absIndexed(x), &Core::rol); break;
    case 0x6A: a = ror(a); break;
    case 0x66: modify(zp(), &Core::ror); break;
    case 0x76: modify(zpIndexed(x), &Core::ror); break;
    case 0x6E: modify(abs(), &Core::ror); break;
    case 0x7E: modify(absIndexed(x), &Core::ror); break;
    case 0xE6: modify(zp(), &Core::inc); break;
    case 0xF6: modify(zpIndexed(x), &Core::inc); break;
    case 0xEE: modify(abs(), &Core::inc); break;
    case 0xFE: modify(absIndexed(x), &Core::inc); break;
    case 0xC6: modify(zp(), &Core::dec); break;
    case 0xD6: modify(zpIndexed(x), &Core::dec); break;
    case 0xCE: modify(abs(), &Core::dec); break;
    case 0xDE: modify(absIndexed(x), &Core::dec); break;

    // Branches
    case 0x10: branch(!(nzSource & 0x180)); break;
    case 0x30: branch(nzSource & 0x180); break;
    case 0x50: branch(!v); break;
    case 0x70: branch(v); break;
    case 0x90: branch(!c); break;
    case 0xB0: branch(c); break;
    case 0xD0: branch(static_cast<std::uint8_t>(nzSource) != 0); break;
    case 0xF0: branch(static_cast<std::uint8_t>(nzSource) == 0); break;

    // Jumps, subroutines and interrupts
    case 0x4C: pc = abs(); break;
    case 0x6C: pc = readWord(abs()); break;
    case 0x20: {
        const std::uint16_t target = abs();
        pc = static_cast<std::uint16_t>(pc - 1);
        pushPc();
        pc = target;
        break;
    }
    case 0x60: {
        const std::uint8_t low = pull();
        pc = static_cast<std::uint16_t>((low | pull() << 8) + 1);
        break;
    }
    case 0x00:
        ++pc;
        pushPc();
        p |= P_B;
        push(status());
        enterInterrupt(VECTOR_IRQ);
        break;
    case 0x40: {
        setStatus(pull());
        p &= static_cast<std::uint8_t>(~P_I);
        const std::uint8_t low = pull();
        pc = static_cast<std::uint16_t>(low | pull() << 8);
        break;
    }

    // Stack
    case 0x48: push(a); break;
    case 0x08: push(status()); break;
    case 0x68: a = nz(pull()); break;
    case 0x28: setStatus(pull()); break;

    // Flags
    case 0x18: c = 0; break;
    case 0x38: c = 1; break;
    case 0xD8: p &= static_cast<std::uint8_t>(~P_D); break;
    case 0xF8: p |= P_D; break;
    case 0x58: p &= static_cast<std::uint8_t>(~P_I); break;
    case 0x78: p |= P_I; break;
    case 0xB8: v = 0; break;
    case 0xEA: break;

    default: return false;
    }
    return true;
}

// What a checked slice looks at before each instruction.
constexpr std::uint8_t HOOK_SINGLE = 0x01;
constexpr std::uint8_t HOOK_EXEC = 0x02;
constexpr std::uint8_t HOOK_RECORD = 0x04;

// Whether a watchpoint fires for the accesses noted since the last look, and what it reports.
[[gnu::noinline]] bool watchFired(const TrapRegs& regs, std::uint16_t at) {
    const unsigned count = watchedCount;
    watchedCount = 0;
    for (unsigned n = 0; n < count; ++n) {
        const WatchedAccess& access = watchedAccesses[n];
        if (const Trap* trap = trapFiring(access.kind, access.address, regs)) {
            debugHooks.trapHit = {access.kind, access.address, at, trap->id};
            return true;
        }
    }
    return false;
}

[[gnu::noinline]] bool execTrapFired(const TrapRegs& regs) {
    const Trap* trap = trapFiring(TRAP_EXEC, regs.pc, regs);
    if (trap) debugHooks.trapHit = {TRAP_EXEC, regs.pc, regs.pc, trap->id};
    return trap != nullptr;
}

bool goalReached(const RunGoal& goal, std::uint8_t opcode, std::uint16_t pc, std::uint8_t sp) {
    const auto above = static_cast<std::int8_t>(sp - goal.sp); // the stack wraps: compare differences
    if (goal.kind == GOAL_REACH) return pc == goal.pc && (goal.anyDepth || above >= 0);
    if (goal.kind == GOAL_RETURN) return (opcode == 0x60 || opcode == 0x40) && above > 0;
    if (goal.kind == GOAL_LEAVE) return pc < goal.pc || pc >= goal.end;
    return false;
}

template <bool Checked>
void recordHistory(const Core<Checked>& r) {
    const std::uint16_t pc = r.pc;
    debugHooks.history.ring[debugHooks.history.next] = {r.cyc(),
                                                        pc,
                                                        {peekByte(pc),
                                                         peekByte(static_cast<std::uint16_t>(pc + 1)),
                                                         peekByte(static_cast<std::uint16_t>(pc + 2))},
                                                        r.a,
                                                        r.x,
                                                        r.y,
                                                        r.sp,
                                                        r.status()};
}

// The checked loop: the plain loop's instructions with the debugger's breakpoints, watchpoints,
// stepping goal and history, and the fetch trace while halted. Budget is known to be non-negative;
// counting the slice's own cycles instead of comparing against an absolute target keeps it right when
// `cpu.cycles` wraps past 2^31.
[[gnu::noinline]] int runChecked(std::uint32_t budget, std::uint8_t& sliceStatus) {
    Core<true> r;
    r.load(budget);
    const bool stepping = sliceStatus & SLICE_STEPPING;
    const bool traceFetch = runInputs.diag && runInputs.halted && !stepping;
    const std::uint16_t stopAt = cpu.breakpoint;
    std::uint8_t pending = cpu.pendingInterrupts;
    std::uint16_t opcodeAddr = cpu.lastOpcodeAddr;
    int executed = 0;

    // What to look at before and after each instruction, one test each way for the common case. A
    // step's breakpoints wait until its first instruction has run.
    const bool record = debugHooks.history.on && debugHooks.history.ring.size() == HISTORY_LENGTH;
    const RunGoal goal = stepping ? debugHooks.runGoal : RunGoal{};
    const std::uint8_t breakHooks =
        ((sliceStatus & SLICE_ARMED) ? HOOK_SINGLE : 0) | (debugHooks.execTrapsArmed ? HOOK_EXEC : 0);
    std::uint8_t before = ((!runInputs.halted || (stepping && debugHooks.runGoal.moved)) ? breakHooks : 0) |
                          (record ? HOOK_RECORD : 0);
    const bool after = record || stepping;
    watchedCount = 0;
    if (debugHooks.watchTrapsArmed) markWatchedPages();

    do {
        if (pending) [[unlikely]] {
            const std::uint16_t interrupted = r.pc;
            const bool reset = r.serveInterrupt(pending);
            if (watchedCount && watchFired(r.regs(), interrupted)) {
                sliceStatus |= SLICE_WATCH;
                break;
            }
            if (reset) continue;
        }
        if (before) {
            if ((before & HOOK_SINGLE) && r.pc == stopAt) [[unlikely]] {
                debugHooks.trapHit = {TRAP_EXEC, r.pc, r.pc, TRAP_ID_SINGLE};
                sliceStatus |= SLICE_BREAK;
                break;
            }
            if ((before & HOOK_EXEC) && (debugHooks.trapMap[r.pc] & TRAP_EXEC) && execTrapFired(r.regs()))
                [[unlikely]] {
                sliceStatus |= SLICE_BREAK;
                break;
            }
            if (before & HOOK_RECORD) recordHistory(r);
        }
        opcodeAddr = r.pc;
        const std::uint8_t opcode = r.fetch();
        if (traceFetch) [[unlikely]]
            trace("%04x: Opcode %02x\n", opcodeAddr, opcode);
        if (!r.execute(opcode)) [[unlikely]] {
            trace("Badop at %04x: %02x\n", opcodeAddr, opcode);
            r.pc = opcodeAddr;
            sliceStatus |= SLICE_BADOP;
            break;
        }
        r.left -= opcodeCycles[opcode];
        ++executed;
        if (after) {
            if (record) {
                if (++debugHooks.history.next == HISTORY_LENGTH) debugHooks.history.next = 0;
                if (debugHooks.history.count < HISTORY_LENGTH) ++debugHooks.history.count;
            }
            if (stepping) before |= breakHooks;
        }
        if (watchedCount && watchFired(r.regs(), opcodeAddr)) [[unlikely]] {
            sliceStatus |= SLICE_WATCH;
            break;
        }
        if (goal.kind != GOAL_NONE && goalReached(goal, opcode, r.pc, r.sp)) {
            sliceStatus |= SLICE_GOAL;
            break;
        }
    } while (r.left >= 0);

    if (stepping && executed > 0) debugHooks.runGoal.moved = true;
    r.store(opcodeAddr, pending);
    return executed;
}

// Every opcode, 0x00 to 0xFF, handed to M.
// clang-format off
#define ORV_OPCODE_ROW(M, h) \
    M(0x##h##0) M(0x##h##1) M(0x##h##2) M(0x##h##3) M(0x##h##4) M(0x##h##5) M(0x##h##6) M(0x##h##7) \
    M(0x##h##8) M(0x##h##9) M(0x##h##A) M(0x##h##B) M(0x##h##C) M(0x##h##D) M(0x##h##E) M(0x##h##F)
#define ORV_EACH_OPCODE(M) \
    ORV_OPCODE_ROW(M, 0) ORV_OPCODE_ROW(M, 1) ORV_OPCODE_ROW(M, 2) ORV_OPCODE_ROW(M, 3) \
    ORV_OPCODE_ROW(M, 4) ORV_OPCODE_ROW(M, 5) ORV_OPCODE_ROW(M, 6) ORV_OPCODE_ROW(M, 7) \
    ORV_OPCODE_ROW(M, 8) ORV_OPCODE_ROW(M, 9) ORV_OPCODE_ROW(M, A) ORV_OPCODE_ROW(M, B) \
    ORV_OPCODE_ROW(M, C) ORV_OPCODE_ROW(M, D) ORV_OPCODE_ROW(M, E) ORV_OPCODE_ROW(M, F)
// clang-format on

// The instructions after which an IRQ held back by the I flag may be taken: they can clear it.
constexpr bool mayClearI(std::uint8_t opcode) {
    return opcode == 0x58 || opcode == 0x28 || opcode == 0x40; // CLI, PLP, RTI
}

// The plain loop, nothing of the debugger in it but the single `cpu.breakpoint`. Each opcode has its
// own handler: `execute` with a constant opcode folds to that one instruction, and its cycle count
// becomes a constant. With computed goto (Threaded) each handler ends in a dispatch of its own, so the
// processor's branch predictor learns which instruction follows which; the portable form goes back
// to one switch. Pending interrupts are looked at where the slice starts and after the instructions
// that may clear I, the only places anything can change them. An armed breakpoint is an address
// `directCode` sends aside.
#ifdef ORV_COMPUTED_GOTO
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#endif
template <bool Threaded>
int runPlain(std::uint32_t budget, std::uint8_t& sliceStatus) {
    Core<false> r;
    r.load(budget);
    const bool armed = (sliceStatus & SLICE_ARMED) && !runInputs.halted;
    directCode.takeOut(armed ? cpu.breakpoint : -1);
    std::uint8_t pending = cpu.pendingInterrupts;
    std::uint16_t opcodeAddr = cpu.lastOpcodeAddr;
    std::uint8_t opcode = 0;
    int executed = 0;
    // Before each instruction: whether it may start untested, else aside; then the opcode.
#define ORV_FETCH()                                                                                          \
    if (!directCode.at[r.pc]) [[unlikely]]                                                                   \
        goto aside;                                                                                          \
    opcodeAddr = r.pc;                                                                                       \
    opcode = r.fetch();
#ifdef ORV_COMPUTED_GOTO
#define ORV_HANDLER_ADDRESS(code) &&op_##code,
    static const void* const handlers[256] = {ORV_EACH_OPCODE(ORV_HANDLER_ADDRESS)};
#undef ORV_HANDLER_ADDRESS
#define ORV_DISPATCH()                                                                                       \
    if constexpr (Threaded) {                                                                                \
        ORV_FETCH()                                                                                          \
        goto* handlers[opcode];                                                                              \
    } else {                                                                                                 \
        goto next;                                                                                           \
    }
#else
    static_assert(!Threaded);
#define ORV_DISPATCH() goto next;
#endif
#define ORV_HANDLER(code)                                                                                    \
    op_##code : if (!r.execute(code)) goto invalid;                                                          \
    r.left -= opcodeCycles[code];                                                                            \
    ++executed;                                                                                              \
    if (r.left < 0) [[unlikely]]                                                                             \
        goto done;                                                                                           \
    if constexpr (mayClearI(code)) {                                                                         \
        if (pending) goto interrupts;                                                                        \
    }                                                                                                        \
    ORV_DISPATCH()

interrupts:
    if (pending && r.serveInterrupt(pending)) {
        if (r.left < 0) goto done;
        goto interrupts;
    }
    goto next; // the threaded loop comes here only from above
next:
    ORV_FETCH()
#define ORV_CASE(code)                                                                                       \
    case code: goto op_##code;
    switch (opcode) { ORV_EACH_OPCODE(ORV_CASE) }
#undef ORV_CASE

    ORV_EACH_OPCODE(ORV_HANDLER)
#undef ORV_HANDLER
#undef ORV_DISPATCH
#undef ORV_FETCH

aside : {
    if (armed && r.pc == cpu.breakpoint) goto breakpoint;
    // An instruction not wholly in that RAM and ROM (the last bytes of RAM, code in a RIO chip's RAM) runs
    // in the checked loop, which asks the map for every byte. A short stretch of it: what follows is
    // likely to be such code as well, and each change of loop costs as much as a few dozen instructions.
    constexpr std::int32_t ASIDE_CYCLES = 64;
    const std::uint32_t end = r.end;
    r.store(opcodeAddr, pending);
    executed += runChecked(static_cast<std::uint32_t>(std::min(r.left, ASIDE_CYCLES)), sliceStatus);
    r.load(end - static_cast<std::uint32_t>(cpu.cycles));
    opcodeAddr = cpu.lastOpcodeAddr;
    pending = cpu.pendingInterrupts;
    if ((sliceStatus & (SLICE_BREAK | SLICE_BADOP)) || r.left < 0) goto done;
    goto interrupts;
}
breakpoint:
    debugHooks.trapHit = {TRAP_EXEC, r.pc, r.pc, TRAP_ID_SINGLE};
    sliceStatus |= SLICE_BREAK;
    goto done;
invalid:
    trace("Badop at %04x: %02x\n", opcodeAddr, opcode);
    r.pc = opcodeAddr;
    sliceStatus |= SLICE_BADOP;
done:
    r.store(opcodeAddr, pending);
    return executed;
}
#ifdef ORV_COMPUTED_GOTO
#pragma GCC diagnostic pop
#endif

// The plain loop unless the debugger has something armed, is recording or stepping, the fetch trace is
// on, or a saved state has given the pages the plain loop reads directly another kind.
int interpretSlice(std::uint32_t budget, std::uint8_t& sliceStatus) {
    if (debugHooks.execTrapsArmed || debugHooks.watchTrapsArmed || debugHooks.history.on ||
        (sliceStatus & SLICE_STEPPING) || (runInputs.diag && runInputs.halted) || !fixedPagesHold())
        [[unlikely]]
        return runChecked(budget, sliceStatus);
#ifdef ORV_COMPUTED_GOTO
    if (!cpu.portableLoop) return runPlain<true>(budget, sliceStatus);
#endif
    return runPlain<false>(budget, sliceStatus);
}

void serveRequest() {
    std::uint8_t status = 0;
    cpuExecute(1, status);
}

} // namespace

// After a step back, the inputs that came later come again as the machine steps forward: each slice ends
// where the next is due, and it is given then. Running freely drops them: the live inputs take over.
std::int32_t sliceUpToInput(std::int32_t budget) {
    InputJournal& journal = debugHooks.inputs;
    if (!runInputs.halted) {
        journal.ahead.clear();
        return budget;
    }
    while (!journal.ahead.empty() && journal.ahead.front().cycles == static_cast<std::uint32_t>(cpu.cycles)) {
        const InputNote note = journal.ahead.front();
        journal.ahead.pop_front();
        applyBoardInput(note);
    }
    if (journal.ahead.empty()) return budget;
    const std::uint32_t until = journal.ahead.front().cycles - static_cast<std::uint32_t>(cpu.cycles);
    return until - 1 < static_cast<std::uint32_t>(budget) ? static_cast<std::int32_t>(until - 1) : budget;
}

int cpuExecute(std::int32_t budget, std::uint8_t& sliceStatus) {
    InputJournal& journal = debugHooks.inputs;
    if (journal.on && !journal.replaying) [[unlikely]] {
        if (journal.beforeSlice) journal.beforeSlice();
        if (!journal.ahead.empty()) budget = sliceUpToInput(budget);
    }
    cpu.busy.store(true, std::memory_order_relaxed);
    const int executed = budget >= 0 ? interpretSlice(static_cast<std::uint32_t>(budget), sliceStatus) : 0;
    cpu.busy.store(false, std::memory_order_relaxed);
    const bool stepping = sliceStatus & SLICE_STEPPING;
    if (runInputs.diag &&
        ((runInputs.halted && !stepping) || (sliceStatus & (SLICE_BREAK | SLICE_WATCH | SLICE_BADOP))))
        trace("%s [cyc=%ld]\n", registerLine().c_str(), static_cast<long>(cpu.cycles));
    return executed;
}

void cpuRequestReset() {
    noteBoardInput(BoardInput::Reset);
    cpu.pendingInterrupts |= PEND_RESET;
    serveRequest();
}

void cpuRequestNmi() {
    noteBoardInput(BoardInput::Nmi);
    cpu.pendingInterrupts |= PEND_NMI;
    serveRequest();
}

void cpuRequestIrq() {
    noteBoardInput(BoardInput::Irq);
    cpu.pendingInterrupts |= PEND_IRQ;
    if (!cpu.i) serveRequest();
}

std::uint16_t cpuGetPc() {
    return cpu.pc;
}
void cpuSetPc(std::uint16_t address) {
    cpu.pc = address;
}
void cpuSetBreakpoint(std::uint16_t address) {
    cpu.breakpoint = address;
}

std::uint8_t cpuStatusByte() {
    return static_cast<std::uint8_t>(cpu.n << 7 | cpu.v << 6 | cpu.bit5 << 5 | cpu.b << 4 | cpu.d << 3 |
                                     cpu.i << 2 | cpu.z << 1 | cpu.c);
}

void cpuSetStatusByte(std::uint8_t status) {
    cpu.n = (status >> 7) & 1;
    cpu.v = (status >> 6) & 1;
    cpu.bit5 = (status >> 5) & 1;
    cpu.b = (status >> 4) & 1;
    cpu.d = (status >> 3) & 1;
    cpu.i = (status >> 2) & 1;
    cpu.z = (status >> 1) & 1;
    cpu.c = status & 1;
}

bool cpuOpcodeValid(std::uint8_t opcode) {
    return opcodeCycles[opcode] != 0;
}

std::string flagString(std::uint8_t status) {
    // Status bit 5 always shows as "1", whatever the stored bit5 holds.
    std::string flags = "NV1BDIZC";
    for (int bit = 7; bit >= 0; --bit) {
        if (bit != 5 && !(status & (1 << bit))) flags[7 - bit] = '-';
    }
    return flags;
}

std::string invalidOpcodeText() {
    return formatText("Invalid opcode '%02x' at PC:%04x", busRead(cpu.pc), cpu.pc);
}

std::string registerLine() {
    return formatText("PC:%04x A:%02x X:%02x Y:%02x %s SP:%02x", cpu.pc, cpu.a, cpu.x, cpu.y,
                      flagString(cpuStatusByte()).c_str(), cpu.sp);
}

} // namespace orv
