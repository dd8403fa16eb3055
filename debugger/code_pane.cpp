#include "debugger/code_pane.h"

#include "base/run_inputs.h"
#include "base/text_format.h"
#include "debugger/breakpoints.h"
#include "debugger/debugger_window.h"
#include "debugger/disasm.h"
#include "debugger/rewind.h"
#include "machine/bus.h"
#include "machine/cpu.h"

#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <set>

namespace orv {

namespace {

const ByteReader peekReader = [](std::uint16_t address) { return peekByte(address); };

constexpr int MARGIN_WIDTH = 16;
const QColor PC_ROW(255, 236, 140);
const QColor CURSOR_ROW(204, 224, 250);

QFont fixedFont() {
    return QFontDatabase::systemFont(QFontDatabase::FixedFont);
}

// The start of the instruction before `address`: of the runs of instructions that begin up to 16 bytes
// back, the longest that lands exactly on it decides.
std::uint16_t previousInstruction(std::uint16_t address) {
    for (int back = 16; back >= 1; --back) {
        std::uint16_t at = static_cast<std::uint16_t>(address - back), last = at;
        int walked = 0;
        while (walked < back) {
            last = at;
            const int length = disassemble(peekReader, at).length;
            at = static_cast<std::uint16_t>(at + length);
            walked += length;
        }
        if (walked == back) return last;
    }
    return static_cast<std::uint16_t>(address - 1);
}

// count bytes from first, stopping at the end of memory.
std::vector<std::uint8_t> peekRange(std::uint16_t first, std::uint32_t count) {
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t a = first; a < first + count && a <= 0xFFFF; ++a)
        bytes.push_back(peekByte(static_cast<std::uint16_t>(a)));
    return bytes;
}

} // namespace

const char* pageKindText(std::uint16_t address) {
    const std::uint8_t flags = bus.pageFlags[address >> 8];
    if (flags & PAGE_RAM) return "RAM";
    if (flags & PAGE_ROM) return "ROM";
    if (flags & (PAGE_RIO0 | PAGE_RIO1)) return "RIO";
    return "empty";
}

// ---- Live text ----

LiveText::LiveText(const QString& widest, QWidget* parent) : QWidget(parent) {
    setFont(fixedFont());
    size = fontMetrics().size(0, widest);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void LiveText::setText(const QString& text) {
    if (text == shown) return;
    shown = text;
    update();
}

void LiveText::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop, shown);
}

// ---- Disassembly ----

DisasmView::DisasmView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFont(fixedFont());
    viewport()->setFont(fixedFont());
    verticalScrollBar()->setRange(0, 0xFFFF);
    verticalScrollBar()->setSingleStep(1);
    setFocusPolicy(Qt::StrongFocus);
}

int DisasmView::rowHeight() const {
    return fontMetrics().height();
}

int DisasmView::marginWidth() const {
    return MARGIN_WIDTH;
}

int DisasmView::visibleRows() const {
    return std::max(1, viewport()->height() / rowHeight());
}

void DisasmView::setTopAddress(std::uint16_t address) {
    top = address;
    const QSignalBlocker block(verticalScrollBar());
    verticalScrollBar()->setValue(address);
    viewport()->update();
}

void DisasmView::showAddress(std::uint16_t address) {
    const std::vector<std::uint16_t> rows = rowAddresses();
    // The last row may be cut off; it does not count as in sight.
    if (std::find(rows.begin(), rows.end() - (rows.size() > 1 ? 1 : 0), address) !=
        rows.end() - (rows.size() > 1 ? 1 : 0))
        return;
    // A few rows of what led there stay in sight above it.
    std::uint16_t first = address;
    for (int i = 0; i < std::min(3, visibleRows() / 4); ++i) first = previousInstruction(first);
    setTopAddress(first);
}

void DisasmView::setCursorAddress(std::uint16_t address) {
    cursor = address;
    viewport()->update();
}

std::optional<std::uint16_t> DisasmView::rowHolding(std::uint16_t address) const {
    // The last row may be cut off; it does not count as in sight.
    const std::vector<std::uint16_t> rows = rowAddresses();
    if (rows.size() < 2 || address < rows.front() || address >= rows.back()) return std::nullopt;
    return *(std::upper_bound(rows.begin(), rows.end() - 1, address) - 1);
}

void DisasmView::goTo(std::uint16_t address) {
    showAddress(address);
    // An address no run of instructions lands on goes to the row of the instruction that holds it.
    setCursorAddress(rowHolding(address).value_or(address));
}

