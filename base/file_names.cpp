#include "base/file_names.h"

#include "base/text_format.h"

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

} // namespace orv
