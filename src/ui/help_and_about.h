// The Help menu: the help page and the About box.
#pragma once

#include <string>

#include "job/job.h"

class QWidget;
class QDialog;

namespace pravel::ui {

inline constexpr const char* kHelpFileName = "kstr.html";
inline constexpr const char* kHelpAnchor = "1009";

// The installation's help page, KESTRAND_HOME/kstr.html.
std::string HelpFilePath();

// Shows the help page at its anchor "1009" in a window of its own; a missing
// page gets a message naming it.
void OpenHelp(Job& job, QWidget* owner);
// The help window, not shown (tests and screenshots); nullptr without a page.
QDialog* MakeHelpWindow(QWidget* owner);

// The About box: its three texts over "Ok", modal.
void OpenAbout(QWidget* owner);
QDialog* MakeAboutDialog(QWidget* owner);

}  // namespace pravel::ui
