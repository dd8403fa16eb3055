// Save State and Load State as the user gives them: the file dialog, the quick slot of F5 and F9, the
// boxes, and the run state and views brought along with a loaded state.
#pragma once

#include <string>

namespace orv {

// The quick slot: "quick.orvstate" beside the settings file.
std::string quickStatePath();

// File > Save State... and Load State...: the file dialog, then the state; a failure offers Retry.
void saveStateCommand();
void loadStateCommand();
// F5 and F9: the quick slot, without a dialog. Only a failure or a warning shows a box.
void quickSaveCommand();
void quickLoadCommand();

} // namespace orv
