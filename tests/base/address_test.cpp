// Every named address syntax over the same inputs: what each place that reads addresses accepts.
#include "base/address.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string_view>

namespace orv {
namespace {

constexpr std::int64_t NO = -1;

struct Named {
    const char* name;
    const AddressSyntax& syntax;
};

const std::array<Named, 9> SYNTAXES{{{"OPTION_ADDRESS", OPTION_ADDRESS},
                                     {"OPTION_BYTE", OPTION_BYTE},
                                     {"DEBUGGER_ADDRESS", DEBUGGER_ADDRESS},
                                     {"LABEL_ADDRESS", LABEL_ADDRESS},
                                     {"CONDITION_NUMBER", CONDITION_NUMBER},
                                     {"DUMP_ADDRESS", DUMP_ADDRESS},
                                     {"DUMP_BYTE", DUMP_BYTE},
                                     {"FOUR_DIGITS", FOUR_DIGITS},
                                     {"SETTINGS_PAIRS", SETTINGS_PAIRS}}};

struct Row {
    std::string_view text;
    std::array<std::int64_t, 9> expected; // in the order of SYNTAXES
};

// clang-format off
const Row ROWS[] = {
    //               OPTION  BYTE  DEBUGGER LABEL   CONDITION DUMP        DUMP_BYTE FOUR    PAIRS
    {"0200",        {0x200,  NO,   0x200,   0x200,  200,      0x200,      NO,       0x200,  0x0200}},
    {"$0200",       {0x200,  NO,   0x200,   0x200,  0x200,    0x200,      NO,       NO,     0x0020}},
    {"0x200",       {0x200,  NO,   0x200,   NO,     0x200,    NO,         NO,       NO,     0x0020}},
    {"0X200",       {0x200,  NO,   NO,      NO,     0x200,    NO,         NO,       NO,     0x0020}},
    {"200",         {0x200,  NO,   0x200,   0x200,  200,      0x200,      NO,       NO,     0x2000}},
    {"10000",       {NO,     NO,   NO,      NO,     10000,    0x10000,    NO,       NO,     0x1000}},
    {"",            {NO,     NO,   NO,      NO,     NO,       NO,         NO,       NO,     0}},
    {"02 00",       {NO,     NO,   NO,      NO,     NO,       NO,         NO,       NO,     0x0200}},
    {"g200",        {NO,     NO,   NO,      NO,     NO,       NO,         NO,       NO,     0}},
    {"ffff",        {0xFFFF, NO,   0xFFFF,  0xFFFF, NO,       0xFFFF,     NO,       0xFFFF, 0xFFFF}},
    {"FFFF",        {0xFFFF, NO,   0xFFFF,  0xFFFF, NO,       0xFFFF,     NO,       0xFFFF, 0xFFFF}},
    {"12",          {0x12,   0x12, 0x12,    0x12,   12,       0x12,       0x12,     NO,     0x1200}},
    {"0xff",        {0xFF,   0xFF, 0xFF,    NO,     0xFF,     NO,         NO,       NO,     0x00FF}},
    {"000200",      {NO,     NO,   NO,      0x200,  200,      0x200,      NO,       NO,     0x0002}},
    {"C:0200",      {NO,     NO,   NO,      0x200,  NO,       NO,         NO,       NO,     0x0002}},
    {"c:$ff",       {NO,     NO,   NO,      0xFF,   NO,       NO,         NO,       NO,     0}},
    {"#$10",        {NO,     NO,   NO,      NO,     0x10,     NO,         NO,       NO,     0x0010}},
    {"%101",        {NO,     NO,   NO,      NO,     5,        NO,         NO,       NO,     0x0001}},
    {"%102",        {NO,     NO,   NO,      NO,     NO,       NO,         NO,       NO,     0x0002}},
    {"65536",       {NO,     NO,   NO,      NO,     NO,       0x65536,    NO,       NO,     0x6553}},
    {"FFFFFFFF",    {NO,     NO,   NO,      NO,     NO,       0xFFFFFFFF, NO,       NO,     0xFFFF}},
    {"123456789",   {NO,     NO,   NO,      NO,     NO,       NO,         NO,       NO,     0x1234}},
    {"$",           {NO,     NO,   NO,      NO,     NO,       NO,         NO,       NO,     0}},
    {"0x",          {NO,     NO,   NO,      NO,     NO,       NO,         NO,       NO,     0}},
    {"+12",         {NO,     NO,   NO,      NO,     NO,       NO,         NO,       NO,     0}},
    {" 200",        {NO,     NO,   NO,      NO,     NO,       NO,         NO,       NO,     0}},
};
// clang-format on

TEST(Address, EachSyntaxOverTheSameInputs) {
    for (const Row& row : ROWS) {
        for (std::size_t i = 0; i < SYNTAXES.size(); ++i) {
            const auto value = numberValue(row.text, SYNTAXES[i].syntax);
            EXPECT_EQ(value ? static_cast<std::int64_t>(*value) : NO, row.expected[i])
                << SYNTAXES[i].name << " reading '" << row.text << "'";
        }
    }
}

} // namespace
} // namespace orv
