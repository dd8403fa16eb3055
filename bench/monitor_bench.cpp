#include "base/run_inputs.h"
#include "debugger/rewind.h"
#include "machine/cpu.h"
#include "settings/flags.h"
#include "support/board.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

namespace {

using namespace orv;

// The monitor after a reset, waiting in its command loop: the display scan with its keypad reads and
// digit latches, which is what the board spends nearly all its time on. Run as the program runs it,
// in 1,000-cycle slices with a fading pass every 50,000 cycles; one iteration is one emulated second.
void BM_MonitorIdleScan(benchmark::State& state) {
    runInputs.diag = 0;
    std::string message;
    if (!test::boardPowerOn(message)) {
        state.SkipWithError(message.c_str());
        return;
    }
    test::boardReset();
    runInputs.halted = false;
    std::uint64_t emulated = 0;
    for (auto _ : state) {
        const auto before = static_cast<std::uint32_t>(cpu.cycles);
        if (test::boardRun(1'000'000) != 0) {
            state.SkipWithError("the monitor stopped");
            break;
        }
        emulated += static_cast<std::uint32_t>(cpu.cycles) - before;
    }
    runInputs.halted = true;
    state.counters["MHz"] =
        benchmark::Counter(static_cast<double>(emulated) / 1e6, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MonitorIdleScan)->Unit(benchmark::kMillisecond);

// Step Back with 10,000 instructions of the monitor's scan behind it, stepped as the debugger steps: one
// iteration is one instruction back, which restores the last record before it and runs up to it again.
void BM_StepBack(benchmark::State& state) {
    std::string message;
    if (!test::boardPowerOn(message)) {
        state.SkipWithError(message.c_str());
        return;
    }
    test::boardReset();
    rewindSwitch(true);
    for (auto _ : state) {
        state.PauseTiming();
        for (int n = 0; n < 10'000; ++n) {
            std::uint8_t status = 0;
            cpuExecute(0, status);
        }
        state.ResumeTiming();
        if (rewindStepBack(message) != RewindResult::Moved) {
            state.SkipWithError(message.c_str());
            break;
        }
    }
    rewindSwitch(false);
}
BENCHMARK(BM_StepBack)->Unit(benchmark::kMillisecond);

} // namespace
