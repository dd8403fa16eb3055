// Whole files as the tests read and write them: bytes as they are, no line ends translated.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace orv::test {

using Bytes = std::vector<std::uint8_t>;

// The file's content; "(missing)" when it cannot be opened, so that a missing file is told from an
// empty one.
inline std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "(missing)";
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The file's bytes; none when it cannot be opened.
inline Bytes readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Creates or replaces the file with the text. True when all of it was written.
inline bool writeText(const std::filesystem::path& path, std::string_view text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return static_cast<bool>(out);
}

#ifndef _WIN32
// The same, and the file gets the mode.
inline bool writeText(const std::filesystem::path& path, std::string_view text, mode_t mode) {
    return writeText(path, text) && ::chmod(path.c_str(), mode) == 0;
}
#endif

inline bool writeBytes(const std::filesystem::path& path, const Bytes& bytes) {
    return writeText(path, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
}

} // namespace orv::test
