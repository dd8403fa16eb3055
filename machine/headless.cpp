#include "machine/headless.h"

#include "machine/cpu.h"
#include "machine/latch.h"
#include "machine/power.h"
#include "machine/rio.h"
#include "objfile/hex.h"

#include <vector>

namespace orv {

bool headlessPowerOn(std::string_view monitorHex, std::string& message) {
    machinePowerOn();
    rioReset();
    // The loader may end lines in place and wants a NUL after the text.
    std::vector<char> buffer(monitorHex.begin(), monitorHex.end());
    buffer.push_back('\0');
    loadHexText("orvROM", buffer.data(), monitorHex.size(), message);
    return message.empty();
}

std::uint8_t headlessSlice(std::int32_t budget, std::uint8_t status) {
    const std::uint32_t from = static_cast<std::uint32_t>(cycles) / BOARD_TICK;
    cpuExecute(budget, status);
    // Where the counter wraps, that slice misses its pass.
    for (std::uint32_t tick = from; tick < static_cast<std::uint32_t>(cycles) / BOARD_TICK; ++tick)
        fadeDigits();
    return status;
}

} // namespace orv
