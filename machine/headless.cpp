#include "machine/headless.h"

#include "machine/cpu.h"
#include "machine/latch.h"
#include "machine/power.h"
#include "machine/rio.h"
#include "objfile/hex.h"

#include <vector>

namespace orv {

HeadlessRecord headless;

bool headlessPowerOn(std::string_view monitorHex, std::string& message) {
    machinePowerOn();
    rioReset();
    headless = HeadlessRecord{};
    // The loader may end lines in place and wants a NUL after the text.
    std::vector<char> buffer(monitorHex.begin(), monitorHex.end());
    buffer.push_back('\0');
    loadHexText("orvROM", buffer.data(), monitorHex.size(), message);
    return message.empty();
}

std::uint8_t headlessSlice(std::int32_t budget, std::uint8_t status) {
    const auto before = static_cast<std::uint32_t>(cycles);
    cpuExecute(budget, status);
    headless.sinceTick += static_cast<std::uint32_t>(cycles) - before;
    while (headless.sinceTick >= static_cast<std::uint32_t>(BOARD_TICK)) {
        headless.sinceTick -= BOARD_TICK;
        fadeDigits();
    }
    return status;
}

} // namespace orv
