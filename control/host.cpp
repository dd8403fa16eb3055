#include "machine/host.h"

#include "control/main_window.h"
#include "panel/layout.h"
#include "panel/panel_widget.h"

namespace orv {

void repaintArea(int area) {
    if (!panelWidget) return;
    switch (area) {
    case AREA_LED: panelWidget->updateDigits(); break;
    case AREA_DISPLAY: panelWidget->update(displayArea); break;
    case AREA_DEBUG: panelWidget->update(debugArea); break;
    default: break;
    }
}

} // namespace orv
