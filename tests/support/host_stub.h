// What the core asked of its host during a test: repaint requests, counted per area.
#pragma once

#include <array>

namespace orv::test {

extern std::array<int, 4> repaintCount;
void clearHostRecord();

} // namespace orv::test
