#include "base/run_inputs.h"
#include "control/main_window.h"
#include "control/menus.h"
#include "panel/layout.h"
#include "panel/panel_widget.h"
#include "program/program_fixture.h"
#include "settings/flags.h"
#include "settings/settings.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPushButton>
#include <gtest/gtest.h>

#include <string>

namespace orv {
namespace {

using test::relayout;
using test::resizeClient;

class LayoutTest : public ::testing::Test {
  protected:
    void SetUp() override {
        savedScreen = {settings.screenWidth, settings.screenHeight};
        savedPlace = windowParts.mainWindow->pos();
        savedRect = settings.windowRect;
        switches.keys = 1;
        runInputs.debug = 0;
    }
    void TearDown() override {
        settings.screenWidth = savedScreen.first;
        settings.screenHeight = savedScreen.second;
        switches.keys = 1;
        runInputs.debug = 0;
        runInputs.diag = 0;
        relayout(400);
        windowParts.mainWindow->move(savedPlace);
        test::settleUntil([&] { return windowParts.mainWindow->pos() == savedPlace; }, 5000);
        settings.windowRect = savedRect;
    }
    std::pair<int, int> savedScreen;
    QPoint savedPlace;
    WindowRect savedRect{};
};

TEST_F(LayoutTest, ClientWidthChoosesScaleAndWindowSnapsToIt) {
    settings.screenWidth = 1024;
    settings.screenHeight = 768;
    struct Case {
        int width, scale;
    };
    for (const Case c : {Case{250, 2}, Case{799, 7}, Case{800, 8}, Case{150, 2}, Case{560, 5}}) {
        SCOPED_TRACE(c.width);
        const int before = panelLayout.scale;
        runInputs.diag = 1;
        testing::internal::CaptureStdout();
        resizeClient(c.width, 300);
        const std::string trace = testing::internal::GetCapturedStdout();
        runInputs.diag = 0;
        // The size the layout was given, and the scale it chose when that changed.
        const std::string given = "wd: " + std::to_string(c.width) + " 300 \n";
        const std::string chosen = "--- new scale: " + std::to_string(c.scale) + " ---\n";
        EXPECT_NE(trace.find(before == c.scale ? given : given + chosen), std::string::npos) << trace;
        EXPECT_EQ(panelLayout.scale, c.scale);
        EXPECT_EQ(windowParts.panelWidget->width(), 100 * c.scale);
        EXPECT_EQ(windowParts.panelWidget->height(), 90 * c.scale);
    }
    resizeClient(250, 500);
    EXPECT_EQ(windowParts.panelWidget->size(), QSize(200, 180));
}

TEST_F(LayoutTest, ScaleIsTheLargestWhoseWindowFitsTheScreen) {
    struct Case {
        int screenWidth, screenHeight;
        bool keys, debug;
    };
    for (const Case c :
         {Case{1024, 768, true, false}, Case{1024, 768, true, true}, Case{800, 600, true, true},
          Case{1920, 1080, false, false}, Case{1280, 1024, false, true}}) {
        SCOPED_TRACE(testing::Message()
                     << c.screenWidth << "x" << c.screenHeight << " keys " << c.keys << " debug " << c.debug);
        settings.screenWidth = c.screenWidth;
        settings.screenHeight = c.screenHeight;
        switches.keys = c.keys;
        runInputs.debug = c.debug;
        // Far more room than the screen has, as a maximized window on a wider screen offers.
        resizeClient(3000, 3000);
        const QSize outer = windowParts.mainWindow->frameGeometry().size();
        const QSize around = outer - windowParts.panelWidget->size();
        EXPECT_LE(outer.width(), c.screenWidth);
        EXPECT_LE(outer.height(), c.screenHeight);
        // One step more no longer fits: the debug panel grows with the scale, if at all.
        const int units = c.keys ? 90 : 17;
        EXPECT_TRUE((panelLayout.scale + 1) * 100 + around.width() > c.screenWidth ||
                    (panelLayout.scale + 1) * units + panelLayout.debugPanelHeight + around.height() >
                        c.screenHeight)
            << "scale " << panelLayout.scale;
        EXPECT_EQ(windowParts.panelWidget->size(),
                  QSize(100 * panelLayout.scale, units * panelLayout.scale + panelLayout.debugPanelHeight));
    }
}

// A place is read from the window once it shows, where it is then, and begins on the screen: a frame
// past the top or left edge (a maximized window's border) is kept at the edge.
TEST_F(LayoutTest, ThePlaceReadIsTheShownFrameOnTheScreen) {
    relayout(400);
    const QSize outer = windowParts.mainWindow->frameGeometry().size();
    struct Case {
        QPoint moved, read;
    };
    for (const Case c : {Case{{30, 40}, {30, 40}}, Case{{-5, -7}, {0, 0}}, Case{{-5, 40}, {0, 40}}}) {
        SCOPED_TRACE(testing::Message() << c.moved.x() << "," << c.moved.y());
        windowParts.mainWindow->move(c.moved);
        ASSERT_TRUE(test::settleUntil(
            [&] { return windowParts.mainWindow->frameGeometry().topLeft() == c.moved; }, 5000));
        settings.windowRect = {-1, 0, 0, 0};
        ASSERT_TRUE(readWindowPlace());
        EXPECT_EQ(settings.windowRect.left, c.read.x());
        EXPECT_EQ(settings.windowRect.top, c.read.y());
        EXPECT_EQ(settings.windowRect.right - settings.windowRect.left, outer.width());
        EXPECT_EQ(settings.windowRect.bottom - settings.windowRect.top, outer.height());
    }
}

// Zoom and the view switches keep the window where it is and as wide as it is, even when no place
// was recorded yet (a first start, where the window manager chose it).
TEST_F(LayoutTest, ZoomAndViewSwitchesKeepTheWindowWhereItIs) {
    windowParts.mainWindow->move(30, 40);
    relayout(400);
    ASSERT_TRUE(test::settleUntil(
        [] { return windowParts.mainWindow->frameGeometry().topLeft() == QPoint(30, 40); }, 5000));
    struct Case {
        const char* name;
        void (*request)();
        int scale;
    };
    for (const Case& c :
         {Case{"zoom in", [] { zoomWindow(1); }, 5}, Case{"zoom out", [] { zoomWindow(-1); }, 4},
          Case{"debug panel on", toggleDebug, 4}, Case{"debug panel off", toggleDebug, 4},
          Case{"keypad off", toggleKeys, 4}, Case{"keypad on", toggleKeys, 4}}) {
        SCOPED_TRACE(c.name);
        settings.windowRect = {-1, 0, 0, 0};
        test::layoutAfter(c.request);
        EXPECT_EQ(windowParts.mainWindow->frameGeometry().topLeft(), QPoint(30, 40));
        EXPECT_EQ(panelLayout.scale, c.scale);
    }
}

TEST_F(LayoutTest, KeysSitOnTheirGridWithLegendsAboveThem) {
    relayout(300);
    ASSERT_EQ(panelLayout.scale, 3);
    EXPECT_EQ(panelLayout.keyLabelAnchors[0], QPoint(43, 220));
    for (int i = 0; i < KEY_COUNT; ++i) {
        SCOPED_TRACE(i);
        // The hex keys a 4 x 4 block, "0" bottom left; the function keys two columns of four, top to
        // bottom; the reset key alone above the second column.
        const QPoint place = i < 16   ? QPoint(10 + 13 * (i % 4), 74 - 12 * (i / 4))
                             : i < 24 ? QPoint(67 + 13 * ((i - 16) / 4), 38 + 12 * ((i - 16) % 4))
                                      : QPoint(80, 26);
        const QRect button = windowParts.keyButtons[i]->geometry();
        EXPECT_TRUE(windowParts.keyButtons[i]->isVisible());
        EXPECT_EQ(button, QRect(place * 3, QSize(27, 15)));
        EXPECT_EQ(panelLayout.keyLabelAnchors[i], QPoint(button.left() + 13, button.top() - 2));
    }
}

TEST_F(LayoutTest, KeypadOffLeavesTheDisplayPanelAlone) {
    relayout(400);
    switches.keys = 0;
    relayout(400);
    EXPECT_EQ(windowParts.panelWidget->size(), QSize(400, 17 * 4));
    for (QPushButton* button : windowParts.keyButtons) EXPECT_FALSE(button->isVisible());
    switches.keys = 1;
    relayout(400);
    EXPECT_EQ(windowParts.panelWidget->size(), QSize(400, 90 * 4));
    for (QPushButton* button : windowParts.keyButtons) EXPECT_TRUE(button->isVisible());
}

TEST_F(LayoutTest, DebugFontFitsTheRegisterLine) {
    runInputs.debug = 1;
    relayout(500);
    ASSERT_EQ(panelLayout.scale, 5);
    EXPECT_EQ(debugFontWidth(), 13);
    const QFontMetricsF metrics(panelLayout.debugFont);
    EXPECT_NEAR(metrics.horizontalAdvance(QString(37, QChar('0'))), 37 * 13.0, 0.5);
    EXPECT_NEAR(metrics.horizontalAdvance("PC:0200 A:00 X:ff Y:00 --1--IZ- SP:fd"), 37 * 13.0, 0.5);
    EXPECT_TRUE(QFontInfo(panelLayout.debugFont).fixedPitch());
    EXPECT_TRUE(QFontInfo(panelLayout.debugFont).bold());

    const QFontMetrics measured(panelLayout.debugFont);
    EXPECT_EQ(panelLayout.debugLineHeight, measured.height() + std::max(0, measured.leading()));
    EXPECT_GT(panelLayout.debugLineHeight, 13);
    EXPECT_EQ(windowParts.panelWidget->height(), 450 + 2 * panelLayout.debugLineHeight + 5);
    EXPECT_EQ(panelLayout.registerLineY, 450 + panelLayout.debugLineHeight + 2);
    EXPECT_EQ(panelLayout.memoryLineY, panelLayout.registerLineY + panelLayout.debugLineHeight + 4);
    EXPECT_EQ(panelLayout.debugArea, QRect(0, 450, 500, 2 * panelLayout.debugLineHeight + 5));

    // At every scale 37 characters fill the panel less 5 pixels, or nearly.
    for (int width : {200, 300, 700}) {
        relayout(width);
        SCOPED_TRACE(panelLayout.scale);
        const double line = QFontMetricsF(panelLayout.debugFont).horizontalAdvance(QString(37, QChar('M')));
        EXPECT_NEAR(line, 37.0 * ((100 * panelLayout.scale - 5) / 37), 0.5);
    }
}

TEST_F(LayoutTest, LabelFontCellIsFiveUnitsHigh) {
    for (int width : {200, 400, 600}) {
        relayout(width);
        SCOPED_TRACE(panelLayout.scale);
        const int cell = QFontMetrics(panelLayout.labelFont).height();
        EXPECT_LE(cell, 5 * panelLayout.scale);
        EXPECT_GE(cell, 5 * panelLayout.scale - 2);
    }
}

TEST_F(LayoutTest, ZoomStepsOneScaleAndKeepsTheLimits) {
    relayout(400);
    ASSERT_EQ(panelLayout.scale, 4);
    struct Case {
        int delta, scale;
    };
    // From 2 the step down asks for a window too small for any scale, and the window snaps back.
    for (const Case c : {Case{+1, 5}, Case{-1, 4}, Case{-2, 2}, Case{-1, 2}}) {
        SCOPED_TRACE(c.delta);
        test::layoutAfter([&] { zoomWindow(c.delta); });
        EXPECT_EQ(panelLayout.scale, c.scale);
        EXPECT_EQ(windowParts.panelWidget->width(), 100 * c.scale);
    }
}

TEST_F(LayoutTest, EmptyClientAreaOfAMinimizedWindowChangesNothing) {
    relayout(300);
    const QRect before = panelLayout.ledArea;
    layoutPanel(0, 0);
    EXPECT_EQ(panelLayout.scale, 3);
    EXPECT_EQ(panelLayout.ledArea, before);
}

} // namespace
} // namespace orv
