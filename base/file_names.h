// File names as the user gave them: the bare name shown in messages, its length limit, a default ending.
#pragma once

#include <cstddef>
#include <string>

namespace orv {

// The bare name of a path: what the user picked, for messages and the name-length limit.
std::string bareName(const std::string& path);

// The longest bare name the file commands take.
constexpr std::size_t FILE_NAME_MAX = 256;
// False, with "Error: filename too long (N)" in message, when the bare name of path is longer.
bool nameFits(const std::string& path, std::string& message);

// Appends "." and the extension to a name without any "." (folders included), if its bare name stays
// within FILE_NAME_MAX characters; otherwise the name is left as it is.
void addDefaultExtension(std::string& name, const std::string& extension);

#ifdef _WIN32
// Names are UTF-8 inside the program; Windows takes and gives them as UTF-16 through its wide API.
// Bytes that are not UTF-8 give an empty name, which names no file.
std::wstring wideName(const std::string& name);
std::string utf8Name(const std::wstring& name);
#endif

} // namespace orv
