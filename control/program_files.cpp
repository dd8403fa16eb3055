#include "control/program_files.h"

#include "base/file_names.h"
#include "base/file_results.h"
#include "base/run_inputs.h"
#include "base/text_format.h"
#include "base/trace.h"
#include "control/commands.h"
#include "control/ending.h"
#include "control/main_window.h"
#include "control/menus.h"
#include "control/message_box.h"
#include "control/run_control.h"
#include "debugger/debugger_window.h"
#include "debugger/symbols.h"
#include "files/safe_file.h"
#include "machine/cpu.h"
#include "machine/host.h"
#include "objfile/binary.h"
#include "objfile/file_commands.h"
#include "objfile/file_dialog.h"
#include "objfile/objfile.h"
#include "objfile/save_dialog.h"
#include "panel/panel_widget.h"
#include "settings/file_history.h"
#include "settings/flags.h"
#include "settings/settings.h"
#include "tape/tape.h"

#include <QAction>
#include <QBuffer>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimer>
#include <QVBoxLayout>

#include <filesystem>
#include <system_error>

namespace orv {

WatchedReloads watchedReloads;

namespace {

// The file Reload loads: the last object or binary file, how, and whether it was started.
std::optional<StartRequest> lastLoad;

// Names travel as text that keeps their bytes, so that any name the system takes is found again.
QString fromPath(const std::string& path) {
    return nameText(QByteArray::fromStdString(path));
}

std::string toPath(const QString& path) {
    return nameBytes(path).toStdString();
}

std::string titleOf(const QString& path) {
    return toPath(QFileInfo(path).fileName());
}

void repaintAfterLoad() {
    if (runInputs.debug) repaintArea(AREA_DEBUG);
    repaintArea(AREA_DISPLAY);
}

void startAt(std::uint16_t address) {
    haltRunning();
    cpuSetPc(address);
    trace("Run from %04x\n", address);
    runCommand();
}

// ---- Reload when the file changes ----

// A file being rewritten is loaded once its size and time have held still over the checks 100 ms apart:
// two for an object file, which must also read through completely, or the next change is waited for;
// a second for a binary, which nothing tells complete, so a writer that pauses is not caught half way.
constexpr int RELOAD_CHECK_MS = 100;
constexpr int OBJECT_STILL_CHECKS = 2;
constexpr int BINARY_STILL_CHECKS = 10;

class ReloadWatcher : public QObject {
  public:
    ReloadWatcher() {
        checks.setInterval(RELOAD_CHECK_MS);
        connect(&watcher, &QFileSystemWatcher::fileChanged, this, [this] { changed(); });
        // An editor or linker that writes a new file and renames it over the old one ends the watch on
        // the file; the folder's change brings it back.
        connect(&watcher, &QFileSystemWatcher::directoryChanged, this, [this] { changed(); });
        connect(&checks, &QTimer::timeout, this, [this] { check(); });
    }

    void follow() {
        if (!watcher.files().isEmpty()) watcher.removePaths(watcher.files());
        if (!watcher.directories().isEmpty()) watcher.removePaths(watcher.directories());
        checks.stop();
        if (!fileHistory.reloadOnChange || !lastLoad) return;
        path = lastLoad->file;
        watcher.addPath(QFileInfo(path).absolutePath());
        if (QFileInfo::exists(path)) watcher.addPath(path);
        stamp = stampOf();
    }

  private:
    struct Stamp {
        qint64 size = -1;
        QDateTime modified;
        bool operator==(const Stamp&) const = default;
    };

    Stamp stampOf() const {
        const QFileInfo info(path);
        if (!info.exists()) return {};
        return {info.size(), info.lastModified()};
    }

    void changed() {
        if (QFileInfo::exists(path) && !watcher.files().contains(path)) watcher.addPath(path);
        const Stamp now = stampOf();
        if (now == stamp && !checks.isActive()) return; // the folder changed, not the file
        stable = 0;
        seen = now;
        checks.start();
    }

