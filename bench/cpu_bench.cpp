#include "base/run_inputs.h"
#include "debugger/breakpoints.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "support/cpu_start.h"
#include "support/poke.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <initializer_list>
#include <string>

namespace {

using namespace orv;

// A loop of indexed loads and stores, ALU operations, a zero-page read-modify-write and branches,
// all in RAM: the kind of work the monitor's scan loops do.
void loadMixedLoop() {
    bus.pageFlags.fill(PAGE_EMPTY);
    for (int page = 0; page < 4; ++page) bus.pageFlags[page] = PAGE_RAM;
    bus.pageFlags[0xFE] = bus.pageFlags[0xFF] = PAGE_ROM;
    const std::initializer_list<std::uint8_t> program = {
        0xA2, 0x00,       // 0200 LDX #0
        0xA0, 0x10,       // 0202 LDY #$10
        0xBD, 0x00, 0x03, // 0204 LDA $0300,X
        0x69, 0x07,       // 0207 ADC #7
        0x9D, 0x00, 0x03, // 0209 STA $0300,X
        0x45, 0x10,       // 020C EOR $10
        0x85, 0x11,       // 020E STA $11
        0x29, 0x7F,       // 0210 AND #$7F
        0xC9, 0x40,       // 0212 CMP #$40
        0x90, 0x02,       // 0214 BCC $0218
        0xE6, 0x12,       // 0216 INC $12
        0xE8,             // 0218 INX
        0x88,             // 0219 DEY
        0xD0, 0xE8,       // 021A BNE $0204
        0x4C, 0x00, 0x02, // 021C JMP $0200
    };
    test::poke(0x0200, program);
    test::cpuStartAt(0x0200);
    runInputs.halted = false;
}

void runSlices(benchmark::State& state, std::int32_t budget, int slicesPerIteration) {
    loadMixedLoop();
    std::uint64_t executed = 0;
    for (auto _ : state) {
        for (int slice = 0; slice < slicesPerIteration; ++slice) {
            std::uint8_t status = 0;
            executed += test::runTestSlice(budget, status);
            if (status & SLICE_BADOP) {
                state.SkipWithError("the loop ran into an invalid opcode");
                return;
            }
        }
    }
    state.counters["MHz"] =
        benchmark::Counter(static_cast<double>(executed) / 1e6, benchmark::Counter::kIsRate);
    runInputs.halted = true;
}

void BM_MixedLoopLargeBudget(benchmark::State& state) {
    runSlices(state, 10'000'000, 1);
}
BENCHMARK(BM_MixedLoopLargeBudget)->Unit(benchmark::kMillisecond);

void BM_MixedLoop1000CycleSlices(benchmark::State& state) {
    runSlices(state, 1000, 10'000);
}
BENCHMARK(BM_MixedLoop1000CycleSlices)->Unit(benchmark::kMillisecond);

// The same loop with the debugger's checks on: breakpoints the loop never reaches, or a write
// watchpoint on a byte it never writes in the page it works in, so every access there takes the slow
// path.
void withPoints(benchmark::State& state, PointKind kind, int count, std::uint16_t first) {
    std::string message;
    for (int n = 0; n < count; ++n) {
        const auto address = static_cast<std::uint16_t>(first + n);
        if (!breakpointAdd(kind, address, address, "", message)) state.SkipWithError(message.c_str());
    }
    runSlices(state, 10'000'000, 1);
    breakpointRemoveAll();
}

void BM_MixedLoop8Breakpoints(benchmark::State& state) {
    withPoints(state, PointKind::Exec, 8, 0x0280);
}
BENCHMARK(BM_MixedLoop8Breakpoints)->Unit(benchmark::kMillisecond);

void BM_MixedLoopWriteWatchOnItsPage(benchmark::State& state) {
    withPoints(state, PointKind::Write, 1, 0x03F0);
}
BENCHMARK(BM_MixedLoopWriteWatchOnItsPage)->Unit(benchmark::kMillisecond);

} // namespace
