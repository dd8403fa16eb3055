// The Intel HEX record writer: the object-file saver, the build's image converter and the tests all
// write their records here. Standard library only, so that a tool built for the host can compile it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orv {

constexpr std::uint8_t HEX_DATA_RECORD = 0x00;
constexpr std::uint8_t HEX_END_RECORD = 0x01;

// Two upper-case hex digits, high nibble first.
void hexByteText(std::uint8_t value, char* out);

// Appends one record with its checksum: ':', the count, the address, the type and count data bytes,
// in upper-case digits, then CR LF.
void appendHexRecord(std::string& out, std::uint16_t address, std::uint8_t type, const std::uint8_t* data,
                     std::size_t count);

} // namespace orv