    void check() {
        const Stamp now = stampOf();
        if (now.size < 0 || !(now == seen)) {
            seen = now;
            stable = 0;
            return;
        }
        ++watchedReloads.still;
        const bool binary = lastLoad && lastLoad->kind == ProgramFileKind::Binary;
        if (++stable < (binary ? BINARY_STILL_CHECKS : OBJECT_STILL_CHECKS)) return;
        checks.stop();
        stamp = now;
        if (!lastLoad) return;
        std::string message;
        if (!loadAgain(*lastLoad, message)) {
            // Caught half written, or broken: nothing was stored; the next change tries again.
            trace("Not reloaded: %s\n", message.c_str());
            ++watchedReloads.refused;
            return;
        }
        ++watchedReloads.loaded;
    }

  public:
    static bool loadAgain(const StartRequest& request, std::string& message);

  private:
    QFileSystemWatcher watcher;
    QTimer checks;
    QString path;
    Stamp stamp, seen;
    int stable = 0;
};

ReloadWatcher* reloadWatcher = nullptr;

// Loads an object or binary file; an object file only as a whole when `whole`.
int loadFile(const StartRequest& request, std::string& message, bool whole) {
    const std::string path = toPath(request.file);
    if (request.kind == ProgramFileKind::Binary)
        return loadBinaryFile(path, request.at.value_or(fileHistory.binaryAddress), message);
    return loadObjectFile(path, message, whole);
}

bool ReloadWatcher::loadAgain(const StartRequest& request, std::string& message) {
    trace("Reloading %s...\n", titleOf(request.file).c_str());
    loadFile(request, message, true);
    if (!message.empty()) return false;
    repaintAfterLoad();
    if (request.run) startAt(*request.run);
    return true;
}

QAction* reloadAction = nullptr;

void remember(const StartRequest& request) {
    rememberRecentFile(fileHistory.recent, toPath(QFileInfo(request.file).absoluteFilePath()));
    saveFileHistory();
    if (request.kind == ProgramFileKind::Object || request.kind == ProgramFileKind::Binary) {
        lastLoad = request;
        lastLoad->file = QFileInfo(request.file).absoluteFilePath();
        if (reloadWatcher) reloadWatcher->follow();
        // At once, not when the File menu is next shown: Ctrl+R works with the menu closed or hidden.
        if (reloadAction) reloadAction->setEnabled(true);
    }
}

const char* failureCaption(ProgramFileKind kind) {
    return kind == ProgramFileKind::Tape ? PLAY_FAILED_CAPTION : LOAD_FAILED_CAPTION;
}

// ---- Menus ----

void fillRecentMenu(QMenu* recentMenu) {
    recentMenu->clear();
    for (const std::string& path : fileHistory.recent) {
        const QString file = fromPath(path);
        QAction* action = recentMenu->addAction(QDir::toNativeSeparators(file));
        // One that has gone is shown, grayed, so the list keeps its order.
        std::error_code unknown;
        action->setEnabled(std::filesystem::is_regular_file(path, unknown));
        QObject::connect(action, &QAction::triggered, [file] { openDroppedFiles({file}); });
    }
    if (fileHistory.recent.empty()) recentMenu->addAction("(none)")->setEnabled(false);
}

// Drops on any part of the main window.
class DropFilter : public QObject {
  protected:
    bool eventFilter(QObject* receiver, QEvent* e) override {
        if (e->type() == QEvent::DragEnter || e->type() == QEvent::DragMove) {
            auto* drag = static_cast<QDropEvent*>(e);
            if (!localFiles(drag->mimeData()).isEmpty()) drag->acceptProposedAction();
            return true;
        }
        if (e->type() == QEvent::Drop) {
            auto* drop = static_cast<QDropEvent*>(e);
            const QStringList files = localFiles(drop->mimeData());
            if (files.isEmpty()) return true;
            drop->acceptProposedAction();
            // Opened after the drop has ended: the dialogs it may ask must not run inside it.
            QTimer::singleShot(0, windowParts.mainWindow, [files] { openDroppedFiles(files); });
            return true;
        }
        return QObject::eventFilter(receiver, e);
    }

