// The memory map: 256 pages of RAM, ROM, RIO or nothing, and the two bus operations.
#pragma once

#include <array>
#include <cstdint>

namespace orv {

constexpr std::uint8_t PAGE_EMPTY = 0x01;
constexpr std::uint8_t PAGE_RAM = 0x02;
constexpr std::uint8_t PAGE_ROM = 0x04;
constexpr std::uint8_t PAGE_RIO0 = 0x10;
constexpr std::uint8_t PAGE_RIO1 = 0x20;
// A spare bit, not part of the map: a watchpoint covers part of this RAM or ROM page, so the
// interpreter takes its slow path here. The bus itself ignores it.
constexpr std::uint8_t PAGE_WATCH = 0x40;

extern std::array<std::uint8_t, 65536> memory;
extern std::array<std::uint8_t, 256> pageFlags;

std::uint8_t busRead(std::uint16_t address);
// force 1 lets the write reach ROM (the HEX loader); it plays no part for RIO pages.
void busWrite(std::uint16_t address, std::uint8_t value, std::uint8_t force);
// What busRead would show, without touching a device: for the debugger's views of memory.
std::uint8_t peekByte(std::uint16_t address);

} // namespace orv
