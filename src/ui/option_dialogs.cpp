#include "ui/option_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QValidator>
#include <QVBoxLayout>
#include <array>
#include <functional>
#include <map>
#include <string>
#include <utility>

#include "app/option_forms.h"

namespace pravel::ui {
namespace {

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToUtf8(const QString& text) {
  const QByteArray bytes = text.toUtf8();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QString LabelOf(int id) { return QString::fromUtf8(ControlLabel(id)); }

// Refuses an edit that would make the text longer than `longest` bytes of
// UTF-8. (QLineEdit's own limit counts UTF-16 units.) A text that is already
// longer can still be shortened. The refusal beeps, so that a paste that
// did not arrive does not pass unnoticed.
class Utf8ByteLimit final : public QValidator {
 public:
  Utf8ByteLimit(size_t longest, QObject* parent) : QValidator(parent), longest_(longest) {}

  State validate(QString& input, int&) const override {
    if (static_cast<size_t>(input.toUtf8().size()) <= longest_) return Acceptable;
    QApplication::beep();
    return Invalid;
  }

 private:
  size_t longest_;
};

// A dialog whose OK hands its controls to `commit` first: it closes only
// when the values were stored, else the focus goes to the control at fault.
class OptionDialog final : public QDialog {
 public:
  // `widthUnits`: the dialog's width in dialog units of its resource (a
  // quarter of the font's average character width each).
  OptionDialog(QWidget* owner, const char* resource, const char* title, int widthUnits) : QDialog(owner) {
    setObjectName(QString::fromLatin1(resource));
    setWindowTitle(QString::fromLatin1(title));
    setModal(true);
    setMinimumWidth(widthUnits * fontMetrics().averageCharWidth() / 4);
  }

  void SetCommit(std::function<CommitResult()> commit) { commit_ = std::move(commit); }

  void accept() override {
    const CommitResult result = commit_ ? commit_() : CommitResult::Stored();
    if (result.stored) {
      QDialog::accept();
      return;
    }
    FocusControl(result.focusControl);
  }

 private:
  void FocusControl(int id) {
    if (id == 0) return;
    auto* control = findChild<QWidget*>(ControlName(id));
    if (!control) return;
    control->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->selectAll();
  }

  std::function<CommitResult()> commit_;
};

QLabel* MakeLabel(const QString& text) {
  auto* label = new QLabel(text);
  label->setTextFormat(Qt::PlainText);
  return label;
}

QLineEdit* MakeEdit(int id, const std::string& text) {
  auto* edit = new QLineEdit(FromUtf8(text));
  edit->setObjectName(ControlName(id));
  if (const size_t longest = LongestControlText(id)) edit->setValidator(new Utf8ByteLimit(longest, edit));
  return edit;
}

// A labelled edit field as one row of a form.
QLineEdit* AddEditRow(QFormLayout* form, int id, const std::string& text) {
  QLineEdit* edit = MakeEdit(id, text);
  QLabel* label = MakeLabel(LabelOf(id));
  label->setBuddy(edit);
  form->addRow(label, edit);
  return edit;
}

QCheckBox* MakeCheck(int id, bool checked) {
  auto* box = new QCheckBox(LabelOf(id));
  box->setObjectName(ControlName(id));
  box->setChecked(checked);
  return box;
}

QFrame* MakeRule(int id) {
  auto* rule = new QFrame;
  rule->setObjectName(ControlName(id));
  rule->setFrameShape(QFrame::HLine);
  rule->setFrameShadow(QFrame::Sunken);
  return rule;
}

// A static text under a check box, in line with the box's label.
QLabel* MakeNote(const QWidget* dialog, const char* text) {
  QLabel* note = MakeLabel(QString::fromLatin1(text));
  const QStyle* style = dialog->style();
  note->setIndent(style->pixelMetric(QStyle::PM_IndicatorWidth) + style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing));
  return note;
}

void AddButtons(OptionDialog* dialog, QBoxLayout* layout) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(ControlName(control::kOk));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(ControlName(control::kCancel));
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  layout->addWidget(buttons);
}

}  // namespace

QString ControlName(int id) { return QStringLiteral("control%1").arg(id); }

