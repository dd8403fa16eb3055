#include "panel/paint.h"

#include "base/run_inputs.h"
#include "base/text_format.h"
#include "base/trace.h"
#include "control/keypad.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/keys.h"
#include "machine/latch.h"
#include "panel/layout.h"
#include "settings/flags.h"
#include "settings/settings.h"
#include "tape/tape.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRect>

#include <string>

namespace orv {

Drawing drawing;

namespace {

void fill(QPainter& p, const QBrush& brush, int left, int top, int right, int bottom) {
    if (right > left && bottom > top) p.fillRect(left, top, right - left, bottom - top, brush);
}

void fill(QPainter& p, const QBrush& brush, const QRect& r) {
    fill(p, brush, r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
}

// A one-pixel border inside the rectangle.
void frame(QPainter& p, const QBrush& brush, int left, int top, int right, int bottom) {
    fill(p, brush, left, top, right, top + 1);
    fill(p, brush, left, bottom - 1, right, bottom);
    fill(p, brush, left, top + 1, left + 1, bottom - 1);
    fill(p, brush, right - 1, top + 1, right, bottom - 1);
}

// A pen's line from one point towards another, the end point left out; horizontal, vertical and
// diagonal lines are all this panel draws. The pen position moves on to the end point.
struct Pen {
    QPainter& painter;
    QBrush brush;
    int x = 0, y = 0;

    void moveTo(int toX, int toY) {
        x = toX;
        y = toY;
    }
    void lineTo(int toX, int toY) {
        const int dx = toX > x ? 1 : toX < x ? -1 : 0;
        const int dy = toY > y ? 1 : toY < y ? -1 : 0;
        if (dy == 0) {
            fill(painter, brush, dx > 0 ? x : toX + 1, y, dx > 0 ? toX : x + 1, y + 1);
        } else if (dx == 0) {
            fill(painter, brush, x, dy > 0 ? y : toY + 1, x + 1, dy > 0 ? toY : y + 1);
        } else {
            for (int px = x, py = y; px != toX && py != toY; px += dx, py += dy)
                fill(painter, brush, px, py, px + 1, py + 1);
        }
        moveTo(toX, toY);
    }
};

void drawSegment(QPainter& p, SegmentShape shape, const QRect& r, const QBrush& body,
                 const QBrush& highlight) {
    const int left = r.left(), top = r.top(), right = r.left() + r.width(), bottom = r.top() + r.height();
    const int s = panelLayout.scale;
    if (s <= 2) {
        fill(p, body, left, top, right, bottom);
        return;
    }
    // Two overlapping fills leave the four corner pixels out.
    if (shape == SegmentShape::Horizontal) {
        fill(p, body, left + 1, top, right - 1, bottom);
        fill(p, body, left, top + 1, right, bottom - 1);
    } else {
        fill(p, body, left, top + 1, right, bottom - 1);
        fill(p, body, left + 1, top, right - 1, bottom);
    }
    const int in = (s + 1) / 3, thick = s / 3;
    switch (shape) {
    case SegmentShape::Vertical: fill(p, highlight, left + in, top + s, left + in + thick, bottom - s); break;
    case SegmentShape::Horizontal: fill(p, highlight, left + s, top + in, right - s, top + in + thick); break;
    case SegmentShape::Point:
        fill(p, highlight, left + in, top + in, left + in + thick, top + in + thick);
        break;
    }
}

void paintTapeIndicator(QPainter& p) {
    const int s = panelLayout.scale;
    const int left = 5, top = 5, right = 5 + 3 * s, bottom = 5 + 3 * s;
    const QBrush* colour;
    if (tape.tapeState & TAPE_RECORDING)
        colour = (tape.tapeState & TAPE_ACTIVE) ? &drawing.recordActiveBrush : &drawing.recordIdleBrush;
    else
        colour = tapeActive(cpu.cycles) ? &drawing.playActiveBrush : &drawing.playIdleBrush;
    fill(p, *colour, left, top, right, bottom);
    frame(p, drawing.blackBrush, left, top, right, bottom);
    if (s > 2) {
        const int v = (s + 1) / 2;
        Pen pen{p, drawing.blackPen.brush()};
        pen.moveTo(left, top);
        pen.lineTo(left + v, top + v);
        pen.moveTo(right - 1, top);
        pen.lineTo(right - 1 - v, top + v);
        pen.moveTo(left, bottom - 1);
        pen.lineTo(left + v, bottom - 1 - v);
        pen.moveTo(right - 1, bottom - 1);
        pen.lineTo(right - 1 - v, bottom - 1 - v);
        frame(p, drawing.blackBrush, left + v, top + v, right - v, bottom - v);
    }
}

void paintBackground(QPainter& p) {
    const int s = panelLayout.scale;
    trace("Background draw\n");
    drawing.paintedDigits.fill(-1);

    fill(p, drawing.panelBrush, panelLayout.displayArea);
    frame(p, drawing.frameBrush, panelLayout.displayArea.left(), panelLayout.displayArea.top(),
          panelLayout.displayArea.left() + panelLayout.displayArea.width(),
          panelLayout.displayArea.top() + panelLayout.displayArea.height());

    // Sunk into the front panel: dark along the top and left inner edges, light along the others.
    const int l = 0, t = 0, r = PANEL_WIDTH_UNITS * s, b = DISPLAY_HEIGHT_UNITS * s;
    Pen dark{p, drawing.darkPen.brush()};
    dark.moveTo(l + 1, b - 2);
    dark.lineTo(l + 1, t + 1);
    dark.lineTo(r - 1, t + 1);
    dark.moveTo(l + 2, b - 3);
    dark.lineTo(l + 2, t + 2);
    dark.lineTo(r - 2, t + 2);
    Pen light{p, drawing.whitePen.brush()};
    light.moveTo(l + 2, b - 2);
    light.lineTo(r - 2, b - 2);
    light.lineTo(r - 2, t + 1);
    light.moveTo(l + 3, b - 3);
    light.lineTo(r - 3, b - 3);
    light.lineTo(r - 3, t + 2);

    if (tape.tapeState != 0) paintTapeIndicator(p);

    if (switches.keys) {
        fill(p, drawing.whiteBrush, 0, DISPLAY_HEIGHT_UNITS * s, PANEL_WIDTH_UNITS * s + 1,
             s * panelLayout.panelHeightUnits + 1);
        p.setFont(panelLayout.labelFont);
        p.setPen(QColor(0, 0, 0));
        const QFontMetrics metrics(panelLayout.labelFont);
        for (int i = 0; i < KEY_COUNT; ++i) {
            const std::string_view text = keyTable[static_cast<std::size_t>(i)].legend;
            const QString legend = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
            const QPoint anchor = panelLayout.keyLabelAnchors[i];
            // Centred on the anchor, the bottom of the character cell on it.
            p.drawText(anchor.x() - metrics.horizontalAdvance(legend) / 2, anchor.y() - metrics.descent(),
                       legend);
        }
    }
}

// Text whose cell bottom stands at the pen position, which moves on past it.
struct TextPen {
    QPainter& painter;
    const QFontMetrics metrics;
    int x, y;

    void write(const char* text, const QColor& colour) {
        const QString s = QString::fromLatin1(text);
        painter.setPen(colour);
        painter.drawText(x, y - metrics.descent(), s);
        x += metrics.horizontalAdvance(s);
    }
};

} // namespace

void createDrawingObjects() {
    const auto colour = [](PanelColour c) { return QColor::fromRgb(panelColours[c]); };
    drawing.blackBrush = QBrush(colour(COLOUR_BLACK));
    drawing.frameBrush = QBrush(colour(COLOUR_FRAME));
    drawing.debugBrush = QBrush(colour(COLOUR_DEBUG));
    drawing.whiteBrush = QBrush(colour(COLOUR_WHITE));
    drawing.panelBrush = QBrush(colour(COLOUR_PANEL));
    drawing.playActiveBrush = QBrush(colour(COLOUR_PLAY_ACTIVE));
    drawing.playIdleBrush = QBrush(colour(COLOUR_PLAY_IDLE));
    drawing.recordActiveBrush = QBrush(colour(COLOUR_RECORD_ACTIVE));
    drawing.recordIdleBrush = QBrush(colour(COLOUR_RECORD_IDLE));
    drawing.segmentBrush = QBrush(colour(COLOUR_SEGMENT));
    drawing.highlightBrush = QBrush(colour(COLOUR_HIGHLIGHT));
    drawing.whitePen = QPen(colour(COLOUR_WHITE), 1);
    drawing.blackPen = QPen(colour(COLOUR_BLACK), 1);
    drawing.darkPen = QPen(colour(COLOUR_DARK), 1);
}

int paintPanel(QPainter& painter, const QRect& update) {
    const int s = panelLayout.scale;
    const int updateTop = update.top(), updateBottom = update.top() + update.height();
    const int panelBottom = s * panelLayout.panelHeightUnits;
    // Exactly the LED digits: only the digits whose pattern changed.
    if (update != panelLayout.ledArea) {
        if (updateTop < panelBottom) paintBackground(painter);
        if (runInputs.debug && updateBottom >= panelBottom) paintDebugPanel(painter);
    }
    if (updateTop <= DISPLAY_HEIGHT_UNITS * s || drawing.paintedDigits[0] < 0) {
        for (int p = 0; p < 8; ++p) {
            if (drawing.paintedDigits[p] != latch.digitSegments[p]) {
                paintDigit(painter, p);
                drawing.paintedDigits[p] = latch.digitSegments[p];
            }
        }
    }
    return 0;
}

QRect segmentRect(int position, int bit) {
    const int s = panelLayout.scale, x = digitLeftUnits(position);
    const SegmentBox& g = segmentBoxes[static_cast<std::size_t>(bit)];
    return edgeRect((x + g.left) * s, g.top * s, (x + g.right) * s, g.bottom * s);
}

void paintDigit(QPainter& painter, int position) {
    const std::uint8_t pattern = latch.digitSegments[position];
    // Unlit first, so lit segments cover their dark neighbours at the joints.
    for (int pass = 0; pass < 2; ++pass) {
        const bool lit = pass == 1;
        for (int bit = 7; bit >= 0; --bit) {
            if (((pattern >> bit) & 1) != (lit ? 1 : 0)) continue;
            drawSegment(painter, segmentBoxes[static_cast<std::size_t>(bit)].shape,
                        segmentRect(position, bit), lit ? drawing.segmentBrush : drawing.blackBrush,
                        lit ? drawing.highlightBrush : drawing.blackBrush);
        }
    }
}

void paintDebugPanel(QPainter& painter) {
    const int s = panelLayout.scale;
    const int top = s * panelLayout.panelHeightUnits, right = PANEL_WIDTH_UNITS * s;
    trace("Debugger draw\n");
    fill(painter, drawing.debugBrush, panelLayout.debugArea);

    Pen dark{painter, drawing.darkPen.brush()};
    Pen light{painter, drawing.whitePen.brush()};
    dark.moveTo(0, top);
    dark.lineTo(right, top);
    light.moveTo(0, top + 1);
    light.lineTo(right, top + 1);
    dark.moveTo(0, panelLayout.registerLineY + 1);
    dark.lineTo(right, panelLayout.registerLineY + 1);
    light.moveTo(0, panelLayout.registerLineY + 2);
    light.lineTo(right, panelLayout.registerLineY + 2);

    painter.setFont(panelLayout.debugFont);
    const QColor black(0, 0, 0), red(255, 0, 0);
    TextPen first{painter, QFontMetrics(panelLayout.debugFont), 5, panelLayout.registerLineY};
    first.write(runInputs.halted ? registerLine().c_str() : "Running...", black);

    TextPen second{painter, QFontMetrics(panelLayout.debugFont), 5, panelLayout.memoryLineY};
    second.write(" M:", black);
    second.write(formatText("%04x", settings.debugM).c_str(),
                 runInputs.halted && keyInput.debugMode == DEBUG_ADDRESS ? red : black);
    second.write(".", black);
    second.write(runInputs.halted ? formatText("%02x", busRead(settings.debugM)).c_str() : "  ",
                 runInputs.halted && keyInput.debugMode == DEBUG_DATA ? red : black);
    second.write(" G:", black);
    second.write(formatText("%04x", settings.debugG).c_str(),
                 runInputs.halted && keyInput.debugMode == DEBUG_GO ? red : black);
    second.write(" P:", black);
    second.write(formatText("%04x", settings.debugP).c_str(),
                 runInputs.halted && keyInput.debugMode == DEBUG_BREAKPOINT ? red : black);
    if (runInputs.halted) {
        const std::string fetch = fetchAddressText();
        if (fetch[0] != ' ') second.write((" F:" + fetch).c_str(), black);
    }
}

std::string fetchAddressText() {
    return cpu.cycles == 0 ? "    " : formatText("%04x", cpu.lastOpcodeAddr);
}

} // namespace orv
