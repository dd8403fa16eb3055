#include "control/commands.h"
#include "control/main_window.h"
#include "machine/bus.h"
#include "objfile/file_commands.h"
#include "program/program_fixture.h"
#include "settings/flags.h"
#include "settings/settings.h"
#include "support/command_recorder.h"
#include "support/file_io.h"
#include "support/poke.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace orv {
namespace {

using test::boxes;
using test::ModalAction;
using test::ModalScript;
using test::readText;
using test::writeText;

// The object-file dialogs' filters: the first two as they always were, then every ending Load reads.
const QStringList OBJECT_FILTERS = {"Object Files (*.obj)", "All Files (*.*)",
                                    "Intel HEX Files (*.obj *.hex *.ihx)"};

// What a file dialog looked like when it came up.
struct FileDialogSeen {
    QString title;
    QStringList filters;
    QString suffix;
    QFileDialog::AcceptMode mode;
    QString folder;
    QString proposed;
};

// Answers a file dialog with the given path, or cancels it when the path is empty.
ModalAction fileDialogStep(const QString& path, std::vector<FileDialogSeen>* seen = nullptr) {
    return [path, seen](QWidget* active) {
        auto* dialog = qobject_cast<QFileDialog*>(active);
        if (!dialog) return false;
        if (seen) {
            const QStringList chosen = dialog->selectedFiles();
            seen->push_back({dialog->windowTitle(), dialog->nameFilters(), dialog->defaultSuffix(),
                             dialog->acceptMode(), dialog->directory().absolutePath(),
                             chosen.isEmpty() ? QString() : QFileInfo(chosen.first()).fileName()});
        }
        if (path.isEmpty()) {
            dialog->reject();
        } else {
            dialog->selectFile(path);
            static_cast<QDialog*>(dialog)->accept(); // as the Open/Save button does
        }
        return true;
    };
}

// Clicks from the event loop: what the button starts may run modal loops of its own.
void clickLater(QPushButton* button) {
    QMetaObject::invokeMethod(button, &QPushButton::click, Qt::QueuedConnection);
}

QDialog* saveDialogOf(QWidget* active) {
    return active && active->objectName() == "orvsave" ? static_cast<QDialog*>(active) : nullptr;
}

// Types the range into the Save As dialog and presses OK.
ModalAction saveRangeStep(const QString& start, const QString& end) {
    return [start, end](QWidget* active) {
        QDialog* dialog = saveDialogOf(active);
        if (!dialog) return false;
        dialog->findChild<QLineEdit*>("startEdit")->setText(start);
        dialog->findChild<QLineEdit*>("endEdit")->setText(end);
        clickLater(dialog->findChild<QPushButton*>("okButton"));
        return true;
    };
}

// Notes that the Save As dialog is (still) up, then presses the given button.
ModalAction saveDialogButtonStep(const char* button, int* seenOpen) {
    return [button, seenOpen](QWidget* active) {
        QDialog* dialog = saveDialogOf(active);
        if (!dialog) return false;
        ++*seenOpen;
        clickLater(dialog->findChild<QPushButton*>(button));
        return true;
    };
}

class FileCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        boxes.clear();
        test::boxAnswers.clear();
        settings.currFileDir = QDir::toNativeSeparators(folder.path() + "/").toStdString();
        settings.currFileObj.clear();
        settings.saveAddrStart = "0000";
        settings.saveAddrEnd = "00FF";
        QFile::remove(QString::fromStdString(settings.settingsPath));
    }
    void TearDown() override {
        test::boxAnswers.clear();
        settings.saveAddrStart = "0000";
        settings.saveAddrEnd = "00FF";
        QFile::remove(QString::fromStdString(settings.settingsPath));
    }
    QString inFolder(const QString& name) const { return QDir(folder.path()).filePath(name); }
    std::string settingsText() const { return readText(settings.settingsPath); }

    QTemporaryDir folder;
};

