// The user's side of object files: Load and Save As with their file dialogs and result boxes.
#pragma once

#include <cstdint>

namespace orv {

// The Save As range as the range dialog last read it (checkSaveRange).
extern std::uint16_t saveStart;
extern std::uint16_t saveEnd;

// File dialog, load, result box; Retry in a failure box opens the file dialog again.
void loadObjectCommand();
// File dialog, save of saveStart..saveEnd, result box. True when it saved; false when the file dialog was
// cancelled or the save failed and the user gave up.
bool saveObjectCommand();

} // namespace orv
