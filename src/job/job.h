// The Job: every setting and every piece of state of one premaster run.
// It is passed by reference to every stage; nothing about a run lives in a
// global, so one process can run many jobs (the tests do).
//
// Text fields are std::string but keep the capacities of their fixed-size
// fields (capacity includes the terminator, so a field of 256 bytes holds at
// most 255 characters): a value is cut or refused where the stage says.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pravel::platform {
class Ui;
class Clock;
class TapeLibrary;
}  // namespace pravel::platform

namespace pravel {

class ShortNameTable;  // the 8.3 names of the sources (intake)

// Capacities of the Job's text fields, in bytes with the terminator.
namespace capacity {
inline constexpr size_t kCommandLineValue = 256;  // projectPath, dvdVideoPath, autorunArg
inline constexpr size_t kInstallDir = 64;
inline constexpr size_t kTempDir = 64;
inline constexpr size_t kTemplateDir = 64;
inline constexpr size_t kAutorun = 128;       // autorunOpen/Icon, autorunProgramPath/IconPath
inline constexpr size_t kImagePath = 256;     // imagePath1..3
inline constexpr size_t kDescriptorPath = 128;
inline constexpr size_t kLoadedDescriptorPath = 256;
inline constexpr size_t kStatusText = 128;
inline constexpr size_t kSystemId = 32;
inline constexpr size_t kVolumeId = 32;
inline constexpr size_t kLongId = 128;        // album, publisher, preparer, application
inline constexpr size_t kFileId = 37;         // copyright, abstract, biblio
inline constexpr size_t kDate = 18;
inline constexpr size_t kVolumeCount = 8;     // volume_number, volume_set_size
inline constexpr size_t kSourcePath = 256;
}  // namespace capacity

namespace limits {
inline constexpr uint32_t kSourceEntries = 100000;   // sourcePaths
inline constexpr uint32_t kSourceBases = 10000;
inline constexpr uint32_t kDirectoryList = 10000;
inline constexpr uint32_t kMaxFolders = 9999;        // the limit message names this
}  // namespace limits

namespace geometry {
inline constexpr uint32_t kSingleLayerCapacity = 2294912;  // 0x230480
inline constexpr uint32_t kDualLayerCapacity = 2084960;    // 0x1FD060, per layer
inline constexpr uint32_t kDualLayerTitle = 4169920;       // 0x3FA0C0
}  // namespace geometry

// "DVD Format Options": eleven 32-bit values in dialog order; only the number
// of layers (held as Job::layersOption) is read by a run.
struct DvdFormatOptions {
  int32_t numberOfSides = 1;
  int32_t thisSideNumber = 1;
  int32_t otp = 1;
  std::array<int32_t, 6> regions{};  // "Region 1" .. "Region 6"
  int32_t copyProtected = 0;
};

// One file whose content follows the metadata: where it comes from and where
// it lies in the volume.
struct FileDataRecord {
  std::string path;
  uint32_t startSector = 0;
  uint16_t readSize = 2048;
  uint32_t sectorCount = 0;
  uint64_t byteLength = 0;  // the file's length when the builder measured it
  uint8_t kind = 8;
  uint32_t orderingMark = 0;
};

struct Job {
  // --- front end -------------------------------------------------------
  platform::Ui* mainWindow = nullptr;  // owner of every message box
  platform::Clock* clock = nullptr;    // local date and time, tick count

  // --- command line ------------------------------------------------------
  int batchMode = 0;
  std::string projectPath;
  std::string dvdVideoPath;
  std::string autorunArg;
  int noWarnings = 0;
  int tapeRequested = 0;
  int tapeCopies = 0;          // copies a tape run makes; 0: the operator answers after each
  int eraseTapeRequested = 0;  // --erase-tape
  int unattended = 0;          // --yes: every question is answered Yes, nobody changes tapes
  std::string ddpFolder;       // --ddp=FOLDER: the tape files go to disk files there
  int requestedLayers = 1;  // --layers=2 makes a batch run dual-layer

