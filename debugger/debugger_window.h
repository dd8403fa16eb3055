// The debugger window "Orvane Debugger": disassembly, registers, memory, breakpoints and history,
// with the stepping commands. Made the first time it is opened; while closed it arms nothing, records
// nothing and refreshes nothing.
#pragma once

#include "debugger/stepping.h"
#include "debugger/symbols.h"
#include "debugger/trace_log.h"

#include <QMainWindow>
#include <QTimer>

#include <array>
#include <cstdint>
#include <memory>

class QAbstractListModel;
class QCheckBox;
class QComboBox;
class QFileSystemWatcher;
class QLabel;
class QLineEdit;
class QListView;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace orv {

class DisasmView;
class SourcePane;
class LiveText;
class MemoryView;

class DebuggerWindow : public QMainWindow {
    Q_OBJECT

  public:
    DebuggerWindow();
    ~DebuggerWindow() override;

    DisasmView* disasm = nullptr;
    SourcePane* source = nullptr;
    QPlainTextEdit* devices = nullptr;
    MemoryView* memoryView = nullptr;
    QLabel* stopLabel = nullptr;
    QListWidget* pointList = nullptr;
    QCheckBox* romWrites = nullptr;
    QCheckBox* historyOn = nullptr;
    QPushButton* traceButton = nullptr;
    QSpinBox* traceLimit = nullptr;
    QLineEdit* memoryGoTo = nullptr;
    QLineEdit* codeGoTo = nullptr;
    LiveText* cycleLabel = nullptr;
    QListWidget* labelList = nullptr;
    std::array<QLineEdit*, 5> registerEdits{};

    // The stepping toolbar's commands.
    void stepOver() { beginStep(StepKind::Over); }
    void stepOut() { beginStep(StepKind::Out); }
    void runTo(std::uint16_t address) { beginStep(StepKind::RunTo, address); }
    // Runs until PC leaves the bytes of its source line (a macro's call or a .repeat is one line); an
    // instruction step where no line made PC.
    void stepLine();
    // Step back (one instruction) and Run back (to the last breakpoint or watchpoint hit, or the start of
    // the history); the status line says where it went, or why not.
    void stepBack(bool toHit);
    void stopStep();
    // Adds a point from the Breakpoints pane's fields; false with the message shown.
    bool addPoint(int kindIndex, const QString& range, const QString& condition);
    // "$0200", "0200", a label, "PC", a register pair "X:A" (high:low) or a zero-page pointer "($FB)".
    static bool parseAddress(const QString& text, std::uint16_t& address);
    // File > Load Labels: loads the files and remembers them for the next start.
    void loadLabelFiles(const QStringList& files);
    // Loads a file for this run only: listed and followed like the others, never remembered.
    void loadLabelFileForThisRun(const QString& path);
    // The files the Labels pane lists, in load order.
    const QStringList& loadedLabelFiles() const { return labelFiles; }
    void removeLabelFile(const QString& path);
    void removeAllLabelFiles();
    // Trace to File: every instruction the machine runs, to the file, until Stop Trace or the limit.
    bool startTrace(const QString& path);
    // Puts the trace's file in place; shows why when it could not be, or that it reached its limit.
    void stopTrace();
    bool tracing() const { return traceLog != nullptr; }
    // Brings every view up to date with the machine.
    void refreshViews();
    // Keeps where the window is now for the settings; a window that was never moved while shown has
    // told nothing yet.
    void recordPlace();

  protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void moveEvent(QMoveEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    void beginStep(StepKind kind, std::uint16_t target = 0, std::uint32_t end = 0);
    void toggleBreakpointsAt(const std::vector<std::uint16_t>& addresses);
    void stepChunk();
    void refreshTick();
    void refreshRunning();
    void noteStop(const QString& reason);
    void toggleBreakpointAt(std::uint16_t address);
    void refreshPoints();
    void refreshRegisters();
    void refreshDevices();
    // Loads one file into the views' names, adding it to the list; the reason it did not load, if any.
    QString readLabelFile(const QString& path);
    void labelsChanged();
    // Reads a listed file again when it is there, telling any bad lines on the status line.
    void reloadLabelFile(const QString& path);
    void folderChanged(const QString& folder);
    // Follows every listed file; one that has gone, through its folder, until it comes back.
    void updateWatches();
    void refreshLabelList();
    // A register field left, by Tab, a click or Return: a valid value is applied, and the field shows
    // the register as it now is.
    void leaveRegister(std::size_t index);
    QWidget* makeCode();
    QWidget* makeRegisters();
    QWidget* makeMemory();
    QWidget* makeBreakpoints();
    QWidget* makeHistory();
    QWidget* makeLabels();

    QTimer refreshTimer, stepTimer;
    std::int32_t stepBudget = 100'000;
    bool wasHalted = true;
    std::int32_t lastCycles = 0;
    // The cycle count at the latest stop, and how many ran from the stop before up to it.
    std::uint32_t cyclesAtStop = 0, lastRunCycles = 0;
    QStringList labelFiles; // loaded; those remembered are in the settings' list too
    QFileSystemWatcher* watcher = nullptr;
    std::array<QCheckBox*, 8> flagBoxes{};
    QComboBox* pointKind = nullptr;
    QLineEdit* pointRange = nullptr;
    QLineEdit* pointCondition = nullptr;
    QAbstractListModel* historyModel = nullptr;
    QListView* historyView = nullptr;
    std::unique_ptr<TraceLog> traceLog;
};

struct DebuggerParts {
    // The names the views show: the monitor's from the first opening, then the files the user loads.
    SymbolTable debuggerSymbols;
    DebuggerWindow* debuggerWindow = nullptr;
};

extern DebuggerParts debuggerParts;

// View > Debugger window and Ctrl+D: opens the window (making it the first time) or closes it.
void toggleDebuggerWindow();
// orv --labels: the file is loaded for this run when the window is made, or at once if it is.
void useLabelFileForThisRun(const QString& path);
bool debuggerWindowShown();

} // namespace orv
