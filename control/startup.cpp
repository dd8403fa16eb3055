#include "control/startup.h"

#include "base/trace.h"
#include "board/board.h"
#include "control/command_line.h"
#include "control/edit_commands.h"
#include "control/ending.h"
#include "control/main_window.h"
#include "control/message_box.h"
#include "control/program_files.h"
#include "control/run_control.h"
#include "machine/cpu.h"
#include "panel/paint.h"
#include "settings/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

// The resources live in a static library; this keeps them linked in.
static void initResources() {
    Q_INIT_RESOURCE(orv);
}

namespace orv {

void prepareOutput() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
}

namespace {

struct HeldMessage {
    QtMsgType type;
    QByteArray category;
    QString text;
};
std::vector<HeldMessage> heldMessages;
QtMessageHandler givenHandler = nullptr;
// The toolkit may start threads of its own while it opens the display.
std::mutex heldLock;

void holdMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const std::lock_guard<std::mutex> hold(heldLock);
    if (type != QtFatalMsg) {
        heldMessages.push_back({type, context.category, text});
        return;
    }
    // The toolkit gives up when no platform can be opened: what went wrong first is the reason.
    QString why = heldMessages.empty() ? text : heldMessages.front().text;
    why = why.section('\n', 0, 0).trimmed();
    std::fprintf(stderr, "orv: cannot open a window: %s\n", why.toLocal8Bit().constData());
    std::fflush(stderr);
    std::_Exit(NO_DISPLAY);
}

// The monitor image the program carries, Intel HEX text; empty when the resource cannot be read, which
// the loader then reports.
std::string monitorImage() {
    QFile resource(":/orvROM");
    if (!resource.open(QIODevice::ReadOnly)) return {};
    return resource.readAll().toStdString();
}

void reportMonitorLoad(int count, const std::string& message) {
    if (!message.empty())
        showFailureBox("Error loading monitor", message);
    else
        trace("Monitor loaded [%d bytes]\n", count);
}

} // namespace

void expectDisplay() {
    givenHandler = qInstallMessageHandler(holdMessage);
}

void displayOpened() {
    qInstallMessageHandler(givenHandler);
    const std::lock_guard<std::mutex> hold(heldLock);
    for (const HeldMessage& held : heldMessages) {
        const QMessageLogContext context(nullptr, 0, nullptr, held.category.constData());
        qt_message_output(held.type, context, held.text);
    }
    heldMessages.clear();
}

void startUp() {
    initResources();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        settings.screenWidth = screen->size().width();
        settings.screenHeight = screen->size().height();
    }
    runControl.minTimer = 1;

    // Defaults the settings may override.
    placeSettings(QCoreApplication::applicationDirPath());
    settings.currFileObj.clear();
    settings.currFileMid.clear();
    settings.saveAddrStart = "0000";
    settings.saveAddrEnd = "00FF";
    loadSettings();

    new MainWindow();
    createDrawingObjects();
    createKeyButtons();

    std::string message;
    reportMonitorLoad(boardPowerOn(monitorImage(), message), message);
    cpuSetBreakpoint(settings.debugP);
    installProgramFiles();

    windowParts.mainWindow->show();
}

void placeSettings(const QString& programFolder) {
    settings.settingsPath = settingsFileFor(programFolder);
    const bool besideProgram =
        QFileInfo(QString::fromStdString(settings.settingsPath)).dir() == QDir(programFolder);
    // Settings left beside a program that cannot write there are where the user's own begin.
    settings.settingsSeedPath =
        besideProgram ? std::string() : QDir(programFolder).filePath("orv.ini").toStdString();
    // A program installed where it cannot write keeps neither its settings nor the user's files in its
    // own folder: the file dialogs then start at home.
    settings.currFileDir = (besideProgram ? programFolder : QDir::homePath()).toStdString() + "/";
}

std::string settingsFileFor(const QString& programFolder) {
    // The settings are replaced through a temporary file beside them, so the folder itself must
    // take new files.
    QTemporaryFile probe(QDir(programFolder).filePath("orv.ini.XXXXXX"));
    if (probe.open()) return QDir(programFolder).filePath("orv.ini").toStdString();
    const QString config =
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)).filePath("orvane");
    QDir().mkpath(config);
    return QDir(config).filePath("orv.ini").toStdString();
}

void loadMonitor() {
    std::string message;
    reportMonitorLoad(boardLoadMonitor(monitorImage(), message), message);
}

int shutDown(int exitCode) {
    endProgram();
    delete windowParts.mainWindow;
    return exitCode;
}

} // namespace orv