  private:
    static QStringList localFiles(const QMimeData* data) {
        QStringList files;
        if (!data) return files;
        for (const QUrl& url : data->urls())
            if (url.isLocalFile()) files << url.toLocalFile();
        return files;
    }
};

} // namespace

bool openProgramFile(const StartRequest& request, std::string& message) {
    message.clear();
    const std::string path = toPath(request.file);
    trace("Loading %s...\n", titleOf(request.file).c_str());
    // The loaders say "not found" of whatever they cannot open; of a file that is there, the user is
    // told what it is.
    if (std::string tooLong; nameFits(path, tooLong)) {
        if (refusedWhereItIs(path, titleOf(request.file), message)) return false;
    }
    switch (request.kind) {
    case ProgramFileKind::Object:
    case ProgramFileKind::Binary: loadFile(request, message, false); break;
    case ProgramFileKind::Tape:
        if (tape.tapeState != 0) {
            std::string ignored;
            tapeStop(ignored);
        }
        tapeStartPlaying(path, message);
        break;
    case ProgramFileKind::Unknown: message = notAProgramFileText(titleOf(request.file)); break;
    }
    repaintAfterLoad();
    if (!message.empty()) return false;
    remember(request);
    if (request.run) startAt(*request.run);
    return true;
}

void openStartRequest(const StartRequest& request) {
    if (!request.labels.isEmpty()) {
        // Read once here so that a mistake is told now; the debugger window reads the file itself.
        SymbolTable check;
        std::string message;
        const std::string path = toPath(QFileInfo(request.labels).absoluteFilePath());
        // For this run only: the next start may be for another program.
        const int count = symbolsLoadFile(check, path, message);
        if (count > 0) useLabelFileForThisRun(fromPath(path));
        if (count == 0 || !message.empty())
            showFailureBox(LABELS_FAILED_CAPTION,
                           message.empty() ? noLabelsText(titleOf(request.labels)) : message);
    }
    // Ended while the box was shown: nothing more is loaded or started.
    if (programEnded()) return;
    if (request.file.isEmpty()) return;
    std::string message;
    if (!openProgramFile(request, message)) showFailureBox(failureCaption(request.kind), message);
}

void openDroppedFiles(const QStringList& paths) {
    QStringList failures;
    const char* caption = LOAD_FAILED_CAPTION;
    for (const QString& path : paths) {
        StartRequest request;
        request.file = path;
        request.kind = programFileKind(path.toStdString());
        if (request.kind == ProgramFileKind::Binary) {
            request.at = askBinaryAddress(QFileInfo(path).fileName());
            if (!request.at) continue;
        }
        std::string message;
        if (!openProgramFile(request, message)) {
            failures << messageText(message);
            if (paths.size() == 1) caption = failureCaption(request.kind);
        }
    }
    if (!failures.isEmpty()) showFailureBox(caption, failures.join('\n').toStdString());
}

void noteFileUsed(const std::string& path, ProgramFileKind kind) {
    StartRequest request;
    request.file = fromPath(path);
    request.kind = kind;
    remember(request);
}

std::optional<std::uint16_t> askAddress(const QString& caption, const QString& question,
                                        std::uint16_t proposed) {
    QDialog dialog(windowParts.mainWindow);
    dialog.setWindowTitle(caption);
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(question, &dialog);
    // A file's name, as it is.
    label->setTextFormat(Qt::PlainText);
    label->setObjectName("addressQuestion");
    layout->addWidget(label);
    auto* row = new QHBoxLayout;
    auto* edit = new QLineEdit(QString("%1").arg(proposed, 4, 16, QChar('0')).toUpper(), &dialog);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9A-Fa-f]{0,4}"), edit));
    edit->setObjectName("addressEdit");
    row->addWidget(edit);
    row->addWidget(new QLabel("(hex)", &dialog));
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    layout->addWidget(buttons);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    auto check = [edit, ok] { ok->setEnabled(edit->text().size() == 4); };
    check();
    QObject::connect(edit, &QLineEdit::textChanged, check);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return parseHexAddress(edit->text());
}

