#include "ui/window_program.h"

#include <QApplication>
#include <string>

#include "app/startup.h"

namespace pravel::ui {
namespace {

// The platform Qt falls back to when the display's own can not be opened; a
// program on it has no window anybody sees.
constexpr const char* kFallbackPlatform = "minimal";

bool Set(const char* name) { return !qEnvironmentVariableIsEmpty(name); }

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

int RunWindowProgram(QApplication&, Driver& driver) { return ExitStatusOf(driver); }

}  // namespace pravel::ui
