#include "control/run_state.h"

namespace orv {

RunState runState;

} // namespace orv
