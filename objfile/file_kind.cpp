#include "objfile/file_kind.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace orv {

ProgramFileKind programFileKind(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return ProgramFileKind::Unknown;
    std::string suffix(path.substr(dot + 1));
    std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (std::find(OBJECT_FILE_ENDINGS.begin(), OBJECT_FILE_ENDINGS.end(), suffix) !=
        OBJECT_FILE_ENDINGS.end())
        return ProgramFileKind::Object;
    if (suffix == "bin") return ProgramFileKind::Binary;
    if (suffix == "mid") return ProgramFileKind::Tape;
    return ProgramFileKind::Unknown;
}

} // namespace orv
