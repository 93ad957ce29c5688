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

// Shows a window, saves its picture as FOLDER/NAME.png and counts a failure
// when it is smaller than `least` or blank: blank is no more than a
// background and one other colour, or no more than a sliver of the picture
// in any colour but its most common one.
int Shoot(const QString& folder, QWidget* widget, const char* name, QSize least) {
  if (!widget) return std::fprintf(stderr, "%s: no window\n", name) > 0;
  widget->show();
  const bool shown = QTest::qWaitForWindowExposed(widget);
  QTest::qWait(100);
  const QImage image = widget->grab().toImage();
  widget->hide();
  std::map<QRgb, int> colours;
  int most = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) most = std::max(most, ++colours[image.pixel(x, y)]);
  }
  const double other = 1.0 - static_cast<double>(most) / std::max(1, image.width() * image.height());
  const bool saved = image.save(folder + "/" + name + ".png");
  const bool good = shown && saved && image.width() >= least.width() && image.height() >= least.height() &&
                    colours.size() >= 3 && other >= 0.01;
  std::fprintf(good ? stdout : stderr, "%s: %s%dx%d, %zu colours, %d%% drawn%s\n", name, good ? "" : "FAILED ",
               image.width(), image.height(), colours.size(), static_cast<int>(other * 100),
               shown && saved ? "" : ", not shown or not saved");
  return good ? 0 : 1;
}

int ShootEverything(const QString& folder, const std::string& helpPage) {
  Installation installation;
  qputenv("KESTRAND_HOME", QByteArray::fromStdString(installation.Home()));
  testing::WriteFile(installation.Home() + "/DVDFROM.INI",
                     "[cdformat]\r\nvolume_id=SAMPLE_TITLE\r\nsystem_id=LINUX\r\n");
  testing::WriteFile(installation.Home() + "/kstr.html", testing::ReadFile(helpPage));
  const std::string title = installation.Title();
  for (const char* name : {"/VIDEO_TS", "/EXTRAS", "/README.TXT"}) testing::MakeDirs(title + name);

  QDir().mkpath(folder);
  int failures = 0;
  auto shoot = [&](QWidget* widget, const char* name, QSize least) { failures += Shoot(folder, widget, name, least); };
  Job job;
  platform::FixedClock clock{platform::LocalTime{2026, 3, 4, 5, 6, 7, 8}, 1};
  job.clock = &clock;
  auto stages = MakeProductionStages();  // nothing is built: no run starts
  Driver driver(job, *stages);
  RunWorker worker;
  MainWindow window(driver, worker);
  window.show();
  if (!QTest::qWaitFor([&] { return window.StartUpDone() && !window.Busy(); }, 10000)) return 1;
  for (const char* name : {"/VIDEO_TS", "/EXTRAS", "/README.TXT"}) job.AddSource(title + name);
  job.mainWindow->RefillSourceList(job.sourcePaths);
  window.RunOnWorker([&job] { ShowStatus(job, "Adding file /VIDEO_TS/VTS_01_1.VOB to the image"); });
  if (!QTest::qWaitFor([&] { return !window.Busy(); }, 5000)) return 1;
  window.SourceList()->item(1)->setSelected(true);
  shoot(&window, "main_window", QSize(640, 197));

  shoot(MakeDvdFormatOptionsDialog(job, &window).release(), "dvd_format_options", QSize(150, 120));
  shoot(MakeAutorunOptionsDialog(job, &window).release(), "windows_auto_run", QSize(200, 80));
  shoot(MakeDiscIdentificationDialog(job, &window).release(), "disc_identification", QSize(300, 200));
  shoot(MakeFormatOptionsDialog(job, &window).release(), "format_options", QSize(150, 180));
  shoot(MakeAboutDialog(&window), "about", QSize(150, 60));
  shoot(MakeHelpWindow(&window), "help", QSize(300, 200));
  auto open = MakeFileOpenDialog(&window, {"Formats(DVDF*.INI)|DVDF*.INI|", installation.Home(), true});
  shoot(open.get(), "file_open", QSize(300, 200));
  QMessageBox question(QMessageBox::Question, "Is this correct?", "You have selected to make a single layer DVD disc.",
                       QMessageBox::Yes | QMessageBox::No, &window);
  shoot(&question, "question", QSize(150, 60));
  window.Services().EndOfWindow();
  return failures == 0 ? 0 : 1;
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
