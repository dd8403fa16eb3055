#include "control/edit_commands.h"

#include "base/run_inputs.h"
#include "base/trace.h"
#include "control/commands.h"
#include "control/main_window.h"
#include "control/menus.h"
#include "control/message_box.h"
#include "control/program_files.h"
#include "machine/display_text.h"
#include "machine/host.h"
#include "machine/key_feed.h"
#include "objfile/hex_dump.h"
#include "panel/panel_widget.h"
#include "settings/file_history.h"
#include "settings/flags.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTimer>

namespace orv {

namespace {

// Keys of the paste going on, the typed ones included; the feed says how many are left.
std::size_t pasteTotal = 0;
// Follows a paste while it goes on: the title's progress, and its end.
QTimer* pasteWatch = nullptr;

constexpr int PASTE_WATCH_MS = 100;

// Where bare bytes were last stored, for this run: a binary's address is another thing.
std::uint16_t pasteAddress = DEFAULT_BINARY_ADDRESS;

QString clipboardText() {
    return QGuiApplication::clipboard()->text();
}

void followPaste() {
    if (!pasteGoingOn()) {
        pasteTotal = 0;
        if (pasteWatch) pasteWatch->stop();
    }
    setTitlePart(TITLE_PROGRESS, pasteProgress());
}

} // namespace

bool pasteGoingOn() {
    return pasteTotal > 0 && keyFeedBusy();
}

QString pasteProgress() {
    if (!pasteGoingOn()) return {};
    const std::size_t typed = pasteTotal - keyFeedLeft();
    // A halted machine reads no keys: the paste waits for it.
    return QString("Pasting %1 of %2 keys%3")
        .arg(typed)
        .arg(pasteTotal)
        .arg(runInputs.halted ? " (halted)" : "");
}

void pasteAsKeysCommand() {
    if (pasteGoingOn()) {
        stopPasteCommand();
        return;
    }
    const std::size_t keys = keyFeedAddText(clipboardText().toStdString());
    if (keys == 0) {
        showMessageBox(windowParts.mainWindow, QMessageBox::Information, PASTE_KEYS_CAPTION, NO_KEYS_TEXT);
        return;
    }
    trace("Pasting %zu keys\n", keys);
    pasteTotal = keys;
    if (!pasteWatch) {
        pasteWatch = new QTimer(windowParts.mainWindow);
        QObject::connect(pasteWatch, &QTimer::timeout, followPaste);
    }
    pasteWatch->start(PASTE_WATCH_MS);
    setTitlePart(TITLE_PROGRESS, pasteProgress());
}

void stopPasteCommand() {
    if (!pasteGoingOn()) return;
    trace("Paste stopped, %zu keys not typed\n", keyFeedLeft());
    keyFeedStop();
    followPaste();
}

void pasteIntoMemoryCommand() {
    const std::string text = clipboardText().toStdString();
    PasteResult result = pasteIntoMemory(text, std::nullopt);
    if (result.needsAddress) {
        const auto address = askAddress(PASTE_ADDRESS_CAPTION, PASTE_ADDRESS_QUESTION, pasteAddress);
        if (!address) return;
        pasteAddress = *address;
        result = pasteIntoMemory(text, *address);
    }
    if (!result.message.empty()) {
        showMessageBox(windowParts.mainWindow, QMessageBox::Critical, PASTE_MEMORY_CAPTION,
                       QString::fromStdString(result.message));
        return;
    }
    trace("Pasted %d bytes\n", result.stored);
    if (runInputs.debug) repaintArea(AREA_DEBUG);
    showMessageBox(windowParts.mainWindow, QMessageBox::Information, PASTE_MEMORY_CAPTION,
                   QString::fromStdString(pasteSummary(result)));
}

void copyDisplayCommand() {
    auto* data = new QMimeData;
    data->setText(QString::fromStdString(displayText()));
    if (windowParts.panelWidget) data->setImageData(windowParts.panelWidget->grab().toImage());
    QGuiApplication::clipboard()->setMimeData(data);
}

} // namespace orv
