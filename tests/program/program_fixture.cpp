#include "program/program_fixture.h"

#include "control/main_window.h"
#include "control/pacer.h"
#include "control/run_control.h"
#include "control/run_state.h"
#include "machine/cpu.h"
#include "panel/layout.h"
#include "panel/panel_widget.h"

#include <QApplication>
#include <QTimer>

namespace orv::test {

std::vector<BoxRecord> boxes;
std::deque<QMessageBox::StandardButton> boxAnswers;
StartUpRecord startUpState{};

void recordStartUp() {
    startUpState = {halted, pacerRunning(), events.load(), paused, cycles, cpu.pc};
}

void startBoxCloser() {
    auto* closer = new QTimer(QCoreApplication::instance());
    closer->setInterval(5);
    QObject::connect(closer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
            QMessageBox::StandardButton answer = QMessageBox::Ok;
            if (!boxAnswers.empty()) {
                answer = boxAnswers.front();
                boxAnswers.pop_front();
            }
            box->done(answer);
        }
    });
    closer->start();
}

void settle(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void resizeClient(int width, int height) {
    const int extraWidth = mainWindow->width() - panelWidget->width();
    const int extraHeight = mainWindow->height() - panelWidget->height();
    mainWindow->resize(width + extraWidth, height + extraHeight);
    // Let the snapping resize and its nested layout arrive.
    settle(20);
    settleUntil([] { return panelWidget->width() == 100 * scale; }, 10000);
}

void relayout(int width) {
    resizeClient(width, panelWidget->height() + 1);
}

QImage grabPanel() {
    return panelWidget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace orv::test
