#include "control/main_window.h"

#include "control/commands.h"
#include "control/ending.h"
#include "control/keypad.h"
#include "control/menus.h"
#include "control/run_control.h"
#include "debugger/debugger_window.h"
#include "panel/layout.h"
#include "panel/panel_widget.h"
#include "settings/settings.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QSoundEffect>
#include <QUrl>
#include <QWindow>

#include <algorithm>

#ifdef Q_OS_WIN
#include <QAbstractNativeEventFilter>
#include <windows.h>
#endif

namespace orv {

WindowParts windowParts;

namespace {

std::array<QString, TITLE_PART_COUNT> titleParts;

#ifdef Q_OS_WIN
// Windows runs a modal loop while the user drags or sizes a window; the machine pauses for it.
class MoveSizeFilter : public QAbstractNativeEventFilter {
  public:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "windows_generic_MSG" || !mainWindow) return false;
        const MSG* msg = static_cast<const MSG*>(message);
        if (msg->hwnd != reinterpret_cast<HWND>(mainWindow->winId())) return false;
        if (msg->message == WM_ENTERSIZEMOVE) pauseRunning();
        if (msg->message == WM_EXITSIZEMOVE) unpauseRunning();
        return false;
    }
};
MoveSizeFilter moveSizeFilter;
#endif

// The saved outer rectangle, or half the screen where the system puts new windows. The frame is not
// known before the window shows, and it need not be: one narrower than a scale step leaves the scale
// that the saved outer width gives unchanged, and the layout sizes the client area for that scale
// now, so that nothing resizes the window while the window manager places it (a resize then would
// send a position the window manager has not yet told).
void placeWindow() {
    QSize outer(settings.screenWidth / 2, settings.screenHeight / 2);
    const bool saved = settings.windowRect.left >= 0;
    if (saved) {
        const int width = settings.windowRect.right - settings.windowRect.left,
                  height = settings.windowRect.bottom - settings.windowRect.top;
        if (width > 0 && height > 0) outer = QSize(width, height);
    }
    windowParts.mainWindow->resize(outer);
    layOutHiddenWindow();
    // Moved last and before the window exists, the position is the frame's.
    if (saved) windowParts.mainWindow->move(settings.windowRect.left, settings.windowRect.top);
}

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addFile(QString(":/orvicon/%1.png").arg(size));
    return icon;
}

} // namespace

MainWindow::MainWindow() {
    windowParts.mainWindow = this;
    setWindowTitle("Orvane");
    setWindowIcon(programIcon());
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(grey);

    windowParts.panelWidget = new PanelWidget(this);
    setCentralWidget(windowParts.panelWidget);

    // Typing reaches the window itself; the key buttons never take the focus.
    setFocusPolicy(Qt::StrongFocus);
    createMainMenu();
    // With the menu bar in place, whose height the layout leaves to it.
    placeWindow();
    QCoreApplication::instance()->installEventFilter(this);

#ifdef Q_OS_WIN
    QCoreApplication::instance()->installNativeEventFilter(&moveSizeFilter);
#endif

    windowParts.clickSound = new QSoundEffect(this);
    windowParts.clickSound->setSource(QUrl("qrc:/orvclick"));
    playClickSound();

    housekeepingTimer.setTimerType(Qt::PreciseTimer);
    housekeepingTimer.setInterval(BOARD_TICK_MS);
    connect(&housekeepingTimer, &QTimer::timeout, [] { housekeepingTick(); });
    housekeepingTimer.start();
    if (debuggerSettings.open) postCommand(CMD_DEBUGGER_WINDOW);
}

MainWindow::~MainWindow() {
#ifdef Q_OS_WIN
    QCoreApplication::instance()->removeNativeEventFilter(&moveSizeFilter);
#endif
    if (windowParts.mainWindow == this) {
        haltRunning();
        windowParts.mainWindow = nullptr;
        windowParts.panelWidget = nullptr;
        windowParts.keyButtons.fill(nullptr);
        windowParts.clickSound = nullptr;
    }
}

