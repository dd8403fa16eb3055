#include "base/run_inputs.h"
#include "control/keypad.h"
#include "control/main_window.h"
#include "machine/cpu.h"
#include "machine/latch.h"
#include "panel/layout.h"
#include "panel/paint.h"
#include "panel/panel_widget.h"
#include "program/program_fixture.h"
#include "settings/flags.h"
#include "tape/tape.h"

#include <QPainter>
#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

namespace orv {
namespace {

using test::grabPanel;
using test::relayout;

const QRgb BACKGROUND = qRgb(51, 51, 51);
const QRgb BODY = qRgb(255, 102, 153);
const QRgb HIGHLIGHT = qRgb(255, 204, 153);
const QRgb BLACK = qRgb(0, 0, 0);
const QRgb WHITE = qRgb(255, 255, 255);
const QRgb DARK = qRgb(102, 102, 102);
const QRgb RED = qRgb(255, 0, 0);
const QRgb MARKER = qRgb(255, 0, 255);

QRgb at(const QImage& image, int x, int y) {
    return image.pixel(x, y) | 0xFF000000u;
}

class PaintTest : public ::testing::Test {
  protected:
    void SetUp() override {
        savedDigits = latch.digitSegments;
        switches.keys = 1;
        runInputs.debug = 0;
        tape.tapeState = 0;
        latch.digitSegments.fill(0);
    }
    void TearDown() override {
        latch.digitSegments = savedDigits;
        switches.keys = 1;
        runInputs.debug = 0;
        tape.tapeState = 0;
        runInputs.halted = true;
        keyInput.debugMode = DEBUG_IDLE;
        runInputs.diag = 0;
        relayout(400);
    }
    // The panel painted as the platform would for an update of `area`: drawing clipped to it.
    void paintInto(QImage& image, const QRect& area) {
        QPainter painter(&image);
        painter.setClipRect(area);
        paintPanel(painter, area);
    }
    std::array<std::uint8_t, 8> savedDigits;
};

TEST_F(PaintTest, TopSegmentAtScaleFiveHasCutCornersAndAHighlight) {
    relayout(500);
    ASSERT_EQ(panelLayout.scale, 5);
    latch.digitSegments[0] = 0x01;
    const QImage image = grabPanel();
    for (int y = 15; y < 20; ++y) {
        for (int x = 35; x < 70; ++x) {
            SCOPED_TRACE(testing::Message() << x << "," << y);
            const bool corner = (x == 35 || x == 69) && (y == 15 || y == 19);
            const bool highlight = x >= 40 && x < 65 && y == 17;
            if (corner) {
                EXPECT_NE(at(image, x, y), BODY);
                EXPECT_NE(at(image, x, y), HIGHLIGHT);
            } else {
                EXPECT_EQ(at(image, x, y), highlight ? HIGHLIGHT : BODY);
            }
        }
    }
    // Its unlit neighbours f and b show black where the lit segment leaves their pixels.
    EXPECT_EQ(at(image, 35, 19), BLACK);
    EXPECT_EQ(at(image, 69, 19), BLACK);
    for (auto [x, y] : {std::pair{34, 17}, {70, 17}, {50, 14}, {50, 20}})
        EXPECT_EQ(at(image, x, y), BACKGROUND);
}

TEST_F(PaintTest, ScaleTwoDrawsPlainRectangles) {
    relayout(200);
    ASSERT_EQ(panelLayout.scale, 2);
    latch.digitSegments[0] = 0xFF;
    const QImage image = grabPanel();
    for (int y = 6; y < 8; ++y)
        for (int x = 14; x < 28; ++x) EXPECT_EQ(at(image, x, y), BODY) << x << "," << y;
    // The point: a 2 x 2 square.
    for (auto [x, y] : {std::pair{30, 26}, {31, 26}, {30, 27}, {31, 27}}) EXPECT_EQ(at(image, x, y), BODY);
    for (auto [x, y] : {std::pair{32, 26}, {29, 26}, {30, 25}, {30, 28}})
        EXPECT_EQ(at(image, x, y), BACKGROUND);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ASSERT_NE(at(image, x, y), HIGHLIGHT) << x << "," << y;
}

TEST_F(PaintTest, ScaleThreeHasOnePixelHighlightsAndCutCorners) {
    relayout(300);
    ASSERT_EQ(panelLayout.scale, 3);
    latch.digitSegments[0] = 0xFF;
    const QImage image = grabPanel();
    // Segment b, (39, 9) to (42, 27): highlight column 40 from row 12 to 23.
    for (int y = 12; y < 24; ++y) EXPECT_EQ(at(image, 40, y), HIGHLIGHT) << y;
    EXPECT_EQ(at(image, 40, 11), BODY);
    EXPECT_EQ(at(image, 40, 24), BODY);
    EXPECT_EQ(at(image, 39, 15), BODY);
    EXPECT_EQ(at(image, 41, 15), BODY);
    // Segment a, (21, 9) to (42, 12): highlight row 10 from column 24 to 38.
    for (int x = 24; x < 39; ++x) EXPECT_EQ(at(image, x, 10), HIGHLIGHT) << x;
    EXPECT_EQ(at(image, 23, 10), BODY);
    EXPECT_EQ(at(image, 39, 10), BODY);
    EXPECT_EQ(at(image, 24, 9), BODY);
    EXPECT_EQ(at(image, 24, 11), BODY);
    // Outer corners, cut from a and from the vertical segments meeting it.
    EXPECT_EQ(at(image, 21, 9), BACKGROUND);
    EXPECT_EQ(at(image, 41, 9), BACKGROUND);
    EXPECT_EQ(at(image, 22, 9), BODY);
}

TEST_F(PaintTest, SegmentsLieWhereTheirLettersSay) {
    enum { A, B, C, D, E, F, G, POINT };
    // Groups of segments whose centres stand level, in order down the digit and then across it.
    const std::vector<std::vector<int>> down = {{A}, {F, B}, {G}, {E, C}, {D, POINT}};
    const std::vector<std::vector<int>> across = {{F, E}, {A, G, D}, {B, C}, {POINT}};
    for (const bool vertical : {true, false}) {
        auto centre = [&](int bit) {
            const SegmentBox& g = segmentBoxes[bit];
            return vertical ? g.top + g.bottom : g.left + g.right;
        };
        const auto& order = vertical ? down : across;
        for (std::size_t i = 0; i < order.size(); ++i) {
            for (int bit : order[i]) {
                SCOPED_TRACE(testing::Message() << (vertical ? "down " : "across ") << bit);
                EXPECT_EQ(centre(bit), centre(order[i][0]));
                if (i > 0) {
                    EXPECT_GT(centre(bit), centre(order[i - 1][0]));
                }
            }
        }
    }
    for (int bit = 0; bit < 8; ++bit) {
        const SegmentBox& g = segmentBoxes[bit];
        const int width = g.right - g.left, height = g.bottom - g.top;
        EXPECT_EQ(g.shape, width > 1    ? SegmentShape::Horizontal
                           : height > 1 ? SegmentShape::Vertical
                                        : SegmentShape::Point)
            << bit;
    }
}

TEST_F(PaintTest, EveryPatternBitLightsItsSegmentInEveryDigit) {
    relayout(500);
    const int s = panelLayout.scale;
    for (std::uint8_t pattern :
         {std::uint8_t{0xFF}, std::uint8_t{0x00}, std::uint8_t{0x80}, std::uint8_t{0x3F}}) {
        latch.digitSegments.fill(pattern);
        const QImage image = grabPanel();
        for (int p = 0; p < 8; ++p) {
            for (int bit = 0; bit < 8; ++bit) {
                SCOPED_TRACE(testing::Message()
                             << "pattern " << int(pattern) << " digit " << p << " bit " << bit);
                const QRect g = segmentRect(p, bit);
                // Inside the body, clear of highlight and of the joints where neighbours overlap.
                const bool horizontal = g.width() > s, vertical = g.height() > s;
                const int x = g.left() + (horizontal ? 3 * s : 0) + 1;
                const int y = g.top() + (vertical ? 2 * s : 0) + 1;
                EXPECT_EQ(at(image, x, y), (pattern >> bit) & 1 ? BODY : BLACK);
            }
        }
    }
}

TEST_F(PaintTest, DigitZeroIsLeftmostAtSevenUnits) {
    relayout(400);
    const int s = panelLayout.scale;
    latch.digitSegments[0] = 0xFF;
    latch.digitSegments[7] = 0xFF;
    const QImage image = grabPanel();
    EXPECT_EQ(at(image, 7 * s, 5 * s), BODY);
    EXPECT_EQ(at(image, 7 * s - 1, 5 * s), BACKGROUND);
    EXPECT_EQ(at(image, 84 * s, 5 * s), BODY);
    EXPECT_EQ(at(image, 84 * s - 1, 5 * s), BACKGROUND);
    EXPECT_EQ(at(image, 93 * s - 2, 14 * s - 2), BODY); // digit 7's point
    EXPECT_EQ(at(image, 93 * s, 14 * s - 2), BACKGROUND);
}

TEST_F(PaintTest, KeypadHiddenDrawsNoWhiteBesidesTheBevelAndNoLegends) {
    switches.keys = 0;
    relayout(400);
    const QImage image = grabPanel();
    ASSERT_EQ(image.size(), QSize(400, 68));
    const int r = 400, b = 68;
    std::set<std::pair<int, int>> bevel;
    for (int x = 2; x < r - 2; ++x) bevel.insert({x, b - 2});
    for (int y = 2; y <= b - 2; ++y) bevel.insert({r - 2, y});
    for (int x = 3; x < r - 3; ++x) bevel.insert({x, b - 3});
    for (int y = 3; y <= b - 3; ++y) bevel.insert({r - 3, y});
    std::set<std::pair<int, int>> white;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (at(image, x, y) == WHITE) white.insert({x, y});
    EXPECT_EQ(white, bevel);
}

TEST_F(PaintTest, KeypadShowsLegendsOnWhite) {
    relayout(400);
    const QImage image = grabPanel();
    EXPECT_EQ(at(image, 2, 100), WHITE);
    for (int i : {0, 15, 24}) {
        SCOPED_TRACE(i);
        const QPoint anchor = panelLayout.keyLabelAnchors[i];
        int ink = 0;
        for (int y = anchor.y() - 5 * panelLayout.scale; y < anchor.y(); ++y)
            for (int x = anchor.x() - 3 * panelLayout.scale; x < anchor.x() + 3 * panelLayout.scale; ++x)
                if (qGray(at(image, x, y)) < 100) ++ink;
        EXPECT_GT(ink, 5);
        // Nothing written below the anchor, between legend and key.
        for (int x = anchor.x() - 3 * panelLayout.scale; x < anchor.x() + 3 * panelLayout.scale; ++x)
            EXPECT_EQ(at(image, x, anchor.y() + 1), WHITE);
    }
}

TEST_F(PaintTest, TapeIndicatorShowsTheTapeState) {
    relayout(500);
    struct Case {
        std::uint8_t state;
        QRgb colour;
    };
    const Case cases[] = {
        {TAPE_RECORDING | TAPE_WAITING, qRgb(165, 51, 51)},
        {TAPE_RECORDING | TAPE_ACTIVE, qRgb(255, 51, 51)},
        {TAPE_RECORDING | TAPE_ENDED, qRgb(165, 51, 51)},
        {TAPE_PLAYING | TAPE_WAITING, qRgb(51, 165, 51)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.state));
        tape.tapeState = c.state;
        const QImage image = grabPanel();
        // The square (5, 5) to (20, 20), framed, with corner lines to the raised centre (8, 8) to (17, 17).
        EXPECT_EQ(at(image, 12, 12), c.colour);
        EXPECT_EQ(at(image, 9, 6), c.colour);
        for (auto [x, y] :
             {std::pair{5, 5}, {19, 19}, {5, 19}, {12, 5}, {6, 6}, {7, 7}, {18, 6}, {8, 12}, {16, 12}})
            EXPECT_EQ(at(image, x, y), BLACK) << x << "," << y;
        EXPECT_EQ(at(image, 20, 12), BACKGROUND);
    }
    tape.tapeState = 0;
    EXPECT_EQ(at(grabPanel(), 12, 12), BACKGROUND);
}

TEST_F(PaintTest, DebugPanelShowsRegistersWhileHaltedAndRunningOtherwise) {
    runInputs.debug = 1;
    relayout(500);
    const int w = 13, top = 450;
    auto inkRight = [&](const QImage& image, int bottom, QRgb colour) {
        int right = -1;
        for (int y = bottom - panelLayout.debugLineHeight; y < bottom; ++y)
            for (int x = 0; x < image.width(); ++x)
                if (at(image, x, y) == colour) right = std::max(right, x);
        return right;
    };
    for (int x : {0, 250, 499}) {
        const QImage image = grabPanel();
        EXPECT_EQ(at(image, x, top), DARK);
        EXPECT_EQ(at(image, x, top + 1), WHITE);
        EXPECT_EQ(at(image, x, panelLayout.registerLineY + 1), DARK);
        EXPECT_EQ(at(image, x, panelLayout.registerLineY + 2), WHITE);
    }

    runInputs.halted = true;
    const QImage registers = grabPanel();
    EXPECT_GT(inkRight(registers, panelLayout.registerLineY, BLACK), 5 + 35 * w);
    EXPECT_LE(inkRight(registers, panelLayout.registerLineY, BLACK), 5 + 37 * w);

    runInputs.halted = false;
    const QImage running = grabPanel();
    EXPECT_GT(inkRight(running, panelLayout.registerLineY, BLACK), 5 + 8 * w);
    EXPECT_LE(inkRight(running, panelLayout.registerLineY, BLACK), 5 + 10 * w);
    // No data byte and no fetch address while running: " M:xxxx.   G:xxxx P:xxxx".
    EXPECT_LE(inkRight(running, panelLayout.memoryLineY, BLACK), 5 + 24 * w);

    // The field being entered is red, only while halted.
    struct Field {
        std::uint8_t mode;
        int firstChar, chars;
    };
    for (const Field f : {Field{DEBUG_ADDRESS, 3, 4}, Field{DEBUG_DATA, 8, 2}, Field{DEBUG_GO, 13, 4},
                          Field{DEBUG_BREAKPOINT, 20, 4}}) {
        SCOPED_TRACE(int(f.mode));
        keyInput.debugMode = f.mode;
        runInputs.halted = true;
        const QImage image = grabPanel();
        int left = image.width(), right = -1;
        for (int y = panelLayout.memoryLineY - panelLayout.debugLineHeight; y < panelLayout.memoryLineY; ++y)
            for (int x = 0; x < image.width(); ++x)
                if (at(image, x, y) == RED) left = std::min(left, x), right = std::max(right, x);
        EXPECT_GE(left, 5 + f.firstChar * w);
        EXPECT_LT(right, 5 + (f.firstChar + f.chars) * w);
        EXPECT_GT(right, left);
        runInputs.halted = false;
        EXPECT_EQ(inkRight(grabPanel(), panelLayout.memoryLineY, RED), -1);
    }
    keyInput.debugMode = DEBUG_IDLE;
    runInputs.halted = true;
    EXPECT_EQ(inkRight(grabPanel(), panelLayout.memoryLineY, RED), -1);
}

TEST_F(PaintTest, FetchAddressIsBlankUntilSomethingRan) {
    const std::int32_t savedCycles = cpu.cycles;
    const std::uint16_t savedFetch = cpu.lastOpcodeAddr;
    cpu.cycles = 0;
    cpu.lastOpcodeAddr = 0x01FE;
    EXPECT_EQ(fetchAddressText(), "    ");
    cpu.cycles = 7;
    EXPECT_EQ(fetchAddressText(), "01fe");
    cpu.lastOpcodeAddr = 0xABCD;
    EXPECT_EQ(fetchAddressText(), "abcd");
    cpu.cycles = savedCycles;
    cpu.lastOpcodeAddr = savedFetch;
}

TEST_F(PaintTest, RepaintOfTheLedAreaDrawsOnlyChangedDigits) {
    relayout(400);
    for (int p = 0; p < 8; ++p) latch.digitSegments[p] = static_cast<std::uint8_t>(0x11 * p);
    QImage image(400, 360, QImage::Format_RGB32);
    paintInto(image, image.rect());

    image.fill(MARKER);
    paintInto(image, panelLayout.ledArea);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ASSERT_EQ(at(image, x, y), MARKER) << x << "," << y;

    latch.digitSegments[3] = 0xFF;
    paintInto(image, panelLayout.ledArea);
    EXPECT_EQ(drawing.paintedDigits[3], 0xFF);
    const QRect digit3(40 * 4, 3 * 4, 9 * 4, 11 * 4);
    int drawn = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (at(image, x, y) == MARKER) continue;
            ASSERT_TRUE(digit3.contains(x, y)) << x << "," << y;
            ++drawn;
        }
    }
    EXPECT_GT(drawn, 200);
    EXPECT_EQ(at(image, 40 * 4 + 1, 3 * 4 + 1), BODY);
}

