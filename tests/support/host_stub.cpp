#include "support/host_stub.h"

#include "machine/host.h"

namespace orv {

void repaintArea(int area) {
    if (area >= 0 && area < static_cast<int>(test::repaintCount.size())) ++test::repaintCount[area];
}

namespace test {

std::array<int, 4> repaintCount{};

void clearHostRecord() {
    repaintCount.fill(0);
}

} // namespace test
} // namespace orv
