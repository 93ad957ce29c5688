// The file-open dialog: existing files only, starting in the request's
// folder, its filter "Label(PATTERN)|PATTERN|" matched without regard to case.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/ui.h"

class QFileDialog;
class QWidget;

namespace pravel::ui {

// The dialog set up for the request, not shown (tests).
std::unique_ptr<QFileDialog> MakeFileOpenDialog(QWidget* owner, const platform::FileOpenRequest& request);

// Shows it modally: the chosen path's bytes, nullopt when cancelled.
std::optional<std::string> ChooseFileToOpen(QWidget* owner, const platform::FileOpenRequest& request);

}  // namespace pravel::ui
