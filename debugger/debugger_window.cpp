#include "debugger/debugger_window.h"

#include "base/address.h"
#include "base/run_inputs.h"
#include "control/commands.h"
#include "control/main_window.h"
#include "control/message_box.h"
#include "control/run_control.h"
#include "debugger/breakpoints.h"
#include "debugger/code_pane.h"
#include "debugger/devices.h"
#include "debugger/history.h"
#include "debugger/rewind.h"
#include "debugger/source_pane.h"
#include "machine/bus.h"
#include "machine/cpu.h"
#include "machine/host.h"
#include "objfile/file_dialog.h"
#include "settings/settings.h"

#include <QAbstractListModel>
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QLocale>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace orv {

DebuggerParts debuggerParts;

namespace {

constexpr int REFRESH_MS = 50;
// Host time per chunk of a long step.
constexpr qint64 CHUNK_MS = 5;
constexpr const char* MONITOR_LABELS = "monitor.lbl";
constexpr const char* MONITOR_LABELS_RESOURCE = ":/orvlabels";

// "10,000": the limits in the window's texts come from the constants themselves.
QString groupedNumber(std::uint64_t n) {
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(static_cast<qulonglong>(n));
}

// The history as a list of lines, asked for only the rows in sight.
class HistoryModel : public QAbstractListModel {
  public:
    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(historySize());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || index.row() >= static_cast<int>(historySize())) return {};
        return QString::fromStdString(
            historyLine(historyAt(static_cast<std::size_t>(index.row())), &debuggerParts.debuggerSymbols));
    }
    void reset() {
        beginResetModel();
        endResetModel();
    }
};

QString stopReasonText(std::uint8_t status) {
    if (status & (SLICE_BREAK | SLICE_WATCH)) return QString::fromStdString(stopReason(debugHooks.trapHit));
    if (status & SLICE_BADOP) return QString::asprintf("Invalid opcode at $%04X", cpu.pc);
    return "Halted";
}

// Label files named by --labels before the window was made.
QStringList labelsForThisRun;

std::string toPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString fromPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// Loaded through Load Labels, so loaded again at the next start.
bool remembered(const QString& path) {
    const std::vector<std::string>& kept = debuggerSettings.labelFiles;
    return std::find(kept.begin(), kept.end(), toPath(path)) != kept.end();
}

// The window's own file dialogs, starting in the folder of the program's files.
QStringList askInFileFolder(QWidget* parent, const char* title, QStringList filters, bool saving,
                            bool many = false) {
    FileQuestion question;
    question.title = title;
    question.filters = std::move(filters);
    question.folder = QString::fromStdString(settings.currFileDir);
    question.saving = saving;
    question.many = many;
    return askFiles(parent, question);
}

// The list as the settings keep it for the next run.
void keepPoints() {
    debuggerSettings.points.clear();
    for (const BreakPoint& point : breakpointList())
        if (point.kind != PointKind::Single) debuggerSettings.points.push_back(breakpointSaveText(point));
}

} // namespace