TEST_F(FileCommandsTest, SaveRangeOkFollowsTheTwoAddressFields) {
    struct Case {
        const char* start;
        const char* end;
        bool ok;
    };
    const std::vector<Case> cases = {
        {"12", "00FF", false},   {"12G4", "00FF", false}, {"0000", "00ff", true},   {"1000", "0FFF", false},
        {"0200", "0200", true},  {"0200", "", false},     {"00100", "0200", false}, {"abcd", "ABCD", true},
        {"0300", "02ff", false}, {"0000", "FFFF", true},
    };
    std::vector<bool> okStates;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> ranges;
    bool okAtOpening = false;
    QString caption;
    ModalScript script({[&](QWidget* active) {
        QDialog* dialog = saveDialogOf(active);
        if (!dialog) return false;
        caption = dialog->windowTitle();
        auto* start = dialog->findChild<QLineEdit*>("startEdit");
        auto* end = dialog->findChild<QLineEdit*>("endEdit");
        auto* ok = dialog->findChild<QPushButton*>("okButton");
        okAtOpening = ok->isEnabled() && start->text() == "0000" && end->text() == "00FF";
        for (const Case& c : cases) {
            start->setText(c.start);
            end->setText(c.end);
            okStates.push_back(ok->isEnabled());
            ranges.push_back({saveRange.saveStart, saveRange.saveEnd});
        }
        dialog->findChild<QPushButton*>("cancelButton")->click();
        return true;
    }});
    onCommand(CMD_SAVE_AS);

    ASSERT_EQ(script.done(), 1u);
    EXPECT_EQ(caption, "Orvane - Save");
    EXPECT_TRUE(okAtOpening);
    ASSERT_EQ(okStates.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(okStates[i], cases[i].ok) << cases[i].start << " - " << cases[i].end;
    EXPECT_EQ(ranges[2], std::make_pair(std::uint16_t{0x0000}, std::uint16_t{0x00FF}));
    EXPECT_EQ(ranges[4], std::make_pair(std::uint16_t{0x0200}, std::uint16_t{0x0200}));
    EXPECT_EQ(ranges[7], std::make_pair(std::uint16_t{0xABCD}, std::uint16_t{0xABCD}));
    // The last usable range stays stored, as typed.
    EXPECT_EQ(settings.saveAddrStart, "0000");
    EXPECT_EQ(settings.saveAddrEnd, "FFFF");
}

TEST_F(FileCommandsTest, ANewUsableRangeIsWrittenAtOnceEvenWhenTheDialogIsCancelled) {
    std::vector<std::string> afterEdits;
    ModalScript script({[&](QWidget* active) {
        QDialog* dialog = saveDialogOf(active);
        if (!dialog) return false;
        auto* start = dialog->findChild<QLineEdit*>("startEdit");
        auto* end = dialog->findChild<QLineEdit*>("endEdit");
        // Opening with the stored range writes nothing.
        afterEdits.push_back(settingsText());
        start->setText("03");
        afterEdits.push_back(settingsText());
        start->setText("0300");
        end->setText("03fF");
        afterEdits.push_back(settingsText());
        // The same texts again: nothing new to write.
        QFile::remove(QString::fromStdString(settings.settingsPath));
        end->setText("03f");
        end->setText("03fF");
        afterEdits.push_back(settingsText());
        dialog->findChild<QPushButton*>("cancelButton")->click();
        return true;
    }});
    onCommand(CMD_SAVE_AS);

    ASSERT_EQ(script.done(), 1u);
    ASSERT_EQ(afterEdits.size(), 4u);
    EXPECT_EQ(afterEdits[0], "(missing)");
    EXPECT_EQ(afterEdits[1], "(missing)");
    EXPECT_NE(afterEdits[2].find("[User]"), std::string::npos) << afterEdits[2];
    EXPECT_NE(afterEdits[2].find("saveAddrStart=0300\n"), std::string::npos) << afterEdits[2];
    EXPECT_NE(afterEdits[2].find("saveAddrEnd=03fF\n"), std::string::npos) << afterEdits[2];
    EXPECT_EQ(afterEdits[3], "(missing)");
    EXPECT_EQ(settings.saveAddrStart, "0300");
    EXPECT_EQ(settings.saveAddrEnd, "03fF");
}

TEST_F(FileCommandsTest, ASuccessfulSaveReportsItsCountAndClosesTheDialog) {
    busWrite(0x0200, 0xA9, 1);
    std::vector<FileDialogSeen> seen;
    int stillOpen = 0;
    struct Case {
        const char* start;
        const char* end;
        const char* name;
        const char* box;
        const char* trace;
    };
    for (const Case& c : {Case{"0200", "0200", "one", "One byte saved to 'one.obj'",
                               "Saving to one.obj...\nSave 1 from 0200\n"},
                          Case{"0200", "023f", "many.obj", "64 bytes saved to 'many.obj'",
                               "Saving to many.obj...\nSave 64 from 0200\n"}}) {
        // Its last step is left over when the dialog closes as it should.
        ModalScript script({saveRangeStep(c.start, c.end), fileDialogStep(c.name, &seen),
                            saveDialogButtonStep("cancelButton", &stillOpen)});
        runInputs.diag = 1;
        testing::internal::CaptureStdout();
        onCommand(CMD_SAVE_AS);
        const std::string trace = testing::internal::GetCapturedStdout();
        runInputs.diag = 0;
        EXPECT_NE(trace.find(c.trace), std::string::npos) << trace;
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].title, "Successful save");
        EXPECT_EQ(boxes[0].text, c.box);
        EXPECT_EQ(boxes[0].icon, QMessageBox::Information);
        EXPECT_EQ(boxes[0].buttons, QMessageBox::Ok);
        boxes.clear();
    }
    EXPECT_EQ(stillOpen, 0);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].title, "Save to Object file...");
    EXPECT_EQ(seen[0].filters, OBJECT_FILTERS);
    EXPECT_EQ(seen[0].suffix, "obj");
    EXPECT_EQ(seen[0].mode, QFileDialog::AcceptSave);
    EXPECT_EQ(seen[0].folder, QDir(folder.path()).absolutePath());
    EXPECT_EQ(seen[1].proposed, "one.obj");
    EXPECT_EQ(readText(inFolder("one.obj").toStdString()), ":01020000A954\r\n:00000001FF\r\n");
    EXPECT_EQ(settings.currFileDir, QDir::toNativeSeparators(folder.path() + "/").toStdString());
    EXPECT_EQ(settings.currFileObj, "many.obj");
}

