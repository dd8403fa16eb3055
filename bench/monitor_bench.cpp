#include "base/run_inputs.h"
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

} // namespace
