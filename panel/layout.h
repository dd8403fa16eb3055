// The front panel's layout: a grid 100 units wide whose unit is `scale` pixels, the key buttons'
// places, the legends' anchors, the three repaint areas and the two fonts.
#pragma once

#include "machine/keys.h"
#include "machine/panel_geometry.h"

#include <QFont>
#include <QPoint>
#include <QRect>

#include <array>
#include <cstdint>

namespace orv {

// The register line's length, which the debug font's width is made to fit.
constexpr int DEBUG_LINE_CHARS = 37;

struct PanelLayout {
    std::int32_t scale = 0;
    std::int32_t panelHeightUnits = KEYPAD_HEIGHT_UNITS; // more with the debug panel
    std::int32_t debugPanelHeight = 0;
    std::int32_t debugLineHeight = 0;
    std::int32_t registerLineY = 0;
    std::int32_t memoryLineY = 0;
    QFont debugFont;
    QFont labelFont;
    // Horizontal centre and text bottom of each key's legend.
    std::array<QPoint, KEY_COUNT> keyLabelAnchors{};
    QRect displayArea;
    QRect ledArea;
    QRect debugArea;
};

extern PanelLayout panelLayout;

// A rectangle given by its edges, right and bottom exclusive.
inline QRect edgeRect(int left, int top, int right, int bottom) {
    return QRect(left, top, right - left, bottom - top);
}

// Runs on every size of the client area (width x height pixels); snaps the window to the size the
// scale and the shown views need. The scale follows the width, but never makes the window larger
// than the screen.
int layoutPanel(int width, int height);
// Lays out a window not yet shown for its present width, and gives it the size that layout needs.
void layOutHiddenWindow();
// One scale step larger (+1) or smaller (-1).
void zoomWindow(int delta);

// The debug font's character width at the current scale, and at another.
int debugFontWidth();
int debugFontWidthAt(int atScale);

} // namespace orv
