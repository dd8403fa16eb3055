// Painting the front panel: display panel with bevel and tape indicator, the eight LED digits
// (redrawn digit by digit when only they are invalid), the keypad legends and the debug panel.
#pragma once

#include <QBrush>
#include <QPen>

#include <array>
#include <cstdint>
#include <string>

class QPainter;
class QRect;

namespace orv {

enum class SegmentShape { Horizontal, Vertical, Point };
// One segment of a digit in units: x from the digit's left edge, right and bottom exclusive.
struct SegmentBox {
    int left, right, top, bottom;
    SegmentShape shape;
};
// Bit 0 (a, the top) to bit 7 (the decimal point) of a digit's pattern.
constexpr std::array<SegmentBox, 8> segmentBoxes = {{
    {0, 7, 3, 4, SegmentShape::Horizontal},
    {6, 7, 3, 9, SegmentShape::Vertical},
    {6, 7, 8, 14, SegmentShape::Vertical},
    {0, 7, 13, 14, SegmentShape::Horizontal},
    {0, 1, 8, 14, SegmentShape::Vertical},
    {0, 1, 3, 9, SegmentShape::Vertical},
    {0, 7, 8, 9, SegmentShape::Horizontal},
    {8, 9, 13, 14, SegmentShape::Point},
}};
// Digit 0 is the leftmost; the digits stand 11 units apart.
constexpr int digitLeftUnits(int position) {
    return 11 * position + 7;
}
// One segment of a digit in pixels at the current scale.
QRect segmentRect(int position, int bit);

struct Drawing {
    // The pattern on screen for each digit; -1: not on screen, drawn at the next digit pass.
    std::array<std::int32_t, 8> paintedDigits{};
    // The drawing objects, created once at start-up.
    QBrush blackBrush;
    QBrush frameBrush;
    QBrush debugBrush;
    QBrush whiteBrush;
    QBrush panelBrush;
    QBrush playActiveBrush;
    QBrush playIdleBrush;
    QBrush recordActiveBrush;
    QBrush recordIdleBrush;
    QBrush segmentBrush;
    QBrush highlightBrush;
    QPen whitePen;
    QPen blackPen;
    QPen darkPen;
};

extern Drawing drawing;

void createDrawingObjects();

// Paints what the update rectangle (the bounding rectangle of the invalid region) asks for.
int paintPanel(QPainter& painter, const QRect& update);
void paintDigit(QPainter& painter, int position);
void paintDebugPanel(QPainter& painter);
// Four blanks before anything has run, else the address of the last fetched opcode.
std::string fetchAddressText();

} // namespace orv
