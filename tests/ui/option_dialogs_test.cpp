// The option dialogs as the operator uses them: what they show when they
// open, that Cancel stores nothing, that OK stores what reopening shows, and
// that a refused OK stores nothing and keeps the dialog open with the focus
// on the field at fault. The message texts themselves are the forms' and the
// descriptor's tests' business.
#include "ui/option_dialogs.h"

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <tuple>

#include "app/option_forms.h"
#include "config/format_descriptor.h"
#include "platform/profile.h"
#include "support/test_support.h"

namespace pravel {
namespace {

using platform::Answer;
using namespace testing;

constexpr const char* kDescriptor =
    "[cdformat]\r\nsystem_id=LINUX\r\nvolume_id=DISC\r\nalbum=ALBUM\r\npublisher=PUB\r\npreparer=PREP\r\n"
    "application_id=APP\r\ncopyright=COPY.TXT\r\nabstract=ABS.TXT\r\nbiblio=BIB.TXT\r\n"
    "creation=2001020304050600\r\nmodification=2002020304050600\r\neffective=2003020304050600\r\n"
    "expiration=\r\nvolume_number=1\r\nvolume_set_size=2\r\n";

template <typename Control>
Control* Find(QDialog& dialog, int id) {
  auto* control = dialog.findChild<Control*>(ui::ControlName(id));
  if (!control) qFatal("no control %d in %s", id, qPrintable(dialog.objectName()));
  return control;
}

QLineEdit* Edit(QDialog& dialog, int id) { return Find<QLineEdit>(dialog, id); }
QCheckBox* Box(QDialog& dialog, int id) { return Find<QCheckBox>(dialog, id); }
std::string Text(QDialog& dialog, int id) { return Edit(dialog, id)->text().toStdString(); }
// A button pressed with the mouse, which takes the focus as well.
void Press(QDialog& dialog, int id) {
  QPushButton* button = Find<QPushButton>(dialog, id);
  button->setFocus(Qt::MouseFocusReason);
  button->click();
}

// Replaces a field's text as the operator would, key by key.
void Type(QDialog& dialog, int id, const QString& text) {
  QLineEdit* edit = Edit(dialog, id);
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  for (QChar c : text) {
    for (QTest::KeyAction action : {QTest::Press, QTest::Release})
      QTest::sendKeyEvent(action, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
  }
}

bool ShowActive(QDialog& dialog) {
  dialog.show();
  dialog.activateWindow();
  return QTest::qWaitForWindowActive(&dialog);
}

// A Job with the start values, the descriptor above loaded from a temporary
// folder and a scripted front end that records messages and answers questions.
struct Fixture {
  Fixture() {
    testing::WriteFile(Descriptor(), kDescriptor);
    platform::WritePrivateProfileString(nullptr, nullptr, nullptr, Descriptor());
    t.job.descriptorPath = Descriptor();
    LoadFormatDescriptor(t.job);
    t.ui.messages.clear();
  }
  ~Fixture() {
    if (!t.ui.unexpected.empty()) qWarning("unexpected question: %s", t.ui.unexpected.front().c_str());
  }
  std::string Descriptor() const { return dir / "DVDFROM.INI"; }

  TempDir dir;
  TestJob t;
};

}  // namespace

class OptionDialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void eachDialogIsModalAndShowsTheLoadedTexts() {
    Fixture f;
    for (auto make : {ui::MakeDvdFormatOptionsDialog, ui::MakeAutorunOptionsDialog, ui::MakeDiscIdentificationDialog,
                      ui::MakeFormatOptionsDialog})
      QVERIFY(make(f.t.job, nullptr)->isModal());
    // Each field of the disc identification shows its own text.
    auto dialog = ui::MakeDiscIdentificationDialog(f.t.job, nullptr);
    const std::pair<int, const char*> shown[] = {
        {control::kSystemId, "LINUX"},         {control::kVolumeId, "DISC"},
        {control::kCopyrightsFile, "COPY.TXT"}, {control::kAbstractFile, "ABS.TXT"},
        {control::kBibliographyFile, "BIB.TXT"}, {control::kPublisher, "PUB"},
        {control::kPreparer, "PREP"},           {control::kApplicationId, "APP"},
        {control::kAlbumId, "ALBUM"},           {control::kCreationDate, "2001020304050600"},
        {control::kModificationDate, "2002020304050600"}, {control::kEffectiveDate, "2003020304050600"},
        {control::kExpirationDate, "0000000000000000"},   {control::kDiscNumber, "1"},
        {control::kDiscsInSet, "2"}};
    for (const auto& [id, text] : shown) QCOMPARE(Text(*dialog, id), std::string(text));
  }

