// What the main window does with the Job, without knowing the window
// system: the frame's place on the screen and the files and folders dropped
// on the source list.
#pragma once

#include <string>
#include <vector>

#include "app/run_driver.h"

namespace pravel {

inline constexpr int kFrameWidth = 640;
inline constexpr int kFrameHeight = 240;
inline constexpr int kClientWidth = 640;
inline constexpr int kClientHeight = 197;

struct FramePlacement {
  int left = 0;
  int top = 0;
  int width = kFrameWidth;
  int height = kFrameHeight;
};

// The frame is centred on a desktop whose right and bottom edges are given;
// the vertical centring uses 475, not the frame's height. A desktop too small
// for it puts the frame at 0.
FramePlacement PlaceFrame(int desktopRight, int desktopBottom);

// A drop as text/uri-list: the local paths of its file: URLs, in order, each
// percent-decoded to its bytes (a name need not be UTF-8). `refused` names the
// first entry that is not a local file URL; no paths are given then.
struct DroppedPaths {
  std::vector<std::string> paths;
  std::string refused;
};
DroppedPaths ReadDroppedUriList(const std::string& uriList);

// Appends dropped paths to the source list, all or none: an entry that does
// not exist, or more entries than the list has room for, refuses the whole
// drop with a message naming it. A path already listed is listed again.
bool AddDroppedSources(Job& job, const std::vector<std::string>& paths);

// The message that refuses a drop, naming the entry refused.
void RefuseDroppedEntry(Job& job, const std::string& entry);

// A text/uri-list drop: refused whole, naming the entry, when one entry is
// not a local file URL (a query or fragment included), or when it names
// nothing; else AddDroppedSources.
bool AddDroppedUriList(Job& job, const std::string& uriList);

}  // namespace pravel
