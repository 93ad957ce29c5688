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

// Stores the dialog's texts in the Job and writes them to the loaded
// descriptor file. True when the dialog may close: no character-set errors,
// or the operator chose to ignore them.
bool SaveDiscIdentification(Job& job, const DiscIdentification& texts);

// True when each of the first `length` characters of `text` belongs to the
// set: the ISO 9660 a-characters, d-characters, or those of a file
// identifier (d-characters, full stop and semicolon). A length of 0 gives true.
bool IsACharacters(const std::string& text, size_t length);
bool IsDCharacters(const std::string& text, size_t length);
bool IsFileIdCharacters(const std::string& text, size_t length);

}  // namespace pravel
