// What every fuzz target shares: a scratch folder for the files it hands to the readers, and checks that
// turn a wrong result into a crash libFuzzer reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orv::fuzz {

// A folder of this process alone, created at the first call and removed at exit.
const std::string& scratchDir();
// Writes the bytes to a file of the scratch folder, replacing it; returns its full path.
std::string writeScratch(const std::string& name, const std::uint8_t* data, std::size_t size);
// Aborts with the text when the condition fails.
void check(bool condition, const char* what);

bool startsWith(const std::string& text, const char* prefix);

// A hash of the input, for choices a target makes per input (the same input, the same choices).
std::uint32_t hashOf(const std::uint8_t* data, std::size_t size);
// Every run starts from the same board (bytes for the RIO pages act on the chips): powered on, the RIO
// chips reset, and the trace on for half the inputs.
void startBoard(const std::uint8_t* data, std::size_t size);
// The trace goes to standard output: with it sent nowhere, the traced paths can run too.
void quietStandardOutput();

} // namespace orv::fuzz
