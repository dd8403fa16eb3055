#include "control/commands.h"
#include "control/edit_commands.h"
#include "control/keypad.h"
#include "control/main_window.h"
#include "control/run_control.h"
#include "machine/bus.h"
#include "machine/display_text.h"
#include "machine/key_feed.h"
#include "machine/rio.h"
#include "panel/panel_widget.h"
#include "program/program_fixture.h"
#include "settings/file_history.h"
#include "support/command_recorder.h"
#include "support/key_press.h"
#include "support/poke.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace orv {
namespace {

using test::boxes;
using test::poke;
using test::settle;
using test::settleUntil;

constexpr int DEADLINE_MS = 20000;

void setClipboard(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
}

// A key as the keyboard gives it to the main window; its shortcuts answer only while it is active, which a
// closed message box may have left otherwise.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers, const char* text) {
    windowParts.mainWindow->activateWindow();
    ASSERT_TRUE(
        settleUntil([] { return QApplication::activeWindow() == windowParts.mainWindow; }, DEADLINE_MS));
    windowParts.mainWindow->setFocus();
    test::pressKey(windowParts.mainWindow, key, modifiers, text);
    QCoreApplication::sendPostedEvents(windowParts.mainWindow, COMMAND_EVENT);
}

void pasteAsKeys() {
    press(Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier, "\x16");
}

class EditCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        keyFeed = KeyFeedRecord{};
        keyInput.keyQueueCount = 0;
        keyInput.keyHeld = false;
        keyUp();
        boxes.clear();
        onCommand(CMD_RESET);
        poke(0x0300, {0, 0, 0, 0});
    }
    void TearDown() override {
        stopPasteCommand();
        haltRunning();
        settle(5);
        keyFeed = KeyFeedRecord{};
        keyInput.keyQueueCount = 0;
        keyInput.keyHeld = false;
        keyUp();
    }
};

TEST_F(EditCommandsTest, CtrlKeysReachTheirItemsAndNeverTheKeypad) {
    test::CommandRecorder recorder;
    press(Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier, "\x16");
    press(Qt::Key_V, Qt::ControlModifier, "\x16");
    press(Qt::Key_C, Qt::ControlModifier, "\x03");
    EXPECT_EQ(recorder.take(), (std::vector<int>{CMD_PASTE_KEYS, CMD_PASTE_MEMORY, CMD_COPY_DISPLAY}));
}

TEST_F(EditCommandsTest, PastedKeysReachTheMonitorAndTypedOnesWaitForThem) {
    setClipboard("m0300\n5a ^ 3c\n");
    pasteAsKeys();
    ASSERT_TRUE(pasteGoingOn());
    EXPECT_TRUE(windowParts.mainWindow->windowTitle().contains("Pasting"))
        << windowParts.mainWindow->windowTitle().toStdString();
    // Typed during the paste, they wait: none goes down before the paste's last key is let go.
    for (const char c : {'e', '7'}) characterMessage(static_cast<char32_t>(c));
    QCoreApplication::sendPostedEvents(windowParts.mainWindow, COMMAND_EVENT);
    ASSERT_EQ(keyInput.keyQueueCount, 2);
    bool early = false;
    ASSERT_TRUE(settleUntil(
        [&early] {
            early = early || (keyInput.keyHeld && pasteGoingOn());
            return keyInput.keyQueueCount == 0;
        },
        DEADLINE_MS));
    EXPECT_FALSE(early);
    EXPECT_EQ(busRead(0x0300), 0x5A);
    EXPECT_EQ(busRead(0x0301), 0x3C);
    EXPECT_TRUE(settleUntil([] { return windowParts.mainWindow->windowTitle() == "Orvane"; }, DEADLINE_MS));
}

TEST_F(EditCommandsTest, TheSameKeysOrStopPasteEndALongPaste) {
    for (const int stop : {CMD_PASTE_KEYS, CMD_STOP_PASTE}) {
        SCOPED_TRACE(stop);
        setClipboard("m0300\n" + QString("12^").repeated(300));
        pasteAsKeys();
        ASSERT_TRUE(settleUntil([] { return busRead(0x0300) == 0x12; }, DEADLINE_MS));
        onCommand(stop);
        EXPECT_FALSE(pasteGoingOn());
        EXPECT_EQ(keyFeedLeft(), 0u);
        EXPECT_EQ(windowParts.mainWindow->windowTitle(), "Orvane");
    }
}

