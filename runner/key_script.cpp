#include "runner/key_script.h"

#include "base/text_format.h"
#include "machine/keys.h"

#include <charconv>

namespace orv {

namespace {

// The longest wait a step may ask for: an hour of emulated time keeps the cycle count in range.
constexpr std::uint32_t MAX_WAIT_MILLIS = 3'600'000;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

bool parseName(std::string_view name, KeyStep& step) {
    while (!name.empty() && isBlank(name.front())) name.remove_prefix(1);
    while (!name.empty() && isBlank(name.back())) name.remove_suffix(1);
    if (name == "reset") {
        step = {KeyStep::Reset};
        return true;
    }
    if (!name.starts_with("wait")) return false;
    std::string_view count = name.substr(4);
    if (count.empty() || !isBlank(count.front())) return false;
    while (!count.empty() && isBlank(count.front())) count.remove_prefix(1);
    std::uint32_t millis = 0;
    const auto [end, error] = std::from_chars(count.data(), count.data() + count.size(), millis);
    if (error != std::errc() || end != count.data() + count.size() || millis > MAX_WAIT_MILLIS) return false;
    step = {KeyStep::Wait, -1, millis};
    return true;
}

} // namespace

bool parseKeyScript(std::string_view script, std::vector<KeyStep>& steps, std::string& message) {
    steps.clear();
    message.clear();
    for (std::size_t at = 0; at < script.size(); ++at) {
        const char c = script[at];
        if (isBlank(c)) continue;
        if (c == '{') {
            const std::size_t close = script.find('}', at);
            KeyStep step{KeyStep::Key};
            if (close == std::string_view::npos || !parseName(script.substr(at + 1, close - at - 1), step)) {
                // The whole step, as far as its brace or the script's end.
                const std::string shown = escapedText(script.substr(
                    at, close == std::string_view::npos ? std::string_view::npos : close - at + 1));
                message = formatText("bad key script step at '%s' ({reset} or {wait N}, N at most %u)",
                                     shown.c_str(), static_cast<unsigned>(MAX_WAIT_MILLIS));
                return false;
            }
            steps.push_back(step);
            at = close;
            continue;
        }
        const int key = keyOfCharacter(static_cast<unsigned char>(c));
        // Escape presses the reset key on the PC keyboard; in a script it is spelled out.
        if (key < 0 || key == keyWithLegend("rst") || c == '\r') {
            // A character of several bytes is shown whole.
            std::size_t length = 1;
            while (static_cast<unsigned char>(c) >= 0x80 && at + length < script.size() &&
                   (static_cast<unsigned char>(script[at + length]) & 0xC0) == 0x80)
                ++length;
            message = formatText("'%s' is no key (0-9, a-f, m g p s l r ^ v, {reset}, {wait N})",
                                 escapedText(script.substr(at, length)).c_str());
            return false;
        }
        steps.push_back({KeyStep::Key, key});
    }
    return true;
}

} // namespace orv
