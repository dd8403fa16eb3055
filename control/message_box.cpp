#include "control/message_box.h"

#include "control/main_window.h"

namespace orv {

QMessageBox::StandardButton showMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                           const QString& text, QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, title, text, buttons, parent);
    box.setTextFormat(Qt::PlainText);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString messageText(const std::string& message) {
    return QString::fromLocal8Bit(message);
}

bool showFailureBox(const QString& caption, const std::string& message, bool offerRetry) {
    const QMessageBox::StandardButtons buttons =
        offerRetry ? QMessageBox::Retry | QMessageBox::Cancel : QMessageBox::Ok;
    return showMessageBox(windowParts.mainWindow, QMessageBox::Critical, caption, messageText(message),
                          buttons) == QMessageBox::Retry;
}

} // namespace orv
