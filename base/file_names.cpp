#include "base/file_names.h"

#include "base/text_format.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace orv {

std::string bareName(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool nameFits(const std::string& path, std::string& message) {
    const std::size_t length = bareName(path).size();
    if (length <= FILE_NAME_MAX) return true;
    message = formatText("Error: filename too long (%zu)", length);
    return false;
}

void addDefaultExtension(std::string& name, const std::string& extension) {
    if (name.find('.') != std::string::npos) return;
    if (bareName(name).size() + extension.size() + 1 > FILE_NAME_MAX) return;
    name += '.';
    name += extension;
}

#ifdef _WIN32

std::wstring wideName(const std::string& name) {
    const int size = static_cast<int>(name.size());
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), size, wide.data(), length);
    return wide;
}

std::string utf8Name(const std::wstring& name) {
    const int size = static_cast<int>(name.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, name.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, name.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

#endif

} // namespace orv
