#include "control/main_window.h"

#include "control/commands.h"
#include "control/run_control.h"
#include "panel/panel_widget.h"
#include "settings/settings.h"
#include "tape/tape.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QIcon>
#include <QPushButton>
#include <QSoundEffect>
#include <QUrl>

#include <string>

#ifdef Q_OS_WIN
#include <QAbstractNativeEventFilter>
#include <windows.h>
#endif

namespace orv {

MainWindow* mainWindow = nullptr;
PanelWidget* panelWidget = nullptr;
std::array<QPushButton*, 25> keyButtons{};
QSoundEffect* clickSound = nullptr;

namespace {

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

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addFile(QString(":/orvicon/%1.png").arg(size));
    return icon;
}

} // namespace

MainWindow::MainWindow() {
    mainWindow = this;
    setWindowTitle("Orvane");
    setWindowIcon(programIcon());
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(grey);

    panelWidget = new PanelWidget(this);
    setCentralWidget(panelWidget);

    // Placement: the saved place, or half the screen where the system puts new windows.
    const int width = windowRect.right - windowRect.left, height = windowRect.bottom - windowRect.top;
    if (windowRect.left < 0 || width <= 0 || height <= 0) {
        resize(screenWidth / 2, screenHeight / 2);
    } else {
        move(windowRect.left, windowRect.top);
        resize(width, height);
    }

#ifdef Q_OS_WIN
    QCoreApplication::instance()->installNativeEventFilter(&moveSizeFilter);
#endif

    clickSound = new QSoundEffect(this);
    clickSound->setSource(QUrl("qrc:/orvclick"));
    playClickSound();

    housekeepingTimer.setTimerType(Qt::PreciseTimer);
    housekeepingTimer.setInterval(HOUSEKEEPING_MS);
    connect(&housekeepingTimer, &QTimer::timeout, [] { housekeepingTick(); });
    housekeepingTimer.start();
}

MainWindow::~MainWindow() {
#ifdef Q_OS_WIN
    QCoreApplication::instance()->removeNativeEventFilter(&moveSizeFilter);
#endif
    if (mainWindow == this) {
        haltRunning();
        mainWindow = nullptr;
        panelWidget = nullptr;
        keyButtons.fill(nullptr);
        clickSound = nullptr;
    }
}

bool MainWindow::event(QEvent* e) {
    if (e->type() == COMMAND_EVENT) {
        onCommand(static_cast<CommandEvent*>(e)->command);
        return true;
    }
    return QMainWindow::event(e);
}

void MainWindow::moveEvent(QMoveEvent* e) {
    QMainWindow::moveEvent(e);
    recordWindowPlace();
}

void MainWindow::closeEvent(QCloseEvent* e) {
    e->accept();
    windowDestroyed();
}

void windowDestroyed() {
    haltRunning();
    if (mainWindow) mainWindow->stopHousekeeping();
    std::string message;
    tapeStop(message);
    QCoreApplication::exit(0);
}

void createKeyButtons() {
    for (int id = 0; id < static_cast<int>(keyButtons.size()); ++id) {
        auto* button = new QPushButton(panelWidget);
        button->setGeometry(0, 0, 0, 0);
        QObject::connect(button, &QPushButton::clicked, [id] { postCommand(id); });
        keyButtons[id] = button;
    }
}

void playClickSound() {
    if (clickSound) clickSound->play();
}

void recordWindowPlace() {
    if (!mainWindow) return;
    const QRect outer = mainWindow->frameGeometry();
    windowRect = {outer.left(), outer.top(), outer.left() + outer.width(), outer.top() + outer.height()};
    scheduleRectSave();
}

} // namespace orv
