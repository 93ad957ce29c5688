// The four option dialogs of the Options menu: "DVD Format Options",
// "Windows Auto Run", "Disc Identification Options" and "Format Options".
// Each is modal and owned by the main window; it shows the Job's values when
// it opens and stores them back only on OK, and only when every field passes
// its check. A refused OK has said why in a message box; the dialog then
// stays open with the focus on the control at fault. Cancel (and closing the
// dialog) stores nothing. Messages and questions go through the Job's front
// end (job.mainWindow).
//
// Names, for tests and screenshots: every control carries its control id as
// its objectName in the form "control<id>" ("control702" is "Number of
// Layers", "control1" the OK button, "control2" Cancel, "control111" a
// horizontal rule); see ControlName. Each dialog's objectName is the name of
// its dialog resource ("DLG_TSCCOLLECT", "IDD_AUTORUN", "IDD_DOPT",
// "IDD_SYSTEM_OPTIONS").
//
// Edit fields take at most as many UTF-8 bytes as the value they edit holds
// (typing and pasting beyond that is refused, never cut); a longer text set
// by other means is refused on OK with a message.
#pragma once

#include <QString>
#include <memory>

#include "job/job.h"

class QDialog;
class QWidget;

namespace pravel::ui {

// "control<id>"
QString ControlName(int id);

// The menu's actions: each opens its dialog modally and returns when the
// operator closes it.
void OpenDvdFormatOptions(Job& job, QWidget* owner);    // menu 210
void OpenAutorunOptions(Job& job, QWidget* owner);      // menu 211
void OpenDiscIdentification(Job& job, QWidget* owner);  // menu 11842
void OpenFormatOptions(Job& job, QWidget* owner);       // menu 11843

// The dialog set up on the Job, not shown: for tests and screenshots. It
// works on `job`, which must outlive it.
std::unique_ptr<QDialog> MakeDvdFormatOptionsDialog(Job& job, QWidget* owner);
std::unique_ptr<QDialog> MakeAutorunOptionsDialog(Job& job, QWidget* owner);
std::unique_ptr<QDialog> MakeDiscIdentificationDialog(Job& job, QWidget* owner);
std::unique_ptr<QDialog> MakeFormatOptionsDialog(Job& job, QWidget* owner);

}  // namespace pravel::ui
