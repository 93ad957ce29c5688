#include "ui/help_and_about.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "config/install_config.h"
#include "job/runtime.h"
#include "platform/files.h"

namespace pravel::ui {
namespace {

constexpr const char* kAboutTexts[] = {
    "DVD Premastering Tool",
    "ISO 9660, Joliet and UDF File Structures",
    "Version 3.4, November 1998",
};

}  // namespace

std::string HelpFilePath() { return InstallationDirectory() + "/" + kHelpFileName; }

QDialog* MakeHelpWindow(QWidget* owner) {
  const std::string path = HelpFilePath();
  if (!platform::PathExists(path) || platform::IsDirectory(path)) return nullptr;
  auto* window = new QDialog(owner);
  window->setObjectName("help");
  window->setWindowTitle("Pravel Help");
  window->setAttribute(Qt::WA_DeleteOnClose);
  auto* browser = new QTextBrowser(window);
  browser->setOpenExternalLinks(false);
  QUrl url = QUrl::fromLocalFile(QString::fromStdString(path));
  url.setFragment(kHelpAnchor);
  browser->setSource(url);
  auto* layout = new QVBoxLayout(window);
  layout->addWidget(browser);
  window->resize(560, 420);
  return window;
}

void OpenHelp(Job& job, QWidget* owner) {
  QDialog* window = MakeHelpWindow(owner);
  if (!window) {
    ShowMessage(job, Format("The help file %s can not be found.", HelpFilePath().c_str()), "Help");
    return;
  }
  window->show();
}

QDialog* MakeAboutDialog(QWidget* owner) {
  auto* dialog = new QDialog(owner);
  dialog->setObjectName("250");
  dialog->setWindowTitle("About");
  auto* layout = new QVBoxLayout(dialog);
  for (const char* text : kAboutTexts) {
    auto* label = new QLabel(text, dialog);
    label->setAlignment(Qt::AlignHCenter);
    layout->addWidget(label);
  }
  auto* buttons = new QDialogButtonBox(dialog);
  QPushButton* ok = buttons->addButton("Ok", QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  buttons->setCenterButtons(true);
  layout->addWidget(buttons);
  return dialog;
}

void OpenAbout(QWidget* owner) {
  QDialog* dialog = MakeAboutDialog(owner);
  dialog->exec();
  delete dialog;
}

}  // namespace pravel::ui
