#include "app/option_forms.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "job/runtime.h"

namespace pravel {
namespace {

constexpr const char* kUsageCaption = "Usage error";
constexpr size_t kShownDateLength = capacity::kDate - 1;

struct Label {
  int control;
  const char* text;
};

constexpr Label kLabels[] = {
    {control::kOk, "OK"},
    {control::kCancel, "Cancel"},
    {control::kNumberOfSides, "Number of Sides"},
    {control::kThisSideNumber, "This Side Number"},
    {control::kNumberOfLayers, "Number of Layers"},
    {control::kOppositeTrackPath, "OTP"},
    {control::kRegion1, "Region 1"},
    {control::kRegion1 + 1, "Region 2"},
    {control::kRegion1 + 2, "Region 3"},
    {control::kRegion1 + 3, "Region 4"},
    {control::kRegion1 + 4, "Region 5"},
    {control::kRegion1 + 5, "Region 6"},
    {control::kCopyProtected, "Copy Protected?"},
    {control::kAutorunEnabled, "Enabled"},
    {control::kAutorunProgram, "Enter path and file name of *.EXE file."},
    {control::kAutorunIcon, "Enter path and name of icon *.ICO file."},
    {control::kSystemId, "System ID"},
    {control::kVolumeId, "Volume ID"},
    {control::kCopyrightsFile, "Copyrights file"},
    {control::kAbstractFile, "Abstract file"},
    {control::kBibliographyFile, "Bibliography file"},
    {control::kPublisher, "Publisher"},
    {control::kPreparer, "Preparer"},
    {control::kApplicationId, "Application ID"},
    {control::kAlbumId, "Album ID"},
    {control::kCreationDate, "Creation Date"},
    {control::kModificationDate, "Modification Date"},
    {control::kExpirationDate, "Expiration Date"},
    {control::kEffectiveDate, "Effective Date"},
    {control::kDiscNumber, "Disc Number"},
    {control::kDiscsInSet, "of Discs in Set"},
    {control::kIsoLevel2Names, "ISO Level 2, 31 Character File Names."},
    {control::kUpperCaseNames, "Upper Case File and Directory Names."},
    {control::kAllowLargeFiles, "Files greater than 2G in DVD-ROM zone."},
    {control::kRelaxDvdVideo, "Relax DVD-Video zone validation."},
    {control::kRelaxJoliet, "Relax Joliet (allow 110 character names)"},
    {control::kAllowLongPaths, "Allow path strings > 256 characters"},
    {control::kNoWarningMessages, "No Warning Messages."},
    {control::kWriteLogFile, "Write Log File to tempdir\\PravelLog.txt"},
    {control::kWriteCompareFile, "Write Compare file to tempdir\\PravelCFile.txt"},
};

// The texts of the Disc Identification dialog, in the order of saving.
struct DiscText {
  int control;
  std::string DiscIdentification::*text;
};

constexpr DiscText kDiscTexts[] = {
    {control::kSystemId, &DiscIdentification::systemId},
    {control::kVolumeId, &DiscIdentification::volumeId},
    {control::kCopyrightsFile, &DiscIdentification::copyrightsFile},
    {control::kAbstractFile, &DiscIdentification::abstractFile},
    {control::kBibliographyFile, &DiscIdentification::bibliographyFile},
    {control::kPublisher, &DiscIdentification::publisher},
    {control::kPreparer, &DiscIdentification::preparer},
    {control::kApplicationId, &DiscIdentification::applicationId},
    {control::kCreationDate, &DiscIdentification::creationDate},
    {control::kModificationDate, &DiscIdentification::modificationDate},
    {control::kExpirationDate, &DiscIdentification::expirationDate},
    {control::kEffectiveDate, &DiscIdentification::effectiveDate},
    {control::kAlbumId, &DiscIdentification::albumId},
    {control::kDiscNumber, &DiscIdentification::discNumber},
    {control::kDiscsInSet, &DiscIdentification::discsInSet},
};

std::string Quoted(int id) { return std::string("\"") + ControlLabel(id) + "\""; }

CommitResult RefuseWith(Job& job, int id, const std::string& text) {
  ShowMessage(job, text, kUsageCaption);
  return CommitResult::Refused(id);
}

// A text longer than its control takes, refused with a message naming it.
bool FitsControl(Job& job, int id, const std::string& text) {
  const size_t longest = LongestControlText(id);
  if (longest == 0 || text.size() <= longest) return true;
  ShowMessage(job,
              Format("%s takes at most %zu bytes; the text given has %zu.", Quoted(id).c_str(), longest,
                     text.size()),
              kUsageCaption);
  return false;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A signed decimal integer of 32 bits, blanks around it allowed; nothing else.
std::optional<int32_t> ReadInteger(const std::string& text) {
  std::string_view digits = text;
  while (!digits.empty() && IsBlank(digits.front())) digits.remove_prefix(1);
  while (!digits.empty() && IsBlank(digits.back())) digits.remove_suffix(1);
  const bool negative = !digits.empty() && digits.front() == '-';
  if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) digits.remove_prefix(1);
  if (digits.empty()) return std::nullopt;
  int64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > int64_t{INT32_MAX} + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::string Shown(int32_t value) { return std::to_string(value); }
int32_t Flag(bool checked) { return checked ? 1 : 0; }

}  // namespace

const char* ControlLabel(int id) {
  for (const Label& label : kLabels)
    if (label.control == id) return label.text;
  return "";
}

size_t LongestControlText(int id) {
  if (id == control::kAutorunProgram || id == control::kAutorunIcon) return kLongestAutorunText;
  if (auto text = DiscIdentificationText(id)) return LongestDiscIdentificationText(text);
  return 0;
}

// --- "DVD Format Options" -------------------------------------------------

DvdFormatForm SetupDvdFormatOptions(const Job& job) {
  const DvdFormatOptions& options = job.formatOptions;
  DvdFormatForm form;
  form.numberOfSides = Shown(options.numberOfSides);
  form.thisSideNumber = Shown(options.thisSideNumber);
  form.numberOfLayers = Shown(job.layersOption);
  form.oppositeTrackPath = options.otp != 0;
  for (size_t i = 0; i < form.regions.size(); ++i) form.regions[i] = options.regions[i] != 0;
  form.copyProtected = options.copyProtected != 0;
  return form;
}

CommitResult CommitDvdFormatOptions(Job& job, const DvdFormatForm& form) {
  const std::optional<int32_t> sides = ReadInteger(form.numberOfSides);
  if (!sides || *sides < 1 || *sides > 2) {
    return RefuseWith(job, control::kNumberOfSides, Quoted(control::kNumberOfSides) + " must be 1 or 2.");
  }
  const std::optional<int32_t> side = ReadInteger(form.thisSideNumber);
  if (!side || *side < 1 || *side > *sides) {
    return RefuseWith(job, control::kThisSideNumber,
                      Format("%s must be from 1 to the %s (%d).", Quoted(control::kThisSideNumber).c_str(),
                             Quoted(control::kNumberOfSides).c_str(), *sides));
  }
  const std::optional<int32_t> layers = ReadInteger(form.numberOfLayers);
  if (!layers || *layers < 1 || *layers > 2) {
    return RefuseWith(job, control::kNumberOfLayers, Quoted(control::kNumberOfLayers) + " must be 1 or 2.");
  }

  DvdFormatOptions& options = job.formatOptions;
  options.numberOfSides = *sides;
  options.thisSideNumber = *side;
  job.layersOption = *layers;
  options.copyProtected = Flag(form.copyProtected);
  for (size_t i = 0; i < form.regions.size(); ++i) options.regions[i] = Flag(form.regions[i]);
  return CommitResult::Stored();
}

// --- "Windows Auto Run" ---------------------------------------------------

AutorunForm SetupAutorunOptions(const Job& job) {
  return {job.autorunEnabled != 0, job.autorunProgramPath, job.autorunIconPath};
}

CommitResult CommitAutorunOptions(Job& job, const AutorunForm& form) {
  for (const auto& [id, text] : {std::pair{control::kAutorunProgram, &form.program},
                                 std::pair{control::kAutorunIcon, &form.icon}}) {
    if (!FitsControl(job, id, *text)) return CommitResult::Refused(id);
  }
  job.autorunEnabled = Flag(form.enabled);
  job.autorunProgramPath = form.program;
  job.autorunIconPath = form.icon;
  return CommitResult::Stored();
}

// --- "Disc Identification Options" ------------------------------------------

int DiscIdentificationControl(const std::string DiscIdentification::*text) {
  for (const DiscText& field : kDiscTexts)
    if (field.text == text) return field.control;
  return 0;
}

std::string DiscIdentification::*DiscIdentificationText(int id) {
  for (const DiscText& field : kDiscTexts)
    if (field.control == id) return field.text;
  return nullptr;
}

DiscIdentification SetupDiscIdentification(const Job& job) {
  DiscIdentification form;
  form.systemId = job.systemId;
  form.volumeId = job.volumeId;
  form.copyrightsFile = job.copyrightFileId;
  form.abstractFile = job.abstractFileId;
  form.bibliographyFile = job.biblioFileId;
  form.publisher = job.publisherId;
  form.preparer = job.preparerId;
  form.applicationId = job.applicationId;
  form.albumId = job.albumId;
  form.creationDate = job.creationDate.substr(0, kShownDateLength);
  form.modificationDate = job.modificationDate.substr(0, kShownDateLength);
  form.expirationDate = job.expirationDate.substr(0, kShownDateLength);
  form.effectiveDate = job.effectiveDate.substr(0, kShownDateLength);
  form.discNumber = job.volumeNumber;
  form.discsInSet = job.volumeSetSize;
  return form;
}

CommitResult CommitDiscIdentification(Job& job, const DiscIdentification& form) {
  for (const DiscText& field : kDiscTexts)
    if (!FitsControl(job, field.control, form.*field.text)) return CommitResult::Refused(field.control);
  const DiscIdentificationSave saved = SaveDiscIdentification(job, form);
  if (saved.mayClose) return CommitResult::Stored();
  return CommitResult::Refused(saved.refusedText ? DiscIdentificationControl(saved.refusedText) : 0);
}

// --- "Format Options" -----------------------------------------------------

FormatOptionsForm SetupFormatOptions(const Job& job) {
  FormatOptionsForm form;
  form.isoLevel2Names = job.isoLevel1Names == 0;
  form.upperCaseNames = job.upperCaseNames != 0;
  form.allowLargeFiles = job.allowLargeFiles != 0;
  form.relaxDvdVideo = job.relaxDvdVideo != 0;
  form.relaxJoliet = job.relaxJoliet != 0;
  form.allowLongPaths = job.allowLongPaths != 0;
  form.noWarningMessages = job.noWarningMessages != 0;
  form.writeLogFile = job.writeLogFile != 0;
  form.writeCompareFile = job.writeCompareFile != 0;
  return form;
}

CommitResult CommitFormatOptions(Job& job, const FormatOptionsForm& form) {
  job.allowLongPaths = form.allowLongPaths;
  job.writeCompareFile = form.writeCompareFile;
  job.writeLogFile = form.writeLogFile;
  job.relaxJoliet = form.relaxJoliet;
  job.allowLargeFiles = form.allowLargeFiles;
  job.relaxDvdVideo = form.relaxDvdVideo;
  job.noWarningMessages = form.noWarningMessages;
  job.noWarningMessagesOutput = form.noWarningMessages;
  job.upperCaseNames = form.upperCaseNames;
  job.isoLevel1Names = form.isoLevel2Names ? 0 : 1;
  return CommitResult::Stored();
}

}  // namespace pravel
