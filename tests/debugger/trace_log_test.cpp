#include "debugger/trace_log.h"
#include "support/file_io.h"
#include "tests/debugger/debug_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace orv {
namespace {

class TraceLogTest : public test::DebugFixture {
  protected:
    std::filesystem::path path =
        std::filesystem::path(::testing::TempDir()) / ("orv_trace_" + std::to_string(getpid()) + ".log");
    void TearDown() override {
        std::filesystem::remove(path);
        DebugFixture::TearDown();
    }

    // Runs `count` instructions traced, as orv-run does: each a slice of its own.
    std::vector<std::string> traced(int count, std::uint64_t limit, std::string& message) {
        TraceLog log;
        EXPECT_TRUE(log.open(path.string(), limit, message)) << message;
        for (int n = 0; n < count; ++n) {
            log.before();
            runFor(0);
            log.after();
        }
        EXPECT_TRUE(log.close(message)) << message;
        std::istringstream in(test::readText(path));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
};

TEST_F(TraceLogTest, LinesAgreeWithTheHistoryAndShowEachAccess) {
    // The zero-page pointer at $FF pairs with $0100, as the processor reads it.
    test::poke(0x00FE, {0x00, 0x03, 0x03});
    test::poke(0x0302, {0x77});
    test::poke(0x0200, {0xA2, 0x01, 0xA9, 0x42, 0x8D, 0x00, 0x03, 0xEE, 0x00, 0x03, 0xA0, 0x02, 0xB1, 0xFE,
                        0x81, 0xFE, 0x4C, 0x00, 0x02});
    const char* const accesses[] = {"",
                                    "",
                                    "  [$0300]<-42",    // STA $0300
                                    "  [$0300]=42<-43", // INC $0300
                                    "",
                                    "  [$0302]=77",  // LDA ($FE),Y
                                    "  [$0303]<-77", // STA ($FE,X)
                                    "",              // JMP $0200
                                    ""};
    historySwitch(true);
    std::string message;
    const std::vector<std::string> lines = traced(9, TRACE_DEFAULT_LIMIT, message);
    EXPECT_EQ(message, "");
    ASSERT_EQ(lines.size(), historySize());
    ASSERT_EQ(lines.size(), std::size(accesses));
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const HistoryEntry& entry = historyAt(n);
        EXPECT_EQ(lines[n], formatText("%10u  ", static_cast<unsigned>(entry.cycles)) +
                                instructionColumns(entry) + accesses[n]);
    }
    EXPECT_EQ(lines[2].substr(0, 37), "         4  0204  8D 00 03  STA $0300");
}

// A trace stops whole lines short of its limit and says so; the machine runs on.
TEST_F(TraceLogTest, StopsAtItsLimit) {
    test::poke(0x0200, {0x4C, 0x00, 0x02});
    std::string message;
    const std::vector<std::string> lines = traced(10, 200, message);
    EXPECT_EQ(lines.size(), 200u / (lines.at(0).size() + 1));
    EXPECT_LE(std::filesystem::file_size(path), 200u);
    EXPECT_EQ(message, formatText("Warning: the trace in '%s' stopped at its limit of 200 bytes",
                                  path.filename().string().c_str()));
    EXPECT_EQ(cpu.cycles, 30);
}

} // namespace
} // namespace orv
