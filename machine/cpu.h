// The processor, an NMOS 6502 clocked at 1 MHz: its registers and flags, the reset, NMI and IRQ
// requests, the breakpoint, and the loop that runs instructions for a budget of cycles. No device on
// the board raises an interrupt; the window's commands do. Its vectors lie at the top of the monitor's
// ROM, and its stack is page 0x01 of the RAM.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace orv {

struct CpuState {
    std::uint16_t pc;
    std::uint8_t a, x, y, sp;
    // Stored flags, 0 or 1 each. b and bit5 are real flags here, not constants of the pushed byte.
    std::uint8_t n, v, bit5, b, d, i, z, c;
};

// The processor: its registers and what the loop keeps beside them.
struct CpuRecord : CpuState {
    // Machine cycles since power-on. Signed 32 bits; it wraps after about 36 minutes, so every user
    // compares differences (uint32 arithmetic), never absolute values.
    std::int32_t cycles = 0;
    std::uint16_t lastOpcodeAddr = 0;
    std::uint16_t breakpoint = 0;
    std::uint8_t pendingInterrupts = 0; // PEND_... bits
    // True while cpuExecute runs; read by the pacer thread.
    std::atomic<bool> busy{false};
    // Runs the plain loop in the form built where computed goto is missing (the web edition), so
    // that the tests cover it in every build.
    bool portableLoop = false;

    // Sets the registers and flags only.
    CpuRecord& operator=(const CpuState& registers) {
        static_cast<CpuState&>(*this) = registers;
        return *this;
    }
};

extern CpuRecord cpu;

// Where the processor finds its handlers, low byte first.
constexpr std::uint16_t VECTOR_NMI = 0xFFFA;
constexpr std::uint16_t VECTOR_RESET = 0xFFFC;
constexpr std::uint16_t VECTOR_IRQ = 0xFFFE; // BRK's as well

constexpr std::uint8_t PEND_RESET = 0x01;
constexpr std::uint8_t PEND_NMI = 0x02;
constexpr std::uint8_t PEND_IRQ = 0x04;

constexpr std::uint8_t SLICE_ARMED = 0x01;
constexpr std::uint8_t SLICE_BREAK = 0x40;
constexpr std::uint8_t SLICE_BADOP = 0x80;
// The debugger's bits (machine/debug_hooks.h). In: a step over, step out or run to here is under way:
// its goal is checked, and breakpoints fire although `halted` is set, once the first instruction has
// run. Out: the goal was reached; a watchpoint fired after the instruction that made the access.
constexpr std::uint8_t SLICE_STEPPING = 0x02;
constexpr std::uint8_t SLICE_GOAL = 0x10;
constexpr std::uint8_t SLICE_WATCH = 0x20;

// Runs whole instructions until more than `budget` cycles have passed, a breakpoint, a watchpoint, a
// stepping goal or an invalid opcode. Only ever sets bits in sliceStatus. Returns the number of
// instructions executed.
int cpuExecute(std::int32_t budget, std::uint8_t& sliceStatus);

void cpuRequestReset();
void cpuRequestNmi();
void cpuRequestIrq();

std::uint16_t cpuGetPc();
void cpuSetPc(std::uint16_t address);
void cpuSetBreakpoint(std::uint16_t address);

// Status byte: n v bit5 b d i z c from bit 7 down to bit 0.
std::uint8_t cpuStatusByte();
void cpuSetStatusByte(std::uint8_t status);

// True for the 151 documented NMOS opcodes.
bool cpuOpcodeValid(std::uint8_t opcode);

// "PC:%04x A:%02x X:%02x Y:%02x %s SP:%02x" with the eight-character flag string NV1BDIZC ("-" for a
// clear flag), 37 characters. Shared by the debug panel and the diagnostic trace.
std::string registerLine();
// The box a run stopped by an invalid opcode shows: its caption, and "Invalid opcode '02' at PC:0200"
// for the opcode where the processor stands.
constexpr const char* INVALID_OPCODE_CAPTION = "Halted...";
std::string invalidOpcodeText();
// That flag string for a status byte; bit 5 always shows as "1".
std::string flagString(std::uint8_t status);

} // namespace orv
