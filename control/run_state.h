// Run state shared between run control and the pacer thread.
#pragma once

#include <atomic>
#include <cstdint>

namespace orv {

// Written by the pacer thread only.
extern std::atomic<std::int32_t> events;
extern std::atomic<std::int32_t> overruns;

} // namespace orv
