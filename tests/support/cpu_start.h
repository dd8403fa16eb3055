// Processor start and slices shared by the processor tests and the benchmarks.
#pragma once

#include "machine/cpu.h"
#include "settings/flags.h"

#include <cstdint>

namespace orv::test {

// Registers as a program starts at pc: an empty stack, bit 5 set, everything else 0. No interrupt
// pending, the cycle counter at 0, no trace.
inline void cpuStartAt(std::uint16_t pc) {
    cpu = CpuState{};
    cpu.pc = pc;
    cpu.sp = 0xFF;
    cpu.bit5 = 1;
    cpu.pendingInterrupts = 0;
    cpu.cycles = 0;
    runInputs.diag = 0;
}

// Runs one slice and returns the cycles it took, counted wrap-safe.
inline std::uint32_t runTestSlice(std::int32_t budget, std::uint8_t& status, int* executed = nullptr) {
    const auto before = static_cast<std::uint32_t>(cpu.cycles);
    const int count = cpuExecute(budget, status);
    if (executed) *executed = count;
    return static_cast<std::uint32_t>(cpu.cycles) - before;
}

} // namespace orv::test
