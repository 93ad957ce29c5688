// Run-time operations every stage shares: message boxes, the status line,
// the error marker and the checked creation of files.
#pragma once

#include <cstdarg>
#include <string>

#include "job/job.h"
#include "platform/ui.h"

namespace pravel {

// An OK message box owned by the main window, no icon.
void ShowMessage(Job& job, const std::string& text, const std::string& caption);
// A Yes/No question with the question icon; true for Yes.
bool AskYesNo(Job& job, const std::string& text, const std::string& caption);

// A Yes/No question the command line answered already: shown with its answer.
void ShowAnsweredQuestion(Job& job, const std::string& text, const std::string& caption, bool yes);
// An OK message the operator answers once a physical step is done; false
// when nobody can answer it.
bool WaitForOperator(Job& job, const std::string& text, const std::string& caption);

// Shows a status line and stores it (cut to the stored text's room at a
// character boundary) for repaints.
void ShowStatus(Job& job, const std::string& text);
// The longest head of `text` that fits `capacity` - 1 bytes and does not end
// inside a UTF-8 sequence.
std::string CutAtCharacter(const std::string& text, size_t capacity);
void ShowMakingLabel(Job& job);
void SetBusyCursor(Job& job, bool busy);

// True when the operator has asked to stop the run; the message
// "Premastering stopped by the operator." has been shown then, once per run,
// and job.stoppedByOperator is set. Stages call it between units of work and
// fail when it is true.
bool StopRequestedByOperator(Job& job);

// printf into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "<templateDir>/_cdferr"
std::string ErrorMarkerPath(const Job& job);
// Creates the empty error marker "_cdferr" in the template directory.
void CreateErrorMarker(Job& job);
void RemoveErrorMarker(Job& job);

// The characters a created file's path may hold: space, digits, letters,
// ! % & ' ( ) * + , - . / : ; < = > ? \ _ and the double quotation mark.
bool IsCreatablePath(const std::string& path);

// Creates (or truncates) a file with read and write permission and closes it.
// False when the path holds a character outside the set above or the file
// can not be created; nothing is created then.
bool CreateFileChecked(const std::string& path);
// The same for a run's temporary file, unless an interruption's clean-up has
// begun: that clean-up would not see the file, so it is not created.
bool CreateUninterrupted(const std::string& path);

}  // namespace pravel
