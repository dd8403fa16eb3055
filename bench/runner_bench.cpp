#include "machine/cpu.h"
#include "runner/run.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace {

using namespace orv;

// Whole runs of orv-run, from switching on to the reports: one iteration is one run, and the emulated
// MHz are its cycles over the time it took.
void runAndCount(benchmark::State& state, const RunOptions& options) {
    std::uint64_t emulated = 0;
    for (auto _ : state) {
        std::string out, err;
        if (runBoard(options, out, err) != RUN_PASSED) {
            state.SkipWithError(err.c_str());
            break;
        }
        emulated += static_cast<std::uint32_t>(cpu.cycles);
    }
    state.counters["MHz"] =
        benchmark::Counter(static_cast<double>(emulated) / 1e6, benchmark::Counter::kIsRate);
}

// A program test: a program of 65,536 passes through a loop with a read-modify-write of memory, about
// 720,000 cycles, that ends in BRK, then its result checked.
RunOptions programTest() {
    RunOptions options;
    // LDY #0; LDX #0; INC $0300; DEX; BNE; DEY; BNE; BRK
    options.pokes = {
        {0x0200, {0xA0, 0x00, 0xA2, 0x00, 0xEE, 0x00, 0x03, 0xCA, 0xD0, 0xFA, 0x88, 0xD0, 0xF5, 0x00}},
        {0x0300, {0x00}}};
    options.pc = 0x0200;
    options.cycles = 100'000'000;
    options.expect = {{0x0300, {0x00}}};
    return options;
}

void BM_RunnerProgramTest(benchmark::State& state) {
    runAndCount(state, programTest());
}
BENCHMARK(BM_RunnerProgramTest)->Unit(benchmark::kMillisecond);

// The same program test traced to a file, a line for each of its instructions (about 330,000).
void BM_RunnerProgramTestTraced(benchmark::State& state) {
    RunOptions options = programTest();
    options.trace = (std::filesystem::temp_directory_path() / "orv_bench_trace.log").string();
    runAndCount(state, options);
    std::filesystem::remove(options.trace);
}
BENCHMARK(BM_RunnerProgramTestTraced)->Unit(benchmark::kMillisecond);

// Keys typed into the monitor and the display watched: the monitor's scan for the default ten seconds
// of the board's time.
void BM_RunnerMonitorKeys(benchmark::State& state) {
    RunOptions options;
    std::string message;
    parseKeyScript("m0200^12^34^56", options.keys, message);
    options.show = {{ShowItem::Display, {}}};
    runAndCount(state, options);
}
BENCHMARK(BM_RunnerMonitorKeys)->Unit(benchmark::kMillisecond);

} // namespace