  void cancelAfterEditsStoresNothing() {
    Fixture f;
    const std::string file = ReadFile(f.Descriptor());

    auto dvd = ui::MakeDvdFormatOptionsDialog(f.t.job, nullptr);
    Type(*dvd, control::kNumberOfLayers, "2");
    Box(*dvd, control::kRegion1)->click();
    Press(*dvd, control::kCancel);
    QCOMPARE(dvd->result(), int(QDialog::Rejected));

    auto autorun = ui::MakeAutorunOptionsDialog(f.t.job, nullptr);
    Box(*autorun, control::kAutorunEnabled)->click();
    Type(*autorun, control::kAutorunProgram, "setup.exe");
    Press(*autorun, control::kCancel);

    auto disc = ui::MakeDiscIdentificationDialog(f.t.job, nullptr);
    Type(*disc, control::kSystemId, "other");
    Press(*disc, control::kCancel);

    auto format = ui::MakeFormatOptionsDialog(f.t.job, nullptr);
    Box(*format, control::kIsoLevel2Names)->click();
    format->reject();  // closing the dialog is Cancel too

    const Job& job = f.t.job;
    QVERIFY(std::tuple(job.layersOption, job.formatOptions.regions[0], job.autorunEnabled, int(job.isoLevel1Names)) ==
            std::tuple(1, 0, 0, 1));
    QVERIFY(job.autorunProgramPath.empty() && job.systemId == "LINUX");
    QCOMPARE(ReadFile(f.Descriptor()), file);
    QVERIFY(f.t.ui.messages.empty());
  }

  void dvdFormatOptionsRoundTrip() {
    Fixture f;
    auto dialog = ui::MakeDvdFormatOptionsDialog(f.t.job, nullptr);
    QVERIFY(!Box(*dialog, control::kOppositeTrackPath)->isEnabled());
    Type(*dialog, control::kNumberOfSides, "2");
    Type(*dialog, control::kNumberOfLayers, "2");
    Box(*dialog, control::kRegion1 + 1)->click();
    Box(*dialog, control::kRegion1 + 5)->click();
    Box(*dialog, control::kCopyProtected)->click();
    Press(*dialog, control::kOk);
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(f.t.job.layersOption, 2);

    auto again = ui::MakeDvdFormatOptionsDialog(f.t.job, nullptr);
    QCOMPARE(Text(*again, control::kNumberOfSides), std::string("2"));
    QCOMPARE(Text(*again, control::kThisSideNumber), std::string("1"));
    QCOMPARE(Text(*again, control::kNumberOfLayers), std::string("2"));
    for (int id = control::kRegion1; id < control::kRegion1 + 6; ++id)
      QCOMPARE(Box(*again, id)->isChecked(), id == control::kRegion1 + 1 || id == control::kRegion1 + 5);
    QVERIFY(Box(*again, control::kCopyProtected)->isChecked());
    QVERIFY(Box(*again, control::kOppositeTrackPath)->isChecked());
    QVERIFY(f.t.ui.messages.empty());
  }

  // Checking one box changes its flags only, and reopening shows only it checked.
  void eachFormatOptionsBoxSetsItsFlagsAndShowsThemAgain() {
    using Flag = uint8_t Job::*;
    const std::pair<int, std::vector<Flag>> cases[] = {
        {control::kIsoLevel2Names, {&Job::isoLevel1Names}},
        {control::kUpperCaseNames, {&Job::upperCaseNames}},
        {control::kAllowLargeFiles, {&Job::allowLargeFiles}},
        {control::kRelaxDvdVideo, {&Job::relaxDvdVideo}},
        {control::kRelaxJoliet, {&Job::relaxJoliet}},
        {control::kAllowLongPaths, {&Job::allowLongPaths}},
        {control::kNoWarningMessages, {&Job::noWarningMessages, &Job::noWarningMessagesOutput}},
        {control::kWriteLogFile, {&Job::writeLogFile}},
        {control::kWriteCompareFile, {&Job::writeCompareFile}}};
    std::vector<Flag> all;
    for (const auto& c : cases) all.insert(all.end(), c.second.begin(), c.second.end());
    for (const auto& [box, flags] : cases) {
      TestJob t;
      const Job before = t.job;
      auto dialog = ui::MakeFormatOptionsDialog(t.job, nullptr);
      Box(*dialog, box)->click();
      Press(*dialog, control::kOk);
      for (Flag flag : all) {
        const bool changed = std::find(flags.begin(), flags.end(), flag) != flags.end();
        QCOMPARE(int(t.job.*flag), changed ? 1 - before.*flag : int(before.*flag));
      }
      auto again = ui::MakeFormatOptionsDialog(t.job, nullptr);
      for (const auto& other : cases) QCOMPARE(Box(*again, other.first)->isChecked(), other.first == box);
    }
  }

