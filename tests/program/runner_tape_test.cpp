// A tape orv-run records is the tape the program records: the same keys typed into the real monitor,
// the same bytes in the file.
#include "base/run_inputs.h"
#include "control/run_control.h"
#include "machine/key_feed.h"
#include "program/program_fixture.h"
#include "settings/flags.h"
#include "support/file_io.h"
#include "support/poke.h"
#include "support/run_process.h"
#include "tape/tape.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>

namespace orv {
namespace {

TEST(RunnerTapeTest, OrvRunRecordsTheSameTapeAsTheProgram) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::filesystem::path dir = folder.path().toStdString();
    const std::string keys = "s0200^0210^";
    const test::Bytes data = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF,
                              0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};

    const test::ProcessResult runner =
        test::runProcess(ORV_RUN,
                         {"--poke", "0200=01,23,45,67,89,AB,CD,EF,FE,DC,BA,98,76,54,32,10", "--keys", keys,
                          "--record", "runner.mid"},
                         dir);
    ASSERT_EQ(runner.status, 0) << runner.err;

    const std::uint8_t savedMute = runInputs.mute;
    runInputs.mute = 1;
    resetCommand();
    test::poke(0x0200, data);
    std::string message;
    ASSERT_TRUE(tapeStartRecording(TAPE_LABEL, (dir / "program.mid").string(), message)) << message;
    // Through the key feed, which keeps pace with the monitor however busy the test machine is.
    keyFeedAddText(keys);
    // The program stops a recording by itself once the signal has ended.
    const bool stopped = test::settleUntil([] { return tape.tapeState == 0; }, 60000);
    haltRunning();
    keyFeedStop();
    if (!stopped) tapeStop(message);
    runInputs.mute = savedMute;
    ASSERT_TRUE(stopped) << "the recording did not end";

    const test::Bytes recorded = test::readBytes(dir / "program.mid");
    EXPECT_GT(recorded.size(), 200u);
    EXPECT_EQ(test::readBytes(dir / "runner.mid"), recorded);
}

} // namespace
} // namespace orv
