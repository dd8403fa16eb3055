#include "machine/host.h"
#include "machine/latch.h"
#include "support/board.h"
#include "support/host_stub.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

class LatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::boardClearDisplay();
        test::clearHostRecord();
    }
    int repaints() const { return test::repaintCount[AREA_LED]; }
};

TEST_F(LatchTest, LatchStoresAndRepaintsOnlyOnChange) {
    latchDigit(0x3F, 2);
    EXPECT_EQ(latch.digitSegments[2], 0x3F);
    EXPECT_EQ(latch.lastDigit, 2);
    EXPECT_EQ(repaints(), 1);
    fadeDigits();
    latchDigit(0x3F, 2);
    EXPECT_EQ(repaints(), 1) << "same pattern, no repaint";
    EXPECT_EQ(latch.digitTick[2], 1) << "but the age is refreshed";
    latchDigit(0x06, 2);
    EXPECT_EQ(repaints(), 2);
    latchDigit(0x00, 2);
    EXPECT_EQ(latch.digitSegments[2], 0x00);
    EXPECT_EQ(repaints(), 3);
    EXPECT_EQ(test::repaintCount[AREA_DISPLAY] + test::repaintCount[AREA_DEBUG], 0);
}

TEST_F(LatchTest, DigitGoesDarkAfterThreeTicksUnlessLatchedLast) {
    latchDigit(0x5B, 0);
    latchDigit(0x4F, 1);
    latchDigit(0x66, 3);
    const int before = repaints();
    fadeDigits();
    fadeDigits();
    EXPECT_EQ(latch.digitSegments[0], 0x5B);
    EXPECT_EQ(repaints(), before);
    fadeDigits();
    EXPECT_EQ(latch.digitSegments[0], 0);
    EXPECT_EQ(latch.digitSegments[1], 0);
    EXPECT_EQ(latch.digitSegments[3], 0x66);
    EXPECT_EQ(repaints(), before + 1) << "one repaint for the whole pass";
    for (int i = 0; i < 100; ++i) fadeDigits();
    EXPECT_EQ(latch.digitSegments[3], 0x66);
    EXPECT_EQ(repaints(), before + 1) << "nothing left to fade";
}

TEST_F(LatchTest, ScanningKeepsAllDigitsLitAndHaltingLeavesTheLastOne) {
    const std::uint8_t patterns[8] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80};
    for (int tick = 0; tick < 20; ++tick) {
        for (int d = 0; d < 8; ++d) latchDigit(patterns[d], d);
        fadeDigits();
        for (int d = 0; d < 8; ++d) ASSERT_EQ(latch.digitSegments[d], patterns[d]) << tick << " " << d;
    }
    // The program stops halfway through a scan.
    for (int d = 0; d < 5; ++d) latchDigit(patterns[d], d);
    for (int tick = 0; tick < 3; ++tick) fadeDigits();
    for (int d = 0; d < 8; ++d) EXPECT_EQ(latch.digitSegments[d], d == 4 ? patterns[4] : 0) << d;
}

} // namespace
} // namespace orv