TEST_F(FileCommandsTest, CancelledOrFailedSavesKeepTheDialogAndRetryReopensTheFileDialog) {
    // Nothing lives at 0x1000-0x1fff: the save fails with nothing to write.
    std::vector<FileDialogSeen> seen;
    int stillOpen = 0;
    test::boxAnswers = {QMessageBox::Retry, QMessageBox::Cancel};
    ModalScript script({saveRangeStep("1000", "1fff"), fileDialogStep(""),
                        saveDialogButtonStep("okButton", &stillOpen), fileDialogStep(inFolder("empty.obj")),
                        fileDialogStep(inFolder("again.obj"), &seen),
                        saveDialogButtonStep("cancelButton", &stillOpen)});
    onCommand(CMD_SAVE_AS);

    EXPECT_EQ(script.done(), 6u);
    EXPECT_EQ(stillOpen, 2);
    // The retried dialog opens on the file that failed.
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, "Save to Object file...");
    EXPECT_EQ(seen[0].proposed, "empty.obj");
    ASSERT_EQ(boxes.size(), 2u);
    const QString names[] = {"empty.obj", "again.obj"};
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(boxes[i].title, "Error saving to file");
        EXPECT_EQ(boxes[i].text, QString("Error: no bytes to save to file '%1'").arg(names[i]));
        EXPECT_EQ(boxes[i].icon, QMessageBox::Critical);
        EXPECT_EQ(boxes[i].buttons, QMessageBox::Retry | QMessageBox::Cancel);
    }
    EXPECT_EQ(settings.currFileObj, "again.obj");
}

TEST_F(FileCommandsTest, LoadReportsTheCountWithTheFileTitle) {
    struct Case {
        const char* name;
        const char* text;
        const char* box;
    };
    const std::vector<Case> cases = {
        {"byte.obj", ":01030000EA12\r\n:00000001FF\r\n", "One byte loaded from 'byte.obj'"},
        {"pair.obj", ":02030100EAEA26\r\n:00000001FF\r\n", "2 bytes loaded from 'pair.obj'"},
    };
    test::poke(0x0300, {0x00, 0x00, 0x00});
    std::vector<FileDialogSeen> seen;
    for (const Case& c : cases) {
        ASSERT_TRUE(writeText(inFolder(c.name).toStdString(), c.text));
        ModalScript script({fileDialogStep(inFolder(c.name), &seen)});
        onCommand(CMD_LOAD);
        ASSERT_EQ(script.done(), 1u);
    }
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].title, "Load Object file...");
    EXPECT_EQ(seen[0].filters, OBJECT_FILTERS);
    EXPECT_EQ(seen[0].suffix, "obj");
    EXPECT_EQ(seen[0].mode, QFileDialog::AcceptOpen);
    EXPECT_EQ(seen[0].folder, QDir(folder.path()).absolutePath());
    // The second dialog opens on the file the first one chose.
    EXPECT_EQ(seen[1].proposed, "byte.obj");

    ASSERT_EQ(boxes.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(boxes[i].title, "Successful load");
        EXPECT_EQ(boxes[i].text, cases[i].box);
        EXPECT_EQ(boxes[i].icon, QMessageBox::Information);
    }
    EXPECT_EQ(busRead(0x0300), 0xEA);
    EXPECT_EQ(busRead(0x0301), 0xEA);
    EXPECT_EQ(busRead(0x0302), 0xEA);
    EXPECT_EQ(settings.currFileObj, "pair.obj");
}

