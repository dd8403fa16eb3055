// A powered-on board with known registers, zeroed RAM and interrupt vectors, for processor tests.
#pragma once

#include "base/run_inputs.h"
#include "base/text_format.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/power.h"
#include "machine/rio.h"
#include "settings/flags.h"
#include "support/cpu_start.h"
#include "support/poke.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace orv::test {

constexpr std::uint16_t NMI_HANDLER = 0x0300;
constexpr std::uint16_t RESET_HANDLER = 0xFE00;
constexpr std::uint16_t IRQ_HANDLER = 0x0380;

class CpuFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        runInputs.diag = 0;
        machinePowerOn();
        rioReset();
        std::fill(bus.memory.begin(), bus.memory.begin() + 0x0400, 0);
        cpuStartAt(0x0200);
        cpu.breakpoint = 0;
        runInputs.halted = true;
        poke(0xFFFA, {NMI_HANDLER & 0xFF, NMI_HANDLER >> 8, RESET_HANDLER & 0xFF, RESET_HANDLER >> 8,
                      IRQ_HANDLER & 0xFF, IRQ_HANDLER >> 8});
    }
    void TearDown() override {
        runInputs.halted = true;
        runInputs.diag = 0;
    }

    static std::uint32_t step() {
        std::uint8_t status = 0;
        return runTestSlice(1, status);
    }

    static std::uint8_t stackByte(int depth) { return bus.memory[0x0100 + ((cpu.sp + depth) & 0xFF)]; }
};

// Every field, so a failed comparison shows what differs.
inline std::string describe(const CpuState& s) {
    return formatText("pc=%04x a=%02x x=%02x y=%02x sp=%02x n%d v%d 5:%d b%d d%d i%d z%d c%d", s.pc, s.a, s.x,
                      s.y, s.sp, s.n, s.v, s.bit5, s.b, s.d, s.i, s.z, s.c);
}

} // namespace orv::test
