// Whole runs through the window on the real stages: a title dropped on the
// list and built to disk, and a run stopped in the middle of its copy.
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QtTest>
#include <filesystem>

#include "app/main_window_actions.h"
#include "app/stages.h"
#include "app/startup.h"
#include "e2e/installation.h"
#include "ui/main_window.h"

namespace pravel::ui {
namespace {

using platform::Answer;
using platform::Buttons;

constexpr const char* kSummaryCaption = "Continue?";

// Image files a run left in the image folder, finished or not.
std::vector<std::string> ImageFiles(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
  return names;
}

struct WindowRun {
  WindowRun() {
    qputenv("KESTRAND_HOME", QByteArray::fromStdString(installation.Home()));
    testing::WriteFile(installation.Home() + "/DVDFROM.INI", "[cdformat]\r\nvolume_id=WINDOW_RUN\r\n");
    const std::string title = installation.Title();
    testing::WriteFile(title + "/DOCS/README.TXT", "A title built through the window.\r\n");
    std::string big(8 << 20, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + (i >> 13));
    testing::WriteFile(title + "/DATA/BIG.BIN", big);
    job.clock = &clock;
    window.answerMessages = [this](const std::string& text, const std::string& caption, Buttons buttons) {
      captions.push_back(caption);
      texts.push_back(text);
      if (caption == kSummaryCaption && stopAtCopy) window.Services().RequestStop();
      return buttons == Buttons::kYesNo ? Answer::kYes : Answer::kOk;
    };
    window.show();
  }
  ~WindowRun() {
    if (!QTest::qWaitFor([this] { return !worker.Busy(); }, 60000)) qWarning("the worker is still busy");
    window.Services().EndOfWindow();
  }

  void DropTitleAndBuildToDisk() {
    QVERIFY(QTest::qWaitFor([this] { return window.StartUpDone() && !window.Busy(); }, 10000));
    QMimeData data;
    data.setData("text/uri-list", "file://" + QByteArray::fromStdString(installation.Title()) + "/DOCS\r\nfile://" +
                                      QByteArray::fromStdString(installation.Title()) + "/DATA\r\n");
    QWidget* list = window.SourceList()->viewport();
    QDragEnterEvent enter(QPoint(100, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list, &enter);
    QDropEvent drop(QPointF(100, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list, &drop);
    QCOMPARE(window.SourceList()->count(), 2);
    QTest::mouseClick(window.Button(PanelArea::kBuildToDisk), Qt::LeftButton);
    QVERIFY(QTest::qWaitFor([this] { return window.Services().IsClosed(); }, 60000));
    QVERIFY(QTest::qWaitFor([this] { return !worker.Busy(); }, 10000));
  }

  Installation installation;
  platform::FixedClock clock{platform::LocalTime{2026, 3, 4, 5, 6, 7, 8}, 1};
  Job job;
  std::unique_ptr<Stages> stages = MakeProductionStages();
  Driver driver{job, *stages};
  RunWorker worker;
  MainWindow window{driver, worker};
  std::vector<std::string> captions;
  std::vector<std::string> texts;
  bool stopAtCopy = false;
};

}  // namespace

class WindowRunTest : public QObject {
  Q_OBJECT

 private slots:
  void aDroppedTitleIsBuiltToDisk() {
    WindowRun run;
    run.DropTitleAndBuildToDisk();
    QCOMPARE(run.texts.at(0), std::string("You have selected to make a single layer DVD disc."));
    QCOMPARE(run.captions.back(), std::string("Premastering complete!"));
    QCOMPARE(ExitStatusOf(run.driver), 0);
    QVERIFY(!testing::Exists(run.installation.Marker()));
    std::vector<std::string> images = ImageFiles(run.installation.Images());
    std::sort(images.begin(), images.end());
    QCOMPARE(images, (std::vector<std::string>{"CONTROL.IMG", "LAYER01.IMG"}));
    QVERIFY(!run.window.StoredStatus().empty());
  }

  void aRunStoppedDuringItsCopyLeavesNoImage() {
    WindowRun run;
    run.stopAtCopy = true;
    run.DropTitleAndBuildToDisk();
    QVERIFY(std::count(run.texts.begin(), run.texts.end(), "Premastering stopped by the operator.") == 1);
    QVERIFY(std::find(run.captions.begin(), run.captions.end(), "Premastering complete!") == run.captions.end());
    QCOMPARE(ExitStatusOf(run.driver), 1);
    QVERIFY(testing::Exists(run.installation.Marker()));
    QCOMPARE(ImageFiles(run.installation.Images()), std::vector<std::string>{});
  }
};

}  // namespace pravel::ui

QTEST_MAIN(pravel::ui::WindowRunTest)
#include "window_run_test.moc"