void DisasmView::refreshIfChanged() {
    // Three bytes a row is the most any row can take.
    if (peekRange(top, static_cast<std::uint32_t>(visibleRows() + 1) * 3) != painted) viewport()->update();
}

std::vector<std::uint16_t> DisasmView::rowAddresses() const {
    std::vector<std::uint16_t> rows;
    std::uint32_t at = top;
    const int count = viewport()->height() / rowHeight() + 1;
    for (int i = 0; i < count && at <= 0xFFFF; ++i) {
        rows.push_back(static_cast<std::uint16_t>(at));
        at += disassemble(peekReader, static_cast<std::uint16_t>(at)).length;
    }
    return rows;
}

void DisasmView::scrollLines(int lines) {
    std::uint16_t address = top;
    for (; lines > 0; --lines) {
        const std::uint32_t next = address + disassemble(peekReader, address).length;
        if (next > 0xFFFF) break;
        address = static_cast<std::uint16_t>(next);
    }
    for (; lines < 0 && address > 0; ++lines) address = previousInstruction(address);
    setTopAddress(address);
}

void DisasmView::scrollContentsBy(int, int) {
    top = static_cast<std::uint16_t>(verticalScrollBar()->value());
    viewport()->update();
}

void DisasmView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const QPalette& pal = palette();
    painter.fillRect(viewport()->rect(), pal.base());
    // Execution breakpoints by address: enabled, disabled; debugP on its own.
    std::set<std::uint16_t> enabledAt, disabledAt;
    std::uint16_t single = 0;
    bool singleArmed = false;
    for (const BreakPoint& point : breakpointList()) {
        if (point.kind == PointKind::Single) {
            single = point.first;
            singleArmed = point.enabled;
        } else if (point.kind == PointKind::Exec) {
            for (std::uint32_t a = point.first; a <= point.last; ++a)
                (point.enabled ? enabledAt : disabledAt).insert(static_cast<std::uint16_t>(a));
        }
    }
    const int h = rowHeight();
    const int ascent = fontMetrics().ascent();
    painted = peekRange(top, static_cast<std::uint32_t>(visibleRows() + 1) * 3);
    // While running, the PC is only a blur.
    const bool markPc = runInputs.halted;
    const std::uint16_t pc = cpu.pc;
    int y = 0;
    for (const std::uint16_t address : rowAddresses()) {
        const DisasmLine line = disassemble(peekReader, address, &debuggerParts.debuggerSymbols);
        const QRect row(MARGIN_WIDTH, y, viewport()->width() - MARGIN_WIDTH, h);
        if (markPc && address == pc)
            painter.fillRect(row, PC_ROW);
        else if (address == cursor)
            painter.fillRect(row, CURSOR_ROW);
        const QRect dot(3, y + (h - 10) / 2, 10, 10);
        painter.setRenderHint(QPainter::Antialiasing);
        if (enabledAt.count(address)) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(200, 30, 30));
            painter.drawEllipse(dot);
        } else if (disabledAt.count(address)) {
            painter.setPen(QColor(200, 30, 30));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(dot);
        } else if (singleArmed && address == single) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(230, 140, 20));
            painter.drawEllipse(dot);
        }
        std::string bytes;
        for (int i = 0; i < line.length; ++i)
            bytes += formatText("%02X ", line.bytes[static_cast<std::size_t>(i)]);
        const std::string* name = symbolName(debuggerParts.debuggerSymbols, address);
        const std::string label = name ? *name + ":" : std::string();
        const std::string text = formatText("%s%04X  %-9s %-14s %s", markPc && address == pc ? ">" : " ",
                                            address, bytes.c_str(), label.c_str(), line.text.c_str());
        painter.setPen(pal.color(QPalette::Text));
        painter.drawText(MARGIN_WIDTH, y + ascent, QString::fromStdString(text));
        y += h;
        if (y > viewport()->height()) break;
    }
}

void DisasmView::mousePressEvent(QMouseEvent* e) {
    const int index = static_cast<int>(e->position().y()) / rowHeight();
    const std::vector<std::uint16_t> rows = rowAddresses();
    if (index < 0 || index >= static_cast<int>(rows.size())) return;
    const std::uint16_t address = rows[static_cast<std::size_t>(index)];
    if (e->button() == Qt::LeftButton && e->position().x() < MARGIN_WIDTH)
        emit toggleBreakpoint(address);
    else
        setCursorAddress(address);
}