TEST_F(FileCommandsTest, AFailedLoadOffersRetryWhichOpensTheFileDialogAgain) {
    ASSERT_TRUE(writeText(inFolder("good.obj").toStdString(), ":010310005597\r\n:00000001FF\r\n"));
    busWrite(0x0310, 0x00, 1);
    std::vector<FileDialogSeen> seen;
    test::boxAnswers = {QMessageBox::Retry};
    ModalScript script(
        {fileDialogStep(inFolder("missing.obj")), fileDialogStep(inFolder("good.obj"), &seen)});
    onCommand(CMD_LOAD);

    ASSERT_EQ(script.done(), 2u);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, "Load Object file...");
    EXPECT_EQ(seen[0].proposed, "missing.obj");
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].title, "Error loading from file");
    EXPECT_EQ(boxes[0].text, "Error: file 'missing.obj' not found");
    EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes[0].buttons, QMessageBox::Retry | QMessageBox::Cancel);
    EXPECT_EQ(boxes[1].text, "One byte loaded from 'good.obj'");
    EXPECT_EQ(busRead(0x0310), 0x55);

    // Cancel ends the command; a cancelled file dialog shows nothing.
    boxes.clear();
    test::boxAnswers = {QMessageBox::Cancel};
    {
        ModalScript cancelled({fileDialogStep(inFolder("missing.obj")), fileDialogStep("")});
        onCommand(CMD_LOAD);
        EXPECT_EQ(cancelled.done(), 1u);
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Error loading from file");
    boxes.clear();
    ModalScript silent({fileDialogStep("")});
    onCommand(CMD_LOAD);
    EXPECT_EQ(silent.done(), 1u);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(FileCommandsTest, TheAboutBoxPostsThePageCommandsAndStaysOpen) {
    // The page commands are kept from the window: they would open a browser.
    test::CommandRecorder catcher(test::CommandRecorder::WITHHOLD, {CMD_WEBSITE, CMD_EMULATOR_PAGES});
    QString caption, title, version, address;
    bool hasIcon = false;
    std::vector<int> postedWhileOpen;
    ModalScript script({[&](QWidget* active) {
        if (active->objectName() != "orvabout") return false;
        auto* about = static_cast<QDialog*>(active);
        caption = about->windowTitle();
        title = about->findChild<QLabel*>("title")->text();
        if (auto* label = about->findChild<QLabel*>("version")) version = label->text();
        address = about->findChild<QPushButton*>("websiteButton")->text();
        hasIcon = !about->findChild<QLabel*>("icon")->pixmap().isNull();
        about->findChild<QPushButton*>("websiteButton")->click();
        about->findChild<QPushButton*>("pagesButton")->click();
        // Queued behind the commands the two buttons posted, so they arrive while the box is open.
        QMetaObject::invokeMethod(
            about,
            [&, about] {
                postedWhileOpen = catcher.commands;
                about->findChild<QPushButton*>("okButton")->click();
            },
            Qt::QueuedConnection);
        return true;
    }});
    onCommand(CMD_ABOUT);

    ASSERT_EQ(script.done(), 1u);
    EXPECT_EQ(caption, "Orvane - About");
    EXPECT_EQ(title, "Orvane Emulator");
    EXPECT_EQ(version, "Version " ORV_VERSION);
    EXPECT_TRUE(hasIcon);
    // The guide is copied beside the test program, as it is beside orv.
    EXPECT_TRUE(address.startsWith("file:///")) << address.toStdString();
    EXPECT_TRUE(address.endsWith("/docs/index.html")) << address.toStdString();
    EXPECT_EQ(postedWhileOpen, std::vector<int>({CMD_WEBSITE, CMD_EMULATOR_PAGES}));
}

} // namespace
} // namespace orv
