#include "debugger/source_pane.h"

#include "files/safe_file.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QVBoxLayout>

#include <algorithm>

namespace orv {

namespace {

// A source file of a program for a board with 1 KiB of RAM: anything larger is no source of it.
constexpr std::size_t SOURCE_LIMIT = 4 << 20;

const QColor PC_LINE(255, 236, 140); // as the code pane marks PC
const QColor POINT_LINE(255, 200, 200);

} // namespace

QString sourceFilePath(const QString& named, const QString& debugFile, const QString& chosenFolder) {
    const QString there = QFileInfo(named).isAbsolute() ? named : QFileInfo(debugFile).dir().filePath(named);
    if (chosenFolder.isEmpty() || QFileInfo(there).isFile()) return there;
    return QDir(chosenFolder).filePath(QFileInfo(named).fileName());
}

SourcePane::SourcePane(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    files = new QComboBox(this);
    note = new QLabel(this);
    note->setTextFormat(Qt::PlainText);
    note->setWordWrap(true);
    text = new QPlainTextEdit(this);
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text->viewport()->installEventFilter(this);
    layout->addWidget(files);
    layout->addWidget(note);
    layout->addWidget(text, 1);
    connect(files, &QComboBox::currentIndexChanged, [this](int which) { showFile(which); });
    setSymbols(SymbolTable{});
}

void SourcePane::setSymbols(const SymbolTable& table) {
    const QString before = shownFile();
    known.clear();
    held.clear();
    for (const SymbolFile& file : table.files) {
        if (!file.debugInfo) continue;
        held.push_back(file.debugInfo);
        for (std::size_t n = 0; n < file.debugInfo->files.size(); ++n)
            known.push_back({QString::fromStdString(file.debugInfo->files[n]),
                             QString::fromStdString(file.name), file.debugInfo.get(), static_cast<int>(n)});
    }
    const QSignalBlocker block(files);
    files->clear();
    for (const Known& k : known) files->addItem(k.named);
    shown = -1;
    int again = files->findText(before);
    if (again < 0 && !known.empty()) again = 0;
    files->setCurrentIndex(again);
    showFile(again);
}

void SourcePane::setSourceFolder(const QString& chosen) {
    folder = chosen;
    const int which = shown;
    shown = -1;
    showFile(which);
}

void SourcePane::showFile(int which) {
    if (which == shown) return;
    shown = which;
    marked = 0;
    text->clear();
    if (which < 0 || which >= static_cast<int>(known.size())) {
        note->setText(
            "Load ld65's debug information (ld65 --dbgfile) with File > Load Labels to see the source.");
        note->show();
        return;
    }
    const Known& k = known[static_cast<std::size_t>(which)];
    const QString path = sourceFilePath(k.named, k.debugFile, folder);
    std::string bytes;
    FileRefusal why = FileRefusal::None;
    if (!readWhole(path.toStdString(), SOURCE_LIMIT, bytes, why)) {
        note->setText(QString("%1 is not found: choose its folder with Source Folder...").arg(path));
        note->show();
        return;
    }
    note->hide();
    text->setPlainText(QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())));
    mark();
}

QString SourcePane::shownFile() const {
    return shown >= 0 && shown < static_cast<int>(known.size()) ? known[static_cast<std::size_t>(shown)].named
                                                                : QString();
}

int SourcePane::cursorLine() const {
    return text->textCursor().blockNumber() + 1;
}

bool SourcePane::showAddress(std::uint16_t address) {
    for (std::size_t n = 0; n < known.size(); ++n) {
        const Known& k = known[n];
        const std::optional<SourceLine> line = sourceLineAt(*k.info, address);
        if (!line || line->file != k.index) continue;
        files->setCurrentIndex(static_cast<int>(n));
        showFile(static_cast<int>(n));
        marked = line->line;
        QTextCursor cursor(text->document()->findBlockByNumber(marked - 1));
        text->setTextCursor(cursor);
        text->centerCursor();
        mark();
        return true;
    }
    marked = 0;
    mark();
    return false;
}

std::optional<SourceLine> SourcePane::stepRange(std::uint16_t address) const {
    for (const auto& info : held)
        if (auto line = sourceStepAt(*info, address)) return line;
    return std::nullopt;
}

void SourcePane::setBreakpoints(const std::vector<std::uint16_t>& addresses) {
    points = addresses;
    mark();
}

std::vector<std::uint16_t> SourcePane::lineAddresses(int line) const {
    if (shown < 0 || shown >= static_cast<int>(known.size())) return {};
    const Known& k = known[static_cast<std::size_t>(shown)];
    return sourceLineAddresses(*k.info, k.index, line);
}

void SourcePane::mark() {
    QList<QTextEdit::ExtraSelection> marks;
    const auto add = [&](int line, const QColor& colour) {
        QTextEdit::ExtraSelection selection;
        selection.cursor = QTextCursor(text->document()->findBlockByNumber(line - 1));
        selection.format.setBackground(colour);
        selection.format.setProperty(QTextFormat::FullWidthSelection, true);
        marks.append(selection);
    };
    for (int line = 1; line <= text->document()->blockCount() && !points.empty(); ++line) {
        const std::vector<std::uint16_t> at = lineAddresses(line);
        if (std::any_of(at.begin(), at.end(), [&](std::uint16_t a) {
                return std::find(points.begin(), points.end(), a) != points.end();
            }))
            add(line, POINT_LINE);
    }
    if (marked > 0) add(marked, PC_LINE);
    text->setExtraSelections(marks);
}

bool SourcePane::eventFilter(QObject* watched, QEvent* e) {
    if (watched == text->viewport() && e->type() == QEvent::MouseButtonDblClick) {
        const QTextCursor at = text->cursorForPosition(static_cast<QMouseEvent*>(e)->position().toPoint());
        const std::vector<std::uint16_t> addresses = lineAddresses(at.blockNumber() + 1);
        if (!addresses.empty()) emit toggleLine(addresses);
        return true;
    }
    return QWidget::eventFilter(watched, e);
}

} // namespace orv
