#include "ui/open_file_dialog.h"

#include <QFile>
#include <QFileDialog>

namespace pravel::ui {
namespace {

// "Formats(DVDF*.INI)|DVDF*.INI|" gives the label with its pattern,
// "Formats(DVDF*.INI)"; a label without one gets the pattern added.
QString NameFilterOf(const std::string& filter) {
  const size_t bar = filter.find('|');
  const std::string label = filter.substr(0, bar);
  std::string pattern;
  if (bar != std::string::npos) {
    const size_t end = filter.find('|', bar + 1);
    pattern = filter.substr(bar + 1, end == std::string::npos ? std::string::npos : end - bar - 1);
  }
  if (label.find('(') != std::string::npos || pattern.empty()) return QString::fromStdString(label);
  return QString::fromStdString(label + " (" + pattern + ")");
}

}  // namespace

std::unique_ptr<QFileDialog> MakeFileOpenDialog(QWidget* owner, const platform::FileOpenRequest& request) {
  auto dialog = std::make_unique<QFileDialog>(owner);
  // Our own dialog, so that the filter's case rule is ours on every platform.
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setOption(QFileDialog::ReadOnly);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  dialog->setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog->setFilter((dialog->filter() | QDir::Files | QDir::AllDirs) & ~QDir::CaseSensitive);
  dialog->setNameFilter(NameFilterOf(request.filter));
  dialog->setDirectory(QFile::decodeName(QByteArray::fromStdString(request.initialDir)));
  return dialog;
}

std::optional<std::string> ChooseFileToOpen(QWidget* owner, const platform::FileOpenRequest& request) {
  auto dialog = MakeFileOpenDialog(owner, request);
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return std::nullopt;
  return QFile::encodeName(dialog->selectedFiles().first()).toStdString();
}

}  // namespace pravel::ui
