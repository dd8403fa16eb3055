#include "objfile/objfile.h"

#include <gtest/gtest.h>

#include <string>

namespace orv {
namespace {

TEST(ObjfileTest, DefaultExtension) {
    const struct {
        std::string name;
        std::string extension;
        std::string expected;
    } cases[] = {
        {"prog", "obj", "prog.obj"},
        {"prog.hex", "obj", "prog.hex"},
        {"my.dir/prog", "obj", "my.dir/prog"},
        {"my.dir\\prog", "mid", "my.dir\\prog"},
        {"tune", "mid", "tune.mid"},
        {"", "obj", ".obj"},
        {"prog.", "obj", "prog."},
        {std::string(252, 'a'), "obj", std::string(252, 'a') + ".obj"}, // exactly 256
        {std::string(253, 'a'), "obj", std::string(253, 'a')},          // would be 257
        {std::string(256, 'a'), "obj", std::string(256, 'a')},
    };
    for (const auto& c : cases) {
        std::string name = c.name;
        addDefaultExtension(name, c.extension);
        EXPECT_EQ(name, c.expected) << c.name;
    }
}

TEST(ObjfileTest, HexByteTextIsUpperCase) {
    const struct {
        std::uint8_t value;
        const char* text;
    } cases[] = {{0x00, "00"}, {0x09, "09"}, {0x0A, "0A"}, {0xA9, "A9"},
                 {0xF2, "F2"}, {0xFF, "FF"}, {0x5C, "5C"}};
    for (const auto& c : cases) {
        char out[3] = {'x', 'x', 'z'};
        hexByteText(c.value, out);
        EXPECT_EQ(std::string(out, 2), c.text);
        EXPECT_EQ(out[2], 'z');
    }
}

} // namespace
} // namespace orv
