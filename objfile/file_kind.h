// What a file given to the program is, by its name's ending: the command lines, drops and orv-run
// treat a file alike.
#pragma once

#include <array>
#include <string_view>

namespace orv {

enum class ProgramFileKind { Object, Binary, Tape, Unknown };

// By the name's suffix: .obj, .hex, .ihx; .bin; .mid (any case).
ProgramFileKind programFileKind(std::string_view path);

// The endings of object files, all Intel HEX.
constexpr std::array<const char*, 3> OBJECT_FILE_ENDINGS = {"obj", "hex", "ihx"};

// The endings as a message lists them.
constexpr const char* PROGRAM_FILE_ENDINGS = ".obj, .hex, .ihx, .bin or .mid";

} // namespace orv