  void autorunRoundTripKeepsTheBytesAndTakesAtMost127() {
    Fixture f;
    auto dialog = ui::MakeAutorunOptionsDialog(f.t.job, nullptr);
    Box(*dialog, control::kAutorunEnabled)->click();
    Type(*dialog, control::kAutorunProgram, QString(130, 'p'));
    QCOMPARE(Text(*dialog, control::kAutorunProgram), std::string(127, 'p'));
    Type(*dialog, control::kAutorunIcon, QString(70, QChar(0xE9)));
    QCOMPARE(Edit(*dialog, control::kAutorunIcon)->text(), QString(63, QChar(0xE9)));  // two bytes each
    Press(*dialog, control::kOk);
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(f.t.job.autorunEnabled, 1);
    QCOMPARE(f.t.job.autorunProgramPath, std::string(127, 'p'));
    QCOMPARE(f.t.job.autorunIconPath.size(), size_t{126});

    auto again = ui::MakeAutorunOptionsDialog(f.t.job, nullptr);
    QVERIFY(Box(*again, control::kAutorunEnabled)->isChecked());
    QCOMPARE(Text(*again, control::kAutorunProgram), std::string(127, 'p'));
    QCOMPARE(Edit(*again, control::kAutorunIcon)->text(), QString(63, QChar(0xE9)));
  }

  void discIdentificationRoundTripKeepsTheBytesAndTheLengths() {
    Fixture f;
    auto dialog = ui::MakeDiscIdentificationDialog(f.t.job, nullptr);
    Type(*dialog, control::kVolumeId, QString(40, 'v'));
    QCOMPARE(Text(*dialog, control::kVolumeId), std::string(31, 'v'));
    Type(*dialog, control::kDiscNumber, QString::fromUtf8("2\xC3\xA9"));
    Press(*dialog, control::kOk);
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(f.t.job.volumeId, std::string(31, 'V'));
    QVERIFY(testing::Contains(ReadFile(f.Descriptor()), "\r\nvolume_id=" + std::string(31, 'V') + "\r\n"));

    auto again = ui::MakeDiscIdentificationDialog(f.t.job, nullptr);
    QCOMPARE(Edit(*again, control::kDiscNumber)->text(), QString::fromUtf8("2\xC3\xA9"));
    QVERIFY(f.t.ui.messages.empty());
  }

  // A refused OK stores nothing and leaves the dialog open with the focus on
  // the field at fault; OK once it is right closes it.
  void aRefusedOkKeepsTheDialogOpenWithTheFocusOnTheField() {
    Fixture f;
    auto dvd = ui::MakeDvdFormatOptionsDialog(f.t.job, nullptr);
    QVERIFY(ShowActive(*dvd));
    Type(*dvd, control::kNumberOfSides, "2");
    Type(*dvd, control::kNumberOfLayers, "3");
    Press(*dvd, control::kOk);
    QVERIFY(dvd->isVisible());
    QCOMPARE(dvd->focusWidget(), Edit(*dvd, control::kNumberOfLayers));
    QVERIFY(f.t.job.formatOptions.numberOfSides == 1 && f.t.job.layersOption == 1);
    Type(*dvd, control::kNumberOfLayers, "2");
    Press(*dvd, control::kOk);
    QVERIFY(!dvd->isVisible());

    // No to the question about the character sets: the first text at fault.
    auto disc = ui::MakeDiscIdentificationDialog(f.t.job, nullptr);
    QVERIFY(ShowActive(*disc));
    Type(*disc, control::kModificationDate, "20020203040506");
    Type(*disc, control::kAlbumId, "album-1");
    f.t.ui.QueueAnswers({Answer::kNo});
    Press(*disc, control::kOk);
    QVERIFY(disc->isVisible());
    QCOMPARE(disc->focusWidget(), Edit(*disc, control::kModificationDate));
    f.t.ui.QueueAnswers({Answer::kYes});
    Press(*disc, control::kOk);
    QVERIFY(!disc->isVisible());
    QCOMPARE(f.t.job.albumId, std::string("ALBUM-1"));
  }
};

}  // namespace pravel

QTEST_MAIN(pravel::OptionDialogsTest)
#include "option_dialogs_test.moc"
