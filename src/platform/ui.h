// The user-interface services the run needs: message boxes, the status line,
// cursors, one-shot window timers, the file-open dialog and closing the main
// window. A console front end, a scripted one for tests and, later, the
// desktop window implement it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pravel::platform {

// kOkWhenReady: an OK the operator gives once a physical step is done (a
// tape swapped); a front end that can not be answered returns kNo for it.
enum class Buttons { kOk, kYesNo, kOkWhenReady };
enum class Icon { kNone, kQuestion, kExclamation };
enum class Answer { kOk, kYes, kNo };
enum class Cursor { kArrow, kBusy };

struct FileOpenRequest {
  std::string filter;      // "Formats(DVDF*.INI)|DVDF*.INI|"
  std::string initialDir;  // where the dialog opens
  bool mustExist = true;
};

class Ui {
 public:
  virtual ~Ui() = default;

  // A modal message box owned by the main window; returns the button pressed.
  virtual Answer ShowMessage(const std::string& text, const std::string& caption,
                             Buttons buttons = Buttons::kOk, Icon icon = Icon::kNone) = 0;

  // Shows a Yes/No question that the command line has answered already.
  virtual void ShowAnsweredQuestion(const std::string& text, const std::string& caption, Answer answer) {
    ShowMessage(text + (answer == Answer::kYes ? " [Yes]" : " [No]"), caption);
  }

  // Replaces the one line of progress text.
  virtual void ShowStatus(const std::string& text) = 0;
  // Shows the fixed label "Making DVD:" in the status line.
  virtual void ShowMakingLabel() = 0;
  // Blanks the status line; the stored text is shown again on the next repaint.
  virtual void ClearStatusLine() {}

  // True once the operator has asked to stop the run in progress. The scan,
  // the builder and the copy look at it between units of work.
  virtual bool StopRequested() const { return false; }

  virtual void SetCursor(Cursor cursor) = 0;

  // One-shot use of a window timer: the front end calls back once per period
  // until the timer is stopped.
  virtual void StartTimer(int id, int periodMs) = 0;
  virtual void StopTimer(int id) = 0;

  // The common file-open dialog; nullopt when the operator cancels.
  virtual std::optional<std::string> ChooseFileToOpen(const FileOpenRequest& request) = 0;

  // Shows the source list again after a batch load refilled it.
  virtual void RefillSourceList(const std::vector<std::string>& paths) = 0;
  // Draws the descriptor path into the status panel.
  virtual void ShowDescriptorPath(const std::string& path) = 0;

  // The indexes of the source list entries the operator has selected.
  virtual std::vector<uint32_t> SelectedSources() = 0;

  // Asks the main window to close; the message loop ends with `result`.
  virtual void CloseMainWindow(int result) = 0;
  virtual bool IsClosed() const = 0;

  // The message loop's wait: the id of the next timer once it is due (a
  // front end with nothing to draw meanwhile may call it due at once), or
  // nullopt when the window has closed or no timer runs.
  virtual std::optional<int> WaitForTimer() = 0;
};

}  // namespace pravel::platform