void DisasmView::contextMenuEvent(QContextMenuEvent* e) {
    const int index = e->pos().y() / rowHeight();
    const std::vector<std::uint16_t> rows = rowAddresses();
    if (index < 0 || index >= static_cast<int>(rows.size())) return;
    const std::uint16_t address = rows[static_cast<std::size_t>(index)];
    setCursorAddress(address);
    QMenu menu(this);
    QAction* runTo = menu.addAction("Run to &here");
    runTo->setEnabled(runInputs.halted);
    QAction* toggle = menu.addAction("Toggle &breakpoint\tF2");
    QAction* chosen = menu.exec(e->globalPos());
    if (chosen == runTo) emit runToHere(address);
    if (chosen == toggle) emit toggleBreakpoint(address);
}

void DisasmView::wheelEvent(QWheelEvent* e) {
    const int steps = e->angleDelta().y() / 40;
    scrollLines(-steps);
}

void DisasmView::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    // The arrows move the cursor, which Run to here and the breakpoint key act on.
    case Qt::Key_Up: goTo(previousInstruction(cursor)); break;
    case Qt::Key_Down:
        goTo(static_cast<std::uint16_t>(cursor + disassemble(peekReader, cursor).length));
        break;
    case Qt::Key_PageUp: scrollLines(-visibleRows() + 1); break;
    case Qt::Key_PageDown: scrollLines(visibleRows() - 1); break;
    case Qt::Key_F2: emit toggleBreakpoint(cursor); break;
    default: QAbstractScrollArea::keyPressEvent(e); break;
    }
}

// ---- Memory ----

MemoryView::MemoryView(QWidget* parent) : QAbstractScrollArea(parent) {
    setFont(fixedFont());
    viewport()->setFont(fixedFont());
    verticalScrollBar()->setRange(0, 0xFFF);
    setFocusPolicy(Qt::StrongFocus);
    noteStop();
}

int MemoryView::rowHeight() const {
    return fontMetrics().height();
}

// Fractional, as the text is laid out: a whole-pixel width would put the cursor's cell off its byte by
// more and more towards the end of the row.
qreal MemoryView::charWidth() const {
    return QFontMetricsF(font()).horizontalAdvance('0');
}

int MemoryView::visibleRows() const {
    return viewport()->height() / rowHeight() + 1;
}

// Address, page kind, 16 bytes and the text between bars, as paintEvent lays them out.
QSize MemoryView::sizeHint() const {
    return {static_cast<int>(std::ceil((11 + 3 * 16 + 1 + 18 + 1) * charWidth())) +
                verticalScrollBar()->sizeHint().width() + 2 * frameWidth(),
            10 * rowHeight()};
}

QSize MemoryView::minimumSizeHint() const {
    return {sizeHint().width(), 3 * rowHeight()};
}

void MemoryView::refreshIfChanged() {
    if (peekRange(topAddress(), static_cast<std::uint32_t>(visibleRows()) * 16) != painted)
        viewport()->update();
}

std::uint16_t MemoryView::topAddress() const {
    return static_cast<std::uint16_t>(verticalScrollBar()->value() << 4);
}

void MemoryView::goTo(std::uint16_t address) {
    verticalScrollBar()->setValue(address >> 4);
    cursor = address;
    highNibble = true;
    viewport()->update();
}

void MemoryView::noteStop() {
    std::vector<std::uint8_t> now(65536);
    for (std::uint32_t a = 0; a <= 0xFFFF; ++a) now[a] = peekByte(static_cast<std::uint16_t>(a));
    reference = atLastStop.empty() ? now : std::move(atLastStop);
    atLastStop = std::move(now);
    viewport()->update();
}

bool MemoryView::changedSinceStop(std::uint16_t address) const {
    return peekByte(address) != reference[address];
}

bool MemoryView::editByte(std::uint16_t address, std::uint8_t value, QString& why) {
    const std::uint8_t flags = bus.pageFlags[address >> 8];
    if (!runInputs.halted) {
        why = "Memory can be changed only while the machine is halted.";
        return false;
    }
    if (flags & (PAGE_RAM | PAGE_ROM)) rewindRestart(); // changed by hand: no going back past it
    if (flags & PAGE_RAM) {
        busWrite(address, value, 0);
    } else if ((flags & PAGE_ROM) && allowRomWrites) {
        busWrite(address, value, 1);
    } else if (flags & PAGE_ROM) {
        why = QString::asprintf("$%04X is ROM: tick \"Allow ROM writes\" to change it.", address);
        return false;
    } else {
        why = QString::asprintf("$%04X is %s: nothing there to write to.", address, pageKindText(address));
        return false;
    }
    viewport()->update();
    return true;
}

