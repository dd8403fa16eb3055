#include "objfile/hex_record.h"

#include "base/hex_digits.h"

namespace orv {

void appendHexRecord(std::string& out, std::uint16_t address, std::uint8_t type, const std::uint8_t* data,
                     std::size_t count) {
    std::uint8_t sum = 0;
    char digits[2];
    auto put = [&](std::uint8_t value) {
        hexByteText(value, digits);
        out.append(digits, 2);
        sum = static_cast<std::uint8_t>(sum + value);
    };
    out += ':';
    put(static_cast<std::uint8_t>(count));
    put(static_cast<std::uint8_t>(address >> 8));
    put(static_cast<std::uint8_t>(address));
    put(type);
    for (std::size_t i = 0; i < count; ++i) put(data[i]);
    put(static_cast<std::uint8_t>(0x100 - sum));
    out += "\r\n";
}

} // namespace orv