  // --- installation configuration -----------------------------------------
  std::string installDir;
  std::string tempDir;       // always ends in one '/'
  std::string tempDirPlain;  // tempDir without its trailing '/'
  std::string templateDir;   // no trailing '/'; the error marker lives here
  std::string autorunOpen;
  std::string autorunIcon;
  int autorunEnabled = 0;
  std::string autorunProgramPath;
  std::string autorunIconPath;
  std::string imagePath1;  // CONTROL.IMG
  std::string imagePath2;  // LAYER01.IMG
  std::string imagePath3;  // LAYER02.IMG, empty with one image directory
  uint32_t freeSectors1 = 0;
  uint32_t freeSectors2 = 0;

  // --- disc format descriptor -----------------------------------------------
  std::string descriptorPath;
  std::string loadedDescriptorPath;
  std::string systemId;
  std::string volumeId;
  std::string albumId;
  std::string publisherId;
  std::string preparerId;
  std::string applicationId;
  std::string copyrightFileId;
  std::string abstractFileId;
  std::string biblioFileId;
  std::string creationDate;
  std::string modificationDate;
  std::string expirationDate;
  std::string effectiveDate;
  std::string volumeNumber;
  std::string volumeSetSize;

  // --- options (Format Options and DVD Format Options dialogs) -------------
  DvdFormatOptions formatOptions;
  int layersOption = 1;  // 1 single layer, anything else dual
  uint8_t upperCaseNames = 0;
  uint8_t noWarningMessages = 0;
  uint8_t noWarningMessagesOutput = 0;
  uint8_t relaxDvdVideo = 0;
  uint8_t allowLargeFiles = 0;
  uint8_t relaxJoliet = 0;
  uint8_t writeLogFile = 0;
  uint8_t writeCompareFile = 0;
  uint8_t allowLongPaths = 0;
  uint8_t isoLevel1Names = 1;

  // --- disc geometry --------------------------------------------------------
  uint32_t layerCapacity = geometry::kSingleLayerCapacity;
  int singleLayer = 1;
  uint32_t dualLayerCapacity = geometry::kDualLayerTitle;
  int dualLayer = 0;
  int oppositeTrackPath = 1;
  uint16_t discSides = 1;

  // --- sources and run state ----------------------------------------------
  std::vector<std::string> sourcePaths;  // at most limits::kSourceEntries
  uint32_t sourceCount = 0;              // always sourcePaths.size()
  std::vector<std::string> sourceBases;  // longest first after the scan
  uint32_t sourceBaseCount = 0;
  int toTape = 0;
  std::string treeListPath;
  uint32_t folderCount = 0;
  uint32_t fileCount = 0;
  uint32_t fileDataStart = 0;
  uint32_t currentSector = 0;
  uint32_t volumeSectors = 0;
  uint32_t totalSectors = 0;
  uint32_t layer1Sectors = 0;
  uint32_t layer2Sectors = 0;
  std::vector<FileDataRecord> fileDataList;
  uint32_t fileDataCount = 0;
  uint8_t discType = 0;
  std::string paliasPath;
  uint32_t paliasCount = 0;
  int tapeDevice = 0;
  // The tape library the tape output drives; opened from the installation's
  // configuration when tape work starts, unless one is given (tests).
  std::shared_ptr<platform::TapeLibrary> tapeLibrary;
  std::string statusText;  // the last status line, shown again on repaint
  int stoppedByOperator = 0;  // this run was stopped at the operator's request
  std::shared_ptr<ShortNameTable> shortNames;  // built on first use

  // Appends a source path, keeping sourceCount in step. Refuses (false) past
  // the list's room.
  bool AddSource(const std::string& path);
  void ClearSources();
};

// Copies `value` into a field of `capacity` bytes; false (field untouched)
// when it does not fit.
bool AssignField(std::string& field, const std::string& value, size_t capacity);
// Copies at most `capacity` - 1 bytes of `value` into a field.
void AssignFieldCut(std::string& field, const std::string& value, size_t capacity);

}  // namespace pravel
