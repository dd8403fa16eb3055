// One run of orv-run: the board switched on, loaded, run to its stop, reported and checked.
#pragma once

#include "runner/options.h"

#include <string>
#include <string_view>

namespace orv {

// The monitor image the board's ROM is loaded from, Intel HEX text, built into orv-run.
std::string_view monitorImageText();

// Runs the board as the options ask. The reports go to `out`, failures and warnings to `err`, each
// line starting "orv-run: ". Returns the exit status, RUN_PASSED, RUN_FAILED or RUN_BAD_USAGE.
int runBoard(const RunOptions& options, std::string& out, std::string& err);

} // namespace orv
