#include "machine/bus.h"

#include "machine/rio.h"

namespace orv {

BusRecord bus;

namespace {

// The page rule of both reads; they differ only in how an I/O page answers.
template <std::uint8_t (*ioRead)(std::uint16_t)>
std::uint8_t readPage(std::uint16_t address) {
    const std::uint8_t flags = bus.pageFlags[address >> 8];
    if (flags & (PAGE_RAM | PAGE_ROM)) return bus.memory[address];
    if (flags & PAGE_EMPTY) return static_cast<std::uint8_t>(address >> 8);
    return ioRead(address);
}

} // namespace

std::uint8_t busRead(std::uint16_t address) {
    return readPage<rioRead>(address);
}

std::uint8_t peekByte(std::uint16_t address) {
    return readPage<rioPeek>(address);
}

void busWrite(std::uint16_t address, std::uint8_t value, std::uint8_t force) {
    const std::uint8_t flags = bus.pageFlags[address >> 8];
    if ((flags & PAGE_RAM) || ((flags & PAGE_ROM) && force == FORCE_ROM)) {
        bus.memory[address] = value;
        return;
    }
    if (flags & (PAGE_EMPTY | PAGE_ROM)) return;
    rioWrite(address, value);
}

} // namespace orv
