// Painting the front panel: display panel with bevel and tape indicator, the eight LED digits
// (redrawn digit by digit when only they are invalid), the keypad legends and the debug panel.
#pragma once

#include "machine/panel_geometry.h"

#include <QBrush>
#include <QPen>

#include <array>
#include <cstdint>
#include <string>

class QPainter;
class QRect;

namespace orv {

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
