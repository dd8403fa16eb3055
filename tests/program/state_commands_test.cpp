// Save State, Load State and the quick slot of F5 and F9.
#include "base/run_inputs.h"
#include "control/commands.h"
#include "control/main_window.h"
#include "control/run_control.h"
#include "control/state_commands.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "program/program_fixture.h"
#include "settings/settings.h"
#include "support/file_io.h"
#include "support/key_press.h"
#include "support/poke.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <sys/stat.h>

namespace orv {
namespace {

using test::boxes;
using test::settle;
using test::settleUntil;

class StateCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        haltRunning();
        settle(5);
        boxes.clear();
        test::boxAnswers.clear();
        savedSettingsPath = settings.settingsPath;
        settings.settingsPath = QDir(folder.path()).filePath("orv.ini").toStdString();
        // At 0x0200: INX, STX $0300, JMP 0x0200.
        test::poke(0x0200, {0xE8, 0x8E, 0x00, 0x03, 0x4C, 0x00, 0x02});
        test::poke(0x0300, {0x00});
        cpuSetPc(0x0200);
        cpu.x = 0x10;
    }
    void TearDown() override {
        haltRunning();
        settle(5);
        settings.settingsPath = savedSettingsPath;
        test::boxAnswers.clear();
        cpuSetBreakpoint(settings.debugP);
    }
    void press(Qt::Key key) {
        // A box the key brought up took the window's activation with it.
        test::activate(windowParts.mainWindow);
        test::pressKey(windowParts.mainWindow, key, Qt::NoModifier, QString());
        settle(20);
    }
    QTemporaryDir folder;
    std::string savedSettingsPath;
};

TEST_F(StateCommandsTest, F5SavesTheQuickSlotAndF9BringsItBackRunningOrHalted) {
    const QString quick = QDir(folder.path()).filePath("quick.orvstate");
    EXPECT_EQ(quickStatePath(), quick.toStdString());
    auto saved = [&quick] { return QFileInfo::exists(quick); };

    press(Qt::Key_F5);
    ASSERT_TRUE(settleUntil(saved, 5000));
    const std::uint16_t pc = cpu.pc;
    const std::uint8_t x = cpu.x;
    const std::int32_t at = cpu.cycles;
    const std::uint16_t breakAt = cpu.breakpoint;
    cpu.x = static_cast<std::uint8_t>(x + 0x40);
    busWrite(0x0300, 0x99, FORCE_NONE);
    cpuSetBreakpoint(static_cast<std::uint16_t>(breakAt + 1));
    press(Qt::Key_F9);
    EXPECT_TRUE(runInputs.halted) << "saved halted, loaded halted";
    EXPECT_EQ(cpu.pc, pc);
    EXPECT_EQ(cpu.x, x);
    EXPECT_EQ(cpu.cycles, at);
    EXPECT_EQ(busRead(0x0300), 0x00);
    EXPECT_EQ(cpu.breakpoint, breakAt);

    // Saved running: F9 after the machine has run on goes back in time and runs from there.
    ASSERT_TRUE(QFile::remove(quick));
    onCommand(CMD_RUN);
    press(Qt::Key_F5);
    ASSERT_TRUE(settleUntil(saved, 5000));
    const std::int32_t savedBy = cpu.cycles;
    ASSERT_TRUE(settleUntil([savedBy] { return cpu.cycles - savedBy > 500'000; }, 10'000));
    haltRunning();
    press(Qt::Key_F9);
    EXPECT_FALSE(runInputs.halted) << "saved running, loaded running";
    haltRunning();
    EXPECT_LT(cpu.cycles - savedBy, 400'000);
    EXPECT_TRUE(boxes.empty()) << "a quick save or load that works shows nothing";
}

TEST_F(StateCommandsTest, ARefusedQuickLoadSaysWhyAndTheMachineGoesOn) {
    using B = QMessageBox::StandardButton;
    const struct {
        const char* content; // nullptr: nothing there yet; "/": a folder; "|": a FIFO
        const char* title;
        const char* text;
        QMessageBox::StandardButtons buttons;
    } cases[] = {
        {nullptr, "Quick Load State", "There is no quick save yet: Quick Save State (F5) makes one.", B::Ok},
        {"/", "Error loading from file", "Error: 'quick.orvstate' is a folder", B::Retry | B::Cancel},
        {"|", "Error loading from file", "Error: 'quick.orvstate' is not a regular file",
         B::Retry | B::Cancel},
        {"ORVSTATE", "Error loading from file", "Error: file 'quick.orvstate' is cut short",
         B::Retry | B::Cancel},
        {":00000001FF\r\n", "Error loading from file", "Error: file 'quick.orvstate' is not a save state",
         B::Retry | B::Cancel},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::filesystem::remove_all(quickStatePath());
        const std::string made = c.content ? c.content : "";
        if (made == "/") {
            ASSERT_TRUE(std::filesystem::create_directory(quickStatePath()));
        } else if (made == "|") {
            ASSERT_EQ(::mkfifo(quickStatePath().c_str(), 0644), 0);
        } else if (c.content) {
            ASSERT_TRUE(test::writeText(quickStatePath(), c.content));
        }
        onCommand(CMD_RUN);
        boxes.clear();
        test::boxAnswers = {QMessageBox::Cancel};
        press(Qt::Key_F9);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].title, c.title);
        EXPECT_EQ(boxes[0].text, c.text);
        EXPECT_EQ(boxes[0].buttons, c.buttons);
        EXPECT_FALSE(runInputs.halted) << "running on as before";
        haltRunning();
        EXPECT_EQ(busRead(0x0200), 0xE8) << "the program is still there";
    }
}

TEST_F(StateCommandsTest, SaveAndLoadStateGoThroughTheFileDialog) {
    const QString path = QDir(folder.path()).filePath("here.orvstate");
    auto choose = [path](QWidget* active) {
        auto* dialog = qobject_cast<QFileDialog*>(active);
        if (!dialog) return false;
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept();
        return true;
    };
    {
        test::ModalScript script({choose});
        onCommand(CMD_SAVE_STATE);
        EXPECT_EQ(script.done(), 1u);
    }
    const std::uint8_t x = cpu.x;
    cpu.x = static_cast<std::uint8_t>(x + 1);
    {
        test::ModalScript script({choose});
        onCommand(CMD_LOAD_STATE);
        EXPECT_EQ(script.done(), 1u);
    }
    EXPECT_EQ(cpu.x, x);
    EXPECT_TRUE(runInputs.halted);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].title, "Successful save");
    EXPECT_EQ(boxes[0].text, "State saved to 'here.orvstate'");
    EXPECT_EQ(boxes[1].title, "Successful load");
    EXPECT_EQ(boxes[1].text, "State loaded from 'here.orvstate'");
}

} // namespace
} // namespace orv
