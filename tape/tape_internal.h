// Helpers shared by recording and playback; not for use outside tape/.
#pragma once

#include <string>

namespace orv {

// Replaces message by the formatted text.
void tapeFormat(std::string& message, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Checks the name's length, then sets tapeFileName to it with the default extension.
// Returns false with a message when the name is refused.
bool tapeTakeName(const std::string& fileName, std::string& message);

} // namespace orv
