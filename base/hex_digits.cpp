#include "base/hex_digits.h"

namespace orv {

int nibbleValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::uint8_t hexByteValue(const char* two, int& error) {
    const int high = nibbleValue(two[0]);
    if (high < 0) {
        error = 1;
        return 0;
    }
    const int low = nibbleValue(two[1]);
    if (low < 0) {
        error = 1;
        return 0;
    }
    return static_cast<std::uint8_t>(high * 16 + low);
}

} // namespace orv
