// The About box "orvabout".
#pragma once

namespace orv {

// Modal, owned by the main window. Its two page buttons post the Help menu's commands and leave the box
// open; OK and the close box close it.
void aboutDialog();

} // namespace orv