DebuggerWindow::DebuggerWindow() : QMainWindow(windowParts.mainWindow, Qt::Window) {
    setWindowTitle("Orvane Debugger");
    setDockNestingEnabled(true);

    QMenu* file = menuBar()->addMenu("&File");
    QAction* load = file->addAction("&Load Labels...");
    connect(load, &QAction::triggered, [this] {
        loadLabelFiles(askInFileFolder(this, "Load Labels",
                                       {"Label files (*.lbl *.lab *.sym *.dbg *.txt)", "All files (*)"},
                                       false, true));
    });
    file->addSeparator();
    QAction* close = file->addAction("&Close\tCtrl+D");
    // The same key closes it as opened it from the main window.
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    connect(close, &QAction::triggered, [] { postCommand(CMD_DEBUGGER_WINDOW); });

    QToolBar* steps = addToolBar("Stepping");
    steps->setObjectName("stepping");
    const auto tool = [steps](const char* text, QKeySequence key, auto slot) {
        QAction* action = steps->addAction(text, slot);
        action->setShortcut(key);
        if (!key.isEmpty())
            action->setToolTip(QString("%1 (%2)").arg(text, key.toString(QKeySequence::NativeText)));
    };
    // Clear of the main window's function keys (About, the quick state slot, Turbo).
    tool("Step into", Qt::Key_F7, [] { postCommand(CMD_STEP); });
    tool("Step over", Qt::Key_F8, [this] { stepOver(); });
    tool("Step out", Qt::SHIFT | Qt::Key_F8, [this] { stepOut(); });
    tool("Run to here", Qt::Key_F4, [this] { runTo(disasm->cursorAddress()); });
    tool("Step line", Qt::Key_F6, [this] { stepLine(); });
    tool("Step back", Qt::SHIFT | Qt::Key_F7, [this] { stepBack(false); });
    tool("Run back", Qt::SHIFT | Qt::Key_F4, [this] { stepBack(true); });
    steps->addSeparator();
    // Pause toggles as it does in the main window.
    tool("Run", {}, [] { postCommand(CMD_RUN); });
    tool("Halt", {}, [] { postCommand(CMD_HALT); });
    auto* pause = new QAction(this);
    pause->setShortcut(Qt::Key_Pause);
    connect(pause, &QAction::triggered, [] { postCommand(CMD_RUN_HALT); });
    addAction(pause);
    tool("Stop", {}, [this] { stopStep(); });

    // The code and the source it came from, as tabs of the middle.
    auto* middle = new QTabWidget(this);
    middle->addTab(makeCode(), "&Code");
    source = new SourcePane(middle);
    middle->addTab(source, "&Source");
    setCentralWidget(middle);
    connect(source, &SourcePane::toggleLine,
            [this](const std::vector<std::uint16_t>& addresses) { toggleBreakpointsAt(addresses); });
    QAction* sourceFolder = file->addAction("Source &Folder...");
    file->insertAction(file->actions().at(1), sourceFolder); // beside Load Labels
    connect(sourceFolder, &QAction::triggered, [this] {
        const QString folder = QFileDialog::getExistingDirectory(this, "Source Folder",
                                                                 QString::fromStdString(settings.currFileDir),
                                                                 QFileDialog::DontUseNativeDialog);
        if (!folder.isEmpty()) source->setSourceFolder(folder);
    });
    connect(disasm, &DisasmView::toggleBreakpoint, [this](std::uint16_t a) { toggleBreakpointAt(a); });
    connect(disasm, &DisasmView::runToHere, [this](std::uint16_t a) { runTo(a); });

    const auto dock = [this](const char* title, QWidget* content, Qt::DockWidgetArea area) {
        auto* d = new QDockWidget(title, this);
        d->setObjectName(title);
        d->setWidget(content);
        d->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
        addDockWidget(area, d);
        return d;
    };
    dock("Registers", makeRegisters(), Qt::RightDockWidgetArea);
    QDockWidget* pointsDock = dock("Breakpoints", makeBreakpoints(), Qt::RightDockWidgetArea);
    tabifyDockWidget(pointsDock, dock("Labels", makeLabels(), Qt::RightDockWidgetArea));
    devices = new QPlainTextEdit(this);
    devices->setReadOnly(true);
    devices->setLineWrapMode(QPlainTextEdit::NoWrap);
    devices->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    QDockWidget* devicesDock = dock("Devices", devices, Qt::RightDockWidgetArea);
    tabifyDockWidget(pointsDock, devicesDock);
    connect(devicesDock, &QDockWidget::visibilityChanged, [this](bool seen) {
        if (seen) refreshDevices();
    });
    pointsDock->raise();
    QDockWidget* memoryDock = dock("Memory", makeMemory(), Qt::BottomDockWidgetArea);
    // Both want the window's width for their long lines: tabs, which can be pulled apart.
    tabifyDockWidget(memoryDock, dock("History", makeHistory(), Qt::BottomDockWidgetArea));
    memoryDock->raise();

    stopLabel = new QLabel(this);
    // It shows what the user typed and lines of label files: as typed.
    stopLabel->setTextFormat(Qt::PlainText);
    statusBar()->addWidget(stopLabel, 1);

    watcher = new QFileSystemWatcher(this);
    connect(watcher, &QFileSystemWatcher::fileChanged, [this](const QString& path) {
        reloadLabelFile(path);
        labelsChanged();
    });
    connect(watcher, &QFileSystemWatcher::directoryChanged,
            [this](const QString& folder) { folderChanged(folder); });
    QFile monitorLabels(MONITOR_LABELS_RESOURCE);
    if (monitorLabels.open(QIODevice::ReadOnly)) {
        std::string message;
        symbolsLoadText(debuggerParts.debuggerSymbols, MONITOR_LABELS, monitorLabels.readAll().toStdString(),
                        message);
    }
    // One that has gone stays listed and is loaded when it comes back.
    for (const std::string& path : debuggerSettings.labelFiles) readLabelFile(fromPath(path));
    for (const QString& path : std::exchange(labelsForThisRun, {})) readLabelFile(path);
    labelsChanged();

    const DebuggerSettings& d = debuggerSettings;
    resize(d.width > 0 && d.height > 0 ? QSize(d.width, d.height) : QSize(1000, 700));
    if (d.left >= 0 && d.top >= 0) move(d.left, d.top);
    romWrites->setChecked(d.romWrites != 0);
    memoryView->goTo(d.memory);
    memoryGoTo->setText(QString::asprintf("$%04X", d.memory));

    refreshTimer.setInterval(REFRESH_MS);
    connect(&refreshTimer, &QTimer::timeout, [this] { refreshTick(); });
    stepTimer.setInterval(0);
    connect(&stepTimer, &QTimer::timeout, [this] { stepChunk(); });
    disasm->setCursorAddress(cpu.pc);
    disasm->showAddress(cpu.pc);
}

