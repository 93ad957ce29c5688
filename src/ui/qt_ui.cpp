#include "ui/qt_ui.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

#include "job/job.h"
#include "job/runtime.h"
#include "ui/main_window.h"

namespace pravel::ui {

QtUi::QtUi(MainWindow& window) : window_(&window) {}

template <typename Result, typename Call>
Result QtUi::OnGuiThread(Call call, Result whenGone) {
  if (windowGone_ || !window_) return whenGone;
  if (QThread::currentThread() == window_->thread()) return call(*window_);
  Result result = whenGone;
  MainWindow* window = window_;
  QMetaObject::invokeMethod(
      window, [&result, &call, window] { result = call(*window); }, Qt::BlockingQueuedConnection);
  return result;
}

template <typename Call>
void QtUi::PostToGui(Call call) {
  if (windowGone_ || !window_) return;
  MainWindow* window = window_;
  if (QThread::currentThread() == window->thread()) {
    call(*window);
    return;
  }
  QMetaObject::invokeMethod(window, [call = std::move(call), window] { call(*window); }, Qt::QueuedConnection);
}

platform::Answer QtUi::ShowMessage(const std::string& text, const std::string& caption, platform::Buttons buttons,
                                   platform::Icon icon) {
  return OnGuiThread(
      [&](MainWindow& window) { return window.ShowMessageBox(text, caption, buttons, icon); },
      buttons == platform::Buttons::kOk ? platform::Answer::kOk : platform::Answer::kNo);
}

void QtUi::PostStatusLine(const std::string& text, bool store) {
  bool post = false;
  {
    std::lock_guard lock(statusMutex_);
    pendingStatus_ = text;
    if (store) {
      pendingStored_ = CutAtCharacter(text, capacity::kStatusText);
      pendingStore_ = true;
    }
    post = !statusPosted_;
    statusPosted_ = true;
  }
  if (!post) return;
  PostToGui([this](MainWindow& window) {
    std::string shown;
    std::string stored;
    bool store = false;
    {
      std::lock_guard lock(statusMutex_);
      shown = pendingStatus_;
      stored = pendingStored_;
      store = pendingStore_;
      pendingStore_ = false;
      statusPosted_ = false;
    }
    if (store) window.StoreStatusText(stored);
    window.ShowStatusLine(shown);
  });
}

void QtUi::ShowStatus(const std::string& text) { PostStatusLine(text, true); }

void QtUi::ShowMakingLabel() { PostStatusLine("Making DVD:", false); }

void QtUi::ClearStatusLine() { PostStatusLine("", false); }

void QtUi::SetCursor(platform::Cursor cursor) {
  PostToGui([cursor](MainWindow& window) { window.ShowBusyCursor(cursor == platform::Cursor::kBusy); });
}

void QtUi::StartTimer(int id, int periodMs) {
  PostToGui([id, periodMs](MainWindow& window) { window.StartWindowTimer(id, periodMs); });
}

void QtUi::StopTimer(int id) {
  PostToGui([id](MainWindow& window) { window.StopWindowTimer(id); });
}

std::optional<std::string> QtUi::ChooseFileToOpen(const platform::FileOpenRequest& request) {
  std::optional<std::string> chosen;
  OnGuiThread(
      [&](MainWindow& window) {
        chosen = window.ChooseFile(request);
        return true;
      },
      false);
  return chosen;
}

void QtUi::BeginPanelRepaint() {
  // A status text folded into a post queued before this repaint would be
  // drawn before it and then covered by the stored text: later texts get a
  // post of their own, behind the repaint.
  std::lock_guard lock(statusMutex_);
  statusPosted_ = false;
}

void QtUi::RefillSourceList(const std::vector<std::string>& paths) {
  BeginPanelRepaint();
  PostToGui([paths](MainWindow& window) { window.FillSourceList(paths); });
}

void QtUi::ShowDescriptorPath(const std::string& path) {
  PostToGui([path](MainWindow& window) { window.ShowDescriptor(path); });
}

std::vector<uint32_t> QtUi::SelectedSources() {
  return OnGuiThread([](MainWindow& window) { return window.SelectedRows(); }, std::vector<uint32_t>());
}

void QtUi::CloseMainWindow(int result) {
  closed_ = true;
  PostToGui([result](MainWindow& window) { window.CloseForGood(result); });
}

}  // namespace pravel::ui