bool MainWindow::event(QEvent* e) {
    takeOverEvent(e);
    if (e->type() == COMMAND_EVENT) {
        onCommand(static_cast<CommandEvent*>(e)->command);
        return true;
    }
    return QMainWindow::event(e);
}

bool MainWindow::eventFilter(QObject* receiver, QEvent* e) {
    // Filters see the pacer's posted commands before event() does.
    takeOverEvent(e);
    // Qt leaves the menu bar with the focus, in its keyboard mode, once a menu has closed; the keys
    // typed then are still the keypad's and the keyboard commands'. An open menu keeps its own.
    if (e->type() != QEvent::KeyPress || receiver == this) return false;
    const auto* widget = qobject_cast<QWidget*>(receiver);
    if (!widget || widget->window() != this || QApplication::activePopupWidget()) return false;
    // Taking the focus back also ends the bar's keyboard mode.
    setFocus();
    keyPressMessage(*static_cast<QKeyEvent*>(e));
    return true;
}

void MainWindow::moveEvent(QMoveEvent* e) {
    QMainWindow::moveEvent(e);
    recordWindowPlace();
}

void MainWindow::closeEvent(QCloseEvent* e) {
    e->accept();
    windowDestroyed();
}

void MainWindow::keyPressEvent(QKeyEvent* e) {
    keyPressMessage(*e);
}

void MainWindow::mousePressEvent(QMouseEvent* e) {
    // Presses the panel and the key buttons let through arrive here; only those on the panel itself
    // open the popup.
    if (e->button() != Qt::RightButton || !windowParts.panelWidget) return QMainWindow::mousePressEvent(e);
    const QPoint point = windowParts.panelWidget->mapFrom(this, e->position().toPoint());
    if (!windowParts.panelWidget->rect().contains(point)) return QMainWindow::mousePressEvent(e);
    QWidget* child = windowParts.panelWidget->childAt(point);
    if (child && std::find(windowParts.keyButtons.begin(), windowParts.keyButtons.end(), child) !=
                     windowParts.keyButtons.end())
        return;
    showPopupMenu(point);
}

void windowDestroyed() {
    endProgram();
    QCoreApplication::exit(0);
}

void setTitlePart(TitlePart part, const QString& text) {
    titleParts[part] = text;
    if (!windowParts.mainWindow) return;
    QString title = "Orvane";
    for (const QString& shown : titleParts)
        if (!shown.isEmpty()) title += QString(" %1 ").arg(QChar(0x2014)) + shown;
    windowParts.mainWindow->setWindowTitle(title);
}

void createKeyButtons() {
    for (int id = 0; id < static_cast<int>(windowParts.keyButtons.size()); ++id) {
        auto* button = new QPushButton(windowParts.panelWidget);
        button->setFocusPolicy(Qt::NoFocus);
        button->setGeometry(0, 0, 0, 0);
        QObject::connect(button, &QPushButton::clicked, [id] { postCommand(id); });
        windowParts.keyButtons[id] = button;
    }
}

void playClickSound() {
    if (windowParts.clickSound) windowParts.clickSound->play();
}

bool readWindowPlace() {
    // Before the window system shows the window Qt knows neither its place nor its frame.
    if (!windowParts.mainWindow || !windowParts.mainWindow->isVisible() ||
        windowParts.mainWindow->isMinimized())
        return false;
    const QWindow* handle = windowParts.mainWindow->windowHandle();
    if (!handle || !handle->isExposed()) return false;
    QRect outer = windowParts.mainWindow->frameGeometry();
    // A saved place begins on the screen; a frame past its top or left edge (a maximized window's
    // border) is kept at the edge.
    outer.moveTo(std::max(0, outer.left()), std::max(0, outer.top()));
    settings.windowRect = {outer.left(), outer.top(), outer.left() + outer.width(),
                           outer.top() + outer.height()};
    return true;
}

void recordWindowPlace() {
    if (readWindowPlace()) scheduleRectSave();
}

} // namespace orv
