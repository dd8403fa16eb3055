#include "machine/host.h"

#include "control/main_window.h"
#include "panel/layout.h"
#include "panel/panel_widget.h"

namespace orv {

void repaintArea(int area) {
    if (!windowParts.panelWidget) return;
    switch (area) {
    case AREA_LED: windowParts.panelWidget->updateDigits(); break;
    case AREA_DISPLAY: windowParts.panelWidget->update(panelLayout.displayArea); break;
    case AREA_DEBUG: windowParts.panelWidget->update(panelLayout.debugArea); break;
    default: break;
    }
}

} // namespace orv
