// The frame window and its client: the source list at the top, the status
// panel below it (descriptor field, status line, the five buttons), the menu
// "COMMANDS". The window runs no stage code: every panel action, start-up and
// the batch timers go to the worker thread, and while one runs the window
// refuses the menu, drops and every button but Cancel.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/run_driver.h"
#include "platform/ui.h"
#include "ui/qt_ui.h"
#include "ui/run_worker.h"

class QAction;
class QMessageBox;
class QListWidget;
class QPushButton;
class QTimer;

namespace pravel::ui {

class StatusPanel;

inline constexpr const char* kWindowTitle = "Pravel - ISO/UDF Formater and Disc Image Builder (PreMastering)";

// Menu command ids.
enum MenuCommand : int {
  kCommandAbout = 205,
  kCommandHelp = 206,
  kCommandExit = 208,
  kCommandDvdFormatOptions = 210,
  kCommandAutorunOptions = 211,
  kCommandDiscOptions = 11842,
  kCommandFormatOptions = 11843,
};

class MainWindow final : public QMainWindow {
  Q_OBJECT

 public:
  // Wires itself in as the Job's main window.
  MainWindow(Driver& driver, RunWorker& worker);
  ~MainWindow() override;

  // --- services of the Ui, on the GUI thread -----------------------------
  platform::Answer ShowMessageBox(const std::string& text, const std::string& caption, platform::Buttons buttons,
                                  platform::Icon icon);
  void StoreStatusText(const std::string& text);
  void ShowStatusLine(const std::string& text);
  void ShowBusyCursor(bool busy);
  void StartWindowTimer(int id, int periodMs);
  void StopWindowTimer(int id);
  std::optional<std::string> ChooseFile(const platform::FileOpenRequest& request);
  void FillSourceList(const std::vector<std::string>& paths);
  void ShowDescriptor(const std::string& path);
  std::vector<uint32_t> SelectedRows() const;
  void CloseForGood(int result);

  // --- what the operator does -----------------------------------------------
  void RunMenuCommand(int id);
  // A left click at a client point that no button took.
  void ClickPanel(int x, int y);
  void ClickButton(PanelArea area);
  // A drop of text/uri-list bytes; `formats` names what else the drop held.
  void DropSources(const std::string& uriList, bool hasUriList, const std::string& described);

  // --- for the tests ------------------------------------------------------------
  bool Busy() const { return busy_; }
  // The one-time start-up has run (whether or not it succeeded).
  bool StartUpDone() const { return startUpDone_; }
  QtUi& Services() { return ui_; }
  QListWidget* SourceList() const { return list_; }
  QPushButton* Button(PanelArea area) const;
  const std::string& ShownStatus() const;
  const std::string& ShownDescriptor() const;
  const std::string& StoredStatus() const;
  QAction* MenuAction(int id) const;
  StatusPanel* Panel() const { return panel_; }
  // Runs a task on the worker (busy meanwhile). A task the operator started
  // forgets an earlier stop request; the batch run's tasks keep it.
  void RunOnWorker(std::function<void()> task, bool operatorStarted = true);
  // When set, message boxes are answered by it on the GUI thread instead of
  // being shown.
  std::function<platform::Answer(const std::string& text, const std::string& caption, platform::Buttons buttons)>
      answerMessages;

 signals:
  // The window has closed for good: the program's loop ends.
  void ClosedForGood(int result);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenu();
  void BuildButtons();
  void SetBusy(bool busy);
  void TaskEnded();
  void AskToStop();
  void StartUpOnWorker();
  void ShowHelp();
  void ShowAbout();
  void OnTimer(int id);

  Driver& driver_;
  RunWorker& worker_;
  QtUi ui_;
  QListWidget* list_ = nullptr;
  StatusPanel* panel_ = nullptr;
  std::map<PanelArea, QPushButton*> buttons_;
  std::map<int, QAction*> actions_;
  std::map<int, QTimer*> timers_;
  std::string storedStatus_;  // at most 127 bytes, drawn again on repaints
  bool busy_ = false;
  bool busyCursor_ = false;
  bool startUpPosted_ = false;
  bool startUpDone_ = false;
  bool mayClose_ = false;
  QPointer<QMessageBox> stopQuestion_;
  // A batch run owns the Job from start-up until the window closes, across
  // the pauses between its timer ticks.
  const bool batch_;
};

}  // namespace pravel::ui
