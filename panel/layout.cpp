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

std::int32_t scale = 0;
std::int32_t panelHeightUnits = KEYPAD_HEIGHT_UNITS;
std::int32_t debugPanelHeight = 0;
std::int32_t debugLineHeight = 0;
std::int32_t registerLineY = 0;
std::int32_t memoryLineY = 0;
QFont debugFont;
QFont labelFont;
std::array<QPoint, KEY_COUNT> keyLabelAnchors{};
QRect displayArea;
QRect ledArea;
QRect debugArea;

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
    const QSize around = mainWindow->frameGeometry().size() - panelWidget->size();
    const int roomHeight = screenHeight - around.height();
    const auto debugHeightAt = [&](int atScale) {
        return runInputs.debug
                   ? debugPanelHeightOf(lineHeightOf(fixedFontOfWidth(face, debugFontWidthAt(atScale))))
                   : 0;
    };
    int fitting = std::min(wanted, (screenWidth - around.width()) / PANEL_WIDTH_UNITS);
    while (fitting > 2 && fitting * panelHeightUnits + debugHeightAt(fitting) > roomHeight) --fitting;
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
    labelFont = fontOfCellHeight(font, 5 * scale);
}

bool snapPending = false;

// Resizes the window so its client area is exactly what the layout wants.
void snapNow() {
    if (!mainWindow || !panelWidget || mainWindow->isMinimized()) return;
    const int wantedWidth = PANEL_WIDTH_UNITS * scale;
    const int wantedHeight = scale * panelHeightUnits + debugPanelHeight;
    const QSize client = panelWidget->size();
    if (client == QSize(wantedWidth, wantedHeight)) return;
    // The frame and the menu bar stay as they are; only the client area changes.
    mainWindow->resize(mainWindow->width() + wantedWidth - client.width(),
                       mainWindow->height() + wantedHeight - client.height());
}

// A resize from inside a size notification can be lost by the window system, so it is made once the
// notification is over; the size notification it brings runs the layout again, which then finds the
// size exact. A window not yet shown has no notifications to wait for.
void snapWindow() {
    if (!mainWindow->isVisible()) return snapNow();
    if (snapPending) return;
    snapPending = true;
    QMetaObject::invokeMethod(
        mainWindow,
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
    return debugFontWidthAt(scale);
}

int layoutPanel(int width, int height) {
    // A minimized window keeps its layout until it is restored at its own size.
    if (!mainWindow || mainWindow->isMinimized() || (width == 0 && height == 0)) return 0;
    const std::int32_t oldScale = scale;
    trace("wd: %d %d \n", width, height);

    panelHeightUnits = switches.keys ? KEYPAD_HEIGHT_UNITS : DISPLAY_HEIGHT_UNITS;
    const QFont face = runInputs.debug ? debugFace() : QFont();
    scale = scaleFittingTheScreen(width / PANEL_WIDTH_UNITS, face);
    if (scale != oldScale) trace("--- new scale: %d ---\n", scale);

    if (!runInputs.debug) {
        debugPanelHeight = 0;
    } else {
        debugFont = fixedFontOfWidth(face, debugFontWidth());
        debugLineHeight = lineHeightOf(debugFont);
        debugPanelHeight = debugPanelHeightOf(debugLineHeight);
        registerLineY = scale * panelHeightUnits + debugLineHeight + 2;
        memoryLineY = registerLineY + debugLineHeight + 4;
    }

    const int wantedWidth = PANEL_WIDTH_UNITS * scale;
    const int wantedHeight = scale * panelHeightUnits + debugPanelHeight;
    if (wantedWidth != width || wantedHeight != height) snapWindow();

    displayArea = edgeRect(0, 0, PANEL_WIDTH_UNITS * scale, DISPLAY_HEIGHT_UNITS * scale);
    ledArea = edgeRect(7 * scale, 3 * scale, 95 * scale, 14 * scale);
    debugArea = edgeRect(0, scale * panelHeightUnits, PANEL_WIDTH_UNITS * scale,
                         scale * panelHeightUnits + debugPanelHeight);

    for (int i = 0; i < static_cast<int>(keyButtons.size()); ++i) {
        QPushButton* button = keyButtons[i];
        if (!button) continue;
        if (switches.keys) {
            const KeyInfo& key = keyTable[static_cast<std::size_t>(i)];
            button->setGeometry(key.x * scale, key.y * scale, KEY_WIDTH_UNITS * scale,
                                KEY_HEIGHT_UNITS * scale);
            button->show();
            keyLabelAnchors[i] = QPoint(key.x * scale + KEY_WIDTH_UNITS * scale / 2, (key.y - 1) * scale + 1);
        } else {
            button->hide();
        }
    }

    createLabelFont();
    return 0;
}

void layOutHiddenWindow() {
    if (!mainWindow || !panelWidget || !mainWindow->layout()) return;
    // The panel's share of the window, known without showing it.
    mainWindow->layout()->invalidate();
    mainWindow->layout()->activate();
    layoutPanel(panelWidget->width(), panelWidget->height());
}

void zoomWindow(int delta) {
    if (!mainWindow) return;
    readWindowPlace();
    const QRect outer = mainWindow->frameGeometry();
    const int frameWidth = outer.width() - mainWindow->width();
    const int frameHeight = outer.height() - mainWindow->height();
    const int width = (scale + delta) * 100 + 50;
    const int height = windowRect.bottom - windowRect.top;
    mainWindow->move(windowRect.left, windowRect.top);
    mainWindow->resize(width - frameWidth, height - frameHeight);
}

} // namespace orv
