// The four option dialogs without their window: what each dialog's controls
// show (edit texts, check states), filled from the Job when the dialog opens
// and checked and stored back when the operator presses OK. Every field is
// checked before any is stored, so a refused OK changes nothing; the result
// names the control at fault so that the dialog can put the focus on it.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "config/format_descriptor.h"
#include "job/job.h"

namespace pravel {

// Control ids of the dialogs.
namespace control {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;

// "DVD Format Options" (DLG_TSCCOLLECT)
inline constexpr int kNumberOfSides = 700;
inline constexpr int kThisSideNumber = 701;
inline constexpr int kNumberOfLayers = 702;
inline constexpr int kRegion1 = 703;  // .. kRegion1 + 5: "Region 6"
inline constexpr int kOppositeTrackPath = 709;
inline constexpr int kCopyProtected = 710;

// "Windows Auto Run" (IDD_AUTORUN)
inline constexpr int kAutorunEnabled = 720;
inline constexpr int kAutorunProgram = 721;
inline constexpr int kAutorunIcon = 722;

// "Disc Identification Options" (IDD_DOPT)
inline constexpr int kSystemId = 101;
inline constexpr int kVolumeId = 103;
inline constexpr int kCopyrightsFile = 105;
inline constexpr int kAbstractFile = 107;
inline constexpr int kBibliographyFile = 109;
inline constexpr int kFileNamesRule = 111;
inline constexpr int kIdentifiersRule = 112;
inline constexpr int kPublisher = 113;
inline constexpr int kPreparer = 115;
inline constexpr int kApplicationId = 117;
inline constexpr int kCreationDate = 119;
inline constexpr int kModificationDate = 121;
inline constexpr int kExpirationDate = 123;
inline constexpr int kEffectiveDate = 125;
inline constexpr int kDatesRule = 127;
inline constexpr int kAlbumId = 128;
inline constexpr int kDiscNumber = 132;
inline constexpr int kDiscsInSet = 133;

// "Format Options" (IDD_SYSTEM_OPTIONS)
inline constexpr int kIsoLevel2Names = 730;
inline constexpr int kUpperCaseNames = 731;
inline constexpr int kNoWarningMessages = 733;
inline constexpr int kAllowLargeFiles = 734;
inline constexpr int kRelaxDvdVideo = 735;
inline constexpr int kWriteLogFile = 736;
inline constexpr int kWriteCompareFile = 737;
inline constexpr int kAllowLongPaths = 738;
inline constexpr int kRelaxJoliet = 104;
inline constexpr int kOutputRule = 102;
}  // namespace control

// The label of a control as the dialog shows it; "" for controls without one.
const char* ControlLabel(int id);
// The most bytes (UTF-8) an edit control takes; 0 for no limit of its own.
size_t LongestControlText(int id);

// What OK came to: the values were stored and the dialog closes, or they were
// refused (a message has said why) and the dialog stays open with the focus
// on `focusControl` (0 when no one control is at fault).
struct CommitResult {
  bool stored = false;
  int focusControl = 0;

  static CommitResult Stored() { return {true, 0}; }
  static CommitResult Refused(int id) { return {false, id}; }
};

// --- "DVD Format Options" -------------------------------------------------
// The three numbers are signed decimal integers as typed; sides and layers
// must be 1 or 2, this side from 1 to the number of sides. The OTP box is
// shown disabled: its value is shown, never stored.
struct DvdFormatForm {
  std::string numberOfSides;
  std::string thisSideNumber;
  std::string numberOfLayers;
  bool oppositeTrackPath = false;
  std::array<bool, 6> regions{};  // "Region 1" .. "Region 6": access disabled there
  bool copyProtected = false;
};

DvdFormatForm SetupDvdFormatOptions(const Job& job);
// Layers go to job.layersOption, the rest to job.formatOptions.
CommitResult CommitDvdFormatOptions(Job& job, const DvdFormatForm& form);

// --- "Windows Auto Run" ---------------------------------------------------
inline constexpr size_t kLongestAutorunText = capacity::kAutorun - 1;  // bytes

struct AutorunForm {
  bool enabled = false;
  std::string program;
  std::string icon;
};

AutorunForm SetupAutorunOptions(const Job& job);
// A text longer than kLongestAutorunText bytes is refused, never cut.
CommitResult CommitAutorunOptions(Job& job, const AutorunForm& form);

// --- "Disc Identification Options" ------------------------------------------
// The form is the descriptor's DiscIdentification.

// The dialog's control for a text of the form, and the form's text of a
// control (null for none).
int DiscIdentificationControl(const std::string DiscIdentification::*text);
std::string DiscIdentification::*DiscIdentificationText(int id);

// The Job's texts; dates cut to their first 17 characters.
DiscIdentification SetupDiscIdentification(const Job& job);
// A text longer than its field takes is refused, never cut; then the
// descriptor's SaveDiscIdentification checks, asks, writes and stores.
CommitResult CommitDiscIdentification(Job& job, const DiscIdentification& form);

// --- "Format Options" -----------------------------------------------------
struct FormatOptionsForm {
  bool isoLevel2Names = false;  // checked when isoLevel1Names is 0
  bool upperCaseNames = false;
  bool allowLargeFiles = false;
  bool relaxDvdVideo = false;
  bool relaxJoliet = false;
  bool allowLongPaths = false;
  bool noWarningMessages = false;  // both warning flags
  bool writeLogFile = false;
  bool writeCompareFile = false;
};

FormatOptionsForm SetupFormatOptions(const Job& job);
CommitResult CommitFormatOptions(Job& job, const FormatOptionsForm& form);

}  // namespace pravel
