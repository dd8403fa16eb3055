#include "settings/flags.h"

namespace orv {

Switches switches;

} // namespace orv
