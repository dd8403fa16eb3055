// The address bus. The 6502 sees 64 KiB in 256-byte pages, and the board fits few of them:
//
//   0x0000-0x03FF  pages 0x00-0x03  RAM, 1 KiB
//   0x0E00-0x0EFF  page 0x0E        RIO 0: display, keypad, cassette (machine/rio.h)
//   0x0F00-0x0FFF  page 0x0F        RIO 1
//   0xFE00-0xFFFF  pages 0xFE-0xFF  ROM, the monitor and the interrupt vectors
//
// Nothing answers anywhere else: a read there gives the high byte of the address and a write goes
// nowhere. Every access of the processor, the debugger and the object files comes through here; a RIO
// page reaches its chip with all its effects.
#pragma once

#include <array>
#include <cstdint>

namespace orv {

// Page kinds, the entries of pageFlags.
constexpr std::uint8_t PAGE_EMPTY = 0x01;
constexpr std::uint8_t PAGE_RAM = 0x02;
constexpr std::uint8_t PAGE_ROM = 0x04;
constexpr std::uint8_t PAGE_RIO0 = 0x10;
constexpr std::uint8_t PAGE_RIO1 = 0x20;
// A spare bit, not part of the map: a watchpoint covers part of this RAM or ROM page, so the
// interpreter takes its slow path here. The bus itself ignores it.
constexpr std::uint8_t PAGE_WATCH = 0x40;

// Where the map's memory lies; the RIO pages are rioPage (machine/rio.h).
constexpr std::uint8_t RAM_FIRST_PAGE = 0x00;
constexpr std::uint8_t RAM_LAST_PAGE = 0x03;
constexpr std::uint8_t ROM_FIRST_PAGE = 0xFE;
constexpr std::uint8_t ROM_LAST_PAGE = 0xFF;

// busWrite's force flag. Loading a program may write ROM; the processor and the user never do. It
// plays no part for RIO pages.
constexpr std::uint8_t FORCE_NONE = 0;
constexpr std::uint8_t FORCE_ROM = 1;

struct BusRecord {
    std::array<std::uint8_t, 65536> memory{};
    std::array<std::uint8_t, 256> pageFlags{}; // PAGE_... kinds
};

extern BusRecord bus;

std::uint8_t busRead(std::uint16_t address);
void busWrite(std::uint16_t address, std::uint8_t value, std::uint8_t force);
// What busRead would show, without touching a device: for the debugger's views of memory.
std::uint8_t peekByte(std::uint16_t address);

} // namespace orv
