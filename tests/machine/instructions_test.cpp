#include "machine/cpu.h"
#include "tests/machine/cpu_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace orv::test {
namespace {

enum class Mode { Imp, Acc, Imm, Zp, Zpx, Zpy, Abs, Abx, Aby, Izx, Izy, Rel, Ind };
enum class Kind { Read, Write, Modify, Other };

struct Op {
    std::uint8_t code;
    const char* name;
    Mode mode;
    Kind kind;
};

using M = Mode;
constexpr Kind R = Kind::Read, W = Kind::Write, RMW = Kind::Modify, O = Kind::Other;

// The documented NMOS set, by mnemonic.
const Op ops[] = {
    {0x69, "ADC", M::Imm, R},   {0x65, "ADC", M::Zp, R},    {0x75, "ADC", M::Zpx, R},
    {0x6D, "ADC", M::Abs, R},   {0x7D, "ADC", M::Abx, R},   {0x79, "ADC", M::Aby, R},
    {0x61, "ADC", M::Izx, R},   {0x71, "ADC", M::Izy, R},   {0x29, "AND", M::Imm, R},
    {0x25, "AND", M::Zp, R},    {0x35, "AND", M::Zpx, R},   {0x2D, "AND", M::Abs, R},
    {0x3D, "AND", M::Abx, R},   {0x39, "AND", M::Aby, R},   {0x21, "AND", M::Izx, R},
    {0x31, "AND", M::Izy, R},   {0x0A, "ASL", M::Acc, O},   {0x06, "ASL", M::Zp, RMW},
    {0x16, "ASL", M::Zpx, RMW}, {0x0E, "ASL", M::Abs, RMW}, {0x1E, "ASL", M::Abx, RMW},
    {0x90, "BCC", M::Rel, O},   {0xB0, "BCS", M::Rel, O},   {0xF0, "BEQ", M::Rel, O},
    {0x30, "BMI", M::Rel, O},   {0xD0, "BNE", M::Rel, O},   {0x10, "BPL", M::Rel, O},
    {0x50, "BVC", M::Rel, O},   {0x70, "BVS", M::Rel, O},   {0x24, "BIT", M::Zp, R},
    {0x2C, "BIT", M::Abs, R},   {0x00, "BRK", M::Imp, O},   {0x18, "CLC", M::Imp, O},
    {0xD8, "CLD", M::Imp, O},   {0x58, "CLI", M::Imp, O},   {0xB8, "CLV", M::Imp, O},
    {0xC9, "CMP", M::Imm, R},   {0xC5, "CMP", M::Zp, R},    {0xD5, "CMP", M::Zpx, R},
    {0xCD, "CMP", M::Abs, R},   {0xDD, "CMP", M::Abx, R},   {0xD9, "CMP", M::Aby, R},
    {0xC1, "CMP", M::Izx, R},   {0xD1, "CMP", M::Izy, R},   {0xE0, "CPX", M::Imm, R},
    {0xE4, "CPX", M::Zp, R},    {0xEC, "CPX", M::Abs, R},   {0xC0, "CPY", M::Imm, R},
    {0xC4, "CPY", M::Zp, R},    {0xCC, "CPY", M::Abs, R},   {0xC6, "DEC", M::Zp, RMW},
    {0xD6, "DEC", M::Zpx, RMW}, {0xCE, "DEC", M::Abs, RMW}, {0xDE, "DEC", M::Abx, RMW},
    {0xCA, "DEX", M::Imp, O},   {0x88, "DEY", M::Imp, O},   {0x49, "EOR", M::Imm, R},
    {0x45, "EOR", M::Zp, R},    {0x55, "EOR", M::Zpx, R},   {0x4D, "EOR", M::Abs, R},
    {0x5D, "EOR", M::Abx, R},   {0x59, "EOR", M::Aby, R},   {0x41, "EOR", M::Izx, R},
    {0x51, "EOR", M::Izy, R},   {0xE6, "INC", M::Zp, RMW},  {0xF6, "INC", M::Zpx, RMW},
    {0xEE, "INC", M::Abs, RMW}, {0xFE, "INC", M::Abx, RMW}, {0xE8, "INX", M::Imp, O},
    {0xC8, "INY", M::Imp, O},   {0x4C, "JMP", M::Abs, O},   {0x6C, "JMP", M::Ind, O},
    {0x20, "JSR", M::Abs, O},   {0xA9, "LDA", M::Imm, R},   {0xA5, "LDA", M::Zp, R},
    {0xB5, "LDA", M::Zpx, R},   {0xAD, "LDA", M::Abs, R},   {0xBD, "LDA", M::Abx, R},
    {0xB9, "LDA", M::Aby, R},   {0xA1, "LDA", M::Izx, R},   {0xB1, "LDA", M::Izy, R},
    {0xA2, "LDX", M::Imm, R},   {0xA6, "LDX", M::Zp, R},    {0xB6, "LDX", M::Zpy, R},
    {0xAE, "LDX", M::Abs, R},   {0xBE, "LDX", M::Aby, R},   {0xA0, "LDY", M::Imm, R},
    {0xA4, "LDY", M::Zp, R},    {0xB4, "LDY", M::Zpx, R},   {0xAC, "LDY", M::Abs, R},
    {0xBC, "LDY", M::Abx, R},   {0x4A, "LSR", M::Acc, O},   {0x46, "LSR", M::Zp, RMW},
    {0x56, "LSR", M::Zpx, RMW}, {0x4E, "LSR", M::Abs, RMW}, {0x5E, "LSR", M::Abx, RMW},
    {0xEA, "NOP", M::Imp, O},   {0x09, "ORA", M::Imm, R},   {0x05, "ORA", M::Zp, R},
    {0x15, "ORA", M::Zpx, R},   {0x0D, "ORA", M::Abs, R},   {0x1D, "ORA", M::Abx, R},
    {0x19, "ORA", M::Aby, R},   {0x01, "ORA", M::Izx, R},   {0x11, "ORA", M::Izy, R},
    {0x48, "PHA", M::Imp, O},   {0x08, "PHP", M::Imp, O},   {0x68, "PLA", M::Imp, O},
    {0x28, "PLP", M::Imp, O},   {0x2A, "ROL", M::Acc, O},   {0x26, "ROL", M::Zp, RMW},
    {0x36, "ROL", M::Zpx, RMW}, {0x2E, "ROL", M::Abs, RMW}, {0x3E, "ROL", M::Abx, RMW},
    {0x6A, "ROR", M::Acc, O},   {0x66, "ROR", M::Zp, RMW},  {0x76, "ROR", M::Zpx, RMW},
    {0x6E, "ROR", M::Abs, RMW}, {0x7E, "ROR", M::Abx, RMW}, {0x40, "RTI", M::Imp, O},
    {0x60, "RTS", M::Imp, O},   {0xE9, "SBC", M::Imm, R},   {0xE5, "SBC", M::Zp, R},
    {0xF5, "SBC", M::Zpx, R},   {0xED, "SBC", M::Abs, R},   {0xFD, "SBC", M::Abx, R},
    {0xF9, "SBC", M::Aby, R},   {0xE1, "SBC", M::Izx, R},   {0xF1, "SBC", M::Izy, R},
    {0x38, "SEC", M::Imp, O},   {0xF8, "SED", M::Imp, O},   {0x78, "SEI", M::Imp, O},
    {0x85, "STA", M::Zp, W},    {0x95, "STA", M::Zpx, W},   {0x8D, "STA", M::Abs, W},
    {0x9D, "STA", M::Abx, W},   {0x99, "STA", M::Aby, W},   {0x81, "STA", M::Izx, W},
    {0x91, "STA", M::Izy, W},   {0x86, "STX", M::Zp, W},    {0x96, "STX", M::Zpy, W},
    {0x8E, "STX", M::Abs, W},   {0x84, "STY", M::Zp, W},    {0x94, "STY", M::Zpx, W},
    {0x8C, "STY", M::Abs, W},   {0xAA, "TAX", M::Imp, O},   {0xA8, "TAY", M::Imp, O},
    {0xBA, "TSX", M::Imp, O},   {0x8A, "TXA", M::Imp, O},   {0x9A, "TXS", M::Imp, O},
    {0x98, "TYA", M::Imp, O},
};

bool named(const Op& op, const char* name) {
    return std::strcmp(op.name, name) == 0;
}

// The cycle count of the instruction's class.
std::uint32_t classCycles(const Op& op) {
    switch (op.mode) {
    case M::Imp:
        if (named(op, "PHA") || named(op, "PHP")) return 3;
        if (named(op, "PLA") || named(op, "PLP")) return 4;
        if (named(op, "RTI") || named(op, "RTS")) return 6;
        if (named(op, "BRK")) return 7;
        return 2;
    case M::Acc:
    case M::Imm:
    case M::Rel: return 2;
    case M::Zp: return op.kind == RMW ? 5 : 3;
    case M::Zpx:
    case M::Zpy: return op.kind == RMW ? 6 : 4;
    case M::Abs:
        if (named(op, "JMP")) return 3;
        if (named(op, "JSR")) return 6;
        return op.kind == RMW ? 6 : 4;
    case M::Abx:
    case M::Aby: return op.kind == R ? 4 : op.kind == W ? 5 : 6;
    case M::Izx: return 6;
    case M::Izy: return op.kind == W ? 6 : 5;
    case M::Ind: return 6;
    }
    return 0;
}

class InstructionTest : public CpuFixture {};

TEST_F(InstructionTest, EveryOpcodeIsValidOrNotAndCostsItsClass) {
    std::vector<const Op*> table(256, nullptr);
    for (const Op& op : ops) table[op.code] = &op;
    int valid = 0;
    for (int code = 0; code < 256; ++code) {
        SetUp();
        const Op* op = table[code];
        SCOPED_TRACE(op ? op->name : "invalid");
        SCOPED_TRACE(code);
        poke(0x0200, {static_cast<std::uint8_t>(code), 0x40, 0x02});
        // Branches are measured not taken here; the taken cost has its own test.
        const bool clearTest = (code & 0x20) == 0;
        cpu.n = cpu.v = cpu.c = cpu.z = clearTest ? 1 : 0;
        std::uint8_t status = 0;
        int executed = -1;
        const std::uint32_t spent = runTestSlice(1, status, &executed);
        EXPECT_EQ(cpuOpcodeValid(static_cast<std::uint8_t>(code)), op != nullptr);
        if (op) {
            ++valid;
            EXPECT_EQ(spent, classCycles(*op));
            EXPECT_EQ(executed, 1);
            EXPECT_EQ(status, 0);
        } else {
            EXPECT_EQ(spent, 0u);
            EXPECT_EQ(executed, 0);
            EXPECT_EQ(status, SLICE_BADOP);
            EXPECT_EQ(cpu.pc, 0x0200);
        }
    }
    EXPECT_EQ(valid, 151);
}

// What each data operation does with a = 0xC5, x = 2, y = 3, c = 1 and m at the effective address.
struct Effect {
    const char* name;
    std::uint8_t m;
    char target; // A, X, Y, M (the byte at the effective address) or - (flags only)
    std::uint8_t result;
    std::uint8_t n, z, c, v;
};

const Effect effects[] = {
    {"LDA", 0x5A, 'A', 0x5A, 0, 0, 1, 0}, {"LDX", 0x5A, 'X', 0x5A, 0, 0, 1, 0},
    {"LDY", 0x5A, 'Y', 0x5A, 0, 0, 1, 0}, {"ORA", 0x5A, 'A', 0xDF, 1, 0, 1, 0},
    {"AND", 0x5A, 'A', 0x40, 0, 0, 1, 0}, {"EOR", 0x5A, 'A', 0x9F, 1, 0, 1, 0},
    {"ADC", 0x5A, 'A', 0x20, 0, 0, 1, 0}, {"SBC", 0x5A, 'A', 0x6B, 0, 0, 1, 1},
    {"CMP", 0xC5, '-', 0, 0, 1, 1, 0},    {"CPX", 0x02, '-', 0, 0, 1, 1, 0},
    {"CPY", 0x03, '-', 0, 0, 1, 1, 0},    {"BIT", 0x3A, '-', 0, 0, 1, 1, 0},
    {"STA", 0x00, 'M', 0xC5, 0, 0, 1, 0}, {"STX", 0x00, 'M', 0x02, 0, 0, 1, 0},
    {"STY", 0x00, 'M', 0x03, 0, 0, 1, 0}, {"ASL", 0x41, 'M', 0x82, 1, 0, 0, 0},
    {"LSR", 0x41, 'M', 0x20, 0, 0, 1, 0}, {"ROL", 0x41, 'M', 0x83, 1, 0, 0, 0},
    {"ROR", 0x41, 'M', 0xA0, 1, 0, 1, 0}, {"INC", 0x41, 'M', 0x42, 0, 0, 1, 0},
    {"DEC", 0x41, 'M', 0x40, 0, 0, 1, 0},
};

// Operand bytes are always 0x40, 0x02; this is where each mode must then land.
std::uint16_t effectiveAddress(Mode mode) {
    switch (mode) {
    case M::Imm: return 0x0201;
    case M::Zp: return 0x0040;
    case M::Zpx: return 0x0042;
    case M::Zpy: return 0x0043;
    case M::Abs: return 0x0240;
    case M::Abx: return 0x0242;
    case M::Aby: return 0x0243;
    case M::Izx: return 0x0300; // pointer at 0x42
    case M::Izy: return 0x0313; // pointer at 0x40 is 0x0310
    default: return 0;
    }
}

std::uint16_t instructionLength(Mode mode) {
    switch (mode) {
    case M::Acc: return 1;
    case M::Abs:
    case M::Abx:
    case M::Aby: return 3;
    default: return 2;
    }
}

TEST_F(InstructionTest, DataOperationsUseTheirAddressingMode) {
    int checked = 0;
    for (const Op& op : ops) {
        const Effect* effect = nullptr;
        for (const Effect& e : effects)
            if (named(op, e.name)) effect = &e;
        if (!effect) continue;
        SetUp();
        SCOPED_TRACE(op.code);
        cpu.a = 0xC5;
        cpu.x = 2;
        cpu.y = 3;
        cpu.c = 1;
        poke(0x0200, {op.code, 0x40, 0x02});
        poke(0x0042, {0x00, 0x03});
        if (op.mode == M::Izy) poke(0x0040, {0x10, 0x03});
        const std::uint16_t ea = effectiveAddress(op.mode);
        if (op.mode == M::Acc)
            cpu.a = effect->m;
        else
            bus.memory[ea] = effect->m;

        CpuState want = cpu;
        want.pc = static_cast<std::uint16_t>(0x0200 + instructionLength(op.mode));
        want.n = effect->n;
        want.z = effect->z;
        want.c = effect->c;
        want.v = effect->v;
        std::uint8_t wantMemory = op.mode == M::Acc ? 0 : bus.memory[ea];
        switch (op.mode == M::Acc ? 'A' : effect->target) {
        case 'A': want.a = effect->result; break;
        case 'X': want.x = effect->result; break;
        case 'Y': want.y = effect->result; break;
        case 'M': wantMemory = effect->result; break;
        default: break;
        }
        step();
        EXPECT_EQ(describe(cpu), describe(want));
        if (op.mode != M::Acc) {
            EXPECT_EQ(bus.memory[ea], wantMemory);
        }
        ++checked;
    }
    EXPECT_EQ(checked, 115);
}

struct Implied {
    std::uint8_t code;
    void (*prepare)(CpuState&);
    void (*expect)(CpuState&);
};

TEST_F(InstructionTest, ImpliedAndAccumulatorOperations) {
    const Implied cases[] = {
        {0xAA, [](CpuState&) {}, [](CpuState& s) { s.x = 0x80, s.n = 1; }},
        {0xA8, [](CpuState&) {}, [](CpuState& s) { s.y = 0x80, s.n = 1; }},
        {0x8A, [](CpuState&) {}, [](CpuState& s) { s.a = 0x00, s.z = 1; }},
        {0x98, [](CpuState&) {}, [](CpuState& s) { s.a = 0x7F; }},
        {0xBA, [](CpuState&) {}, [](CpuState& s) { s.x = 0xF0, s.n = 1; }},
        {0x9A, [](CpuState&) {}, [](CpuState& s) { s.sp = 0x00; }}, // no flags, though x is 0
        {0xE8, [](CpuState&) {}, [](CpuState& s) { s.x = 0x01; }},
        {0xC8, [](CpuState&) {}, [](CpuState& s) { s.y = 0x80, s.n = 1; }},
        {0xCA, [](CpuState&) {}, [](CpuState& s) { s.x = 0xFF, s.n = 1; }},
        {0x88, [](CpuState&) {}, [](CpuState& s) { s.y = 0x7E; }},
        {0x18, [](CpuState& s) { s.c = 1; }, [](CpuState& s) { s.c = 0; }},
        {0x38, [](CpuState&) {}, [](CpuState& s) { s.c = 1; }},
        {0xD8, [](CpuState& s) { s.d = 1; }, [](CpuState& s) { s.d = 0; }},
        {0xF8, [](CpuState&) {}, [](CpuState& s) { s.d = 1; }},
        {0x58, [](CpuState& s) { s.i = 1; }, [](CpuState& s) { s.i = 0; }},
        {0x78, [](CpuState&) {}, [](CpuState& s) { s.i = 1; }},
        {0xB8, [](CpuState& s) { s.v = 1; }, [](CpuState& s) { s.v = 0; }},
        {0xEA, [](CpuState&) {}, [](CpuState&) {}},
        {0x0A, [](CpuState&) {}, [](CpuState& s) { s.a = 0x00, s.c = 1, s.z = 1; }},
        {0x4A, [](CpuState& s) { s.a = 0x81, s.n = 1; }, [](CpuState& s) { s.a = 0x40, s.c = 1, s.n = 0; }},
        {0x6A, [](CpuState& s) { s.c = 1; }, [](CpuState& s) { s.a = 0xC0, s.c = 0, s.n = 1; }},
        {0xA9, [](CpuState&) {}, [](CpuState& s) { s.a = 0x00, s.z = 1, s.pc = 0x0202; }}, // LDA #0
        // PLA from 0x01F1, with the flags it must change set the other way.
        {0x68, [](CpuState& s) { s.n = 1, bus.memory[0x01F1] = 0x00; },
         [](CpuState& s) { s.a = 0x00, s.sp = 0xF1, s.n = 0, s.z = 1; }},
        {0x68, [](CpuState& s) { s.z = 1, bus.memory[0x01F1] = 0xC3; },
         [](CpuState& s) { s.a = 0xC3, s.sp = 0xF1, s.n = 1, s.z = 0; }},
    };
    for (const Implied& c : cases) {
        SetUp();
        SCOPED_TRACE(c.code);
        cpu.a = 0x80;
        cpu.x = 0x00;
        cpu.y = 0x7F;
        cpu.sp = 0xF0;
        c.prepare(cpu);
        poke(0x0200, {c.code});
        CpuState want = cpu;
        want.pc = 0x0201;
        c.expect(want);
        step();
        EXPECT_EQ(describe(cpu), describe(want));
    }
}

TEST_F(InstructionTest, AddAndSubtract) {
    struct Case {
        std::uint8_t code; // ADC # or SBC #
        std::uint8_t d, a, m, c, v;
        std::uint8_t result, cOut, vOut, n, z;
    };
    const Case cases[] = {
        // binary
        {0x69, 0, 0x50, 0x50, 0, 0, 0xA0, 0, 1, 1, 0},
        {0x69, 0, 0xFF, 0x01, 0, 1, 0x00, 1, 0, 0, 1},
        {0x69, 0, 0x80, 0x80, 0, 0, 0x00, 1, 1, 0, 1},
        {0x69, 0, 0x7F, 0x00, 1, 0, 0x80, 0, 1, 1, 0},
        {0xE9, 0, 0x80, 0x01, 1, 0, 0x7F, 1, 1, 0, 0},
        {0xE9, 0, 0x00, 0x01, 1, 1, 0xFF, 0, 0, 1, 0},
        {0xE9, 0, 0x7F, 0xFF, 1, 0, 0x80, 0, 1, 1, 0},
        {0xE9, 0, 0x05, 0x03, 0, 1, 0x01, 1, 0, 0, 0},
        // Decimal: each byte counts as ten times its high nibble plus its low nibble, 0xA-0xF at face
        // value; v keeps whatever it was. The sums below are worked out that way by hand.
        {0x69, 1, 0x58, 0x46, 1, 1, 0x05, 1, 1, 0, 0}, // 58 + 46 + 1 = 105
        {0x69, 1, 0x09, 0x01, 0, 0, 0x10, 0, 0, 0, 0}, // 9 + 1 = 10
        {0x69, 1, 0x99, 0x01, 0, 0, 0x00, 1, 0, 0, 1}, // 99 + 1 = 100
        {0x69, 1, 0x98, 0x01, 0, 0, 0x99, 0, 0, 1, 0}, // 98 + 1 = 99: no carry yet
        {0x69, 1, 0x49, 0x49, 1, 1, 0x99, 0, 1, 1, 0}, // 49 + 49 + 1 = 99
        {0x69, 1, 0x1F, 0x01, 0, 1, 0x26, 0, 1, 0, 0}, // 0x1F is 10 + 15 = 25; 25 + 1 = 26
        {0x69, 1, 0x0A, 0x00, 0, 0, 0x10, 0, 0, 0, 0}, // 0x0A is 10
        {0x69, 1, 0xFF, 0xFF, 1, 0, 0x31, 1, 0, 0, 0}, // 0xFF is 150 + 15 = 165; 165 + 165 + 1 = 331
        {0x69, 1, 0x5F, 0x2E, 0, 0, 0x99, 0, 0, 1, 0}, // 65 + 34 = 99
        {0x69, 1, 0xA0, 0x00, 0, 0, 0x00, 1, 0, 0, 1}, // 0xA0 is 100
        {0x69, 1, 0x9F, 0x00, 0, 1, 0x05, 1, 1, 0, 0}, // 90 + 15 = 105
        {0x69, 1, 0x45, 0x45, 0, 0, 0x90, 0, 0, 1, 0}, // 45 + 45 = 90
        {0xE9, 1, 0x00, 0x01, 1, 0, 0x99, 0, 0, 1, 0}, // 0 - 1 = -1
        {0xE9, 1, 0x46, 0x12, 1, 1, 0x34, 1, 1, 0, 0}, // 46 - 12 = 34
        {0xE9, 1, 0x1A, 0x01, 1, 0, 0x19, 1, 0, 0, 0}, // 0x1A is 20; 20 - 1 = 19
        {0xE9, 1, 0x00, 0xFF, 1, 0, 0x35, 0, 0, 0, 0}, // 0 - 165 = -165, which is 35 modulo 100
        {0xE9, 1, 0x50, 0x50, 0, 1, 0x99, 0, 1, 1, 0}, // 50 - 50 - 1 = -1
        {0xE9, 1, 0x50, 0x49, 0, 0, 0x00, 1, 0, 0, 1}, // 50 - 49 - 1 = 0
        {0xE9, 1, 0xA0, 0x01, 1, 0, 0x99, 1, 0, 1, 0}, // 100 - 1 = 99
        {0xE9, 1, 0x10, 0x0B, 1, 0, 0x99, 0, 0, 1, 0}, // 0x0B is 11; 10 - 11 = -1
    };
    for (const Case& t : cases) {
        SetUp();
        SCOPED_TRACE(testing::Message() << std::hex << int(t.code) << " a=" << int(t.a) << " m=" << int(t.m)
                                        << " c=" << int(t.c) << " d=" << int(t.d));
        cpu.d = t.d;
        cpu.a = t.a;
        cpu.c = t.c;
        cpu.v = t.v;
        poke(0x0200, {t.code, t.m});
        step();
        EXPECT_EQ(cpu.a, t.result);
        EXPECT_EQ(cpu.c, t.cOut);
        EXPECT_EQ(cpu.v, t.vOut);
        EXPECT_EQ(cpu.n, t.n);
        EXPECT_EQ(cpu.z, t.z);
    }
}

TEST_F(InstructionTest, CompareAndBit) {
    struct Case {
        std::uint8_t code, reg, m;
        std::uint8_t n, z, c, v;
    };
    const Case cases[] = {
        {0xC9, 0x10, 0x20, 1, 0, 0, 0}, {0xC9, 0x20, 0x10, 0, 0, 1, 0}, {0xC9, 0x20, 0x20, 0, 1, 1, 0},
        {0xC9, 0x00, 0xFF, 0, 0, 0, 0}, {0xE0, 0x80, 0x01, 0, 0, 1, 0}, {0xC0, 0x01, 0x80, 1, 0, 0, 0},
        {0x24, 0x01, 0xC0, 1, 1, 0, 1}, {0x24, 0x41, 0x41, 0, 0, 0, 1}, {0x24, 0xFF, 0x80, 1, 0, 0, 0},
    };
    for (const Case& t : cases) {
        SetUp();
        SCOPED_TRACE(testing::Message() << std::hex << int(t.code) << " " << int(t.reg) << " " << int(t.m));
        cpu.a = cpu.x = cpu.y = t.reg;
        if (t.code == 0x24) {
            bus.memory[0x0040] = t.m;
            poke(0x0200, {t.code, 0x40});
        } else {
            poke(0x0200, {t.code, t.m});
        }
        step();
        EXPECT_EQ(cpu.n, t.n);
        EXPECT_EQ(cpu.z, t.z);
        EXPECT_EQ(cpu.c, t.c);
        EXPECT_EQ(cpu.v, t.v);
        EXPECT_EQ(cpu.a, t.reg);
    }
}

TEST_F(InstructionTest, IndexedAndIndirectAddressWrapping) {
    struct Case {
        std::vector<std::uint8_t> code;
        std::uint8_t x, y;
        std::uint16_t ea;
        std::uint32_t cycles;
    };
    // The zero-page pointer is read straight from memory and not wrapped to page zero.
    const Case cases[] = {
        {{0xB1, 0xFF}, 0, 0x00, 0x0234, 5},          // LDA (0xFF),Y
        {{0xA1, 0xFE}, 1, 0x00, 0x0234, 6},          // LDA (0xFE,X)
        {{0xA1, 0xF0}, 0x20, 0x00, 0x02F0, 6},       // LDA (0xF0,X): operand + x wraps in page zero
        {{0xB1, 0x10}, 0, 0x20, 0x0310, 5},          // LDA (0x10),Y: y carries into the high byte
        {{0xB5, 0xF0}, 0x20, 0x00, 0x0010, 4},       // LDA 0xF0,X wraps in page zero
        {{0xB6, 0xF0}, 0x00, 0x21, 0x0011, 4},       // LDX 0xF0,Y wraps in page zero
        {{0xBD, 0xFF, 0xFF}, 0x01, 0x00, 0x0000, 4}, // LDA 0xFFFF,X wraps the address space
        {{0xBD, 0xFF, 0x02}, 0x01, 0x00, 0x0300, 4}, // page crossing costs nothing
        {{0xB9, 0x80, 0x02}, 0x00, 0xFF, 0x037F, 4}, // LDA abs,Y
    };
    for (const Case& t : cases) {
        SetUp();
        bus.memory[0x00FF] = 0x34;
        bus.memory[0x0100] = 0x02;
        bus.memory[0x0000] = 0x03;
        bus.memory[0x0010] = 0xF0;
        bus.memory[0x0011] = 0x02;
        bus.memory[t.ea] = 0x77;
        SCOPED_TRACE(testing::Message() << std::hex << "ea " << t.ea);
        poke(0x0200, t.code);
        cpu.x = t.x;
        cpu.y = t.y;
        EXPECT_EQ(step(), t.cycles);
        EXPECT_EQ(t.code[0] == 0xB6 ? cpu.x : cpu.a, 0x77);
    }

    // An empty page reads as its page number, which makes the page of each byte visible.
    SetUp();
    poke(0x0200, {0xBD, 0xFF, 0x12}); // LDA 0x12FF,X
    cpu.x = 1;
    EXPECT_EQ(step(), 4u);
    EXPECT_EQ(cpu.a, 0x13);
}

TEST_F(InstructionTest, JumpsAndSubroutines) {
    // JMP (0x12FF) takes its high byte from 0x1300, not 0x1200.
    poke(0x0200, {0x6C, 0xFF, 0x12});
    EXPECT_EQ(step(), 6u);
    EXPECT_EQ(cpu.pc, 0x1312);

    SetUp();
    poke(0x0200, {0x6C, 0xFF, 0x02});
    poke(0x02FF, {0x34, 0x12});
    EXPECT_EQ(step(), 6u);
    EXPECT_EQ(cpu.pc, 0x1234);

    SetUp();
    poke(0x0200, {0x4C, 0x34, 0x02});
    EXPECT_EQ(step(), 3u);
    EXPECT_EQ(cpu.pc, 0x0234);

    // JSR pushes the address of its own last byte; RTS adds one.
    SetUp();
    poke(0x0200, {0x20, 0x80, 0x02});
    poke(0x0280, {0x60});
    EXPECT_EQ(step(), 6u);
    EXPECT_EQ(cpu.pc, 0x0280);
    EXPECT_EQ(cpu.sp, 0xFD);
    EXPECT_EQ(bus.memory[0x01FF], 0x02);
    EXPECT_EQ(bus.memory[0x01FE], 0x02);
    EXPECT_EQ(step(), 6u);
    EXPECT_EQ(cpu.pc, 0x0203);
    EXPECT_EQ(cpu.sp, 0xFF);

    // An opcode fetched from an empty page is the page number: 0x20 at 0x2000 runs as JSR 0x2020.
    SetUp();
    cpu.pc = 0x2000;
    EXPECT_EQ(step(), 6u);
    EXPECT_EQ(cpu.pc, 0x2020);
    EXPECT_EQ(bus.memory[0x01FF], 0x20);
    EXPECT_EQ(bus.memory[0x01FE], 0x02);
}

TEST_F(InstructionTest, StackWrapsInPageOne) {
    poke(0x0200, {0x48, 0x68});
    cpu.sp = 0x00;
    cpu.a = 0x5C;
    EXPECT_EQ(step(), 3u);
    EXPECT_EQ(bus.memory[0x0100], 0x5C);
    EXPECT_EQ(cpu.sp, 0xFF);
    cpu.a = 0;
    EXPECT_EQ(step(), 4u);
    EXPECT_EQ(cpu.a, 0x5C);
    EXPECT_EQ(cpu.sp, 0x00);
    EXPECT_EQ(cpu.n, 0);
    EXPECT_EQ(cpu.z, 0);
}

TEST_F(InstructionTest, BreakAndReturnFromInterrupt) {
    poke(0x0200, {0x00, 0xEA});
    poke(IRQ_HANDLER, {0x40});
    cpu.b = 0;
    cpu.i = 0;
    cpu.c = 1;
    EXPECT_EQ(step(), 7u);
    EXPECT_EQ(cpu.pc, IRQ_HANDLER);
    EXPECT_EQ(cpu.sp, 0xFC);
    EXPECT_EQ(bus.memory[0x01FF], 0x02);
    EXPECT_EQ(bus.memory[0x01FE], 0x02);
    EXPECT_EQ(bus.memory[0x01FD], 0x31); // bit5, b and c
    EXPECT_EQ(cpu.b, 1);
    EXPECT_EQ(cpu.i, 1);
    EXPECT_EQ(step(), 6u);
    EXPECT_EQ(cpu.pc, 0x0202);
    EXPECT_EQ(cpu.i, 0);
    EXPECT_EQ(cpu.b, 1);
    EXPECT_EQ(cpu.c, 1);
    EXPECT_EQ(cpu.sp, 0xFF);

    // RTI clears i whatever the stack says and loads bit5 and b from it.
    SetUp();
    poke(0x0200, {0x40});
    poke(0x01FD, {0x04, 0x34, 0x12});
    cpu.sp = 0xFC;
    cpu.b = 1;
    step();
    EXPECT_EQ(cpu.pc, 0x1234);
    EXPECT_EQ(cpu.i, 0);
    EXPECT_EQ(cpu.bit5, 0);
    EXPECT_EQ(cpu.b, 0);
}

TEST_F(InstructionTest, PushAndPullStatus) {
    poke(0x0200, {0x28, 0x08});
    for (int value = 0; value < 256; ++value) {
        cpu.pc = 0x0200;
        cpu.sp = 0xFE;
        bus.memory[0x01FF] = static_cast<std::uint8_t>(value);
        EXPECT_EQ(step(), 4u);
        EXPECT_EQ(cpuStatusByte(), value);
        bus.memory[0x01FF] = static_cast<std::uint8_t>(~value);
        EXPECT_EQ(step(), 3u);
        EXPECT_EQ(bus.memory[0x01FF], value);
    }
    // PHP pushes b and bit5 as stored, not as constants.
    cpuSetStatusByte(0x00);
    cpu.pc = 0x0201;
    cpu.sp = 0xFF;
    step();
    EXPECT_EQ(bus.memory[0x01FF], 0x00);
}

TEST_F(InstructionTest, BranchesCostThreeWhenTakenTwoWhenNot) {
    struct Branch {
        std::uint8_t code;
        std::uint8_t CpuState::*flag;
        std::uint8_t takenWhen;
    };
    const Branch branches[] = {
        {0x10, &CpuState::n, 0}, {0x30, &CpuState::n, 1}, {0x50, &CpuState::v, 0}, {0x70, &CpuState::v, 1},
        {0x90, &CpuState::c, 0}, {0xB0, &CpuState::c, 1}, {0xD0, &CpuState::z, 0}, {0xF0, &CpuState::z, 1},
    };
    for (const Branch& br : branches) {
        for (bool taken : {false, true}) {
            for (std::uint8_t offset : {std::uint8_t{0x20}, std::uint8_t{0x80}}) {
                SetUp();
                SCOPED_TRACE(testing::Message()
                             << std::hex << int(br.code) << " taken " << taken << " offset " << int(offset));
                const std::uint8_t value = taken ? br.takenWhen : 1 - br.takenWhen;
                // The other flags oppose, so a branch testing the wrong one goes the wrong way.
                cpu.n = cpu.v = cpu.c = cpu.z = static_cast<std::uint8_t>(1 - value);
                cpu.*br.flag = value;
                cpu.pc = 0x02F0;
                poke(0x02F0, {br.code, offset});
                const std::uint16_t target =
                    static_cast<std::uint16_t>(0x02F2 + static_cast<std::int8_t>(offset));
                EXPECT_EQ(step(), taken ? 3u : 2u);
                EXPECT_EQ(cpu.pc, taken ? target : 0x02F2);
            }
        }
    }
}

TEST_F(InstructionTest, DeviceRegistersAreAccessedOnlyAsNamed) {
    // Every access to a bad RIO offset uses up one warning, which counts the accesses.
    struct Case {
        std::vector<std::uint8_t> code;
        std::uint8_t x, y;
        int accesses;
    };
    const Case cases[] = {
        {{0xAD, 0x00, 0x0E}, 0, 0, 1},    // LDA 0x0E00
        {{0x8D, 0x00, 0x0E}, 0, 0, 1},    // STA 0x0E00
        {{0xEE, 0x00, 0x0E}, 0, 0, 2},    // INC 0x0E00
        {{0x4E, 0x00, 0x0F}, 0, 0, 2},    // LSR 0x0F00
        {{0xBD, 0x10, 0x0E}, 0xF0, 0, 1}, // LDA 0x0E10,X reaching 0x0F00
        {{0x99, 0x10, 0x0E}, 0, 0xF0, 1}, // STA 0x0E10,Y
        {{0xFE, 0x10, 0x0E}, 0xF0, 0, 2}, // INC 0x0E10,X
        {{0xB1, 0x40}, 0, 0xF0, 1},       // LDA (0x40),Y with the pointer 0x0E10
        {{0x91, 0x40}, 0, 0xF0, 1},       // STA (0x40),Y
        {{0x81, 0x3E}, 2, 0, 1},          // STA (0x3E,X)
        {{0x0A}, 0, 0, 0},                // ASL A
    };
    for (const Case& t : cases) {
        SetUp();
        SCOPED_TRACE(testing::Message() << std::hex << int(t.code[0]));
        poke(0x0200, t.code);
        poke(0x0040, {0x10, 0x0E});
        cpu.x = t.x;
        cpu.y = t.y;
        rio.rioWarningsLeft = 100;
        step();
        EXPECT_EQ(100 - rio.rioWarningsLeft, t.accesses);
    }
    rio.rioWarningsLeft = 1;
}

} // namespace
} // namespace orv::test