DebuggerWindow::~DebuggerWindow() {
    // The program ends while tracing: what was traced is kept.
    if (traceLog) {
        runControl.trace = nullptr;
        std::string message;
        traceLog->close(message);
    }
    if (debuggerParts.debuggerWindow == this) debuggerParts.debuggerWindow = nullptr;
}

QWidget* DebuggerWindow::makeCode() {
    auto* box = new QWidget(this);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QHBoxLayout;
    codeGoTo = new QLineEdit(box);
    codeGoTo->setPlaceholderText("$0200, label or PC");
    auto* go = new QPushButton("Go to", box);
    go->setToolTip("Go to (Ctrl+G)");
    bar->addWidget(codeGoTo, 1);
    bar->addWidget(go);
    layout->addLayout(bar);
    disasm = new DisasmView(box);
    layout->addWidget(disasm, 1);
    const auto goTo = [this] {
        std::uint16_t address = 0;
        if (!parseAddress(codeGoTo->text(), address)) {
            stopLabel->setText("Not an address: " + codeGoTo->text());
            return;
        }
        disasm->goTo(address);
        disasm->setFocus();
    };
    connect(go, &QPushButton::clicked, goTo);
    connect(codeGoTo, &QLineEdit::returnPressed, goTo);
    auto* find = new QAction(this);
    find->setShortcut(Qt::CTRL | Qt::Key_G);
    connect(find, &QAction::triggered, [this] {
        codeGoTo->setFocus();
        codeGoTo->selectAll();
    });
    addAction(find);
    return box;
}

QWidget* DebuggerWindow::makeRegisters() {
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    const char* const names[] = {"A", "X", "Y", "SP", "PC"};
    for (int i = 0; i < 5; ++i) {
        auto* edit = new QLineEdit(box);
        edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        edit->setInputMask(i == 4 ? "HHHH" : "HH");
        edit->setMaximumWidth(60);
        grid->addWidget(new QLabel(names[i], box), i, 0);
        grid->addWidget(edit, i, 1);
        registerEdits[static_cast<std::size_t>(i)] = edit;
        // Leaving the field is watched here: the mask lets editingFinished pass a half-typed value by.
        edit->installEventFilter(this);
    }
    auto* flags = new QHBoxLayout;
    const char* const flagNames = "NV1BDIZC";
    for (int bit = 0; bit < 8; ++bit) {
        auto* check = new QCheckBox(QString(QChar(flagNames[bit])), box);
        flagBoxes[static_cast<std::size_t>(bit)] = check;
        flags->addWidget(check);
        connect(check, &QCheckBox::clicked, [bit](bool on) {
            if (!runInputs.halted) return;
            const auto mask = static_cast<std::uint8_t>(0x80 >> bit);
            cpuSetStatusByte(
                static_cast<std::uint8_t>(on ? cpuStatusByte() | mask : cpuStatusByte() & ~mask));
            rewindRestart();
            if (runInputs.debug) repaintArea(AREA_DEBUG);
        });
    }
    grid->addLayout(flags, 5, 0, 1, 2);
    cycleLabel = new LiveText("Since stop 4294967295\nSince stop 4294967295", box);
    grid->addWidget(cycleLabel, 6, 0, 1, 2);
    grid->setRowStretch(7, 1);
    grid->setColumnStretch(2, 1);
    return box;
}

QWidget* DebuggerWindow::makeMemory() {
    auto* box = new QWidget(this);
    auto* layout = new QVBoxLayout(box);
    auto* bar = new QHBoxLayout;
    memoryGoTo = new QLineEdit(box);
    memoryGoTo->setPlaceholderText("$0200, label, X:A or ($FB)");
    auto* go = new QPushButton("&Go to", box);
    romWrites = new QCheckBox("Allow ROM writes", box);
    bar->addWidget(memoryGoTo);
    bar->addWidget(go);
    bar->addWidget(romWrites);
    layout->addLayout(bar);
    memoryView = new MemoryView(box);
    layout->addWidget(memoryView);
    const auto goTo = [this] {
        std::uint16_t address = 0;
        if (parseAddress(memoryGoTo->text(), address)) {
            memoryView->goTo(address);
            debuggerSettings.memory = address;
        } else {
            stopLabel->setText("Not an address: " + memoryGoTo->text());
        }
    };
    connect(go, &QPushButton::clicked, goTo);
    connect(memoryGoTo, &QLineEdit::returnPressed, goTo);
    connect(romWrites, &QCheckBox::toggled, [this](bool on) {
        memoryView->allowRomWrites = on;
        debuggerSettings.romWrites = on;
    });
    connect(memoryView, &MemoryView::message, [this](const QString& text) { stopLabel->setText(text); });
    return box;
}