std::unique_ptr<QDialog> MakeDvdFormatOptionsDialog(Job& job, QWidget* owner) {
  auto dialog = std::make_unique<OptionDialog>(owner, "DLG_TSCCOLLECT", "DVD Format Options", 175);
  const DvdFormatForm shown = SetupDvdFormatOptions(job);
  auto* layout = new QVBoxLayout(dialog.get());

  auto* numbers = new QFormLayout;
  QLineEdit* sides = AddEditRow(numbers, control::kNumberOfSides, shown.numberOfSides);
  QLineEdit* side = AddEditRow(numbers, control::kThisSideNumber, shown.thisSideNumber);
  QLineEdit* layers = AddEditRow(numbers, control::kNumberOfLayers, shown.numberOfLayers);
  layout->addLayout(numbers);

  QCheckBox* otp = MakeCheck(control::kOppositeTrackPath, shown.oppositeTrackPath);
  otp->setEnabled(false);
  layout->addWidget(otp);

  layout->addWidget(MakeLabel(QStringLiteral("Check to disable access in the selected region.")));
  auto* regionGrid = new QGridLayout;
  std::array<QCheckBox*, 6> regions{};
  for (int i = 0; i < static_cast<int>(regions.size()); ++i) {
    regions[i] = MakeCheck(control::kRegion1 + i, shown.regions[i]);
    regionGrid->addWidget(regions[i], i / 2, i % 2);
  }
  layout->addLayout(regionGrid);

  QCheckBox* copyProtected = MakeCheck(control::kCopyProtected, shown.copyProtected);
  layout->addWidget(copyProtected);
  AddButtons(dialog.get(), layout);

  dialog->SetCommit([&job, sides, side, layers, otp, regions, copyProtected] {
    DvdFormatForm form;
    form.numberOfSides = ToUtf8(sides->text());
    form.thisSideNumber = ToUtf8(side->text());
    form.numberOfLayers = ToUtf8(layers->text());
    form.oppositeTrackPath = otp->isChecked();
    for (size_t i = 0; i < regions.size(); ++i) form.regions[i] = regions[i]->isChecked();
    form.copyProtected = copyProtected->isChecked();
    return CommitDvdFormatOptions(job, form);
  });
  return dialog;
}

std::unique_ptr<QDialog> MakeAutorunOptionsDialog(Job& job, QWidget* owner) {
  auto dialog = std::make_unique<OptionDialog>(owner, "IDD_AUTORUN", "Windows Auto Run", 240);
  const AutorunForm shown = SetupAutorunOptions(job);
  auto* layout = new QVBoxLayout(dialog.get());

  QCheckBox* enabled = MakeCheck(control::kAutorunEnabled, shown.enabled);
  layout->addWidget(enabled);
  auto addText = [layout](int id, const std::string& text) {
    QLineEdit* edit = MakeEdit(id, text);
    QLabel* label = MakeLabel(LabelOf(id));
    label->setBuddy(edit);
    layout->addWidget(label);
    layout->addWidget(edit);
    return edit;
  };
  QLineEdit* program = addText(control::kAutorunProgram, shown.program);
  QLineEdit* icon = addText(control::kAutorunIcon, shown.icon);
  AddButtons(dialog.get(), layout);

  dialog->SetCommit([&job, enabled, program, icon] {
    return CommitAutorunOptions(job, {enabled->isChecked(), ToUtf8(program->text()), ToUtf8(icon->text())});
  });
  return dialog;
}

