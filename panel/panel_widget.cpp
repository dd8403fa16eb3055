#include "panel/panel_widget.h"

#include "control/main_window.h"
#include "panel/layout.h"
#include "panel/paint.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

namespace orv {

PanelWidget::PanelWidget(QWidget* parent) : QWidget(parent) {
    // Painting covers every pixel it is asked for, and a digits-only update relies on the pixels
    // it does not touch keeping what was painted before: nothing is erased underneath.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PanelWidget::paintEvent(QPaintEvent* e) {
    QPainter painter(this);
    const QRect update = e->rect();
    // Outside the panel (only while a size is still being snapped) the window's grey background.
    const QRect panel =
        edgeRect(0, 0, PANEL_WIDTH_UNITS * scale, scale * panelHeightUnits + debugPanelHeight);
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