TEST_F(EditCommandsTest, PasteIntoMemorySaysWhatItWroteOrWhichLineIsWrong) {
    struct Case {
        const char* text;
        const char* answer; // for the address dialog, when one opens
        QMessageBox::Icon icon;
        const char* message;
        std::vector<std::uint8_t> bytes; // at 0300
    };
    const Case cases[] = {
        {"0300: A9 00 60", nullptr, QMessageBox::Information, "3 bytes at 0300-0302", {0xA9, 0x00, 0x60}},
        {"A9 01", "0300", QMessageBox::Information, "2 bytes at 0300-0301", {0xA9, 0x01}},
        {"0300: A9\n0301 zz",
         nullptr,
         QMessageBox::Critical,
         "Error in 'clipboard' line 2: 'zz' is not a byte (two hex digits)",
         {0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        poke(0x0300, {0, 0, 0});
        boxes.clear();
        setClipboard(c.text);
        test::ModalHandler dialog([&c](QWidget* active) {
            auto* edit = active ? active->findChild<QLineEdit*>("addressEdit") : nullptr;
            if (!edit || !c.answer) return false;
            edit->setText(c.answer);
            static_cast<QDialog*>(active)->accept();
            return true;
        });
        press(Qt::Key_V, Qt::ControlModifier, "\x16");
        ASSERT_TRUE(settleUntil([] { return !boxes.empty(); }, DEADLINE_MS));
        EXPECT_EQ(boxes.back().text.toStdString(), c.message);
        EXPECT_EQ(boxes.back().icon, c.icon);
        for (std::size_t i = 0; i < c.bytes.size(); ++i) EXPECT_EQ(busRead(0x0300 + i), c.bytes[i]) << i;
    }
}

TEST_F(EditCommandsTest, BareBytesAskWhereToStoreThemAndTheAnswerIsTheirsAlone) {
    const std::uint16_t binaryAddress = fileHistory.binaryAddress;
    std::vector<std::pair<QString, QString>> seen; // the question, and the address proposed
    bool plain = true;                             // the question shown as it is, like a file's name
    test::ModalHandler dialog([&seen, &plain](QWidget* active) {
        auto* edit = active ? active->findChild<QLineEdit*>("addressEdit") : nullptr;
        if (!edit) return false;
        auto* question = active->findChild<QLabel*>("addressQuestion");
        seen.push_back({question ? question->text() : QString(), edit->text()});
        plain = plain && question && question->textFormat() == Qt::PlainText;
        edit->setText("0302");
        static_cast<QDialog*>(active)->accept();
        return true;
    });
    for (const char* text : {"A9 01", "60"}) {
        setClipboard(text);
        onCommand(CMD_PASTE_MEMORY);
    }
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].first, "Store the clipboard's bytes at:");
    EXPECT_EQ(seen[1], (std::pair<QString, QString>("Store the clipboard's bytes at:", "0302")));
    EXPECT_TRUE(plain);
    EXPECT_EQ(fileHistory.binaryAddress, binaryAddress) << "Load Binary's address is another";
    EXPECT_EQ(busRead(0x0302), 0x60);
}

TEST_F(EditCommandsTest, CopyDisplayGivesTheDigitsAsTextAndThePanelAsAPicture) {
    ASSERT_TRUE(settleUntil([] { return displayText() != "        "; }, DEADLINE_MS));
    setClipboard("");
    press(Qt::Key_C, Qt::ControlModifier, "\x03");
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->text().toStdString(), displayText());
    const QImage image = qvariant_cast<QImage>(data->imageData());
    EXPECT_EQ(image.size(), windowParts.panelWidget->size() * windowParts.panelWidget->devicePixelRatioF());
}

} // namespace
} // namespace orv