QWidget* DebuggerWindow::makeBreakpoints() {
    auto* box = new QWidget(this);
    auto* layout = new QVBoxLayout(box);
    // Closed, the window takes its points out of the interpreter, which then runs as if it had none.
    auto* note = new QLabel("Armed while this window is open.", box);
    note->setEnabled(false);
    layout->addWidget(note);
    pointList = new QListWidget(box);
    layout->addWidget(pointList);
    connect(pointList, &QListWidget::itemChanged, [](QListWidgetItem* item) {
        breakpointEnable(item->data(Qt::UserRole).toInt(), item->checkState() == Qt::Checked);
        keepPoints();
    });
    auto* add = new QHBoxLayout;
    pointKind = new QComboBox(box);
    for (const PointKindName& kind : POINT_KIND_NAMES)
        pointKind->addItem(QString::fromUtf8(kind.name.data(), static_cast<int>(kind.name.size())));
    pointRange = new QLineEdit(box);
    pointRange->setPlaceholderText("$0300 or $0300-$03FF");
    pointCondition = new QLineEdit(box);
    pointCondition->setPlaceholderText("if, e.g. X = $10");
    auto* addButton = new QPushButton("&Add", box);
    auto* remove = new QPushButton("&Delete", box);
    auto* clearAll = new QPushButton("Clear A&ll", box);
    add->addWidget(pointKind);
    add->addWidget(pointRange, 2);
    add->addWidget(pointCondition, 2);
    add->addWidget(addButton);
    add->addWidget(remove);
    add->addWidget(clearAll);
    layout->addLayout(add);
    connect(addButton, &QPushButton::clicked,
            [this] { addPoint(pointKind->currentIndex(), pointRange->text(), pointCondition->text()); });
    connect(remove, &QPushButton::clicked, [this] {
        if (QListWidgetItem* item = pointList->currentItem()) {
            breakpointRemove(item->data(Qt::UserRole).toInt());
            refreshPoints();
            disasm->viewport()->update();
        }
    });
    // debugP stays: it is the keypad's.
    connect(clearAll, &QPushButton::clicked, [this] {
        breakpointRemoveAll();
        refreshPoints();
        disasm->viewport()->update();
    });
    // The points kept from the last run come back with the window.
    std::string message;
    for (const std::string& text : debuggerSettings.points) {
        if (breakpointRestore(text, message) == 0) statusBar()->showMessage(messageText(message));
    }
    return box;
}

QWidget* DebuggerWindow::makeHistory() {
    auto* box = new QWidget(this);
    auto* layout = new QVBoxLayout(box);
    auto* bar = new QHBoxLayout;
    historyOn =
        new QCheckBox(QString("Record the last %1 instructions").arg(groupedNumber(HISTORY_LENGTH)), box);
    auto* exportButton = new QPushButton("&Export...", box);
    traceButton = new QPushButton("&Trace to File...", box);
    traceLimit = new QSpinBox(box);
    traceLimit->setRange(1, 1 << 20);
    traceLimit->setSuffix(" MiB");
    traceLimit->setPrefix("limit ");
    traceLimit->setValue(debuggerSettings.traceLimit);
    bar->addWidget(historyOn);
    bar->addStretch(1);
    bar->addWidget(traceButton);
    bar->addWidget(traceLimit);
    bar->addWidget(exportButton);
    layout->addLayout(bar);
    auto* model = new HistoryModel(box);
    historyModel = model;
    historyView = new QListView(box);
    historyView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    historyView->setUniformItemSizes(true);
    historyView->setModel(model);
    layout->addWidget(historyView);
    historyOn->setChecked(debuggerSettings.history != 0);
    connect(historyOn, &QCheckBox::toggled, [this](bool on) {
        debuggerSettings.history = on;
        if (isVisible()) historySwitch(on);
    });
    connect(exportButton, &QPushButton::clicked, [this] {
        const QStringList chosen = askInFileFolder(this, "Export History", {"Text files (*.txt)"}, true);
        if (chosen.isEmpty()) return;
        const QString& path = chosen.first();
        std::string message;
        if (!historyExport(path.toStdString(), message, &debuggerParts.debuggerSymbols))
            showMessageBox(this, QMessageBox::Critical, "Export History", messageText(message));
    });
    connect(traceLimit, &QSpinBox::valueChanged, [](int mib) { debuggerSettings.traceLimit = mib; });
    connect(traceButton, &QPushButton::clicked, [this] {
        if (tracing()) {
            stopTrace();
            return;
        }
        const QStringList chosen =
            askInFileFolder(this, "Trace to File", {"Text files (*.txt *.log)", "All files (*)"}, true);
        if (!chosen.isEmpty()) startTrace(chosen.first());
    });
    return box;
}

bool DebuggerWindow::startTrace(const QString& path) {
    if (tracing()) stopTrace();
    auto log = std::make_unique<TraceLog>();
    std::string message;
    if (!log->open(path.toStdString(), std::uint64_t{static_cast<unsigned>(traceLimit->value())} << 20,
                   message)) {
        showMessageBox(this, QMessageBox::Critical, "Trace to File", messageText(message));
        return false;
    }
    traceLog = std::move(log);
    runControl.trace = traceLog.get();
    traceButton->setText("Stop &Trace");
    traceLimit->setEnabled(false);
    return true;
}

