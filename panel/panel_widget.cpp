#include "panel/panel_widget.h"

#include "control/main_window.h"
#include "panel/layout.h"
#include "panel/paint.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>

#include <algorithm>

namespace orv {

PanelWidget::PanelWidget(QWidget* parent) : QWidget(parent) {
    // Painting covers every pixel it is asked for, and a digits-only update relies on the pixels
    // it does not touch keeping what was painted before: nothing is erased underneath.
    setAttribute(Qt::WA_OpaquePaintEvent);
    frameTimer.setSingleShot(true);
    frameTimer.setTimerType(Qt::PreciseTimer);
    connect(&frameTimer, &QTimer::timeout, this, [this] {
        if (!digitsDue) return;
        digitsDue = false;
        updateDigits();
    });
}

void PanelWidget::updateDigits() {
    if (frameTimer.isActive()) {
        digitsDue = true;
        return;
    }
    update(panelLayout.ledArea);
    const qreal hz = screen() ? screen()->refreshRate() : 60.0;
    frameTimer.start(static_cast<int>(1000.0 / std::clamp(hz, 24.0, 240.0)));
}

void PanelWidget::paintEvent(QPaintEvent* e) {
    QPainter painter(this);
    const QRect update = e->rect();
    // Outside the panel (only while a size is still being snapped) the window's grey background.
    const QRect panel =
        edgeRect(0, 0, PANEL_WIDTH_UNITS * panelLayout.scale,
                 panelLayout.scale * panelLayout.panelHeightUnits + panelLayout.debugPanelHeight);
    if (!panel.contains(update)) {
        for (const QRect& r : QRegion(update) - QRegion(panel)) painter.fillRect(r, QColor(192, 192, 192));
    }
    paintPanel(painter, update);
}

void PanelWidget::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    recordWindowPlace();
    layoutPanel(e->size().width(), e->size().height());
}

} // namespace orv
