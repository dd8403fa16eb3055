// The user guide names every menu item, every shortcut and every key of the program's own tables, so a
// command added without its page fails here.
#include "control/commands.h"
#include "control/main_window.h"
#include "control/menus.h"
#include "debugger/debugger_window.h"
#include "machine/keys.h"
#include "program/program_fixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QTextDocumentFragment>
#include <gtest/gtest.h>

#include <vector>

namespace orv {
namespace {

struct Guide {
    QString html; // every page, as written
    QString text; // every page, as a reader sees it
};

Guide readGuide() {
    Guide guide;
    const QDir folder(QStringLiteral(ORV_DOCS_DIR));
    for (const QString& name : folder.entryList({QStringLiteral("*.html")}, QDir::Files)) {
        QFile page(folder.filePath(name));
        EXPECT_TRUE(page.open(QIODevice::ReadOnly)) << name.toStdString();
        const QString html = QString::fromUtf8(page.readAll());
        guide.html += html;
        guide.text += QTextDocumentFragment::fromHtml(html).toPlainText().replace(QChar::Nbsp, u' ') + u'\n';
    }
    return guide;
}

// The guide writes a PC key as <kbd>a</kbd>, or within a range such as <kbd>a</kbd>&ndash;<kbd>f</kbd>.
bool guideNamesKey(const QString& html, const QString& key) {
    if (html.contains(QStringLiteral("<kbd>%1</kbd>").arg(key))) return true;
    if (key.size() != 1) return false;
    static const QRegularExpression range(QStringLiteral("<kbd>(.)</kbd>&ndash;<kbd>(.)</kbd>"));
    for (auto match = range.globalMatch(html); match.hasNext();) {
        const auto found = match.next();
        if (found.captured(1)[0] <= key[0] && key[0] <= found.captured(2)[0]) return true;
    }
    return false;
}

QString keyName(char c) {
    switch (c) {
    case '\r': return QStringLiteral("Enter");
    case '\x1b': return QStringLiteral("Esc");
    default: return QString(QChar::fromLatin1(c).toLower());
    }
}

TEST(GuideTest, NamesEveryMenuItemAndItsKeys) {
    const Guide guide = readGuide();
    std::vector<const MenuItem*> items;
    for (const MenuDescription& menu : mainMenuDescription)
        for (const MenuItem& item : menu.items) items.push_back(&item);
    for (const MenuItem& item : popupMenuDescription) items.push_back(&item);
    for (const MenuItem* item : items) {
        if (item->command == MENU_SEPARATOR) continue;
        const QString name = QString::fromLatin1(item->text).remove(u'&');
        EXPECT_TRUE(guide.text.contains(name)) << "menu item " << name.toStdString();
        if (item->keys) {
            EXPECT_TRUE(guide.text.contains(QString::fromLatin1(item->keys))) << "key " << item->keys;
        }
    }
}

TEST(GuideTest, NamesEveryKeyOfTheKeypadAndThePcKeysThatPressIt) {
    const Guide guide = readGuide();
    for (const KeyInfo& key : keyTable) {
        EXPECT_TRUE(guideNamesKey(guide.html, QString::fromLatin1(key.legend)))
            << "keypad key " << key.legend;
        for (const char c : key.characters)
            EXPECT_TRUE(guideNamesKey(guide.html, keyName(c))) << "PC key " << keyName(c).toStdString();
    }
}

TEST(GuideTest, NamesEveryShortcutOfBothWindows) {
    const Guide guide = readGuide();
    if (!debuggerWindowShown()) onCommand(CMD_DEBUGGER_WINDOW);
    ASSERT_TRUE(test::settleUntil([] { return debuggerWindowShown(); }, 5000));
    for (const QWidget* window : {static_cast<QWidget*>(windowParts.mainWindow),
                                  static_cast<QWidget*>(debuggerParts.debuggerWindow)}) {
        for (const QAction* action : window->findChildren<QAction*>()) {
            for (const QKeySequence& keys : action->shortcuts()) {
                const QString name = keys.toString(QKeySequence::PortableText);
                EXPECT_TRUE(guide.text.contains(name))
                    << "shortcut " << name.toStdString() << " of " << action->text().toStdString();
            }
        }
    }
    debuggerParts.debuggerWindow->close();
}

} // namespace
} // namespace orv
