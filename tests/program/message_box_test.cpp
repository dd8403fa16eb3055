#include "control/commands.h"
#include "control/main_window.h"
#include "control/program_files.h"
#include "debugger/debugger_window.h"
#include "objfile/file_commands.h"
#include "program/program_fixture.h"
#include "support/file_io.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>

namespace orv {
namespace {

using test::boxes;

// Names and text as a hostile user gives them: markup that rich text would draw as a picture from disk,
// a heading, or swallow as tags.
constexpr const char* PICTURE_NAME = "<img src=red.png><h1>big.obj";
constexpr const char* HEADING_NAME = "<h1>big.obj";

TEST(MessageBoxTest, UserTextInABoxIsShownAsItIs) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString broken = QDir(folder.path()).filePath(HEADING_NAME);
    ASSERT_TRUE(test::writeText(broken.toStdString(), "not HEX\n"));
    const struct {
        const char* path;
        std::function<void()> show;
        QString shown; // part of the box's text, character for character
    } cases[] = {
        {"a load's result", [] { showLoadResult(1, "", PICTURE_NAME); }, QString("'%1'").arg(PICTURE_NAME)},
        {"a dropped file that does not load", [&] { openDroppedFiles({broken}); },
         QString("'%1'").arg(HEADING_NAME)},
        {"pasted text",
         [] {
             QGuiApplication::clipboard()->setText("<h1>BIG</h1> 00");
             onCommand(CMD_PASTE_MEMORY);
         },
         "<h1>BIG</h1>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        boxes.clear();
        test::boxAnswers = {QMessageBox::Cancel};
        c.show();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].format, Qt::PlainText);
        EXPECT_TRUE(boxes[0].text.contains(c.shown)) << boxes[0].text.toStdString();
    }
    test::boxAnswers.clear();
    boxes.clear();
}

TEST(MessageBoxTest, WhatIsTypedIntoTheDebuggerWindowComesBackAsItIs) {
    const bool shown = debuggerWindowShown();
    if (!shown) onCommand(CMD_DEBUGGER_WINDOW);
    ASSERT_TRUE(test::settleUntil([] { return debuggerWindowShown(); }, 10000));
    debuggerParts.debuggerWindow->codeGoTo->setText("<h1>BIG");
    emit debuggerParts.debuggerWindow->codeGoTo->returnPressed();
    EXPECT_EQ(debuggerParts.debuggerWindow->stopLabel->text(), "Not an address: <h1>BIG");
    EXPECT_EQ(debuggerParts.debuggerWindow->stopLabel->textFormat(), Qt::PlainText);
    debuggerParts.debuggerWindow->codeGoTo->clear();
    debuggerParts.debuggerWindow->stopLabel->clear();
    if (!shown) debuggerParts.debuggerWindow->close();
}

} // namespace
} // namespace orv
