// Binary images: raw bytes for one stretch of the address space, as ld65 writes them.
#pragma once

#include <cstdint>
#include <string>

namespace orv {

// What a saved image holds for an address that is no memory (an empty page, a RIO register).
constexpr std::uint8_t BINARY_GAP = 0xFF;

// Stores the file's bytes from `address` on, as the object-file loader would: RAM and ROM take them,
// empty pages and the RIO register halves are passed over. Returns the bytes stored; the message is
// empty on success and names the bare file name otherwise. Nothing is stored from a file that does not
// fit below $10000.
int loadBinaryFile(const std::string& path, std::uint16_t address, std::string& message);

// Writes start..end (both included) as one image, BINARY_GAP where there is no memory. Refuses, like an
// object file, a range holding nothing that is saved. Returns the bytes of memory saved.
int saveBinaryFile(const std::string& path, std::uint16_t start, std::uint16_t end, std::string& message);

} // namespace orv
