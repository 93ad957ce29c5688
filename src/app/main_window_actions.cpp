#include "app/main_window_actions.h"

#include <string_view>

#include "intake/tree_scan.h"
#include "job/runtime.h"
#include "platform/files.h"
#include "platform/ui.h"

namespace pravel {
namespace {

constexpr int kCentringHeight = 475;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Percent-decodes to bytes; false on a broken escape.
bool PercentDecode(std::string_view text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    int high = HexValue(text[i + 1]);
    int low = HexValue(text[i + 2]);
    if (high < 0 || low < 0) return false;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

// "file:///path" or "file://localhost/path" give "/path".
bool LocalPathOf(std::string_view uri, std::string& path) {
  constexpr std::string_view kScheme = "file://";
  if (uri.size() < kScheme.size()) return false;
  for (size_t i = 0; i < kScheme.size(); ++i) {
    char c = uri[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kScheme[i]) return false;
  }
  std::string_view rest = uri.substr(kScheme.size());
  constexpr std::string_view kLocalHost = "localhost";
  if (rest.size() >= kLocalHost.size() && StartsWithIgnoringCase(rest, kLocalHost)) rest.remove_prefix(kLocalHost.size());
  if (rest.empty() || rest.front() != '/') return false;
  // A query or a fragment names no file.
  if (rest.find_first_of("?#") != std::string_view::npos) return false;
  if (!PercentDecode(rest, path) || path.find('\0') != std::string::npos) return false;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return true;
}

}  // namespace

FramePlacement PlaceFrame(int desktopRight, int desktopBottom) {
  FramePlacement place;
  place.left = desktopRight < kFrameWidth + 1 ? 0 : (desktopRight - kFrameWidth) / 2;
  place.top = desktopBottom < kCentringHeight + 1 ? 0 : (desktopBottom - kCentringHeight) / 2;
  return place;
}

DroppedPaths ReadDroppedUriList(const std::string& uriList) {
  DroppedPaths dropped;
  size_t start = 0;
  while (start <= uriList.size()) {
    size_t end = uriList.find('\n', start);
    if (end == std::string::npos) end = uriList.size();
    std::string_view line(uriList.data() + start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    std::string path;
    if (!LocalPathOf(line, path)) {
      dropped.paths.clear();
      dropped.refused = std::string(line);
      return dropped;
    }
    dropped.paths.push_back(std::move(path));
  }
  return dropped;
}

void RefuseDroppedEntry(Job& job, const std::string& entry) {
  ShowMessage(job, Format("Only existing files and folders can be added to the title. %s is not one.", entry.c_str()),
              "Usage error");
}

bool AddDroppedSources(Job& job, const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    if (!platform::PathExists(path)) {
      RefuseDroppedEntry(job, path);
      return false;
    }
  }
  if (paths.size() > limits::kSourceEntries - job.sourcePaths.size()) {
    ShowSourceListFull(job);
    return false;
  }
  for (const std::string& path : paths) job.AddSource(path);
  if (job.mainWindow && job.sourceCount != 0) job.mainWindow->RefillSourceList(job.sourcePaths);
  return true;
}

bool AddDroppedUriList(Job& job, const std::string& uriList) {
  DroppedPaths dropped = ReadDroppedUriList(uriList);
  if (!dropped.refused.empty()) {
    RefuseDroppedEntry(job, dropped.refused);
    return false;
  }
  if (dropped.paths.empty()) {
    RefuseDroppedEntry(job, "An empty drop");
    return false;
  }
  return AddDroppedSources(job, dropped.paths);
}

}  // namespace pravel