void DebuggerWindow::stopTrace() {
    if (!traceLog) return;
    runControl.trace = nullptr;
    std::string message;
    const bool kept = traceLog->close(message);
    traceLog.reset();
    traceButton->setText("&Trace to File...");
    traceLimit->setEnabled(true);
    if (!message.empty())
        showMessageBox(this, kept ? QMessageBox::Warning : QMessageBox::Critical, "Trace to File",
                       messageText(message));
}

QWidget* DebuggerWindow::makeLabels() {
    auto* box = new QWidget(this);
    auto* layout = new QVBoxLayout(box);
    labelList = new QListWidget(box);
    layout->addWidget(labelList);
    auto* bar = new QHBoxLayout;
    auto* remove = new QPushButton("&Remove", box);
    auto* removeAll = new QPushButton("Remove a&ll", box);
    bar->addStretch(1);
    bar->addWidget(remove);
    bar->addWidget(removeAll);
    layout->addLayout(bar);
    connect(remove, &QPushButton::clicked, [this] {
        if (QListWidgetItem* item = labelList->currentItem())
            removeLabelFile(item->data(Qt::UserRole).toString());
    });
    connect(removeAll, &QPushButton::clicked, [this] { removeAllLabelFiles(); });
    return box;
}

bool DebuggerWindow::parseAddress(const QString& input, std::uint16_t& address) {
    const QString text = input.trimmed();
    static const QRegularExpression pointer(R"(^\(\s*\$?([0-9A-Fa-f]{1,2})\s*\)$)");
    static const QRegularExpression pair(R"(^([AXY]):([AXY])$)", QRegularExpression::CaseInsensitiveOption);
    if (const auto m = pointer.match(text); m.hasMatch()) {
        const auto zp = static_cast<std::uint8_t>(m.captured(1).toUInt(nullptr, 16));
        address = static_cast<std::uint16_t>(peekByte(zp) | peekByte(static_cast<std::uint8_t>(zp + 1)) << 8);
        return true;
    }
    if (const auto m = pair.match(text); m.hasMatch()) {
        const auto reg = [](QChar c) {
            return c.toUpper() == 'A' ? cpu.a : c.toUpper() == 'X' ? cpu.x : cpu.y;
        };
        address = static_cast<std::uint16_t>(reg(m.captured(1)[0]) << 8 | reg(m.captured(2)[0]));
        return true;
    }
    // A label first: "add" or "dec" are names as well as hex.
    if (const auto named = symbolAddress(debuggerParts.debuggerSymbols, text.toStdString())) {
        address = *named;
        return true;
    }
    if (const auto typed = addressValue(text.toStdString(), DEBUGGER_ADDRESS)) {
        address = *typed;
        return true;
    }
    if (text.compare("PC", Qt::CaseInsensitive) == 0) {
        address = cpu.pc;
        return true;
    }
    return false;
}

bool DebuggerWindow::addPoint(int kindIndex, const QString& range, const QString& condition) {
    const QStringList ends = range.split('-');
    std::uint16_t first = 0, last = 0;
    bool ok = ends.size() <= 2 && parseAddress(ends[0], first);
    last = first;
    if (ok && ends.size() == 2) ok = parseAddress(ends[1], last);
    if (!ok || kindIndex < 0 || kindIndex >= static_cast<int>(std::size(POINT_KIND_NAMES))) {
        stopLabel->setText("Not an address or range: " + range);
        return false;
    }
    std::string message;
    if (breakpointAdd(POINT_KIND_NAMES[kindIndex].kind, first, last, condition.toStdString(), message) == 0) {
        stopLabel->setText(messageText(message));
        return false;
    }
    refreshPoints();
    disasm->viewport()->update();
    return true;
}

void DebuggerWindow::toggleBreakpointsAt(const std::vector<std::uint16_t>& addresses) {
    // A line's breakpoints come and go together: all set when any is missing.
    const std::vector<BreakPoint> list = breakpointList();
    const auto setAt = [&](std::uint16_t address) {
        return std::find_if(list.begin(), list.end(), [&](const BreakPoint& p) {
            return p.kind == PointKind::Exec && p.first == address && p.last == address;
        });
    };
    const bool all = std::all_of(addresses.begin(), addresses.end(),
                                 [&](std::uint16_t a) { return setAt(a) != list.end(); });
    for (const std::uint16_t address : addresses) {
        const auto point = setAt(address);
        std::string message;
        if (all)
            breakpointRemove(point->id);
        else if (point == list.end())
            breakpointAdd(PointKind::Exec, address, address, "", message);
    }
    refreshPoints();
    disasm->viewport()->update();
}

