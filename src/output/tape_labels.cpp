#include "output/tape_labels.h"

#include "iso/byte_fields.h"
#include "output/tape_text_fields.h"

namespace pravel {

namespace {

TapeLabel BlankLabel() {
  TapeLabel label;
  label.fill(kFieldFill);
  return label;
}

}  // namespace

TapeLabel VolumeLabel(const std::string& volumeIdentifier) {
  TapeLabel label = BlankLabel();
  PutText(label.data() + vol1_label::kIdentifier, "VOL1");
  PutPaddedText(label.data() + vol1_label::kVolumeIdentifier, vol1_label::kVolumeIdentifierWidth, volumeIdentifier);
  label[vol1_label::kLabelVersion] = '4';
  return label;
}

std::optional<TapeLabel> FileLabel1(const TapeFileFacts& file, bool end) {
  namespace f = file_label1;
  TapeLabel label = BlankLabel();
  uint8_t* at = label.data();
  PutText(at + f::kIdentifier, end ? "EOF1" : "HDR1");
  PutPaddedText(at + f::kFileIdentifier, f::kFileIdentifierWidth, end ? kEndLabelFileIdentifier : file.identifier);
  PutPaddedText(at + f::kFileSetIdentifier, f::kFileSetIdentifierWidth, "DVD");
  PutText(at + f::kFileSection, "0001");
  if (!PutZeroPaddedNumber(at + f::kFileSequence, f::kSequenceWidth, file.sequence)) return std::nullopt;
  PutText(at + f::kGeneration, "0001");
  PutText(at + f::kGenerationVersion, end ? "00" : "01");
  PutZeroPaddedNumber(at + f::kCreationDate, f::kDateWidth, 0);
  PutZeroPaddedNumber(at + f::kExpirationDate, f::kDateWidth, 0);
  at[f::kAccessibility] = kFieldFill;
  if (!PutZeroPaddedNumber(at + f::kBlockCount, f::kBlockCountWidth, file.blockCount)) return std::nullopt;
  return label;
}

std::optional<TapeLabel> FileLabel2(const TapeFileFacts& file, bool end) {
  namespace f = file_label2;
  TapeLabel label = BlankLabel();
  uint8_t* at = label.data();
  PutText(at + f::kIdentifier, end ? "EOF2" : "HDR2");
  at[f::kRecordFormat] = 'F';
  if (!PutZeroPaddedNumber(at + f::kBlockLength, f::kLengthWidth, file.blockLength)) return std::nullopt;
  if (!PutZeroPaddedNumber(at + f::kRecordLength, f::kLengthWidth, file.recordLength)) return std::nullopt;
  PutText(at + f::kBufferOffset, "00");
  return label;
}

}  // namespace pravel
