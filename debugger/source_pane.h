// The debugger window's source view: the program's source files as ld65's debug information names them,
// the line of PC marked and followed while halted, and breakpoints set on source lines.
#pragma once

#include "debugger/symbols.h"

#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QPlainTextEdit;

namespace orv {

// Where a source file is found: as the debug information names it, taken from the debug file's own
// folder when it is relative, or by its bare name in the folder the user chose.
QString sourceFilePath(const QString& named, const QString& debugFile, const QString& chosenFolder);

class SourcePane : public QWidget {
    Q_OBJECT

  public:
    explicit SourcePane(QWidget* parent);
    // The files of every loaded debug information file, after a load, reload or removal.
    void setSymbols(const SymbolTable& table);
    // Shows the line the byte at the address was made by, and marks it; false when no line made it.
    bool showAddress(std::uint16_t address);
    // The bytes a step by line runs through from the address, if a line made it.
    std::optional<SourceLine> stepRange(std::uint16_t address) const;
    // Marks the lines holding a breakpoint's address.
    void setBreakpoints(const std::vector<std::uint16_t>& addresses);
    void setSourceFolder(const QString& folder);
    // The file shown, its line of the text cursor and that line's addresses, for tests and the window.
    QString shownFile() const;
    int cursorLine() const;
    int markedLine() const { return marked; }

  signals:
    // A double-click on a line: its addresses, for a breakpoint on each.
    void toggleLine(const std::vector<std::uint16_t>& addresses);

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    struct Known {
        QString named; // as the debug information names it
        QString debugFile;
        const DebugInfo* info;
        int index; // in info->files
    };
    void showFile(int which);
    std::vector<std::uint16_t> lineAddresses(int line) const;
    void mark();

    QComboBox* files = nullptr;
    QLabel* note = nullptr;
    QPlainTextEdit* text = nullptr;
    std::vector<Known> known;
    std::vector<std::shared_ptr<const DebugInfo>> held; // keeps what `known` points into
    QString folder;
    int shown = -1;
    int marked = 0; // 1-based line of PC in the shown file, 0 for none
    std::vector<std::uint16_t> points;
};

} // namespace orv
