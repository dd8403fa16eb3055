// Run state shared between run control, the processor core and the pacer thread.
#pragma once

#include <atomic>
#include <cstdint>

namespace orv {

// True while the machine is not being paced. Written only by startRunning and haltRunning.
extern bool halted;
// The machine runs as fast as the host allows instead of at 1 MHz. Written only by the turbo command.
extern bool turbo;
// True while cpuExecute runs; read by the pacer thread.
extern std::atomic<bool> busy;
// Written by the pacer thread only.
extern std::atomic<std::int32_t> events;
extern std::atomic<std::int32_t> overruns;

} // namespace orv
