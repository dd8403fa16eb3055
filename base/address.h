// Addresses and small numbers typed or stored as text: one reader, with each place's syntax named below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace orv {

enum class ZeroX { None, LowerOnly, EitherCase };

// What a place accepts. Prefixes come in this order, each at most once: "C:", "#", then one of "$", "0x",
// "%". Digits are either case; no blanks or signs anywhere, and the whole text must be used.
struct AddressSyntax {
    bool viceSpace = false;    // "C:" or "c:", the computer's memory space in VICE label files
    bool hash = false;         // "#", as an immediate operand is written
    bool dollar = false;       // "$": hex digits follow
    ZeroX zeroX = ZeroX::None; // "0x": hex digits follow
    bool percent = false;      // "%": binary digits follow
    unsigned plainBase = 16;   // the digits' base when no prefix says otherwise
    std::size_t fewestDigits = 1;
    std::size_t mostDigits = 4;
    std::uint32_t largest = 0xFFFF;
    // Four characters as two hex pairs, each read on its own: a pair that is not hex, or is cut short,
    // reads 00. Never fails; characters after the fourth are not looked at.
    bool eachPairAlone = false;
};

// Options of orv and orv-run (--at ADDR, --poke ADDR=..., ranges): 1 to 4 digits, "$" or "0x" in either case.
inline constexpr AddressSyntax OPTION_ADDRESS{.dollar = true, .zeroX = ZeroX::EitherCase};
// The bytes of orv-run's --poke: as OPTION_ADDRESS, 1 or 2 digits.
inline constexpr AddressSyntax OPTION_BYTE{
    .dollar = true, .zeroX = ZeroX::EitherCase, .mostDigits = 2, .largest = 0xFF};
// Typed into the debugger's address fields: 1 to 4 digits, "$" or a lower-case "0x".
inline constexpr AddressSyntax DEBUGGER_ADDRESS{.dollar = true, .zeroX = ZeroX::LowerOnly};
// Label files (ld65's "000200", VICE's "C:0200", "$0200"): "C:" and "$" both optional, 1 to 6 digits.
inline constexpr AddressSyntax LABEL_ADDRESS{.viceSpace = true, .dollar = true, .mostDigits = 6};
// A number in a breakpoint's condition: "#" optional, then "$" or "0x" for hex, "%" for binary, else decimal;
// as many digits as wanted, at most FFFF.
inline constexpr AddressSyntax CONDITION_NUMBER{.hash = true,
                                                .dollar = true,
                                                .zeroX = ZeroX::EitherCase,
                                                .percent = true,
                                                .plainBase = 10,
                                                .mostDigits = SIZE_MAX};
// A hex dump's address word: "$" optional, 1 to 8 digits; the reader says itself what lies beyond FFFF.
inline constexpr AddressSyntax DUMP_ADDRESS{.dollar = true, .mostDigits = 8, .largest = 0xFFFFFFFF};
// A hex dump's byte: exactly two digits.
inline constexpr AddressSyntax DUMP_BYTE{.fewestDigits = 2, .mostDigits = 2, .largest = 0xFF};
// A number in ld65's debug information: decimal, or hex after "0x".
inline constexpr AddressSyntax DEBUG_INFO_NUMBER{
    .zeroX = ZeroX::LowerOnly, .plainBase = 10, .mostDigits = 10, .largest = 0xFFFFFFFF};
// Saved by the program and typed into the Save dialog: exactly four digits.
inline constexpr AddressSyntax FOUR_DIGITS{.fewestDigits = 4};
// The debugger's addresses in "orv.ini": each pair on its own.
inline constexpr AddressSyntax SETTINGS_PAIRS{.eachPairAlone = true};

// The value of `text` in `syntax`, or nothing when the text does not follow it or the value is above
// syntax.largest.
std::optional<std::uint32_t> numberValue(std::string_view text, const AddressSyntax& syntax);

// As numberValue, for a syntax whose largest value fits an address.
std::optional<std::uint16_t> addressValue(std::string_view text, const AddressSyntax& syntax);

} // namespace orv
