// Draws every window of the desktop front end on a real X display (Xvfb)
// and saves each as a PNG under the folder given, for a person to look at.
// Fails when a window is smaller than it should be or blank.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPixmap>
#include <QtTest>
#include <cstdio>
#include <map>

#include "app/stages.h"
#include "e2e/installation.h"
#include "job/runtime.h"
#include "ui/help_and_about.h"
#include "ui/main_window.h"
#include "ui/open_file_dialog.h"
#include "ui/option_dialogs.h"

namespace pravel::ui {
namespace {

class QuietStages final : public Stages {
 public:
  bool LoadProjectSources(Job&) override { return true; }
  bool BuildTreeListing(Job&) override { return true; }
  bool BuildImageAndOutput(Job&) override { return true; }
  void RemoveAliasFiles(Job&) override {}
  void RemoveTreeListingFiles(Job&) override {}
  void RemoveUnfinishedImages(Job&) override {}
  void EraseTape(Job&) override {}
};

// Not blank: more than a background and one other colour, and more than a
// sliver of the picture differs from its most common colour.
bool LooksDrawn(const QImage& image, std::string& why) {
  std::map<QRgb, int> colours;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) ++colours[image.pixel(x, y)];
  }
  int most = 0;
  for (const auto& [colour, count] : colours) most = std::max(most, count);
  const double other = 1.0 - static_cast<double>(most) / (image.width() * image.height());
  why = std::to_string(colours.size()) + " colours, " + std::to_string(static_cast<int>(other * 100)) + "% drawn";
  return colours.size() >= 3 && other >= 0.01;
}

class Shooter {
 public:
  explicit Shooter(QString folder) : folder_(std::move(folder)) { QDir().mkpath(folder_); }

  void Shoot(QWidget* widget, const char* name, QSize least) {
    if (!widget) {
      Fail(name, "no window");
      return;
    }
    widget->show();
    if (!QTest::qWaitForWindowExposed(widget)) Fail(name, "never shown");
    QTest::qWait(100);
    const QImage image = widget->grab().toImage();
    const QString path = folder_ + "/" + name + ".png";
    if (!image.save(path)) Fail(name, "could not be saved");
    std::string why;
    if (image.width() < least.width() || image.height() < least.height()) {
      Fail(name, "too small: " + std::to_string(image.width()) + "x" + std::to_string(image.height()));
    } else if (!LooksDrawn(image, why)) {
      Fail(name, "blank: " + why);
    } else {
      std::printf("%s: %dx%d, %s\n", qPrintable(path), image.width(), image.height(), why.c_str());
    }
    widget->hide();
  }

  int failures = 0;

 private:
  void Fail(const char* name, const std::string& why) {
    std::fprintf(stderr, "%s: %s\n", name, why.c_str());
    ++failures;
  }
  QString folder_;
};

int ShootEverything(const QString& folder, const std::string& helpPage) {
  Installation installation;
  qputenv("KESTRAND_HOME", QByteArray::fromStdString(installation.Home()));
  testing::WriteFile(installation.Home() + "/DVDFROM.INI",
                     "[cdformat]\r\nvolume_id=SAMPLE_TITLE\r\nsystem_id=LINUX\r\n");
  testing::WriteFile(installation.Home() + "/kstr.html", testing::ReadFile(helpPage));
  const std::string title = installation.Title();
  for (const char* name : {"/VIDEO_TS", "/EXTRAS", "/README.TXT"}) testing::MakeDirs(title + name);

  Shooter shooter(folder);
  Job job;
  platform::FixedClock clock{platform::LocalTime{2026, 3, 4, 5, 6, 7, 8}, 1};
  job.clock = &clock;
  QuietStages stages;
  Driver driver(job, stages);
  RunWorker worker;
  MainWindow window(driver, worker);
  window.show();
  if (!QTest::qWaitFor([&] { return window.StartUpDone() && !window.Busy(); }, 10000)) return 1;
  for (const char* name : {"/VIDEO_TS", "/EXTRAS", "/README.TXT"}) job.AddSource(title + name);
  job.mainWindow->RefillSourceList(job.sourcePaths);
  window.RunOnWorker([&job] { ShowStatus(job, "Adding file /VIDEO_TS/VTS_01_1.VOB to the image"); });
  if (!QTest::qWaitFor([&] { return !window.Busy(); }, 5000)) return 1;
  window.SourceList()->item(1)->setSelected(true);
  shooter.Shoot(&window, "main_window", QSize(640, 197));

  shooter.Shoot(MakeDvdFormatOptionsDialog(job, &window).release(), "dvd_format_options", QSize(150, 120));
  shooter.Shoot(MakeAutorunOptionsDialog(job, &window).release(), "windows_auto_run", QSize(200, 80));
  shooter.Shoot(MakeDiscIdentificationDialog(job, &window).release(), "disc_identification", QSize(300, 200));
  shooter.Shoot(MakeFormatOptionsDialog(job, &window).release(), "format_options", QSize(150, 180));
  shooter.Shoot(MakeAboutDialog(&window), "about", QSize(150, 60));
  shooter.Shoot(MakeHelpWindow(&window), "help", QSize(300, 200));
  auto open = MakeFileOpenDialog(&window, {"Formats(DVDF*.INI)|DVDF*.INI|", installation.Home(), true});
  shooter.Shoot(open.get(), "file_open", QSize(300, 200));
  QMessageBox question(QMessageBox::Question, "Is this correct?", "You have selected to make a single layer DVD disc.",
                       QMessageBox::Yes | QMessageBox::No, &window);
  shooter.Shoot(&question, "question", QSize(150, 60));
  window.Services().EndOfWindow();
  return shooter.failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace pravel::ui

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: ui_screenshots FOLDER HELP_PAGE\n");
    return 2;
  }
  return pravel::ui::ShootEverything(QString::fromLocal8Bit(argv[1]), argv[2]);
}
