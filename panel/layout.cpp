#include "panel/layout.h"

#include "base/run_inputs.h"
#include "base/trace.h"
#include "control/main_window.h"
#include "panel/panel_widget.h"
#include "settings/flags.h"
#include "settings/settings.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QLayout>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace orv {

PanelLayout panelLayout;

namespace {

// A bold fixed-pitch face whose every character advances exactly `width` pixels: the pixel size
// that comes nearest, and letter spacing for the fraction the face's own advances leave over.
QFont fixedFontOfWidth(QFont font, int width) {
    font.setBold(true);
    font.setKerning(false);
    font.setPixelSize(100);
    const qreal advanceAt100 = QFontMetricsF(font).horizontalAdvance(QChar('0'));
    if (advanceAt100 > 0)
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(width * 100 / advanceAt100))));
    const qreal advance = QFontMetricsF(font).horizontalAdvance(QChar('0'));
    font.setLetterSpacing(QFont::AbsoluteSpacing, width - advance);
    return font;
}

// A face whose cell (ascent + descent) is as high as asked, or the nearest below.
QFont fontOfCellHeight(QFont font, int height) {
    font.setPixelSize(100);
    const qreal cellAt100 = QFontMetricsF(font).height();
    int size = cellAt100 > 0 ? std::max(1, static_cast<int>(std::lround(height * 100 / cellAt100))) : height;
    font.setPixelSize(size);
    while (size > 1 && QFontMetrics(font).height() > height) font.setPixelSize(--size);
    return font;
}

// The bold fixed-pitch face of the debug panel, before its size is chosen.
QFont debugFace() {
    QFont font("Courier New");
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    if (!QFontInfo(font).fixedPitch()) {
        trace("No debug font found\n");
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    }
    return font;
}

int lineHeightOf(const QFont& font) {
    const QFontMetrics metrics(font);
    return metrics.height() + std::max(0, metrics.leading());
}

int debugPanelHeightOf(int lineHeight) {
    return 2 * lineHeight + 5;
}

// The scale the width asks for, or the largest below it at which the whole window fits the screen:
// the panels at that scale and what the window adds around them, its frame and menu bar. A window
// system may offer far more room (a maximized window's on a wide screen), which would push the
// keypad's lowest row and the debug panel off the screen.
int scaleFittingTheScreen(int wanted, const QFont& face) {
    const QSize around = windowParts.mainWindow->frameGeometry().size() - windowParts.panelWidget->size();
    const int roomHeight = settings.screenHeight - around.height();
    const auto debugHeightAt = [&](int atScale) {
        return runInputs.debug
                   ? debugPanelHeightOf(lineHeightOf(fixedFontOfWidth(face, debugFontWidthAt(atScale))))
                   : 0;
    };
    int fitting = std::min(wanted, (settings.screenWidth - around.width()) / PANEL_WIDTH_UNITS);
    while (fitting > 2 && fitting * panelLayout.panelHeightUnits + debugHeightAt(fitting) > roomHeight)
        --fitting;
    return std::max(fitting, 2);
}

void createLabelFont() {
    QFont font("Arial");
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Normal);
    if (QFontInfo(font).family().isEmpty()) {
        trace("No label font found\n");
        font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    }
    panelLayout.labelFont = fontOfCellHeight(font, 5 * panelLayout.scale);
}

bool snapPending = false;

// Resizes the window so its client area is exactly what the layout wants.
void snapNow() {
    if (!windowParts.mainWindow || !windowParts.panelWidget || windowParts.mainWindow->isMinimized()) return;
    const int wantedWidth = PANEL_WIDTH_UNITS * panelLayout.scale;
    const int wantedHeight = panelLayout.scale * panelLayout.panelHeightUnits + panelLayout.debugPanelHeight;
    const QSize client = windowParts.panelWidget->size();
    if (client == QSize(wantedWidth, wantedHeight)) return;
    // The frame and the menu bar stay as they are; only the client area changes.
    windowParts.mainWindow->resize(windowParts.mainWindow->width() + wantedWidth - client.width(),
                                   windowParts.mainWindow->height() + wantedHeight - client.height());
}

// A resize from inside a size notification can be lost by the window system, so it is made once the
// notification is over; the size notification it brings runs the layout again, which then finds the
// size exact. A window not yet shown has no notifications to wait for.
void snapWindow() {
    if (!windowParts.mainWindow->isVisible()) return snapNow();
    if (snapPending) return;
    snapPending = true;
    QMetaObject::invokeMethod(
        windowParts.mainWindow,
        [] {
            snapPending = false;
            snapNow();
        },
        Qt::QueuedConnection);
}

} // namespace

