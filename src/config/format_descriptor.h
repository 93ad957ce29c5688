// Disc format descriptor files (DVDF*.INI, section cdformat): the volume
// identification of the image. Values outside their character set draw a
// warning and are used as they stand.
#pragma once

#include <cstddef>
#include <string>

#include "job/job.h"

namespace pravel {

// InstallationDirectory() + "/DVDFROM.INI"
std::string DefaultDescriptorPath();

// Fills the descriptor fields of the Job from the file named by
// job.descriptorPath; a missing file or key gives the defaults.
void LoadFormatDescriptor(Job& job);

// Lets the operator pick another descriptor file; the chosen file becomes
// job.descriptorPath exactly as chosen, is shown in the status panel and is
// loaded. A wrong extension or a path too long for the field changes nothing.
void ChooseFormatDescriptor(Job& job);

// The fifteen texts of the Disc Identification Options dialog, named after
// its controls.
struct DiscIdentification {
  std::string systemId;
  std::string volumeId;
  std::string copyrightsFile;
  std::string abstractFile;
  std::string bibliographyFile;
  std::string publisher;
  std::string preparer;
  std::string applicationId;
  std::string creationDate;
  std::string modificationDate;
  std::string expirationDate;
  std::string effectiveDate;
  std::string albumId;
  std::string discNumber;
  std::string discsInSet;
};

// What confirming the Disc Identification Options dialog came to.
struct DiscIdentificationSave {
  bool mayClose = false;
  // The first text, in the order of saving, that failed its check when the
  // operator chose to correct the texts; null otherwise.
  const std::string DiscIdentification::*refusedText = nullptr;
};

// Reads the dialog's texts (each cut to its longest length and, all but the
// expiration date, with a-z upper-cased) and checks them. When a check fails
// the operator is asked whether to ignore the errors; No keeps the dialog
// open with nothing stored or written. Otherwise the texts are written to the
// loaded descriptor file and, once every key is written, stored in the Job.
// A file that can not be written is reported, with why; the Job then keeps
// its values and the dialog stays open.
DiscIdentificationSave SaveDiscIdentification(Job& job, const DiscIdentification& texts);

// The longest text, in bytes, the field of the dialog takes.
size_t LongestDiscIdentificationText(const std::string DiscIdentification::*text);

// True when each of the first `length` characters of `text` belongs to the
// set: the ISO 9660 a-characters, d-characters, or those of a file
// identifier (d-characters, full stop and semicolon). A length of 0 gives true.
bool IsACharacters(const std::string& text, size_t length);
bool IsDCharacters(const std::string& text, size_t length);
bool IsFileIdCharacters(const std::string& text, size_t length);

}  // namespace pravel
