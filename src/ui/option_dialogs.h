// Placeholder until the option dialogs land.
#pragma once
#include "job/job.h"
class QWidget;
namespace pravel::ui {
inline void OpenDvdFormatOptions(Job&, QWidget*) {}
inline void OpenAutorunOptions(Job&, QWidget*) {}
inline void OpenDiscIdentification(Job&, QWidget*) {}
inline void OpenFormatOptions(Job&, QWidget*) {}
}  // namespace pravel::ui
