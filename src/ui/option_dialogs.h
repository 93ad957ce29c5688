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
#include <memory>
class QDialog;
namespace pravel::ui {
inline std::unique_ptr<QDialog> MakeDvdFormatOptionsDialog(Job&, QWidget*) { return nullptr; }
inline std::unique_ptr<QDialog> MakeAutorunOptionsDialog(Job&, QWidget*) { return nullptr; }
inline std::unique_ptr<QDialog> MakeDiscIdentificationDialog(Job&, QWidget*) { return nullptr; }
inline std::unique_ptr<QDialog> MakeFormatOptionsDialog(Job&, QWidget*) { return nullptr; }
}  // namespace pravel::ui
