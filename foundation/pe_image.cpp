// pe_image.cpp: the DOS header, the file header and the optional header's
// data directory of a PE image; every offset is read through the caller's
// reader, which refuses what lies outside the image.
#include "foundation/pe_image.h"

namespace {

const uint16_t kDosMagic = 0x5A4D;          // "MZ"
const uint32_t kPeSignature = 0x00004550;   // "PE\0\0"
const uint32_t kNewHeaderOffset = 0x3C;
const uint32_t kFileHeaderSize = 20;
const uint16_t kPe32Magic = 0x10B;
const uint16_t kPe32PlusMagic = 0x20B;
const uint32_t kPe32DirectoryCount = 92;    // offsets in the optional header
const uint32_t kPe32PlusDirectoryCount = 108;
const uint32_t kDirectoryEntrySize = 8;

}  // namespace

bool ReadPeDataDirectory(const CImageReader& read, uint32_t index, CPeDataDirectory* directory) {
  if (!read || !directory) return false;
  uint8_t dos[kNewHeaderOffset + 4];
  if (!read(0, dos, sizeof(dos)) || ImageWord(dos) != kDosMagic) return false;
  uint64_t peOffset = ImageDword(dos + kNewHeaderOffset);
  // The signature, the file header and the optional header's magic.
  uint8_t headers[4 + kFileHeaderSize + 2];
  if (!read(peOffset, headers, sizeof(headers)) || ImageDword(headers) != kPeSignature) return false;
  uint16_t sectionCount = ImageWord(headers + 4 + 2);
  uint16_t optionalSize = ImageWord(headers + 4 + 16);
  uint16_t magic = ImageWord(headers + 4 + kFileHeaderSize);
  uint32_t countOffset = 0;
  if (magic == kPe32Magic) countOffset = kPe32DirectoryCount;
  else if (magic == kPe32PlusMagic) countOffset = kPe32PlusDirectoryCount;
  else return false;
  uint64_t optional = peOffset + 4 + kFileHeaderSize;
  uint64_t entryOffset = countOffset + 4 + static_cast<uint64_t>(index) * kDirectoryEntrySize;
  uint8_t count[4];
  uint8_t entry[kDirectoryEntrySize];
  if (optionalSize < entryOffset + kDirectoryEntrySize || !read(optional + countOffset, count, sizeof(count)) ||
      ImageDword(count) <= index || !read(optional + entryOffset, entry, sizeof(entry))) {
    return false;
  }
  directory->optionalHeader = optional;
  directory->optionalSize = optionalSize;
  directory->sectionCount = sectionCount;
  directory->entryOffset = optional + entryOffset;
  directory->address = ImageDword(entry);
  directory->size = ImageDword(entry + 4);
  return true;
}