void DebuggerWindow::stepBack(bool toHit) {
    if (!runInputs.halted || stepActive()) return;
    std::string message;
    TrapHit hit;
    const RewindResult result = toHit ? rewindRunBack(message, hit) : rewindStepBack(message);
    switch (result) {
    case RewindResult::Moved:
        noteStop(toHit ? QString("Back at: %1").arg(QString::fromStdString(stopReason(hit)))
                       : QString("Stepped back"));
        break;
    case RewindResult::AtStart: noteStop("At the start of the history"); break;
    case RewindResult::Refused:
        noteStop("Halted");
        stopLabel->setText(QString::fromStdString(message));
        break;
    }
    if (runInputs.debug) repaintArea(AREA_DEBUG);
}

void DebuggerWindow::stepLine() {
    if (const std::optional<SourceLine> line = source->stepRange(cpu.pc))
        beginStep(StepKind::Leave, line->start, line->end);
    else
        postCommand(CMD_STEP);
}

void DebuggerWindow::toggleBreakpointAt(std::uint16_t address) {
    for (const BreakPoint& point : breakpointList()) {
        if (point.kind == PointKind::Exec && point.first == address && point.last == address) {
            breakpointRemove(point.id);
            refreshPoints();
            disasm->viewport()->update();
            return;
        }
    }
    std::string message;
    breakpointAdd(PointKind::Exec, address, address, "", message);
    refreshPoints();
    disasm->viewport()->update();
}

void DebuggerWindow::refreshPoints() {
    keepPoints();
    std::vector<std::uint16_t> breaks;
    for (const BreakPoint& point : breakpointList())
        if (point.kind == PointKind::Exec && point.enabled)
            for (unsigned a = point.first; a <= point.last; ++a)
                breaks.push_back(static_cast<std::uint16_t>(a));
    source->setBreakpoints(breaks);
    const QSignalBlocker block(pointList);
    const int row = pointList->currentRow();
    pointList->clear();
    for (const BreakPoint& point : breakpointList()) {
        QString text = QString::fromStdString(breakpointText(point));
        if (const std::string* name = symbolName(debuggerParts.debuggerSymbols, point.first))
            text += QString(" (%1)").arg(QString::fromStdString(*name));
        auto* item = new QListWidgetItem(text, pointList);
        item->setData(Qt::UserRole, point.id);
        // debugP follows the debug panel and the keypad, not this list.
        if (point.kind != PointKind::Single) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(point.enabled ? Qt::Checked : Qt::Unchecked);
        }
    }
    pointList->setCurrentRow(std::min(row, pointList->count() - 1));
}