std::unique_ptr<QDialog> MakeDiscIdentificationDialog(Job& job, QWidget* owner) {
  auto dialog = std::make_unique<OptionDialog>(owner, "IDD_DOPT", "Disc Identification Options", 353);
  const DiscIdentification shown = SetupDiscIdentification(job);
  auto* layout = new QVBoxLayout(dialog.get());
  auto* form = new QFormLayout;
  layout->addLayout(form);
  std::map<int, QLineEdit*> edits;
  auto addRows = [&](std::initializer_list<int> ids) {
    for (int id : ids) edits[id] = AddEditRow(form, id, shown.*DiscIdentificationText(id));
  };

  addRows({control::kSystemId, control::kVolumeId, control::kCopyrightsFile, control::kAbstractFile,
           control::kBibliographyFile});
  form->addRow(MakeRule(control::kFileNamesRule));
  addRows({control::kPublisher, control::kPreparer, control::kApplicationId, control::kAlbumId});
  form->addRow(MakeRule(control::kIdentifiersRule));
  addRows({control::kCreationDate, control::kModificationDate, control::kExpirationDate, control::kEffectiveDate});
  form->addRow(MakeRule(control::kDatesRule));

  // "Disc Number" [ ] "of Discs in Set" [ ] on one row.
  edits[control::kDiscNumber] = MakeEdit(control::kDiscNumber, shown.discNumber);
  edits[control::kDiscsInSet] = MakeEdit(control::kDiscsInSet, shown.discsInSet);
  auto* count = new QHBoxLayout;
  count->addWidget(edits[control::kDiscNumber]);
  QLabel* ofDiscs = MakeLabel(LabelOf(control::kDiscsInSet));
  ofDiscs->setBuddy(edits[control::kDiscsInSet]);
  count->addWidget(ofDiscs);
  count->addWidget(edits[control::kDiscsInSet]);
  QLabel* discNumber = MakeLabel(LabelOf(control::kDiscNumber));
  discNumber->setBuddy(edits[control::kDiscNumber]);
  form->addRow(discNumber, count);
  AddButtons(dialog.get(), layout);

  dialog->SetCommit([&job, edits] {
    DiscIdentification form;
    for (const auto& [id, edit] : edits) form.*DiscIdentificationText(id) = ToUtf8(edit->text());
    return CommitDiscIdentification(job, form);
  });
  return dialog;
}

std::unique_ptr<QDialog> MakeFormatOptionsDialog(Job& job, QWidget* owner) {
  auto dialog = std::make_unique<OptionDialog>(owner, "IDD_SYSTEM_OPTIONS", "Format Options", 175);
  const FormatOptionsForm shown = SetupFormatOptions(job);
  auto* layout = new QVBoxLayout(dialog.get());
  std::map<int, std::pair<QCheckBox*, bool FormatOptionsForm::*>> boxes;
  auto add = [&](int id, bool FormatOptionsForm::*value) {
    QCheckBox* box = MakeCheck(id, shown.*value);
    boxes[id] = {box, value};
    layout->addWidget(box);
  };

  add(control::kIsoLevel2Names, &FormatOptionsForm::isoLevel2Names);
  layout->addWidget(MakeNote(dialog.get(), "Default is Level 1, 8.3 names."));
  add(control::kUpperCaseNames, &FormatOptionsForm::upperCaseNames);
  layout->addWidget(MakeNote(dialog.get(), "Default is mixed case names."));
  add(control::kAllowLargeFiles, &FormatOptionsForm::allowLargeFiles);
  add(control::kRelaxDvdVideo, &FormatOptionsForm::relaxDvdVideo);
  add(control::kRelaxJoliet, &FormatOptionsForm::relaxJoliet);
  add(control::kAllowLongPaths, &FormatOptionsForm::allowLongPaths);
  layout->addWidget(MakeRule(control::kOutputRule));
  add(control::kNoWarningMessages, &FormatOptionsForm::noWarningMessages);
  add(control::kWriteLogFile, &FormatOptionsForm::writeLogFile);
  add(control::kWriteCompareFile, &FormatOptionsForm::writeCompareFile);
  AddButtons(dialog.get(), layout);

  dialog->SetCommit([&job, boxes] {
    FormatOptionsForm form;
    for (const auto& [id, box] : boxes) form.*box.second = box.first->isChecked();
    return CommitFormatOptions(job, form);
  });
  return dialog;
}

void OpenDvdFormatOptions(Job& job, QWidget* owner) { MakeDvdFormatOptionsDialog(job, owner)->exec(); }
void OpenAutorunOptions(Job& job, QWidget* owner) { MakeAutorunOptionsDialog(job, owner)->exec(); }
void OpenDiscIdentification(Job& job, QWidget* owner) { MakeDiscIdentificationDialog(job, owner)->exec(); }
void OpenFormatOptions(Job& job, QWidget* owner) { MakeFormatOptionsDialog(job, owner)->exec(); }

}  // namespace pravel::ui
