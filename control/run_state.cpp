#include "control/run_state.h"

namespace orv {

std::atomic<std::int32_t> events{0};
std::atomic<std::int32_t> overruns{0};

} // namespace orv