bool DebuggerWindow::eventFilter(QObject* watched, QEvent* e) {
    const auto edit = std::find(registerEdits.begin(), registerEdits.end(), watched);
    if (edit != registerEdits.end()) {
        const auto index = static_cast<std::size_t>(edit - registerEdits.begin());
        if (e->type() == QEvent::FocusOut) leaveRegister(index);
        if (e->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(e)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                leaveRegister(index);
                return true;
            }
            if (key == Qt::Key_Escape) {
                (*edit)->setModified(false);
                refreshRegisters();
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, e);
}

void DebuggerWindow::leaveRegister(std::size_t index) {
    QLineEdit* edit = registerEdits[index];
    if (!edit->isModified()) return;
    bool ok = false;
    const unsigned value = edit->text().toUInt(&ok, 16);
    if (ok && runInputs.halted && !stepActive()) {
        const auto byte = static_cast<std::uint8_t>(value);
        switch (index) {
        case 0: cpu.a = byte; break;
        case 1: cpu.x = byte; break;
        case 2: cpu.y = byte; break;
        case 3: cpu.sp = byte; break;
        default: cpuSetPc(static_cast<std::uint16_t>(value)); break;
        }
        rewindRestart(); // changed by hand: no going back past it
        if (runInputs.debug) repaintArea(AREA_DEBUG);
        if (index == 4) disasm->showAddress(cpu.pc);
    }
    // Applied or not, the field shows the register.
    edit->setModified(false);
    refreshViews();
}

void DebuggerWindow::refreshRegisters() {
    const std::uint8_t values[] = {cpu.a, cpu.x, cpu.y, cpu.sp};
    const bool editable = runInputs.halted && !stepActive();
    for (std::size_t i = 0; i < registerEdits.size(); ++i) {
        QLineEdit* edit = registerEdits[i];
        edit->setReadOnly(!editable);
        // Typing under way is not overwritten.
        if (edit->hasFocus() && edit->isModified()) continue;
        const QString text = i < 4 ? QString::asprintf("%02X", values[i]) : QString::asprintf("%04X", cpu.pc);
        if (edit->text() != text) edit->setText(text);
        edit->setModified(false);
    }
    const std::uint8_t status = cpuStatusByte();
    for (std::size_t bit = 0; bit < flagBoxes.size(); ++bit) {
        flagBoxes[bit]->setChecked(status & (0x80 >> bit));
        flagBoxes[bit]->setEnabled(editable);
    }
    // Halted, how long the last run or step took; running, how long this one has run so far.
    const auto now = static_cast<std::uint32_t>(cpu.cycles);
    cycleLabel->setText(
        QString::asprintf("Cycles %u\nSince stop %u", now, editable ? lastRunCycles : now - cyclesAtStop));
}

void DebuggerWindow::refreshDevices() {
    // Only what is seen, and only when it changed: a live view costs the running machine nothing more.
    if (devices->visibleRegion().isEmpty()) return;
    const QString now = QString::fromStdString(devicesText());
    if (now != devices->toPlainText()) devices->setPlainText(now);
}

void DebuggerWindow::refreshViews() {
    refreshRegisters();
    refreshDevices();
    disasm->viewport()->update();
    memoryView->viewport()->update();
    if (historyRecording() || runInputs.halted) {
        static_cast<HistoryModel*>(historyModel)->reset();
        historyView->scrollToBottom();
    }
}

void DebuggerWindow::noteStop(const QString& reason) {
    lastRunCycles = static_cast<std::uint32_t>(cpu.cycles) - cyclesAtStop;
    cyclesAtStop = static_cast<std::uint32_t>(cpu.cycles);
    stopLabel->setText(reason);
    memoryView->noteStop();
    disasm->setCursorAddress(cpu.pc);
    disasm->showAddress(cpu.pc);
    source->showAddress(cpu.pc);
    refreshViews();
    wasHalted = runInputs.halted;
    lastCycles = cpu.cycles;
}

void DebuggerWindow::refreshRunning() {
    refreshRegisters();
    refreshDevices();
    disasm->refreshIfChanged();
    memoryView->refreshIfChanged();
    if (historyRecording()) {
        static_cast<HistoryModel*>(historyModel)->reset();
        historyView->scrollToBottom();
    }
}

void DebuggerWindow::refreshTick() {
    // A trace that reached its limit is put in place at once, with its warning.
    if (traceLog && !traceLog->active()) stopTrace();
    if (stepActive()) {
        refreshRegisters();
        return;
    }
    if (!runInputs.halted) {
        // Set going: the PC's mark goes at once; then only what changed is painted again.
        if (wasHalted) {
            wasHalted = false;
            stopLabel->setText("Running");
            refreshViews();
        } else {
            refreshRunning();
        }
        return;
    }
    // Halted since the last look, or moved by a step from elsewhere (the Space key).
    if (!wasHalted || cpu.cycles != lastCycles) noteStop(stopReasonText(runControl.sliceStatus));
}

void DebuggerWindow::beginStep(StepKind kind, std::uint16_t target, std::uint32_t end) {
    if (!runInputs.halted || stepActive()) return;
    stepBegin(kind, target, STEP_LIMIT, end);
    stopLabel->setText("Stepping...");
    stepTimer.start();
}

void DebuggerWindow::stepChunk() {
    // Run from elsewhere took the machine: the step gives way.
    if (!runInputs.halted) {
        stepCancel();
        stepTimer.stop();
        return;
    }
    QElapsedTimer clock;
    clock.start();
    const StepState state = stepContinue(stepBudget);
    const qint64 spent = clock.elapsed();
    if (spent < CHUNK_MS / 2 && stepBudget < 100'000'000)
        stepBudget *= 2;
    else if (spent > CHUNK_MS * 2 && stepBudget > 1000)
        stepBudget /= 2;
    if (state == StepState::Running) return;
    stepTimer.stop();
    if (runInputs.debug) repaintArea(AREA_DEBUG);
    switch (state) {
    case StepState::Stopped: noteStop(stopReasonText(stepStatus())); break;
    case StepState::Limit:
        noteStop(QString("The step ran %1 cycles without getting there").arg(groupedNumber(STEP_LIMIT)));
        break;
    default: noteStop("Halted"); break;
    }
}

void DebuggerWindow::stopStep() {
    if (!stepActive()) return;
    stepCancel();
    stepTimer.stop();
    if (runInputs.debug) repaintArea(AREA_DEBUG);
    noteStop("Stopped");
}

QString DebuggerWindow::readLabelFile(const QString& path) {
    std::string message;
    symbolsLoadFile(debuggerParts.debuggerSymbols, toPath(path), message);
    if (!labelFiles.contains(path)) labelFiles << path;
    return messageText(message);
}

// After any change to the names or the list: every view shows the names as they now are.
void DebuggerWindow::labelsChanged() {
    source->setSymbols(debuggerParts.debuggerSymbols);
    source->showAddress(cpu.pc);
    updateWatches();
    refreshLabelList();
    refreshPoints();
    refreshViews();
}

void DebuggerWindow::loadLabelFiles(const QStringList& files) {
    QString messages;
    for (const QString& path : files) {
        messages += readLabelFile(path);
        if (!remembered(path)) debuggerSettings.labelFiles.push_back(toPath(path));
    }
    labelsChanged();
    if (!messages.isEmpty()) showMessageBox(this, QMessageBox::Warning, "Load Labels", messages.trimmed());
}

void DebuggerWindow::loadLabelFileForThisRun(const QString& path) {
    readLabelFile(path);
    labelsChanged();
}

void DebuggerWindow::removeLabelFile(const QString& path) {
    symbolsRemoveFile(debuggerParts.debuggerSymbols, toPath(path));
    labelFiles.removeAll(path);
    std::erase(debuggerSettings.labelFiles, toPath(path));
    labelsChanged();
}

void DebuggerWindow::removeAllLabelFiles() {
    for (const QString& path : std::exchange(labelFiles, {}))
        symbolsRemoveFile(debuggerParts.debuggerSymbols, toPath(path));
    debuggerSettings.labelFiles.clear();
    labelsChanged();
}

void DebuggerWindow::reloadLabelFile(const QString& path) {
    // Gone, its names stay as they were until it comes back (as "make clean && make" has it).
    if (!labelFiles.contains(path) || !QFileInfo(path).isFile()) return;
    const QString message = readLabelFile(path);
    if (!message.isEmpty()) stopLabel->setText(message.trimmed());
}

void DebuggerWindow::folderChanged(const QString& folder) {
    for (const QString& path : QStringList(labelFiles))
        if (QFileInfo(path).absolutePath() == folder && !watcher->files().contains(path))
            reloadLabelFile(path);
    labelsChanged();
}

void DebuggerWindow::updateWatches() {
    // A file that is replaced or deleted ends its watch; its folder tells when it is there again.
    QStringList files, folders;
    for (const QString& path : labelFiles) {
        const QFileInfo info(path);
        if (info.isFile())
            files << path;
        else if (!folders.contains(info.absolutePath()))
            folders << info.absolutePath();
    }
    for (const QString& path : watcher->files())
        if (!files.contains(path)) watcher->removePath(path);
    for (const QString& path : watcher->directories())
        if (!folders.contains(path)) watcher->removePath(path);
    for (const QString& path : files + folders)
        if (!watcher->files().contains(path) && !watcher->directories().contains(path) &&
            QFileInfo::exists(path))
            watcher->addPath(path);
}

void DebuggerWindow::refreshLabelList() {
    const int row = labelList->currentRow();
    labelList->clear();
    for (const QString& path : labelFiles) {
        const QFileInfo info(path);
        QString text = info.fileName() + "  " + QDir::toNativeSeparators(info.absolutePath());
        if (!info.isFile()) text += "  (not found)";
        if (!remembered(path)) text += "  (this run only)";
        auto* item = new QListWidgetItem(text, labelList);
        item->setData(Qt::UserRole, path);
        item->setToolTip(QDir::toNativeSeparators(path));
    }
    labelList->setCurrentRow(std::min(row, labelList->count() - 1));
}

void DebuggerWindow::recordPlace() {
    if (!isVisible()) return;
    DebuggerSettings& d = debuggerSettings;
    d.left = frameGeometry().left();
    d.top = frameGeometry().top();
    d.width = width();
    d.height = height();
}

void DebuggerWindow::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    debuggerSettings.present = true;
    debuggerSettings.open = 1;
    breakpointsArm(true);
    historySwitch(historyOn->isChecked());
    rewindSwitch(true);
    refreshPoints();
    noteStop(runInputs.halted ? "Halted" : "Running");
    refreshTimer.start();
}