int debugFontWidthAt(int atScale) {
    return (PANEL_WIDTH_UNITS * atScale - 5) / DEBUG_LINE_CHARS;
}

int debugFontWidth() {
    return debugFontWidthAt(panelLayout.scale);
}

int layoutPanel(int width, int height) {
    // A minimized window keeps its layout until it is restored at its own size.
    if (!windowParts.mainWindow || windowParts.mainWindow->isMinimized() || (width == 0 && height == 0))
        return 0;
    const std::int32_t oldScale = panelLayout.scale;
    trace("wd: %d %d \n", width, height);

    panelLayout.panelHeightUnits = switches.keys ? KEYPAD_HEIGHT_UNITS : DISPLAY_HEIGHT_UNITS;
    const QFont face = runInputs.debug ? debugFace() : QFont();
    panelLayout.scale = scaleFittingTheScreen(width / PANEL_WIDTH_UNITS, face);
    if (panelLayout.scale != oldScale) trace("--- new scale: %d ---\n", panelLayout.scale);

    if (!runInputs.debug) {
        panelLayout.debugPanelHeight = 0;
    } else {
        panelLayout.debugFont = fixedFontOfWidth(face, debugFontWidth());
        panelLayout.debugLineHeight = lineHeightOf(panelLayout.debugFont);
        panelLayout.debugPanelHeight = debugPanelHeightOf(panelLayout.debugLineHeight);
        panelLayout.registerLineY =
            panelLayout.scale * panelLayout.panelHeightUnits + panelLayout.debugLineHeight + 2;
        panelLayout.memoryLineY = panelLayout.registerLineY + panelLayout.debugLineHeight + 4;
    }

    const int wantedWidth = PANEL_WIDTH_UNITS * panelLayout.scale;
    const int wantedHeight = panelLayout.scale * panelLayout.panelHeightUnits + panelLayout.debugPanelHeight;
    if (wantedWidth != width || wantedHeight != height) snapWindow();

    panelLayout.displayArea =
        edgeRect(0, 0, PANEL_WIDTH_UNITS * panelLayout.scale, DISPLAY_HEIGHT_UNITS * panelLayout.scale);
    panelLayout.ledArea = edgeRect(7 * panelLayout.scale, 3 * panelLayout.scale, 95 * panelLayout.scale,
                                   14 * panelLayout.scale);
    panelLayout.debugArea =
        edgeRect(0, panelLayout.scale * panelLayout.panelHeightUnits, PANEL_WIDTH_UNITS * panelLayout.scale,
                 panelLayout.scale * panelLayout.panelHeightUnits + panelLayout.debugPanelHeight);

    for (int i = 0; i < static_cast<int>(windowParts.keyButtons.size()); ++i) {
        QPushButton* button = windowParts.keyButtons[i];
        if (!button) continue;
        if (switches.keys) {
            const KeyInfo& key = keyTable[static_cast<std::size_t>(i)];
            button->setGeometry(key.x * panelLayout.scale, key.y * panelLayout.scale,
                                KEY_WIDTH_UNITS * panelLayout.scale, KEY_HEIGHT_UNITS * panelLayout.scale);
            button->show();
            panelLayout.keyLabelAnchors[i] =
                QPoint(key.x * panelLayout.scale + KEY_WIDTH_UNITS * panelLayout.scale / 2,
                       (key.y - 1) * panelLayout.scale + 1);
        } else {
            button->hide();
        }
    }

    createLabelFont();
    return 0;
}

void layOutHiddenWindow() {
    if (!windowParts.mainWindow || !windowParts.panelWidget || !windowParts.mainWindow->layout()) return;
    // The panel's share of the window, known without showing it.
    windowParts.mainWindow->layout()->invalidate();
    windowParts.mainWindow->layout()->activate();
    layoutPanel(windowParts.panelWidget->width(), windowParts.panelWidget->height());
}

void zoomWindow(int delta) {
    if (!windowParts.mainWindow) return;
    readWindowPlace();
    const QRect outer = windowParts.mainWindow->frameGeometry();
    const int frameWidth = outer.width() - windowParts.mainWindow->width();
    const int frameHeight = outer.height() - windowParts.mainWindow->height();
    const int width = (panelLayout.scale + delta) * 100 + 50;
    const int height = settings.windowRect.bottom - settings.windowRect.top;
    windowParts.mainWindow->move(settings.windowRect.left, settings.windowRect.top);
    windowParts.mainWindow->resize(width - frameWidth, height - frameHeight);
}

} // namespace orv
