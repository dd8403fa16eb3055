#include "objfile/about_dialog.h"

#include "control/commands.h"
#include "control/guide.h"
#include "control/main_window.h"
#include "ui_orvabout.h"

#include <QDialog>
#include <QDir>
#include <QUrl>

namespace orv {

namespace {

// The address the Website command opens.
QString guideHomeAddress() {
    const QString folder = guideFolder();
    if (folder.isEmpty()) return "User guide not found";
    return QUrl::fromLocalFile(QDir(folder).filePath(GUIDE_HOME_PAGE)).toString();
}

} // namespace

void aboutDialog() {
    QDialog dialog(windowParts.mainWindow);
    Ui::OrvAbout ui;
    ui.setupUi(&dialog);
    if (windowParts.mainWindow) {
        dialog.setWindowIcon(windowParts.mainWindow->windowIcon());
        ui.icon->setPixmap(windowParts.mainWindow->windowIcon().pixmap(32, 32));
    }
    ui.version->setText(QString("Version %1").arg(ORV_VERSION));
    ui.websiteButton->setText(guideHomeAddress());
    QObject::connect(ui.websiteButton, &QPushButton::clicked, [] { postCommand(CMD_WEBSITE); });
    QObject::connect(ui.pagesButton, &QPushButton::clicked, [] { postCommand(CMD_EMULATOR_PAGES); });
    QObject::connect(ui.okButton, &QPushButton::clicked, &dialog, &QDialog::accept);
    dialog.exec();
}

} // namespace orv
