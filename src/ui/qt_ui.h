// The window's UI services. Stage code calls them on the worker thread; each
// call is carried to the GUI thread: status texts are coalesced (the last
// one wins), message boxes and dialogs are shown there while the worker waits
// for the answer. Called on the GUI thread itself (a dialog's question), they
// act at once.
#pragma once

#include <QPointer>
#include <atomic>
#include <mutex>
#include <string>

#include "platform/ui.h"

namespace pravel::ui {

class MainWindow;

class QtUi final : public platform::Ui {
 public:
  explicit QtUi(MainWindow& window);

  platform::Answer ShowMessage(const std::string& text, const std::string& caption, platform::Buttons buttons,
                               platform::Icon icon) override;
  void ShowStatus(const std::string& text) override;
  void ShowMakingLabel() override;
  void ClearStatusLine() override;
  bool StopRequested() const override { return stopRequested_; }
  void SetCursor(platform::Cursor cursor) override;
  void StartTimer(int id, int periodMs) override;
  void StopTimer(int id) override;
  std::optional<std::string> ChooseFileToOpen(const platform::FileOpenRequest& request) override;
  void RefillSourceList(const std::vector<std::string>& paths) override;
  void ShowDescriptorPath(const std::string& path) override;
  std::vector<uint32_t> SelectedSources() override;
  void CloseMainWindow(int result) override;
  bool IsClosed() const override { return closed_; }
  std::optional<int> WaitForTimer() override { return std::nullopt; }

  void RequestStop() { stopRequested_ = true; }
  void ClearStopRequest() { stopRequested_ = false; }
  // After the event loop has ended nothing is shown: questions answer No.
  void EndOfWindow() { windowGone_ = true; }

 private:
  // Shows `text` in the status line (storing `stored` for repaints) on the
  // GUI thread, coalescing calls that come faster than it draws.
  void PostStatusLine(const std::string& text, bool store);
  void BeginPanelRepaint();
  template <typename Result, typename Call>
  Result OnGuiThread(Call call, Result whenGone);
  template <typename Call>
  void PostToGui(Call call);

  QPointer<MainWindow> window_;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> closed_{false};
  std::atomic<bool> windowGone_{false};

  std::mutex statusMutex_;
  std::string pendingStatus_;
  std::string pendingStored_;
  bool pendingStore_ = false;
  bool statusPosted_ = false;
};

}  // namespace pravel::ui
