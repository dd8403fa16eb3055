#include "tape/tape.h"

namespace orv {

std::uint8_t tapeState = 0;

// No tape deck yet: a machine without a cassette reads a high line and drives nothing.
void tapeOutputBit(int, std::int32_t) {}
int tapeInputBit(std::int32_t) { return 1; }
bool tapeActive(std::int32_t) { return false; }
void tapeSilence() {}
void tapeStop(std::string& message) { message.clear(); }

} // namespace orv
