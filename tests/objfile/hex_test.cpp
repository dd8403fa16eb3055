#include "base/hex_digits.h"
#include "base/text_format.h"
#include "machine/bus.h"
#include "machine/power.h"
#include "machine/rio.h"
#include "objfile/hex.h"
#include "objfile/hex_record.h"
#include "settings/flags.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace orv {
namespace {

// A record with its checksum, upper-case digits, no line end.
std::string makeRecord(std::uint16_t address, std::uint8_t type, const std::vector<std::uint8_t>& data) {
    std::string text;
    appendHexRecord(text, address, type, data.data(), data.size());
    text.resize(text.size() - 2);
    return text;
}

class HexTest : public ::testing::Test {
  protected:
    void SetUp() override {
        machinePowerOn();
        rioReset();
        savedDiag = runInputs.diag;
        runInputs.diag = 0;
    }
    void TearDown() override { runInputs.diag = savedDiag; }

    // Loads from a heap block of exactly the text's size, with no NUL after it, so that the sanitizer
    // catches any read past the end.
    int load(const std::string& text, std::string& message, const std::string& name = "t.obj") {
        std::unique_ptr<char[]> buffer(new char[text.size() ? text.size() : 1]);
        std::copy(text.begin(), text.end(), buffer.get());
        return loadHexText(name, buffer.get(), text.size(), message);
    }
    std::uint8_t savedDiag = 0;
};

const std::string END = ":00000001FF";

TEST_F(HexTest, HexByteValue) {
    const struct {
        const char* text;
        std::uint8_t value;
        int error;
    } cases[] = {
        {"00", 0x00, 0}, {"9f", 0x9F, 0}, {"A9", 0xA9, 0}, {"fF", 0xFF, 0}, {"aB", 0xAB, 0},
        {"G0", 0, 1},    {"0G", 0, 1},    {"", 0, 1},      {"1", 0, 1},     {" 1", 0, 1},
        {"-1", 0, 1},    {":0", 0, 1},    {"g1", 0, 1},
    };
    for (const auto& c : cases) {
        int error = 0;
        EXPECT_EQ(hexByteValue(c.text, error), c.value) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
    // The flag is sticky: a good pair after a bad one does not clear it.
    int error = 0;
    hexByteValue("zz", error);
    EXPECT_EQ(hexByteValue("12", error), 0x12);
    EXPECT_EQ(error, 1);
}

TEST_F(HexTest, LoadsRecordsIntoMemory) {
    std::string message = "stale";
    const int count = load(":03020000A90060F2\r\n:0203FE001234B7\r\n" + END + "\r\n", message);
    EXPECT_EQ(message, "");
    EXPECT_EQ(count, 5);
    EXPECT_EQ(bus.memory[0x0200], 0xA9);
    EXPECT_EQ(bus.memory[0x0201], 0x00);
    EXPECT_EQ(bus.memory[0x0202], 0x60);
    EXPECT_EQ(bus.memory[0x03FE], 0x12);
    EXPECT_EQ(bus.memory[0x03FF], 0x34);
}

TEST_F(HexTest, LineEndings) {
    const std::string a = ":03020000A90060F2";
    const struct {
        std::string text;
        int count;
        const char* message;
    } cases[] = {
        {a + "\r\n" + END + "\r\n", 3, ""},
        {a + "\n\r" + END + "\n\r", 3, ""},
        {a + "\n" + END + "\n", 3, ""},
        {a + "\r" + END + "\r", 3, ""},
        {a + "\r\n" + END, 3, ""},
        {a + "\r\n" + END + "\r\n\r\n", 3, "Error in 't.obj' line 3: does not start with ':'"},
        {a + "\r\r" + END, 3, "Error in 't.obj' line 2: does not start with ':'"},
        {a + "\n\n" + END, 3, "Error in 't.obj' line 2: does not start with ':'"},
        {a + "\r\n\n" + END, 3, "Error in 't.obj' line 2: does not start with ':'"},
        {a + "\n\r\r" + END, 3, "Error in 't.obj' line 2: does not start with ':'"},
        {END + "\n\n", 0, "Error in 't.obj' line 2: does not start with ':'"},
    };
    for (const auto& c : cases) {
        std::string message;
        EXPECT_EQ(load(c.text, message), c.count) << c.text;
        EXPECT_EQ(message, c.message) << c.text;
    }
}

TEST_F(HexTest, FailureMessages) {
    const std::string data = ":03020000A90060F2\r\n";
    const struct {
        std::string text;
        int count;
        const char* message;
    } cases[] = {
        {" " + data + END, 0, "Error in 't.obj' line 1: does not start with ':'"},
        {data + "\r\n" + END, 3, "Error in 't.obj' line 2: does not start with ':'"},
        {":1", 0, "Error in 't.obj' line 1: bad hex digits '1'"},
        {":", 0, "Error in 't.obj' line 1: bad hex digits ''"},
        {data + ":03020000A9X060F2\r\n" + END, 4, "Error in 't.obj' line 2: bad hex digits 'X0'"},
        {":0302000\r\n", 0, "Error in 't.obj' line 1: bad hex digits '0'"},
        {":03020000A90060\r\n", 3, "Error in 't.obj' line 1: bad hex digits ''"},
        {":03020000A90060F3\r\n" + END, 3, "Error in 't.obj' line 1: bad checksum, got '01'"},
        {":03020000A90060F0\r\n" + END, 3, "Error in 't.obj' line 1: bad checksum, got 'fe'"},
        {":0000000200\r\n" + END, 0, "Error in 't.obj' line 1: unimplemented type '02'"},
        {data + ":020000040000FA\r\n", 3, "Error in 't.obj' line 2: unimplemented type '04'"},
        {data + END + "\r\n" + data, 6, "Error in file 't.obj' line 3: data after EOF record"},
        {data, 3, "Error: file 't.obj' did not end in EOF record"},
        {"", 0, "Error: file 't.obj' did not end in EOF record"},
        {END + "\r\n" + data, 3, "Error in file 't.obj' line 2: data after EOF record"},
        {":00020000FE\r\n:0000000000\r\n" + END, 0, "Error: file 't.obj' had no bytes to load"},
        {END, 0, "Error: file 't.obj' had no bytes to load"},
    };
    for (const auto& c : cases) {
        std::string message;
        EXPECT_EQ(load(c.text, message), c.count) << c.text;
        EXPECT_EQ(message, c.message) << c.text;
    }
}

TEST_F(HexTest, RecordWrapsFromTopOfMemoryToZero) {
    std::vector<std::uint8_t> data(32);
    for (int i = 0; i < 32; ++i) data[i] = static_cast<std::uint8_t>(0xC0 + i);
    std::string message;
    EXPECT_EQ(load(makeRecord(0xFFF0, 0, data) + "\r\n" + END + "\r\n", message), 32);
    EXPECT_EQ(message, "");
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(bus.memory[0xFFF0 + i], 0xC0 + i) << i;
        EXPECT_EQ(bus.memory[i], 0xD0 + i) << i;
    }
}

TEST_F(HexTest, WrongChecksumHasAlreadyStoredItsBytes) {
    bus.memory[0x0100] = 0;
    bus.memory[0x0101] = 0;
    std::string message;
    EXPECT_EQ(load(":02010000ABCD00\r\n" + END + "\r\n", message), 2);
    EXPECT_EQ(message, "Error in 't.obj' line 1: bad checksum, got '7b'");
    EXPECT_EQ(bus.memory[0x0100], 0xAB);
    EXPECT_EQ(bus.memory[0x0101], 0xCD);
}

TEST_F(HexTest, EndRecordWithDataStoresItAndEnds) {
    std::string message;
    EXPECT_EQ(load(makeRecord(0x0300, 1, {0x11, 0x22}) + "\r\n", message), 2);
    EXPECT_EQ(message, "");
    EXPECT_EQ(bus.memory[0x0300], 0x11);
    EXPECT_EQ(bus.memory[0x0301], 0x22);
}

TEST_F(HexTest, DataAfterEndIsStoredThenRefused) {
    std::string message;
    EXPECT_EQ(
        load(makeRecord(0x0300, 0, {1}) + "\n" + END + "\n" + makeRecord(0x0310, 0, {0x77}) + "\n", message),
        2);
    EXPECT_EQ(message, "Error in file 't.obj' line 3: data after EOF record");
    EXPECT_EQ(bus.memory[0x0310], 0x77);
}

TEST_F(HexTest, TextAfterChecksumIsAcceptedAndTraced) {
    runInputs.diag = 1;
    testing::internal::CaptureStdout();
    std::string message;
    EXPECT_EQ(load(":03020000a90060f2  ; start\r\n" + END + "x\r\n", message), 3);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(message, "");
    EXPECT_EQ(out, "Junk on end of line 1\nJunk on end of line 2\n");
    EXPECT_EQ(bus.memory[0x0200], 0xA9);
}

TEST_F(HexTest, UnmappedBytesAreCountedNotStoredAndRomIsReplaced) {
    bus.memory[0x2000] = 0x5A;
    bus.memory[0xFE00] = 0x00;
    std::string message;
    const std::string text = makeRecord(0x2000, 0, {1, 2, 3}) + "\r\n" + makeRecord(0xFE00, 0, {0xEA}) +
                             "\r\n" + makeRecord(0x0E80, 0, {0x99}) + "\r\n" + makeRecord(0x0E21, 0, {0x5B}) +
                             "\r\n" + END;
    EXPECT_EQ(load(text, message), 6);
    EXPECT_EQ(message, "");
    EXPECT_EQ(bus.memory[0x2000], 0x5A);
    EXPECT_EQ(busRead(0x2000), 0x20);
    EXPECT_EQ(bus.memory[0xFE00], 0xEA);
    EXPECT_EQ(rio[0].ram[0], 0x99);
    EXPECT_EQ(rio[0].outB, 0x5B);
}

TEST_F(HexTest, NulInsideTextEndsItsLine) {
    const std::string text = std::string(":03020000A90060F2") + '\0' + "junk\r\n" + END;
    std::string message;
    EXPECT_EQ(load(text, message), 3);
    EXPECT_EQ(message, "");
    const std::string bad = std::string(":0302") + '\0' + "0000A90060F2\r\n" + END;
    EXPECT_EQ(load(bad, message), 0);
    EXPECT_EQ(message, "Error in 't.obj' line 1: bad hex digits ''");
}

TEST_F(HexTest, NeverReadsPastTheGivenLength) {
    // The length cuts the buffer short: the end record is not seen.
    std::string full = ":03020000A90060F2\r\n" + END;
    std::string message;
    std::unique_ptr<char[]> buffer(new char[full.size()]);
    std::copy(full.begin(), full.end(), buffer.get());
    EXPECT_EQ(loadHexText("t.obj", buffer.get(), full.size() - 2, message), 3);
    EXPECT_EQ(message, "Error in 't.obj' line 2: bad hex digits ''");
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
        load(full.substr(0, cut), message); // the sanitizer watches the reads
        EXPECT_NE(message, "") << cut;
    }
}

TEST_F(HexTest, LoadHexLineReportsTypeAndDoesNotClearMessage) {
    std::string message;
    int type = -1;
    EXPECT_EQ(loadHexLine("n", 7, ":0000000200", message, type), 0);
    EXPECT_EQ(type, 2);
    EXPECT_EQ(message, "Error in 'n' line 7: unimplemented type '02'");
    type = -1;
    EXPECT_EQ(loadHexLine("n", 8, ":03020000A90060F2", message, type), 3);
    EXPECT_EQ(type, 0);
    EXPECT_EQ(message, "Error in 'n' line 7: unimplemented type '02'");
    message.clear();
    EXPECT_EQ(loadHexLine("n", 9, ":00000001FF", message, type), 0);
    EXPECT_EQ(type, 1);
    EXPECT_EQ(message, "");
}

} // namespace
} // namespace orv