void MemoryView::scrollContentsBy(int, int) {
    viewport()->update();
}

void MemoryView::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    verticalScrollBar()->setPageStep(std::max(1, viewport()->height() / rowHeight()));
}

// A row: "0200 RAM   A9 10 ...  |..........|"; the hex of byte i starts at column 11 + 3 i.
void MemoryView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const QPalette& pal = palette();
    painter.fillRect(viewport()->rect(), pal.base());
    const int h = rowHeight(), ascent = fontMetrics().ascent();
    const qreal w = charWidth();
    const int rows = visibleRows();
    painted = peekRange(topAddress(), static_cast<std::uint32_t>(rows) * 16);
    for (int r = 0; r < rows; ++r) {
        const std::uint32_t rowAddress =
            static_cast<std::uint32_t>(topAddress()) + static_cast<std::uint32_t>(r) * 16;
        if (rowAddress > 0xFFFF) break;
        const int y = r * h;
        painter.setPen(pal.color(QPalette::Text));
        painter.drawText(
            0, y + ascent,
            QString::asprintf("%04X %-5s", rowAddress, pageKindText(static_cast<std::uint16_t>(rowAddress))));
        // The plain bytes and the text in one go; the cursor's and the changed ones one by one.
        QString plain, ascii;
        for (int i = 0; i < 16; ++i) {
            const auto address = static_cast<std::uint16_t>(rowAddress + static_cast<std::uint32_t>(i));
            const std::uint8_t value = peekByte(address);
            const QString digits = QString::asprintf("%02X", value);
            const bool changed = changedSinceStop(address);
            plain += address == cursor || changed ? QString("   ") : digits + ' ';
            ascii += value >= 0x20 && value < 0x7F ? QChar(value) : QChar('.');
            if (address != cursor && !changed) continue;
            const QRectF cell((11 + 3 * i) * w, y, 2 * w, h);
            if (address == cursor) painter.fillRect(cell.adjusted(-1, 0, 1, 0), pal.highlight());
            painter.setPen(address == cursor ? pal.color(QPalette::HighlightedText) : QColor(210, 0, 0));
            painter.drawText(QPointF(cell.x(), y + ascent), digits);
        }
        painter.setPen(pal.color(QPalette::Text));
        painter.drawText(QPointF(11 * w, y + ascent), plain);
        painter.drawText(QPointF((11 + 3 * 16 + 1) * w, y + ascent), "|" + ascii + "|");
    }
}

void MemoryView::mousePressEvent(QMouseEvent* e) {
    const int row = static_cast<int>(e->position().y()) / rowHeight();
    const auto column = static_cast<int>(std::floor((e->position().x() / charWidth() - 11) / 3));
    if (column < 0 || column > 15) return;
    const std::uint32_t address = topAddress() + static_cast<std::uint32_t>(row * 16 + column);
    if (address > 0xFFFF) return;
    cursor = static_cast<std::uint16_t>(address);
    highNibble = true;
    viewport()->update();
}

void MemoryView::keyPressEvent(QKeyEvent* e) {
    int move = 0;
    switch (e->key()) {
    case Qt::Key_Left: move = -1; break;
    case Qt::Key_Right: move = 1; break;
    case Qt::Key_Up: move = -16; break;
    case Qt::Key_Down: move = 16; break;
    default: break;
    }
    if (move != 0) {
        // The view scrolls only when the cursor would leave it.
        cursor = static_cast<std::uint16_t>(cursor + move);
        highNibble = true;
        const int row = cursor >> 4, first = verticalScrollBar()->value();
        const int whole = std::max(1, viewport()->height() / rowHeight());
        if (row < first) verticalScrollBar()->setValue(row);
        if (row >= first + whole) verticalScrollBar()->setValue(row - whole + 1);
        viewport()->update();
        return;
    }
    bool ok = false;
    const int digit = e->text().toInt(&ok, 16);
    if (!ok || e->text().size() != 1) return QAbstractScrollArea::keyPressEvent(e);
    const std::uint8_t old = peekByte(cursor);
    const auto value =
        static_cast<std::uint8_t>(highNibble ? (digit << 4) | (old & 0x0F) : (old & 0xF0) | digit);
    QString why;
    if (!editByte(cursor, value, why)) {
        emit message(why);
        return;
    }
    highNibble = !highNibble;
    if (highNibble) cursor = static_cast<std::uint16_t>(cursor + 1);
    viewport()->update();
}

} // namespace orv
