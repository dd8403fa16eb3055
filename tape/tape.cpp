#include "tape/tape.h"

namespace orv {

// No tape deck yet: a machine without a cassette reads a high line and drives nothing.
void tapeOutputBit(int, std::int32_t) {}
int tapeInputBit(std::int32_t) { return 1; }

} // namespace orv
