// Calls out of the core to whatever hosts it. Defined once by the program and once by the tests.
#pragma once

namespace orv {

constexpr int AREA_LED = 1;
constexpr int AREA_DISPLAY = 2;
constexpr int AREA_DEBUG = 3;

// Invalidate one of the panel's areas without erasing.
void repaintArea(int area);

} // namespace orv
