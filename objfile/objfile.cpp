#include "objfile/objfile.h"

namespace orv {

namespace {
constexpr std::size_t MAX_NAME = 256;
} // namespace

void addDefaultExtension(std::string& name, const std::string& extension) {
    if (name.find('.') != std::string::npos) return;
    if (name.size() + extension.size() + 1 > MAX_NAME) return;
    name += '.';
    name += extension;
}

void hexByteText(std::uint8_t value, char* out) {
    static constexpr char digits[] = "0123456789ABCDEF";
    out[0] = digits[value >> 4];
    out[1] = digits[value & 0x0F];
}

} // namespace orv
