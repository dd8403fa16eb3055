// A reader and writer of classic profile files: [Section] headers followed by key=value lines.
// Section and key names match without regard to case; blanks around names and values are dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orv {

// The value as a signed decimal integer (its leading digits; none reads 0); the default when the key
// or the file is missing.
std::int32_t profileReadInt(const std::string& path, const std::string& section, const std::string& key,
                            std::int32_t defaultValue);

// The value cut to size - 1 characters, or the default (also cut) when the key or the file is missing.
std::string profileReadString(const std::string& path, const std::string& section, const std::string& key,
                              const std::string& defaultValue, std::size_t size);

// Replaces the key's value in place, or adds the key at the end of its section, or the section at the
// end of the file. The file is replaced as a whole, never left half written, through links to the file
// they name and keeping its permissions; a read-only file is left as it is. False when it could not be.
bool profileWriteString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value);

} // namespace orv