TEST_F(PaintTest, DebugAreaRepaintLeavesThePanelAndDisplayRepaintLeavesTheKeypad) {
    runInputs.debug = 1;
    relayout(400);
    const int panelBottom = 360;
    QImage image(400, windowParts.panelWidget->height(), QImage::Format_RGB32);
    paintInto(image, image.rect());

    image.fill(MARKER);
    runInputs.diag = 1;
    testing::internal::CaptureStdout();
    paintInto(image, panelLayout.debugArea);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Debugger draw\n");
    runInputs.diag = 0;
    for (int x = 0; x < 400; x += 7) {
        EXPECT_EQ(at(image, x, panelBottom - 1), MARKER);
        EXPECT_NE(at(image, x, panelBottom), MARKER);
    }

    image.fill(MARKER);
    runInputs.diag = 1;
    testing::internal::CaptureStdout();
    paintInto(image, panelLayout.displayArea);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Background draw\n");
    runInputs.diag = 0;
    EXPECT_EQ(at(image, 200, 68), MARKER);
    EXPECT_EQ(at(image, 200, 67), qRgb(192, 192, 192));
    // All eight digits come back with the display panel.
    for (int p = 0; p < 8; ++p) EXPECT_NE(at(image, (11 * p + 7) * 4 + 1, 3 * 4 + 1), MARKER);
}

} // namespace
} // namespace orv
