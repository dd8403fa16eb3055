#include "control/guide.h"

#include "base/trace.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace orv {

QString guideFolderFor(const QString& programFolder) {
    const QDir program(programFolder);
    for (const QString& candidate : {program.filePath("docs"), program.filePath("../share/doc/orvane")}) {
        if (QFileInfo(QDir(candidate).filePath(GUIDE_HOME_PAGE)).isFile())
            return QDir::cleanPath(QFileInfo(candidate).absoluteFilePath());
    }
    return {};
}

QString guideFolder() {
    return guideFolderFor(QCoreApplication::applicationDirPath());
}

void openGuidePage(const char* page) {
    const QString folder = guideFolder();
    if (folder.isEmpty()) {
        trace("User guide not found\n");
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(QDir(folder).filePath(QString::fromLatin1(page))));
}

} // namespace orv
