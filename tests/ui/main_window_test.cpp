// The main window on the offscreen platform, over stage doubles: menu, panel
// buttons, drops, the status line, and runs on the worker thread that the
// window keeps answering and can stop (the front-end runs build whole titles
// through the window).
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QListView>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QtTest>
#include <atomic>
#include <thread>

#include "app/main_window_actions.h"
#include "app/startup.h"
#include "app/stages.h"
#include "e2e/installation.h"
#include "job/runtime.h"
#include "ui/help_and_about.h"
#include "ui/main_window.h"
#include "ui/open_file_dialog.h"
#include "ui/status_panel.h"

namespace pravel::ui {
namespace {

using platform::Answer;
using platform::Buttons;

struct Message { std::string text; std::string caption; };

// Stages that do nothing but record; the tree build runs what a test gives it.
class StageDoubles final : public Stages {
 public:
  bool LoadProjectSources(Job&) override { return true; }
  bool BuildTreeListing(Job& job) override { return treeBuild ? treeBuild(job) : true; }
  bool BuildImageAndOutput(Job&) override { return true; }
  void RemoveAliasFiles(Job&) override { ++aliasCleanUps; }
  void RemoveTreeListingFiles(Job&) override {}
  void RemoveUnfinishedImages(Job&) override {}
  void RemoveBuilderFiles(Job&) override {}
  void EraseTape(Job&) override {}

  std::function<bool(Job&)> treeBuild;
  std::atomic<int> aliasCleanUps{0};
};

// A window on a real installation, started up, its message boxes answered
// by the test: Yes to every question unless told otherwise.
struct Harness {
  explicit Harness(int batchMode = 0)
      : job([batchMode] {
          Job batch;
          batch.batchMode = batchMode;
          return batch;
        }()) {
    qputenv("KESTRAND_HOME", QByteArray::fromStdString(installation.Home()));
    testing::WriteFile(installation.Home() + "/DVDFROM.INI", "[cdformat]\r\nvolume_id=WINDOW_RUN\r\n");
    job.clock = &clock;
    window.answerMessages = [this](const std::string& text, const std::string& caption, Buttons buttons) {
      messages.push_back({text, caption});
      if (buttons != Buttons::kYesNo) return Answer::kOk;
      return answerNo.count(text) ? Answer::kNo : Answer::kYes;
    };
    window.show();
    started = QTest::qWaitFor([this] { return window.StartUpDone() && !worker.Busy(); }, 5000);
    messages.clear();  // the installation's own warnings
  }
  // A task still running holds the window: let it end first.
  ~Harness() {
    if (!QTest::qWaitFor([this] { return !worker.Busy(); }, 10000)) qWarning("the worker is still busy");
    window.Services().EndOfWindow();
  }

  // A message box with this text or caption was shown.
  bool Shown(const std::string& said) const {
    return std::any_of(messages.begin(), messages.end(),
                       [&](const Message& m) { return m.text == said || m.caption == said; });
  }

  // A drop over the source list, as the desktop delivers it: enter, then drop.
  // False when the window did not take the drag.
  bool Drop(const QByteArray& uriList) {
    QMimeData data;
    data.setData("text/uri-list", uriList);
    return DropData(data);
  }
  bool DropData(const QMimeData& data) {
    QWidget* target = window.SourceList()->viewport();
    const QPoint at(300, 60);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return true;
  }

  QStringList Listed() const {
    QStringList items;
    for (int row = 0; row < window.SourceList()->count(); ++row) items << window.SourceList()->item(row)->text();
    return items;
  }

  Installation installation;
  platform::FixedClock clock{platform::LocalTime{2026, 3, 4, 5, 6, 7, 8}, 1};
  Job job;
  StageDoubles stages;
  Driver driver{job, stages};
  RunWorker worker;
  MainWindow window{driver, worker};
  std::vector<Message> messages;
  std::set<std::string> answerNo;
  bool started = false;
};

QByteArray FileUrl(const std::string& path) { return QByteArray("file://") + QByteArray::fromStdString(path) + "\r\n"; }

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void clientHoldsTheListAndThePanelAtTheirPlaces() {
    Harness h;
    QVERIFY(h.started);
    QCOMPARE(h.window.windowTitle(), QString(kWindowTitle));
    QCOMPARE(h.window.Panel()->size(), QSize(640, 197));
    QCOMPARE(h.window.SourceList()->geometry(), QRect(5, 5, 625, 120));
    QCOMPARE(h.window.SourceList()->selectionMode(), QAbstractItemView::ExtendedSelection);
    // The descriptor field shows the start-up's descriptor.
    QCOMPARE(h.window.ShownDescriptor(), h.installation.Home() + "/DVDFROM.INI");
    // Each button lies on its hot area, and its label fits.
    const std::pair<PanelArea, QString> buttons[] = {{PanelArea::kCancel, "Cancel"},
                                                     {PanelArea::kDelete, "Delete"},
                                                     {PanelArea::kBuildToTape, "Bld. to Tape"},
                                                     {PanelArea::kBuildToDisk, "Bld. to Disk"},
                                                     {PanelArea::kEraseTape, "Erase Tape"}};
    for (const auto& [area, text] : buttons) {
      QPushButton* shown = h.window.Button(area);
      QCOMPARE(shown->text(), text);
      const QRect at = shown->geometry();
      QVERIFY2(HitPanelArea(at.left(), at.top()) == area && HitPanelArea(at.right(), at.bottom()) == area &&
                   HitPanelArea(at.left() - 1, at.top()) != area && HitPanelArea(at.right() + 1, at.top()) != area,
               qPrintable(text));
      QVERIFY2(shown->fontMetrics().horizontalAdvance(text) + 4 <= shown->width(), qPrintable(text));
    }
    QVERIFY(h.window.Button(PanelArea::kDescriptorField) == nullptr);
  }

