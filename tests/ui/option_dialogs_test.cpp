// The option dialogs as the operator uses them: what they show when they
// open, that Cancel stores nothing, that OK stores what reopening shows, and
// that a refused OK stores nothing and keeps the dialog open with the focus
// on the field at fault. The message texts themselves are the forms' and the
// descriptor's tests' business.
#include "ui/option_dialogs.h"

#include <QCheckBox>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/option_forms.h"
#include "config/format_descriptor.h"
#include "platform/profile.h"
#include "support/test_support.h"

namespace pravel {
namespace {

using platform::Answer;
using testing::ReadFile;
using testing::TempDir;
using testing::TestJob;
using Maker = std::unique_ptr<QDialog> (*)(Job&, QWidget*);

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

QStringList Labels(QDialog& dialog) {
  QStringList texts;
  for (QLabel* label : dialog.findChildren<QLabel*>()) texts << label->text();
  return texts;
}

// Everything the four dialogs can change in the Job, as one text.
std::string Settings(const Job& job) {
  std::string text;
  const DvdFormatOptions& o = job.formatOptions;
  for (int value : {o.numberOfSides, o.thisSideNumber, job.layersOption, o.otp, o.copyProtected}) {
    text += std::to_string(value) + ",";
  }
  for (int region : o.regions) text += std::to_string(region);
  text += "|" + std::to_string(job.autorunEnabled) + job.autorunProgramPath + "|" + job.autorunIconPath + "|";
  for (int flag : {job.isoLevel1Names, job.upperCaseNames, job.allowLargeFiles, job.relaxDvdVideo, job.relaxJoliet,
                   job.allowLongPaths, job.noWarningMessages, job.noWarningMessagesOutput, job.writeLogFile,
                   job.writeCompareFile}) {
    text += std::to_string(flag);
  }
  for (const std::string* field :
       {&job.systemId, &job.volumeId, &job.copyrightFileId, &job.abstractFileId, &job.biblioFileId, &job.publisherId,
        &job.preparerId, &job.applicationId, &job.creationDate, &job.modificationDate, &job.expirationDate,
        &job.effectiveDate, &job.albumId, &job.volumeNumber, &job.volumeSetSize}) {
    text += "|" + *field;
  }
  return text;
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
  void titlesNamesAndButtons() {
    Fixture f;
    struct Case {
      Maker make;
      const char* resource;
      const char* title;
    };
    for (const Case& c : {Case{ui::MakeDvdFormatOptionsDialog, "DLG_TSCCOLLECT", "DVD Format Options"},
                          Case{ui::MakeAutorunOptionsDialog, "IDD_AUTORUN", "Windows Auto Run"},
                          Case{ui::MakeDiscIdentificationDialog, "IDD_DOPT", "Disc Identification Options"},
                          Case{ui::MakeFormatOptionsDialog, "IDD_SYSTEM_OPTIONS", "Format Options"}}) {
      auto dialog = c.make(f.t.job, nullptr);
      QCOMPARE(dialog->objectName(), QString(c.resource));
      QCOMPARE(dialog->windowTitle(), QString(c.title));
      QVERIFY(dialog->isModal());
      QCOMPARE(Find<QPushButton>(*dialog, control::kOk)->text().remove('&'), QString("OK"));
      QCOMPARE(Find<QPushButton>(*dialog, control::kCancel)->text().remove('&'), QString("Cancel"));
    }
  }

  void dvdFormatOptionsShowTheStartValues() {
    Fixture f;
    auto dialog = ui::MakeDvdFormatOptionsDialog(f.t.job, nullptr);
    for (int id : {control::kNumberOfSides, control::kThisSideNumber, control::kNumberOfLayers})
      QCOMPARE(Text(*dialog, id), std::string("1"));
    QVERIFY(Box(*dialog, control::kOppositeTrackPath)->isChecked());
    QVERIFY(!Box(*dialog, control::kOppositeTrackPath)->isEnabled());
    for (int id = control::kRegion1; id < control::kRegion1 + 6; ++id) QVERIFY(!Box(*dialog, id)->isChecked());
    QVERIFY(!Box(*dialog, control::kCopyProtected)->isChecked());
    QCOMPARE(Box(*dialog, control::kRegion1 + 5)->text(), QString("Region 6"));
    const QStringList labels = Labels(*dialog);
    for (const char* label : {"Number of Sides", "This Side Number", "Number of Layers",
                              "Check to disable access in the selected region."}) {
      QVERIFY2(labels.contains(label), label);
    }
  }

  void autorunAndFormatOptionsShowTheJob() {
    Fixture f;
    f.t.job.autorunEnabled = 1;
    f.t.job.autorunProgramPath = "SETUP.EXE";
    f.t.job.autorunIconPath = "caf\xC3\xA9.ico";
    auto autorun = ui::MakeAutorunOptionsDialog(f.t.job, nullptr);
    QVERIFY(Box(*autorun, control::kAutorunEnabled)->isChecked());
    QCOMPARE(Text(*autorun, control::kAutorunProgram), std::string("SETUP.EXE"));
    QCOMPARE(Edit(*autorun, control::kAutorunIcon)->text(), QString::fromUtf8("caf\xC3\xA9.ico"));
    QVERIFY(Labels(*autorun).contains("Enter path and file name of *.EXE file."));
    QVERIFY(Labels(*autorun).contains("Enter path and name of icon *.ICO file."));

    auto format = ui::MakeFormatOptionsDialog(f.t.job, nullptr);
    for (int id : {730, 731, 733, 734, 735, 736, 737, 738, 104}) QVERIFY(!Box(*format, id)->isChecked());
    QCOMPARE(Box(*format, control::kWriteLogFile)->text(), QString("Write Log File to tempdir\\PravelLog.txt"));
    QVERIFY(Labels(*format).contains("Default is Level 1, 8.3 names."));
    QVERIFY(Labels(*format).contains("Default is mixed case names."));
  }

  void discIdentificationShowsTheLoadedTexts() {
    Fixture f;
    auto dialog = ui::MakeDiscIdentificationDialog(f.t.job, nullptr);
    QCOMPARE(Text(*dialog, control::kSystemId), std::string("LINUX"));
    QCOMPARE(Text(*dialog, control::kCopyrightsFile), std::string("COPY.TXT"));
    QCOMPARE(Text(*dialog, control::kAlbumId), std::string("ALBUM"));
    QCOMPARE(Text(*dialog, control::kCreationDate), std::string("2001020304050600"));
    QCOMPARE(Text(*dialog, control::kExpirationDate), std::string("0000000000000000"));
    QCOMPARE(Text(*dialog, control::kDiscsInSet), std::string("2"));
    QVERIFY(Labels(*dialog).contains("of Discs in Set"));
    for (int rule : {111, 112, 127}) QVERIFY(Find<QFrame>(*dialog, rule));
  }

  void cancelAfterEditsStoresNothing() {
    Fixture f;
    const std::string before = Settings(f.t.job);
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
    for (int id : {730, 731, 733, 734, 735, 736, 737, 738, 104}) Box(*format, id)->click();
    format->reject();  // closing the dialog is Cancel too

    QCOMPARE(Settings(f.t.job), before);
    QCOMPARE(ReadFile(f.Descriptor()), file);
    QVERIFY(f.t.ui.messages.empty());
  }

  void dvdFormatOptionsRoundTrip() {
    Fixture f;
    auto dialog = ui::MakeDvdFormatOptionsDialog(f.t.job, nullptr);
    Type(*dialog, control::kNumberOfSides, "2");
    Type(*dialog, control::kThisSideNumber, "2");
    Type(*dialog, control::kNumberOfLayers, "2");
    Box(*dialog, control::kRegion1)->click();
    Box(*dialog, control::kRegion1 + 5)->click();
    Box(*dialog, control::kCopyProtected)->click();
    Box(*dialog, control::kOppositeTrackPath)->click();  // disabled: no effect
    Press(*dialog, control::kOk);
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(f.t.job.layersOption, 2);
    QCOMPARE(f.t.job.formatOptions.numberOfSides, 2);
    QCOMPARE(f.t.job.formatOptions.otp, 1);

    auto again = ui::MakeDvdFormatOptionsDialog(f.t.job, nullptr);
    QCOMPARE(Text(*again, control::kNumberOfLayers), std::string("2"));
    QCOMPARE(Text(*again, control::kThisSideNumber), std::string("2"));
    for (int id = control::kRegion1; id < control::kRegion1 + 6; ++id)
      QCOMPARE(Box(*again, id)->isChecked(), id == control::kRegion1 || id == control::kRegion1 + 5);
    QVERIFY(Box(*again, control::kCopyProtected)->isChecked());
    QVERIFY(Box(*again, control::kOppositeTrackPath)->isChecked());
    QVERIFY(f.t.ui.messages.empty());
  }

  void formatOptionsRoundTrip() {
    Fixture f;
    auto dialog = ui::MakeFormatOptionsDialog(f.t.job, nullptr);
    Box(*dialog, control::kIsoLevel2Names)->click();
    Box(*dialog, control::kNoWarningMessages)->click();
    Box(*dialog, control::kRelaxJoliet)->click();
    Press(*dialog, control::kOk);
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(int(f.t.job.isoLevel1Names), 0);
    QCOMPARE(int(f.t.job.noWarningMessages), 1);
    QCOMPARE(int(f.t.job.noWarningMessagesOutput), 1);
    QCOMPARE(int(f.t.job.relaxJoliet), 1);
    QCOMPARE(int(f.t.job.upperCaseNames), 0);

    auto again = ui::MakeFormatOptionsDialog(f.t.job, nullptr);
    QVERIFY(Box(*again, control::kIsoLevel2Names)->isChecked());
    QVERIFY(Box(*again, control::kNoWarningMessages)->isChecked());
    Box(*again, control::kIsoLevel2Names)->click();
    Box(*again, control::kNoWarningMessages)->click();
    Press(*again, control::kOk);
    QCOMPARE(int(f.t.job.isoLevel1Names), 1);
    QCOMPARE(int(f.t.job.noWarningMessagesOutput), 0);
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
    QCOMPARE(Edit(*again, control::kAutorunIcon)->text(), QString(63, QChar(0xE9)));
  }

  void discIdentificationRoundTripUpperCasesOnlyAsciiLetters() {
    Fixture f;
    auto dialog = ui::MakeDiscIdentificationDialog(f.t.job, nullptr);
    Type(*dialog, control::kSystemId, "my system");
    Type(*dialog, control::kDiscNumber, QString::fromUtf8("2\xC3\xA9"));
    Type(*dialog, control::kExpirationDate, "");
    Press(*dialog, control::kOk);
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(f.t.job.systemId, std::string("MY SYSTEM"));
    QCOMPARE(f.t.job.volumeNumber, std::string("2\xC3\xA9"));
    QVERIFY(testing::Contains(ReadFile(f.Descriptor()), "\r\nsystem_id=MY SYSTEM\r\n"));
    QVERIFY(testing::Contains(ReadFile(f.Descriptor()), "\r\nexpiration=0000000000000000\r\n"));

    auto again = ui::MakeDiscIdentificationDialog(f.t.job, nullptr);
    QCOMPARE(Text(*again, control::kSystemId), std::string("MY SYSTEM"));
    QCOMPARE(Edit(*again, control::kDiscNumber)->text(), QString::fromUtf8("2\xC3\xA9"));
    QVERIFY(f.t.ui.messages.empty());
  }

  void refusedNumbersKeepTheDialogOpenWithTheFocusOnTheField() {
    for (const char* layers : {"abc", "3"}) {
      Fixture f;
      const std::string before = Settings(f.t.job);
      auto dialog = ui::MakeDvdFormatOptionsDialog(f.t.job, nullptr);
      QVERIFY(ShowActive(*dialog));
      Type(*dialog, control::kNumberOfSides, "2");
      Box(*dialog, control::kRegion1 + 2)->click();
      Type(*dialog, control::kNumberOfLayers, layers);
      Press(*dialog, control::kOk);
      QVERIFY2(dialog->isVisible(), layers);
      QCOMPARE(dialog->result(), int(QDialog::Rejected));
      QCOMPARE(dialog->focusWidget(), Edit(*dialog, control::kNumberOfLayers));
      QCOMPARE(Settings(f.t.job), before);
      QCOMPARE(f.t.ui.messages.size(), size_t{1});
      QCOMPARE(f.t.ui.messages[0].caption, std::string("Usage error"));

      Type(*dialog, control::kNumberOfLayers, "2");
      Press(*dialog, control::kOk);
      QVERIFY(!dialog->isVisible());
      QCOMPARE(f.t.job.layersOption, 2);
    }
  }

  void overLongTextsAreRefusedNotCut() {
    Fixture f;
    const std::string before = Settings(f.t.job);
    const std::string file = ReadFile(f.Descriptor());

    auto autorun = ui::MakeAutorunOptionsDialog(f.t.job, nullptr);
    QVERIFY(ShowActive(*autorun));
    Edit(*autorun, control::kAutorunProgram)->setText(QString(128, 'p'));  // setText passes no validator
    Press(*autorun, control::kOk);
    QVERIFY(autorun->isVisible());
    QCOMPARE(autorun->focusWidget(), Edit(*autorun, control::kAutorunProgram));

    auto disc = ui::MakeDiscIdentificationDialog(f.t.job, nullptr);
    QVERIFY(ShowActive(*disc));
    Type(*disc, control::kVolumeId, QString(40, 'v'));
    QCOMPARE(Text(*disc, control::kVolumeId), std::string(31, 'v'));
    Edit(*disc, control::kPublisher)->setText(QString(128, 'p'));
    Press(*disc, control::kOk);
    QVERIFY(disc->isVisible());
    QCOMPARE(disc->focusWidget(), Edit(*disc, control::kPublisher));

    QCOMPARE(f.t.ui.messages.size(), size_t{2});
    for (const auto& message : f.t.ui.messages) QCOMPARE(message.caption, std::string("Usage error"));
    QCOMPARE(Settings(f.t.job), before);
    QCOMPARE(ReadFile(f.Descriptor()), file);
  }

  void noToTheQuestionChangesNeitherJobNorFile() {
    Fixture f;
    const std::string before = Settings(f.t.job);
    const std::string file = ReadFile(f.Descriptor());
    auto dialog = ui::MakeDiscIdentificationDialog(f.t.job, nullptr);
    QVERIFY(ShowActive(*dialog));
    Type(*dialog, control::kSystemId, "new");
    Type(*dialog, control::kModificationDate, "20020203040506");
    Type(*dialog, control::kAlbumId, "album-1");
    f.t.ui.QueueAnswers({Answer::kNo});
    Press(*dialog, control::kOk);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->focusWidget(), Edit(*dialog, control::kModificationDate));
    QCOMPARE(f.t.ui.messages.size(), size_t{1});
    QCOMPARE(f.t.ui.messages[0].caption, std::string("Ignor these errors?"));
    QCOMPARE(Settings(f.t.job), before);
    QCOMPARE(ReadFile(f.Descriptor()), file);

    f.t.ui.QueueAnswers({Answer::kYes});
    Press(*dialog, control::kOk);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(f.t.job.modificationDate, std::string("20020203040506"));
    QCOMPARE(f.t.job.albumId, std::string("ALBUM-1"));
    QVERIFY(testing::Contains(ReadFile(f.Descriptor()), "\r\nmodification=20020203040506\r\n"));
  }

  void anUnwritableDescriptorKeepsTheDialogOpenAndTheJobUnchanged() {
    Fixture f;
    testing::WriteFile(f.dir / "afile", "x");
    f.t.job.loadedDescriptorPath = f.dir / "afile/DVDFROM.INI";  // below a regular file: even root fails
    const std::string before = Settings(f.t.job);
    auto dialog = ui::MakeDiscIdentificationDialog(f.t.job, nullptr);
    QVERIFY(ShowActive(*dialog));
    Type(*dialog, control::kSystemId, "new");
    Press(*dialog, control::kOk);
    QVERIFY(dialog->isVisible());
    QCOMPARE(f.t.ui.messages.size(), size_t{1});
    QCOMPARE(f.t.ui.messages[0].caption, std::string("Configuration error!"));
    QVERIFY(testing::Contains(f.t.ui.messages[0].text, f.t.job.loadedDescriptorPath));
    QCOMPARE(Settings(f.t.job), before);
    QCOMPARE(ReadFile(f.dir / "afile"), std::string("x"));
  }
};

}  // namespace pravel

QTEST_MAIN(pravel::OptionDialogsTest)
#include "option_dialogs_test.moc"
