#include "udf/anchor.h"

#include "iso/byte_fields.h"
#include "udf/descriptor_tag.h"

namespace pravel {

void BuildAnchorPointer(uint8_t* sector, uint32_t location) {
  PutLe32(sector + anchor_field::kMainExtentLength, kSequenceExtentBytes);
  PutLe32(sector + anchor_field::kMainExtentLocation, kMainSequenceSector);
  PutLe32(sector + anchor_field::kReserveExtentLength, kSequenceExtentBytes);
  PutLe32(sector + anchor_field::kReserveExtentLocation, kReserveSequenceSector);
  PutDescriptorTag(sector, kAnchorTagIdentifier, kDescriptorVersion, 0, kAnchorCrcLength, location);
}

}  // namespace pravel