std::optional<std::uint16_t> askBinaryAddress(const QString& fileTitle, const QString& caption) {
    const auto address = askAddress(caption, "Load '" + fileTitle + "' at:", fileHistory.binaryAddress);
    if (address && *address != fileHistory.binaryAddress) {
        fileHistory.binaryAddress = *address;
        saveFileHistory();
    }
    return address;
}

void loadBinaryCommand() {
    withChosenFile(FileKind::Binary, false, "Load Binary file...", [](const ChosenFile& chosen) {
        const auto address = askBinaryAddress(QString::fromLocal8Bit(chosen.title));
        if (!address) return false;
        trace("Loading %s...\n", chosen.title.c_str());
        std::string message;
        const int count = loadBinaryFile(chosen.path, *address, message);
        repaintAfterLoad();
        if (message.empty()) {
            StartRequest request;
            request.file = fromPath(chosen.path);
            request.kind = ProgramFileKind::Binary;
            request.at = address;
            remember(request);
        }
        return showLoadResult(count, message, chosen.title);
    });
}

namespace {

bool saveBinaryToChosenFile() {
    return saveRangeToChosenFile(true, "Save to Binary file...", saveBinaryFile);
}

} // namespace

void saveBinaryCommand() {
    saveRangeDialog(saveBinaryToChosenFile, "Orvane - Save Binary");
}

void saveScreenshotCommand() {
    if (!windowParts.panelWidget) return;
    ChosenFile chosen;
    if (!chooseFile(FileKind::Screenshot, true, "Save Screenshot...", chosen)) return;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    windowParts.panelWidget->grab().save(&buffer, "PNG");
    FileRefusal why = FileRefusal::None;
    if (!replaceWhole(chosen.path, png.toStdString(), why))
        showFailureBox(SAVE_FAILED_CAPTION, writeRefusalMessage(why, chosen.title));
}

void reloadCommand() {
    if (!lastLoad) return;
    std::string message;
    if (!ReloadWatcher::loadAgain(*lastLoad, message)) showFailureBox(LOAD_FAILED_CAPTION, message);
}

void toggleReloadOnChange() {
    fileHistory.reloadOnChange = !fileHistory.reloadOnChange;
    saveFileHistory();
    if (reloadWatcher) reloadWatcher->follow();
}

void installProgramFiles() {
    loadFileHistory();
    reloadWatcher = new ReloadWatcher;
    reloadWatcher->setParent(windowParts.mainWindow);
    windowParts.mainWindow->setAcceptDrops(true);
    auto* drops = new DropFilter;
    drops->setParent(windowParts.mainWindow);
    windowParts.mainWindow->installEventFilter(drops);
    if (!menus.mainMenu) return;
    for (QAction* top : menus.mainMenu->actions()) {
        QMenu* submenu = top->menu();
        if (!submenu) continue;
        for (QAction* action : submenu->actions()) {
            switch (action->data().toInt()) {
            case CMD_RECENT_FILES: equipRecentFiles(action); break;
            case CMD_RELOAD:
                reloadAction = action;
                action->setEnabled(reloadAvailable());
                break;
            default: break;
            }
        }
    }
}

void equipRecentFiles(QAction* item) {
    auto* recent = new QMenu(windowParts.mainWindow);
    item->setMenu(recent);
    QObject::connect(recent, &QMenu::aboutToShow, [recent] { fillRecentMenu(recent); });
}

bool reloadAvailable() {
    return lastLoad.has_value();
}

} // namespace orv
