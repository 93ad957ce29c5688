#include "ui/main_window.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLayout>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include "app/main_window_actions.h"
#include "app/startup.h"
#include "job/runtime.h"
#include "ui/help_and_about.h"
#include "ui/option_dialogs.h"
#include "ui/open_file_dialog.h"
#include "ui/status_panel.h"

namespace pravel::ui {
namespace {

constexpr int kSourceListId = 101;

struct ButtonLabel {
  PanelArea area;
  const char* label;
};

constexpr ButtonLabel kButtonLabels[] = {
    {PanelArea::kCancel, "Cancel"},          {PanelArea::kDelete, "Delete"},
    {PanelArea::kBuildToTape, "Bld. to Tape"}, {PanelArea::kBuildToDisk, "Bld. to Disk"},
    {PanelArea::kEraseTape, "Erase Tape"},
};

QRect RectOf(const PanelHotArea& hot) { return QRect(QPoint(hot.left, hot.top), QPoint(hot.right, hot.bottom)); }

QString Text(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// A path as the file system names it, whatever its bytes.
QString PathText(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

// The largest font, up to 12 pixels, in which every label fits its button
// with a few pixels to spare.
QFont ButtonFont(QFont font) {
  constexpr int kLargest = 12;
  constexpr int kSmallest = 7;
  constexpr int kSpare = 6;
  for (int pixels = kLargest; pixels > kSmallest; --pixels) {
    font.setPixelSize(pixels);
    const QFontMetrics metrics(font);
    bool fits = true;
    for (const PanelHotArea& hot : PanelHotAreas()) {
      for (const ButtonLabel& button : kButtonLabels) {
        if (button.area == hot.area && metrics.horizontalAdvance(button.label) + kSpare > hot.right - hot.left + 1)
          fits = false;
      }
    }
    if (fits) return font;
  }
  font.setPixelSize(kSmallest);
  return font;
}

}  // namespace

MainWindow::MainWindow(Driver& driver, RunWorker& worker)
    : driver_(driver), worker_(worker), ui_(*this), batch_(driver.job.batchMode == 1) {
  driver_.job.mainWindow = &ui_;
  setWindowTitle(kWindowTitle);
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  BuildMenu();
  panel_ = new StatusPanel(this);
  panel_->setFixedSize(kClientWidth, kClientHeight);
  panel_->onClick = [this](int x, int y) { ClickPanel(x, y); };
  panel_->acceptsDrops = [this] { return !busy_; };
  panel_->onDrop = [this](const std::string& uriList, bool hasUriList, const std::string& described) {
    DropSources(uriList, hasUriList, described);
  };
  setCentralWidget(panel_);
  list_ = new QListWidget(panel_);
  list_->setObjectName(QString::number(kSourceListId));
  list_->setGeometry(kSourceListRect);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setSortingEnabled(false);
  auto* deleteKey = new QShortcut(QKeySequence::Delete, list_, nullptr, nullptr, Qt::WidgetShortcut);
  connect(deleteKey, &QShortcut::activated, this, [this] { ClickButton(PanelArea::kDelete); });
  BuildButtons();
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  list_->setFocus();
}

MainWindow::~MainWindow() {
  if (busyCursor_) QApplication::restoreOverrideCursor();
  if (driver_.job.mainWindow == &ui_) driver_.job.mainWindow = nullptr;
}

void MainWindow::BuildMenu() {
  struct Item {
    const char* menu;
    const char* label;
    int id;
  };
  static constexpr Item kItems[] = {
      {"Options", "DVD Format Options", kCommandDvdFormatOptions},
      {"Options", "Windows Autorun Options", kCommandAutorunOptions},
      {"Options", "Disc Options", kCommandDiscOptions},
      {"Options", "Format Options", kCommandFormatOptions},
      {"Options", "Exit", kCommandExit},
      {"Help", "Help", kCommandHelp},
      {"Help", "About", kCommandAbout},
  };
  std::map<std::string, QMenu*> menus;
  for (const Item& item : kItems) {
    QMenu*& menu = menus[item.menu];
    if (!menu) menu = menuBar()->addMenu(item.menu);
    if (item.id == kCommandExit) menu->addSeparator();
    QAction* action = menu->addAction(item.label);
    action->setData(item.id);
    const int id = item.id;
    connect(action, &QAction::triggered, this, [this, id] { RunMenuCommand(id); });
    actions_[id] = action;
  }
  menuBar()->setObjectName("COMMANDS");
}

void MainWindow::BuildButtons() {
  const QFont font = ButtonFont(panel_->font());
  for (const PanelHotArea& hot : PanelHotAreas()) {
    auto label = std::find_if(std::begin(kButtonLabels), std::end(kButtonLabels),
                              [&hot](const ButtonLabel& button) { return button.area == hot.area; });
    if (label == std::end(kButtonLabels)) continue;
    auto* button = new QPushButton(label->label, panel_);
    button->setGeometry(RectOf(hot));
    button->setFont(font);
    button->setAutoDefault(false);
    const PanelArea area = hot.area;
    connect(button, &QPushButton::clicked, this, [this, area] { ClickButton(area); });
    buttons_[area] = button;
  }
}

QPushButton* MainWindow::Button(PanelArea area) const {
  auto found = buttons_.find(area);
  return found == buttons_.end() ? nullptr : found->second;
}

QAction* MainWindow::MenuAction(int id) const {
  auto found = actions_.find(id);
  return found == actions_.end() ? nullptr : found->second;
}

const std::string& MainWindow::ShownStatus() const { return panel_->StatusText(); }

const std::string& MainWindow::ShownDescriptor() const { return panel_->DescriptorPath(); }

// --- services ------------------------------------------------------------------

platform::Answer MainWindow::ShowMessageBox(const std::string& text, const std::string& caption,
                                            platform::Buttons buttons, platform::Icon icon) {
  if (answerMessages) return answerMessages(text, caption, buttons);
  QMessageBox box(this);
  box.setWindowTitle(Text(caption));
  box.setText(Text(text));
  box.setIcon(icon == platform::Icon::kQuestion      ? QMessageBox::Question
              : icon == platform::Icon::kExclamation ? QMessageBox::Warning
                                                     : QMessageBox::NoIcon);
  if (buttons == platform::Buttons::kYesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes ? platform::Answer::kYes : platform::Answer::kNo;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.setEscapeButton(QMessageBox::Ok);
  box.exec();
  return platform::Answer::kOk;
}

void MainWindow::StoreStatusText(const std::string& text) { storedStatus_ = text; }

const std::string& MainWindow::StoredStatus() const { return storedStatus_; }

void MainWindow::ShowStatusLine(const std::string& text) { panel_->SetStatusText(text); }

void MainWindow::ShowBusyCursor(bool busy) {
  if (busy == busyCursor_) return;
  busyCursor_ = busy;
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void MainWindow::StartWindowTimer(int id, int periodMs) {
  QTimer*& timer = timers_[id];
  if (!timer) {
    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this, id] { OnTimer(id); });
  }
  timer->start(periodMs);
}

void MainWindow::StopWindowTimer(int id) {
  auto found = timers_.find(id);
  if (found != timers_.end()) found->second->stop();
}

void MainWindow::OnTimer(int id) {
  // A tick while the worker is busy, or a question is open, waits for the
  // next period.
  if (worker_.Busy() || QApplication::activeModalWidget()) return;
  RunOnWorker([this, id] { OnBatchTimer(driver_, id); }, false);
}

std::optional<std::string> MainWindow::ChooseFile(const platform::FileOpenRequest& request) {
  return ChooseFileToOpen(this, request);
}

void MainWindow::FillSourceList(const std::vector<std::string>& paths) {
  list_->clear();
  for (const std::string& path : paths) list_->addItem(PathText(path));
  // A full repaint: the stored status text, not a passing label.
  panel_->SetStatusText(storedStatus_);
}

void MainWindow::ShowDescriptor(const std::string& path) { panel_->SetDescriptorPath(path); }

std::vector<uint32_t> MainWindow::SelectedRows() const {
  std::vector<uint32_t> rows;
  for (int row = 0; row < list_->count(); ++row) {
    if (list_->item(row)->isSelected()) rows.push_back(static_cast<uint32_t>(row));
  }
  return rows;
}

void MainWindow::CloseForGood(int result) {
  if (stopQuestion_) stopQuestion_->reject();
  mayClose_ = true;
  for (auto& [id, timer] : timers_) timer->stop();
  close();
  emit ClosedForGood(result);
}

// --- the operator ---------------------------------------------------------------

void MainWindow::SetBusy(bool busy) {
  busy_ = busy;
  menuBar()->setEnabled(!busy);
  for (auto& [area, button] : buttons_) button->setEnabled(!busy || area == PanelArea::kCancel);
}

void MainWindow::RunOnWorker(std::function<void()> task, bool operatorStarted) {
  if (operatorStarted) ui_.ClearStopRequest();
  SetBusy(true);
  worker_.Post(std::move(task), [this] {
    QMetaObject::invokeMethod(this, [this] { TaskEnded(); }, Qt::QueuedConnection);
  });
}

void MainWindow::TaskEnded() {
  if (worker_.Busy() || batch_) return;
  // The run the question was about has ended.
  if (stopQuestion_) stopQuestion_->reject();
  SetBusy(false);
}

void MainWindow::AskToStop() {
  constexpr const char* kText = "Stop the premastering run?";
  constexpr const char* kCaption = "Are you sure?";
  if (stopQuestion_ || ui_.IsClosed()) return;
  bool stop = false;
  if (answerMessages) {
    stop = answerMessages(kText, kCaption, platform::Buttons::kYesNo) == platform::Answer::kYes;
  } else {
    QMessageBox box(QMessageBox::Question, kCaption, kText, QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    stopQuestion_ = &box;
    stop = box.exec() == QMessageBox::Yes;
    stopQuestion_ = nullptr;
  }
  if (stop && busy_) ui_.RequestStop();
}

void MainWindow::ClickPanel(int x, int y) {
  if (busy_) return;
  RunOnWorker([this, x, y] { OnPanelClick(driver_, x, y); });
}

void MainWindow::ClickButton(PanelArea area) {
  if (busy_) {
    if (area == PanelArea::kCancel) AskToStop();
    return;
  }
  for (const PanelHotArea& hot : PanelHotAreas()) {
    if (hot.area != area) continue;
    const QPoint centre = RectOf(hot).center();
    ClickPanel(centre.x(), centre.y());
    return;
  }
}

void MainWindow::DropSources(const std::string& uriList, bool hasUriList, const std::string& described) {
  if (busy_) return;
  Job& job = driver_.job;
  if (!hasUriList) {
    RefuseDroppedEntry(job, described);
    return;
  }
  AddDroppedUriList(job, uriList);
}

void MainWindow::RunMenuCommand(int id) {
  if (busy_) return;
  Job& job = driver_.job;
  switch (id) {
    case kCommandDvdFormatOptions: OpenDvdFormatOptions(job, this); break;
    case kCommandAutorunOptions: OpenAutorunOptions(job, this); break;
    case kCommandDiscOptions: OpenDiscIdentification(job, this); break;
    case kCommandFormatOptions: OpenFormatOptions(job, this); break;
    case kCommandExit: close(); break;
    case kCommandHelp: ShowHelp(); break;
    case kCommandAbout: ShowAbout(); break;
    default: break;
  }
}

void MainWindow::ShowHelp() { OpenHelp(driver_.job, this); }

void MainWindow::ShowAbout() { OpenAbout(this); }

void MainWindow::StartUpOnWorker() {
  RunOnWorker(
      [this] {
        if (StartUp(driver_)) RunCommandLineErase(driver_);
        QMetaObject::invokeMethod(this, [this] { startUpDone_ = true; }, Qt::QueuedConnection);
      },
      false);
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  panel_->SetStatusText(storedStatus_);
  if (startUpPosted_) return;
  startUpPosted_ = true;
  // The one-time start-up runs once the window is on the screen.
  QTimer::singleShot(0, this, [this] { StartUpOnWorker(); });
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (mayClose_) {
    event->accept();
    return;
  }
  event->ignore();
  if (busy_) {
    AskToStop();
    return;
  }
  ClickButton(PanelArea::kCancel);
}

}  // namespace pravel::ui
