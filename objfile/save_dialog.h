// The Save As range dialog "orvsave": the first and last address to save, then the file dialog.
#pragma once

namespace Ui {
class OrvSave;
}

namespace orv {

// Modal, owned by the main window. Stays open after a cancelled or failed save, closes after a
// successful one, on Cancel and on the close box.
// `save` is what OK runs: the object-file save, or the binary one under the caption given.
void saveRangeDialog(bool (*save)() = nullptr, const char* caption = nullptr);

// Reads both address fields into saveStart and saveEnd and enables OK exactly when they make a range
// (four hex digits each, end not below start). A usable range whose texts differ from the stored ones
// is stored and the "User" settings written at once. True when the range is usable.
bool checkSaveRange(Ui::OrvSave& ui);

} // namespace orv
