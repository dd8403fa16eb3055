#include "objfile/save_dialog.h"

#include "base/address.h"
#include "control/main_window.h"
#include "objfile/file_commands.h"
#include "settings/settings.h"
#include "ui_orvsave.h"

#include <QDialog>
#include <QFontMetrics>

#include <cstdint>
#include <string>

namespace orv {

namespace {

bool readAddress(const QLineEdit* edit, std::string& text, std::uint16_t& value) {
    text = edit->text().toStdString();
    const auto typed = addressValue(text, FOUR_DIGITS);
    if (typed) value = *typed;
    return typed.has_value();
}

} // namespace

bool checkSaveRange(Ui::OrvSave& ui) {
    std::string startText, endText;
    bool good = readAddress(ui.startEdit, startText, saveRange.saveStart);
    good = readAddress(ui.endEdit, endText, saveRange.saveEnd) && good;
    if (saveRange.saveEnd < saveRange.saveStart) good = false;
    ui.okButton->setEnabled(good);
    if (good && (startText != settings.saveAddrStart || endText != settings.saveAddrEnd)) {
        settings.saveAddrStart = startText;
        settings.saveAddrEnd = endText;
        saveUserSettings();
    }
    return good;
}

void saveRangeDialog(bool (*save)(), const char* caption) {
    if (!save) save = saveObjectCommand;
    QDialog dialog(windowParts.mainWindow);
    Ui::OrvSave ui;
    ui.setupUi(&dialog);
    if (caption) dialog.setWindowTitle(caption);
    if (windowParts.mainWindow) dialog.setWindowIcon(windowParts.mainWindow->windowIcon());
    // Room for four digits and the cursor, whatever the font.
    const int fieldWidth = ui.startEdit->fontMetrics().horizontalAdvance("DDDDDD") + 8;
    ui.startEdit->setFixedWidth(fieldWidth);
    ui.endEdit->setFixedWidth(fieldWidth);

    ui.startEdit->setText(QString::fromStdString(settings.saveAddrStart));
    ui.endEdit->setText(QString::fromStdString(settings.saveAddrEnd));
    checkSaveRange(ui);
    QObject::connect(ui.startEdit, &QLineEdit::textChanged, [&ui] { checkSaveRange(ui); });
    QObject::connect(ui.endEdit, &QLineEdit::textChanged, [&ui] { checkSaveRange(ui); });
    QObject::connect(ui.okButton, &QPushButton::clicked, [&dialog, save] {
        if (save()) dialog.accept();
    });
    QObject::connect(ui.cancelButton, &QPushButton::clicked, &dialog, &QDialog::reject);
    dialog.exec();
}

} // namespace orv
