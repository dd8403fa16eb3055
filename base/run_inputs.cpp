#include "base/run_inputs.h"

namespace orv {

RunInputs runInputs;

} // namespace orv