  void dropsAppendInOrderAndRefuseWhole() {
    Harness h;
    const std::string title = h.installation.Title();
    testing::MakeDirs(title + "/A");
    testing::WriteFile(title + "/b.txt", "b");
    testing::WriteFile(title + "/caf\xE9.txt", "latin-1");
    h.Drop(FileUrl(title + "/A"));
    h.Drop(FileUrl(title + "/b.txt") + FileUrl(title + "/A"));  // in order, and again what is listed already
    QCOMPARE(h.Listed().size(), 3);
    QCOMPARE(h.job.sourcePaths, (std::vector<std::string>{title + "/A", title + "/b.txt", title + "/A"}));
    h.Drop("file://" + QByteArray::fromStdString(title) + "/caf%E9.txt\r\n");
    QCOMPARE(h.job.sourcePaths.back(), title + "/caf\xE9.txt");
    h.Drop(FileUrl(title + "/A") + "http://example.com/movie\r\n");
    // Text that is no list of files at all.
    QMimeData text;
    text.setText("just words");
    QVERIFY(h.DropData(text));
    QCOMPARE(h.job.sourceCount, 4u);
    QCOMPARE(h.messages.size(), size_t{2});
    QVERIFY(testing::Contains(h.messages[0].text, "http://example.com/movie"));
    QVERIFY(testing::Contains(h.messages[1].text, "just words"));
  }

  // The status line keeps what fits its 127 bytes, cut at a character, and
  // shows it again once the list is refilled. Clicks between the buttons reach
  // nothing; Delete removes the selection and blanks the line.
  void theStatusLineClicksBetweenTheButtonsAndDelete() {
    Harness h;
    const std::string title = h.installation.Title();
    for (const char* name : {"/one", "/two", "/three"}) testing::MakeDirs(title + name);
    h.Drop(FileUrl(title + "/one") + FileUrl(title + "/two") + FileUrl(title + "/three"));
    // 126 ASCII bytes and a two-byte letter across the 127-byte room.
    const std::string longText = std::string(126, 'x') + "\xC3\xA9" + "tail", stored(126, 'x');
    h.window.RunOnWorker([&h, longText] {
      ShowStatus(h.job, longText);
      ShowMakingLabel(h.job);
    });
    QTRY_VERIFY(!h.window.Busy());
    QTRY_COMPARE(h.window.ShownStatus(), std::string("Making DVD:"));
    QCOMPARE(h.window.StoredStatus(), stored);
    h.window.RunOnWorker([&h] { h.job.mainWindow->RefillSourceList(h.job.sourcePaths); });
    QTRY_COMPARE(h.window.ShownStatus(), stored);
    QTRY_VERIFY(!h.window.Busy());
    h.window.SourceList()->item(0)->setSelected(true);
    h.window.SourceList()->item(2)->setSelected(true);
    for (int x : {78, 209}) {
      QTest::mouseClick(h.window.Panel(), Qt::LeftButton, Qt::NoModifier, QPoint(x, 150));
      QTRY_VERIFY(!h.window.Busy());
    }
    QCOMPARE(h.job.sourceCount, 3u);
    QCOMPARE(h.window.ShownStatus(), stored);
    QVERIFY(h.messages.empty() && !h.window.Services().IsClosed());
    h.window.repaint();
    QVERIFY2(h.window.SourceList()->item(2)->isSelected(), "a repaint keeps the selection");
    QTest::mouseClick(h.window.Button(PanelArea::kDelete), Qt::LeftButton);
    QTRY_VERIFY(!h.window.Busy());
    QCOMPARE(h.job.sourcePaths, std::vector<std::string>{title + "/two"});
    QTRY_COMPARE(h.Listed(), QStringList{QString::fromStdString(title + "/two")});
    QTRY_COMPARE(h.window.ShownStatus(), std::string());
    QCOMPARE(h.window.StoredStatus(), stored);
    // The Delete key does the same; with nothing selected only the line blanks.
    h.window.SourceList()->setFocus();
    QTest::keyClick(h.window.SourceList(), Qt::Key_Delete);
    QTRY_VERIFY(!h.window.Busy());
    QCOMPARE(h.job.sourceCount, 1u);
  }

