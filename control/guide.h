// The user guide: HTML pages shipped with the program, opened in the desktop's browser. Its home page
// is the project's web site; the Help menu and the About box open its pages.
#pragma once

#include <QString>

namespace orv {

constexpr const char* GUIDE_HOME_PAGE = "index.html";
constexpr const char* GUIDE_EMULATOR_PAGE = "emulator.html";

// The guide's folder for an executable in `programFolder`: "docs" beside it (a build), else the
// installed "share/doc/orvane" next to its "bin". Empty when neither holds the home page.
QString guideFolderFor(const QString& programFolder);
// The same for the running program.
QString guideFolder();
// Hands one page of the guide to the desktop; returns at once, and a failure goes unreported.
void openGuidePage(const char* page);

} // namespace orv
