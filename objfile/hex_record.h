// The Intel HEX record writer: the object-file saver, the build's image converter and the tests all
// write their records here. Nothing but the hex digits of base/, so that a tool built for the host can
// compile it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orv {

constexpr std::uint8_t HEX_DATA_RECORD = 0x00;
constexpr std::uint8_t HEX_END_RECORD = 0x01;

// Appends one record with its checksum: ':', the count, the address, the type and count data bytes,
// in upper-case digits, then CR LF.
void appendHexRecord(std::string& out, std::uint16_t address, std::uint8_t type, const std::uint8_t* data,
                     std::size_t count);

} // namespace orv
