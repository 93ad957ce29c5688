#include "ui/window_program.h"

#include <QApplication>
#include <cstdio>
#include <string>

#include <QEventLoop>
#include <QScreen>

#include "app/main_window_actions.h"
#include "app/startup.h"
#include "ui/main_window.h"
#include "ui/run_worker.h"

namespace pravel::ui {
namespace {

// The platform Qt falls back to when the display's own can not be opened; a
// program on it has no window anybody sees.
constexpr const char* kFallbackPlatform = "minimal";

bool Set(const char* name) { return !qEnvironmentVariableIsEmpty(name); }

// --yes: every question is answered Yes and every message goes to standard
// error, as on the console, so that nobody needs to be at the window.
platform::Answer AnswerUnattended(const std::string& text, const std::string& caption, platform::Buttons buttons) {
  const bool question = buttons == platform::Buttons::kYesNo;
  std::fprintf(stderr, "%s: %s%s\n", caption.c_str(), text.c_str(), question ? " [Yes]" : "");
  return question ? platform::Answer::kYes : platform::Answer::kOk;
}

}  // namespace

bool DisplayNamed() { return Set("QT_QPA_PLATFORM") || Set("DISPLAY") || Set("WAYLAND_DISPLAY"); }

std::unique_ptr<QApplication> OpenDisplay(int& argc, char** argv) {
  // Without a fallback Qt aborts when the display can not be opened; with
  // one, landing on the fallback tells us so.
  std::string platforms = Set("QT_QPA_PLATFORM") ? qEnvironmentVariable("QT_QPA_PLATFORM").toStdString()
                          : Set("WAYLAND_DISPLAY") ? "wayland;xcb"
                                                   : "xcb";
  const bool fallbackAsked = platforms == kFallbackPlatform;
  platforms += std::string(";") + kFallbackPlatform;
  qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platforms));
  auto app = std::make_unique<QApplication>(argc, argv);
  if (QGuiApplication::platformName() == kFallbackPlatform && !fallbackAsked) return nullptr;
  return app;
}

int RunWindowProgram(QApplication& app, Driver& driver) {
  RunWorker worker;
  {
    MainWindow window(driver, worker);
    if (driver.job.unattended) window.answerMessages = AnswerUnattended;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect desktop = screen->geometry();
      const FramePlacement place = PlaceFrame(desktop.width(), desktop.height());
      window.move(desktop.x() + place.left, desktop.y() + place.top);
    }
    QEventLoop loop;
    QObject::connect(&window, &MainWindow::ClosedForGood, &loop, [&loop] { loop.exit(); });
    app.setQuitOnLastWindowClosed(false);
    window.show();
    loop.exec();
    // The worker may still be ending its task (the window closes at the end
    // of a run): keep answering it until it is done.
    // Each task's end posts to the window, so the wait wakes for it.
    while (worker.Busy()) app.processEvents(QEventLoop::WaitForMoreEvents);
    window.Services().EndOfWindow();
  }
  return ExitStatusOf(driver);
}

}  // namespace pravel::ui
