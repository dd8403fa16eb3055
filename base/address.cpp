#include "base/address.h"

#include "base/hex_digits.h"

namespace orv {

namespace {

bool takes(std::string_view& text, std::string_view prefix) {
    if (!text.starts_with(prefix)) return false;
    text.remove_prefix(prefix.size());
    return true;
}

std::uint32_t pairValue(std::string_view text, std::size_t at) {
    if (text.size() < at + 2) return 0;
    int error = 0;
    const std::uint8_t pair = hexByteValue(text.data() + at, error);
    return error ? 0 : pair;
}

} // namespace

std::optional<std::uint32_t> numberValue(std::string_view text, const AddressSyntax& syntax) {
    if (syntax.eachPairAlone) return pairValue(text, 0) << 8 | pairValue(text, 2);
    if (syntax.viceSpace && !takes(text, "C:")) takes(text, "c:");
    if (syntax.hash) takes(text, "#");
    unsigned base = syntax.plainBase;
    if (syntax.dollar && takes(text, "$"))
        base = 16;
    else if (syntax.zeroX != ZeroX::None &&
             (takes(text, "0x") || (syntax.zeroX == ZeroX::EitherCase && takes(text, "0X"))))
        base = 16;
    else if (syntax.percent && takes(text, "%"))
        base = 2;
    if (text.size() < syntax.fewestDigits || text.size() > syntax.mostDigits) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        const int digit = nibbleValue(c);
        if (digit < 0 || digit >= static_cast<int>(base)) return std::nullopt;
        value = value * base + static_cast<unsigned>(digit);
        if (value > syntax.largest) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<std::uint16_t> addressValue(std::string_view text, const AddressSyntax& syntax) {
    const auto value = numberValue(text, syntax);
    if (!value) return std::nullopt;
    return static_cast<std::uint16_t>(*value);
}

} // namespace orv
