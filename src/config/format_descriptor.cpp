#include "config/format_descriptor.h"

#include <array>
#include <cstring>
#include <memory>
#include <optional>

#include "job/date_text.h"
#include "job/runtime.h"
#include "config/install_config.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/ui.h"

namespace pravel {
namespace {

constexpr const char* kSection = "cdformat";
constexpr size_t kDateLength = 16;
constexpr const char* kNoExpiration = "0000000000000000";
constexpr const char* kWarningCaption = "Configuration error!";

enum class CharacterSet { kNone, kA, kD, kFileId };

bool InSet(unsigned char c, CharacterSet set) {
  bool dCharacter = c == ' ' || c == '_' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
  switch (set) {
    case CharacterSet::kNone: return true;
    case CharacterSet::kD: return dCharacter;
    case CharacterSet::kFileId: return dCharacter || c == '.' || c == ';';
    case CharacterSet::kA: return dCharacter || (c != 0 && std::strchr("!\"%&'()*+,-./:;<=>?", c) != nullptr);
  }
  return false;
}

bool AllInSet(const std::string& text, size_t length, CharacterSet set) {
  if (length > text.size()) return false;  // the terminator belongs to no set
  for (size_t i = 0; i < length; ++i)
    if (!InSet(static_cast<unsigned char>(text[i]), set)) return false;
  return true;
}

// Sixteen digits that name a date, or sixteen digits from a '0' (no date:
// the build date, or no expiration).
bool IsDateText(const std::string& text) {
  if (text.size() < kDateLength) return false;
  if (text[0] != '0') return ReadDateText(text).has_value();
  for (size_t i = 0; i < kDateLength; ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  return true;
}

// a-z only: bytes of other characters (and of UTF-8 sequences) stay as they are.
std::string UpperCase(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::string ReadValue(const std::string& path, const char* key, const char* fallback, size_t longest) {
  return platform::GetPrivateProfileString(kSection, key, fallback, longest + 1, path);
}

// One identifier of the descriptor, in the order of loading.
struct IdentifierKey {
  const char* key;
  std::string Job::*field;
  size_t longest;
  const char* fallback;
  CharacterSet set;
  const char* warning;
};

const IdentifierKey kLeadingKeys[] = {
    {"preparer", &Job::preparerId, 127, "KESTRAND FOR DVD-ROM", CharacterSet::kA,
     "Warning:: Illegal Preparer ID %s specified in DVDF**.INI file."},
    {"publisher", &Job::publisherId, 127, "KESTRAND FOR DVD-ROM", CharacterSet::kA,
     "Warning: Illegal Publisher ID %s specified in DVDF**.INI file."},
    {"system_id", &Job::systemId, 31, "MS-DOS", CharacterSet::kA,
     "Warning: Illegal system_id %s specified in DVDF**.INI file."},
    {"volume_id", &Job::volumeId, 31, "DVD-ROM", CharacterSet::kD,
     "Warning: Illegal volume_id %s specified in DVDF**.INI file."},
    {"application_id", &Job::applicationId, 127, "KESTRAND FOR DVD-ROM TITLE", CharacterSet::kA,
     "Warning: Illegal application identifier %s specified in DVDF**.INI file."},
    {"volume_set_size", &Job::volumeSetSize, 7, "1", CharacterSet::kNone, nullptr},
    {"volume_number", &Job::volumeNumber, 7, "1", CharacterSet::kNone, nullptr},
    {"album", &Job::albumId, 127, "KESTRAND_DISC", CharacterSet::kD,
     "Warning: Illegal album %s specified in DVDF**.INI file."},
};

const IdentifierKey kFileIdKeys[] = {
    {"copyright", &Job::copyrightFileId, 36, " ", CharacterSet::kFileId,
     "Warning: Illegal copy right %s specified in DVDF**.INI file."},
    {"abstract", &Job::abstractFileId, 36, " ", CharacterSet::kFileId,
     "Warning: Illegal abstract %s specified in DVDF**.INI file."},
    {"biblio", &Job::biblioFileId, 36, " ", CharacterSet::kFileId,
     "Warning: Illegal bibliographic %s specified in DVDF**.INI file."},
};

void LoadIdentifier(Job& job, const std::string& path, const IdentifierKey& key) {
  std::string& field = job.*key.field;
  field = ReadValue(path, key.key, key.fallback, key.longest);
  if (key.set == CharacterSet::kNone || AllInSet(field, field.size(), key.set)) return;
  ShowMessage(job, Format(key.warning, field.c_str()), kWarningCaption);
}

std::string CurrentDateText(Job& job) {
  platform::LocalTime now;
  if (job.clock) {
    now = job.clock->Now();
  } else {
    platform::SystemClock clock;
    now = clock.Now();
  }
  std::string text = Format("%d%02d%02d%02d%02d%02d00", now.year, now.month, now.day, now.hour, now.minute,
                            now.second);
  AssignFieldCut(text, text, capacity::kDate);
  return text;
}

void LoadDate(Job& job, const std::string& path, const char* key, std::string& field) {
  field = ReadValue(path, key, "", kDateLength);
  if (field.size() < kDateLength) field = CurrentDateText(job);
}

void ClearDescriptorFields(Job& job) {
  for (const IdentifierKey& key : kLeadingKeys) (job.*key.field).clear();
  for (const IdentifierKey& key : kFileIdKeys) (job.*key.field).clear();
  job.creationDate.clear();
  job.modificationDate.clear();
  job.effectiveDate.clear();
  job.expirationDate.clear();
}

void LoadDescriptorFrom(Job& job, const std::string& path) {
  SetBusyCursor(job, true);
  AssignFieldCut(job.loadedDescriptorPath, path, capacity::kLoadedDescriptorPath);
  ClearDescriptorFields(job);
  const std::string& file = job.loadedDescriptorPath;
  for (const IdentifierKey& key : kLeadingKeys) LoadIdentifier(job, file, key);
  LoadDate(job, file, "creation", job.creationDate);
  LoadDate(job, file, "modification", job.modificationDate);
  LoadDate(job, file, "effective", job.effectiveDate);
  job.expirationDate = ReadValue(file, "expiration", "", kDateLength);
  if (job.expirationDate.empty()) job.expirationDate = kNoExpiration;
  for (const IdentifierKey& key : kFileIdKeys) LoadIdentifier(job, file, key);
  SetBusyCursor(job, false);
}

bool HasDescriptorExtension(const std::string& path) {
  if (path.size() < 3) return false;
  std::string extension = path.substr(path.size() - 3);
  return extension == "INI" || extension == "ini";
}

// One text of the Disc Identification dialog and where it goes.
enum class SaveCheck { kNone, kA, kD, kFileId, kDate };

struct SavedText {
  const std::string DiscIdentification::*text;
  std::string Job::*field;
  size_t longest;
  const char* key;
  const char* label;  // the dialog's
  SaveCheck check;
  bool upperCase;
};

const SavedText kSavedTexts[] = {
    {&DiscIdentification::systemId, &Job::systemId, 31, "system_id", "System ID", SaveCheck::kA, true},
    {&DiscIdentification::volumeId, &Job::volumeId, 31, "volume_id", "Volume ID", SaveCheck::kD, true},
    {&DiscIdentification::copyrightsFile, &Job::copyrightFileId, 36, "copyright", "Copyrights file", SaveCheck::kFileId, true},
    {&DiscIdentification::abstractFile, &Job::abstractFileId, 36, "abstract", "Abstract file", SaveCheck::kFileId, true},
    {&DiscIdentification::bibliographyFile, &Job::biblioFileId, 36, "biblio", "Bibliography file", SaveCheck::kFileId, true},
    {&DiscIdentification::publisher, &Job::publisherId, 127, "publisher", "Publisher", SaveCheck::kA, true},
    {&DiscIdentification::preparer, &Job::preparerId, 127, "preparer", "Preparer", SaveCheck::kA, true},
    {&DiscIdentification::applicationId, &Job::applicationId, 127, "application_id", "Application ID", SaveCheck::kA, true},
    {&DiscIdentification::creationDate, &Job::creationDate, 16, "creation", "Creation Date", SaveCheck::kDate, true},
    {&DiscIdentification::modificationDate, &Job::modificationDate, 16, "modification", "Modification Date", SaveCheck::kDate, true},
    {&DiscIdentification::expirationDate, &Job::expirationDate, 16, "expiration", "Expiration Date", SaveCheck::kDate, false},
    {&DiscIdentification::effectiveDate, &Job::effectiveDate, 16, "effective", "Effective Date", SaveCheck::kDate, true},
    {&DiscIdentification::albumId, &Job::albumId, 127, "album", "Album ID", SaveCheck::kD, true},
    {&DiscIdentification::discNumber, &Job::volumeNumber, 7, "volume_number", "Disc Number", SaveCheck::kNone, true},
    {&DiscIdentification::discsInSet, &Job::volumeSetSize, 7, "volume_set_size", "of Discs in Set", SaveCheck::kNone, true},
};

bool PassesCheck(const std::string& value, SaveCheck check) {
  switch (check) {
    case SaveCheck::kNone: return true;
    case SaveCheck::kA: return IsACharacters(value, value.size());
    case SaveCheck::kD: return IsDCharacters(value, value.size());
    case SaveCheck::kFileId: return IsFileIdCharacters(value, value.size());
    case SaveCheck::kDate: return IsDateText(value);
  }
  return false;
}

using SavedValues = std::array<std::string, std::size(kSavedTexts)>;

// A dialog text as it is stored: cut, upper-cased; an empty expiration date
// means none.
std::string StoredForm(const DiscIdentification& texts, const SavedText& saved) {
  std::string value = (texts.*saved.text).substr(0, saved.longest);
  if (saved.upperCase) value = UpperCase(value);
  if (saved.field == &Job::expirationDate && value.empty()) value = kNoExpiration;
  return value;
}

bool ReportUnwritten(Job& job, const std::string& path, const std::string& reason) {
  ShowMessage(job,
              Format("Could not write the disc identification to %s: %s. The values in use are unchanged.",
                     path.c_str(), reason.c_str()),
              kWarningCaption);
  return false;
}

// Puts the descriptor file back as it was before a save: its earlier bytes,
// or no file.
void PutBack(const std::string& path, const std::optional<std::string>& before) {
  if (!before) {
    platform::RemoveFile(path);
    return;
  }
  if (auto file = platform::File::Open(path, platform::File::Mode::kCreate)) {
    file->WriteText(*before);
    file->Close();
  }
}

// A value as the file must hold it to be read back unchanged: the reader
// trims blanks and takes away one pair of quotes around a value, so a value
// with blanks at an end or quotes around it goes inside quotes of its own.
std::string AsWritten(const std::string& value) {
  if (value.empty()) return value;
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  const bool quoted =
      value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front();
  if (!blank(value.front()) && !blank(value.back()) && !quoted) return value;
  return '"' + value + '"';
}

// Writes every key or, when one fails, none: the file is put back as it was
// and the failure reported.
bool WriteDiscIdentification(Job& job, const SavedValues& values) {
  const std::string& path = job.loadedDescriptorPath;
  // The bytes to put back should a key fail half-way; a file that is there
  // but can not be read could not be put back, so it is not written either.
  // (A folder in its place is refused by the writer, which says so.)
  std::string reason;
  const std::optional<std::string> before = platform::ReadWholeFile(path, &reason);
  if (!before && platform::PathExists(path) && !platform::IsDirectory(path)) return ReportUnwritten(job, path, reason);
  for (size_t i = 0; i < values.size(); ++i) {
    if (platform::WritePrivateProfileString(kSection, kSavedTexts[i].key, AsWritten(values[i]).c_str(), path, reason))
      continue;
    if (i > 0) PutBack(path, before);
    return ReportUnwritten(job, path, reason);
  }
  return true;
}

// A line break would end its line in the file and the rest would become a
// line of its own.
bool HoldsLineBreak(const std::string& value) { return value.find_first_of("\r\n") != std::string::npos; }

}  // namespace

std::string DefaultDescriptorPath() { return InstallationDirectory() + "/DVDFROM.INI"; }

void LoadFormatDescriptor(Job& job) { LoadDescriptorFrom(job, job.descriptorPath); }

void ChooseFormatDescriptor(Job& job) {
  if (!job.mainWindow) return;
  auto chosen = job.mainWindow->ChooseFileToOpen({"Formats(DVDF*.INI)|DVDF*.INI|", InstallationDirectory(), true});
  if (!chosen) return;
  if (!HasDescriptorExtension(*chosen)) {
    ShowMessage(job, "Illegal CD format descriptor file name extension", "Project Error!");
    return;
  }
  if (chosen->size() >= capacity::kDescriptorPath) {
    ShowMessage(job,
                Format("The format descriptor file name %s is too long. It may hold at most %zu characters.",
                       chosen->c_str(), capacity::kDescriptorPath - 1),
                "Project Error!");
    return;
  }
  // The path stays as chosen whatever the upper-case names option says: on a
  // case-sensitive file system another spelling names another file, or none.
  job.descriptorPath = *chosen;
  job.mainWindow->ShowDescriptorPath(job.descriptorPath);
  LoadDescriptorFrom(job, job.descriptorPath);
}

DiscIdentificationSave SaveDiscIdentification(Job& job, const DiscIdentification& texts) {
  SavedValues values;
  const std::string DiscIdentification::*firstRefused = nullptr;
  for (size_t i = 0; i < values.size(); ++i) {
    values[i] = StoredForm(texts, kSavedTexts[i]);
    if (HoldsLineBreak(values[i])) {
      ShowMessage(job, Format("The \"%s\" text holds a line break, which a format descriptor file can not keep.",
                              kSavedTexts[i].label),
                  "Usage error");
      return {false, kSavedTexts[i].text};
    }
    if (!firstRefused && !PassesCheck(values[i], kSavedTexts[i].check)) firstRefused = kSavedTexts[i].text;
  }
  if (firstRefused &&
      !AskYesNo(job, "One or more use characters outside the standards character set.", "Ignor these errors?")) {
    return {false, firstRefused};
  }
  if (!WriteDiscIdentification(job, values)) return {false, nullptr};
  for (size_t i = 0; i < values.size(); ++i) job.*kSavedTexts[i].field = values[i];
  return {true, nullptr};
}

size_t LongestDiscIdentificationText(const std::string DiscIdentification::*text) {
  for (const SavedText& saved : kSavedTexts)
    if (saved.text == text) return saved.longest;
  return 0;
}

bool IsACharacters(const std::string& text, size_t length) { return AllInSet(text, length, CharacterSet::kA); }

bool IsDCharacters(const std::string& text, size_t length) { return AllInSet(text, length, CharacterSet::kD); }

bool IsFileIdCharacters(const std::string& text, size_t length) {
  return AllInSet(text, length, CharacterSet::kFileId);
}

}  // namespace pravel
