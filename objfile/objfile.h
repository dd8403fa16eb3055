// Object files: Intel HEX text files holding parts of the emulated memory.
#pragma once

#include <cstdint>
#include <string>

namespace orv {

// Both take a path; the 256-character limit and every message are on its bare file name.

// Loads a whole object file through the HEX reader. Returns the bytes stored; message empty on success.
// wholeOrNothing reads the text through first and stores nothing unless all of it would load.
int loadObjectFile(const std::string& fileName, std::string& message, bool wholeOrNothing = false);

// Saves start..end (both included) as Intel HEX, skipping empty pages and the RIO register halves.
// Returns the bytes written; message empty on success. A failed save leaves an existing file untouched.
int saveObjectFile(const std::string& fileName, std::uint16_t start, std::uint16_t end, std::string& message);

} // namespace orv