void DebuggerWindow::hideEvent(QHideEvent* e) {
    QMainWindow::hideEvent(e);
    refreshTimer.stop();
}

void DebuggerWindow::closeEvent(QCloseEvent* e) {
    recordPlace();
    stopStep();
    // Closed, the debugger costs the machine nothing: no traps, no history.
    breakpointsArm(false);
    if (historyRecording()) historySwitch(false);
    rewindSwitch(false);
    stopTrace();
    debuggerSettings.open = 0;
    QMainWindow::closeEvent(e);
}

void DebuggerWindow::moveEvent(QMoveEvent* e) {
    QMainWindow::moveEvent(e);
    recordPlace();
}

void DebuggerWindow::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    recordPlace();
}

void toggleDebuggerWindow() {
    if (!debuggerParts.debuggerWindow) debuggerParts.debuggerWindow = new DebuggerWindow;
    if (debuggerParts.debuggerWindow->isVisible()) {
        debuggerParts.debuggerWindow->close();
        return;
    }
    debuggerParts.debuggerWindow->show();
    debuggerParts.debuggerWindow->raise();
    debuggerParts.debuggerWindow->activateWindow();
}

void useLabelFileForThisRun(const QString& path) {
    if (debuggerParts.debuggerWindow)
        debuggerParts.debuggerWindow->loadLabelFileForThisRun(path);
    else if (!labelsForThisRun.contains(path))
        labelsForThisRun << path;
}

bool debuggerWindowShown() {
    return debuggerParts.debuggerWindow && debuggerParts.debuggerWindow->isVisible();
}

} // namespace orv
