// The cassette tape as the RIO's cassette port sees it.
#pragma once

#include <cstdint>

namespace orv {

// Records a change of the cassette output level while a recording runs; no effect otherwise.
void tapeOutputBit(int level, std::int32_t atCycles);
// The cassette input level: 1 while no tape plays.
int tapeInputBit(std::int32_t atCycles);

} // namespace orv
