#include "job/job.h"

namespace pravel {

bool Job::AddSource(const std::string& path) {
  if (sourcePaths.size() >= limits::kSourceEntries) return false;
  sourcePaths.push_back(path);
  sourceCount = static_cast<uint32_t>(sourcePaths.size());
  return true;
}

void Job::ClearSources() {
  sourcePaths.clear();
  sourceCount = 0;
}

bool AssignField(std::string& field, const std::string& value, size_t capacity) {
  if (value.size() + 1 > capacity) return false;
  field = value;
  return true;
}

void AssignFieldCut(std::string& field, const std::string& value, size_t capacity) {
  field = value.substr(0, capacity == 0 ? 0 : capacity - 1);
}

}  // namespace pravel