  void aRunOnTheWorkerKeepsTheWindowAnsweringAndCanBeStopped() {
    Harness h;
    std::atomic<int> steps{0};
    h.stages.treeBuild = [&steps](Job& job) {
      // Needs the GUI thread: it deadlocks if the window waits for the run.
      QMetaObject::invokeMethod(qApp, [] {}, Qt::BlockingQueuedConnection);
      if (!AskYesNo(job, "Go on with the test run?", "Test")) return false;
      while (!StopRequestedByOperator(job)) {
        ShowStatus(job, Format("Step %d", ++steps));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (steps > 100000) return true;
      }
      return false;
    };
    h.Drop(FileUrl(h.installation.Title()));
    QTest::mouseClick(h.window.Button(PanelArea::kBuildToDisk), Qt::LeftButton);
    QTRY_VERIFY(steps > 5);
    QVERIFY(h.Shown("Go on with the test run?"));
    // The status line moves while the run goes on.
    const std::string seen = h.window.ShownStatus();
    QTRY_VERIFY(h.window.ShownStatus() != seen);
    // During the run only Cancel answers.
    QVERIFY(h.window.Busy());
    QVERIFY(!h.window.menuBar()->isEnabled());
    QVERIFY(!h.window.Button(PanelArea::kDelete)->isEnabled());
    QVERIFY(!h.window.Button(PanelArea::kEraseTape)->isEnabled());
    QVERIFY(h.window.Button(PanelArea::kCancel)->isEnabled());
    QVERIFY2(!h.Drop(FileUrl(h.installation.Title())), "a drop during a run is refused");
    bool dialogOpened = false;
    // Tied to the window, so that it can not fire into a later test's dialog.
    QTimer::singleShot(200, &h.window, [&dialogOpened] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        dialogOpened = true;
        modal->close();
      }
    });
    h.window.RunMenuCommand(kCommandAbout);
    QVERIFY(!dialogOpened);
    QCOMPARE(h.job.sourcePaths.size(), size_t{1});
    // No first: the run goes on.
    h.answerNo.insert("Stop the premastering run?");
    QTest::mouseClick(h.window.Button(PanelArea::kCancel), Qt::LeftButton);
    QVERIFY(h.Shown("Stop the premastering run?"));
    const int before = steps;
    QTRY_VERIFY(steps > before + 5);
    h.answerNo.clear();
    h.window.close();  // the close button asks the same
    QTRY_VERIFY(h.window.Services().IsClosed());
    QVERIFY(h.Shown("Premastering stopped by the operator."));
    QVERIFY(testing::Exists(h.installation.Marker()));
    QTRY_VERIFY(!h.worker.Busy());
    QCOMPARE(ExitStatusOf(h.driver), 1);
  }

  void aMessageBoxFromTheWorkerIsShownOnTheWindow() {
    Harness h;
    h.window.answerMessages = nullptr;
    std::atomic<bool> answered{false}, yes{false};
    // The box runs its own loop: look at it from a timer inside that loop.
    QString seen;  // text, owner and whether the worker went on meanwhile
    QTimer clicker;
    connect(&clicker, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return;
      seen = box->text() + (box->parentWidget() == &h.window ? " on the window" : "") + (answered ? " late" : "");
      box->button(QMessageBox::Yes)->click();
    });
    clicker.start(20);
    h.window.RunOnWorker([&] {
      yes = AskYesNo(h.job, "A real question?", "Test");
      answered = true;
    });
    QTRY_VERIFY(answered);
    QCOMPARE(seen, QString("A real question? on the window"));
    QVERIFY(yes);
  }

  void aBatchRunOwnsTheWindowUntilItEndsAndCanBeStoppedBetweenItsSteps() {
    Harness h(/*batchMode=*/1);
    std::atomic<bool> scanned{false};
    h.stages.treeBuild = [&scanned](Job& job) {
      scanned = true;
      return !StopRequestedByOperator(job);
    };
    // Between start-up and the first tick the Job is still the batch run's.
    QVERIFY(h.window.Busy());
    QVERIFY(!h.window.menuBar()->isEnabled());
    h.window.close();
    QVERIFY(h.Shown("Stop the premastering run?"));
    QTRY_VERIFY_WITH_TIMEOUT(h.window.Services().IsClosed(), 5000);
    QVERIFY(scanned);
    QVERIFY(h.Shown("Premastering stopped by the operator."));
    QVERIFY(testing::Exists(h.installation.Marker()));
    QTRY_VERIFY(!h.worker.Busy());
    QCOMPARE(ExitStatusOf(h.driver), 1);
  }

  // The menu's Exit, as the operator picks it.
  void closingAnIdleWindowCleansUp() {
    Harness h;
    QAction* exit = h.window.MenuAction(kCommandExit);
    QCOMPARE(exit->text(), QString("Exit"));
    exit->trigger();
    QTRY_VERIFY(h.window.Services().IsClosed());
    QVERIFY(h.stages.aliasCleanUps > 0);
    QTRY_VERIFY(!h.window.isVisible());
    QCOMPARE(ExitStatusOf(h.driver), 0);
  }

  void helpOpensTheInstallationsPageAtItsAnchor() {
    Harness h;
    h.window.MenuAction(kCommandHelp)->trigger();
    QCOMPARE(h.messages.size(), size_t{1});
    QCOMPARE(h.messages[0].text, "The help file " + h.installation.Home() + "/kstr.html can not be found.");
    std::string page = "<html><body>";
    for (int i = 0; i < 200; ++i) page += "<p>Filler paragraph " + std::to_string(i) + "</p>";
    page += "<a name=\"1009\"></a><h1>Premastering</h1></body></html>";
    testing::WriteFile(h.installation.Home() + "/kstr.html", page);
    std::unique_ptr<QDialog> help(MakeHelpWindow(&h.window));
    help->show();
    auto* browser = help->findChild<QTextBrowser*>();
    QVERIFY(browser && browser->toPlainText().contains("Premastering"));
    // Opened at the anchor, far down the page, not at its top.
    QTRY_VERIFY(browser->verticalScrollBar()->value() > browser->verticalScrollBar()->maximum() / 2);
  }

  void theDescriptorFieldPicksAnotherFormatFile() {
    Harness h;
    const std::string chosen = h.installation.Home() + "/DVDFNEW.ini";
    testing::WriteFile(chosen, "[cdformat]\r\nvolume_id=PICKED_FILE\r\n");
    QString startedIn, boxSaid;
    QTimer picker;
    connect(&picker, &QTimer::timeout, [&] {
      // A box in the dialog's place would wait for ever: it is closed and told.
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        boxSaid += box->text();
        box->done(0);
        return;
      }
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      startedIn = dialog->directory().absolutePath();
      // Tried on every tick until the dialog has gone, not only once.
      dialog->selectFile(QString::fromStdString(chosen));
      QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    });
    picker.start(20);
    QTest::mouseClick(h.window.Panel(), Qt::LeftButton, Qt::NoModifier, QPoint(400, 150));
    QTRY_VERIFY(!h.window.Busy());
    QCOMPARE(boxSaid, QString());
    QCOMPARE(startedIn, QString::fromStdString(h.installation.Home()));
    QCOMPARE(h.window.ShownDescriptor(), chosen);
    QCOMPARE(h.job.volumeId, std::string("PICKED_FILE"));
  }

  void theFileOpenDialogMatchesFormatsWithoutRegardToCase() {
    testing::TempDir dir;
    for (const char* name : {"DVDFNEW.ini", "DVDFROM.INI", "dvdfsmall.ini", "OTHER.INI", "notes.txt"})
      testing::WriteFile(dir / name, "[cdformat]\r\n");
    auto dialog = MakeFileOpenDialog(nullptr, {"Formats(DVDF*.INI)|DVDF*.INI|", dir.path(), true});
    QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
    QCOMPARE(dialog->directory().absolutePath(), QString::fromStdString(dir.path()));
    QCOMPARE(dialog->nameFilters(), QStringList{"Formats(DVDF*.INI)"});
    dialog->show();
    auto* view = dialog->findChild<QListView*>("listView");
    QVERIFY(view);
    QStringList shown;
    QTRY_VERIFY([&] {
      shown.clear();
      QModelIndex root = view->rootIndex();
      for (int row = 0; row < view->model()->rowCount(root); ++row)
        shown << view->model()->index(row, 0, root).data().toString();
      return shown.size() >= 3;
    }());
    shown.sort();
    QCOMPARE(shown, QStringList({"DVDFNEW.ini", "DVDFROM.INI", "dvdfsmall.ini"}));
  }
};

}  // namespace pravel::ui

QTEST_MAIN(pravel::ui::MainWindowTest)
#include "main_window_test.moc"
