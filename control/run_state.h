// Run state shared between run control and the pacer thread.
#pragma once

#include <atomic>
#include <cstdint>

namespace orv {

// Written by the pacer thread only.
struct RunState {
    std::atomic<std::int32_t> events{0};
    std::atomic<std::int32_t> overruns{0};
};

extern RunState runState;

} // namespace orv
