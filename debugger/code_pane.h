// The debugger window's two scrolling views of the 64K: the disassembly and the memory dump. Both
// paint only the rows in sight and read memory through peekByte alone.
#pragma once

#include <QAbstractScrollArea>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace orv {

class DisasmView : public QAbstractScrollArea {
    Q_OBJECT

  public:
    explicit DisasmView(QWidget* parent);
    std::uint16_t topAddress() const { return top; }
    void setTopAddress(std::uint16_t address);
    // Scrolls only when the address is not among the rows in sight.
    void showAddress(std::uint16_t address);
    std::uint16_t cursorAddress() const { return cursor; }
    void setCursorAddress(std::uint16_t address);
    // Puts the cursor on the row of the address and brings it into sight.
    void goTo(std::uint16_t address);
    // While the machine runs: repaints only when the bytes in sight have changed.
    void refreshIfChanged();
    // The addresses of the rows in sight, top first.
    std::vector<std::uint16_t> rowAddresses() const;
    int rowHeight() const;
    int marginWidth() const;

  signals:
    void toggleBreakpoint(std::uint16_t address);
    void runToHere(std::uint16_t address);

  protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    void scrollLines(int lines);
    // The row in sight that holds the address, or the nearest before it; none when it is not in sight.
    std::optional<std::uint16_t> rowHolding(std::uint16_t address) const;
    int visibleRows() const;
    std::uint16_t top = 0;
    std::uint16_t cursor = 0;
    std::vector<std::uint8_t> painted; // the bytes in sight at the last paint
};

class MemoryView : public QAbstractScrollArea {
    Q_OBJECT

  public:
    explicit MemoryView(QWidget* parent);
    std::uint16_t topAddress() const;
    // Brings the row of the address to the top and puts the cursor on it.
    void goTo(std::uint16_t address);
    std::uint16_t cursorAddress() const { return cursor; }
    // Writes one byte while the machine is halted: RAM always, ROM only with ROM writes allowed, never
    // RIO or empty pages. False with the reason otherwise.
    bool editByte(std::uint16_t address, std::uint8_t value, QString& why);
    bool allowRomWrites = false;
    // A stop: what memory held at the stop before becomes the reference changed bytes are shown against.
    void noteStop();
    bool changedSinceStop(std::uint16_t address) const;
    // While the machine runs: repaints only when the bytes in sight have changed.
    void refreshIfChanged();
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    void message(const QString& text);

  protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    int rowHeight() const;
    qreal charWidth() const;
    int visibleRows() const;
    std::uint16_t cursor = 0;
    bool highNibble = true; // the next digit typed is the high one
    std::vector<std::uint8_t> atLastStop, reference;
    std::vector<std::uint8_t> painted; // the bytes in sight at the last paint
};

// Lines of text that change many times a second: painted directly, at a size fixed by the widest
// text it will show, so a change never lays out the pane again.
class LiveText : public QWidget {
  public:
    LiveText(const QString& widest, QWidget* parent);
    void setText(const QString& text);
    QString text() const { return shown; }
    QSize sizeHint() const override { return size; }
    QSize minimumSizeHint() const override { return size; }

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    QString shown;
    QSize size;
};

// "RAM", "ROM", "RIO" or "empty": what the page of an address holds.
const char* pageKindText(std::uint16_t address);

} // namespace orv
