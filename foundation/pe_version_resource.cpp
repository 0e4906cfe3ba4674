// pe_version_resource.cpp: the section table and three levels of the
// resource directory (type, name, language) down to the version resource's
// fixed part; nothing is followed that lies outside the image.
#include "foundation/pe_version_resource.h"

#include <vector>

namespace {

const uint32_t kResourceDirectory = 2;
const uint32_t kSectionHeaderSize = 40;
const uint16_t kMaxSections = 96;           // what the system loader accepts
const uint32_t kMaxDirectoryEntries = 4096;
const uint32_t kHighBit = 0x80000000;
const uint32_t kVersionType = 16;           // RT_VERSION
const uint32_t kVersionName = 1;            // VS_VERSION_INFO
// VS_VERSIONINFO: three WORDs, the key "VS_VERSION_INFO" with its zero,
// padding to a DWORD, then VS_FIXEDFILEINFO.
const uint32_t kKeyOffset = 6;
const char kVersionKey[] = "VS_VERSION_INFO";
const uint32_t kFixedInfoOffset = 40;
const uint32_t kFixedInfoSize = 52;
const uint32_t kFixedInfoSignature = 0xFEEF04BD;

struct CSection {
  uint32_t virtualAddress;
  uint32_t rawSize;
  uint32_t rawOffset;
};

class CImage {
 public:
  explicit CImage(const CImageReader& read) : m_read(read) {}

  bool ReadHeaders() {
    CPeDataDirectory resources;
    if (!ReadPeDataDirectory(m_read, kResourceDirectory, &resources) || resources.address == 0 ||
        resources.size == 0) {
      return false;
    }
    m_resourceRva = resources.address;
    return ReadSections(resources.optionalHeader + resources.optionalSize, resources.sectionCount);
  }

  // Down the resource tree: type, then name, then its one language.
  bool FindVersion(uint16_t parts[4]) const {
    uint32_t names = 0;
    uint32_t languages = 0;
    uint32_t dataEntry = 0;
    if (!FindSubdirectory(0, kVersionType, &names) || !FindSubdirectory(names, kVersionName, &languages) ||
        !OnlyEntry(languages, &dataEntry)) {
      return false;
    }
    uint8_t entry[16];
    if (!ReadResource(dataEntry, entry, sizeof(entry))) return false;
    uint32_t dataRva = ImageDword(entry);
    uint32_t dataSize = ImageDword(entry + 4);
    uint8_t info[kFixedInfoOffset + kFixedInfoSize];
    if (dataSize < sizeof(info) || !ReadAt(dataRva, info, sizeof(info))) return false;
    if (ImageWord(info + 2) < kFixedInfoSize || ImageDword(info + kFixedInfoOffset) != kFixedInfoSignature) {
      return false;
    }
    for (uint32_t i = 0; i < sizeof(kVersionKey); ++i) {
      if (ImageWord(info + kKeyOffset + 2 * i) != static_cast<uint8_t>(kVersionKey[i])) return false;
    }
    uint32_t versionMs = ImageDword(info + kFixedInfoOffset + 8);
    uint32_t versionLs = ImageDword(info + kFixedInfoOffset + 12);
    parts[0] = static_cast<uint16_t>(versionMs >> 16);
    parts[1] = static_cast<uint16_t>(versionMs);
    parts[2] = static_cast<uint16_t>(versionLs >> 16);
    parts[3] = static_cast<uint16_t>(versionLs);
    return true;
  }

 private:
  bool ReadSections(uint64_t offset, uint16_t count) {
    if (count == 0 || count > kMaxSections) return false;
    std::vector<uint8_t> table(static_cast<size_t>(count) * kSectionHeaderSize);
    if (!m_read(offset, table.data(), static_cast<uint32_t>(table.size()))) return false;
    for (uint16_t i = 0; i < count; ++i) {
      const uint8_t* header = table.data() + static_cast<size_t>(i) * kSectionHeaderSize;
      m_sections.push_back({ImageDword(header + 12), ImageDword(header + 16), ImageDword(header + 20)});
    }
    return true;
  }

  // Bytes at a relative virtual address, from the section whose file data
  // holds all of them.
  bool ReadAt(uint32_t rva, void* buffer, uint32_t size) const {
    for (const CSection& section : m_sections) {
      if (rva < section.virtualAddress) continue;
      uint64_t within = static_cast<uint64_t>(rva) - section.virtualAddress;
      if (within + size > section.rawSize) continue;
      return m_read(section.rawOffset + within, buffer, size);
    }
    return false;
  }

  // Offsets inside the resource tree count from its root.
  bool ReadResource(uint32_t offset, void* buffer, uint32_t size) const {
    uint64_t rva = static_cast<uint64_t>(m_resourceRva) + offset;
    return rva + size <= UINT32_MAX && ReadAt(static_cast<uint32_t>(rva), buffer, size);
  }

  bool ReadEntries(uint32_t directory, std::vector<uint8_t>* entries, uint32_t* namedCount) const {
    uint8_t header[16];
    if (!ReadResource(directory, header, sizeof(header))) return false;
    *namedCount = ImageWord(header + 12);
    uint32_t count = *namedCount + ImageWord(header + 14);
    if (count == 0 || count > kMaxDirectoryEntries) return false;
    entries->resize(count * 8);
    return ReadResource(directory + sizeof(header), entries->data(), count * 8);
  }

  // The entry with the numeric id, which must lead to a subdirectory.
  bool FindSubdirectory(uint32_t directory, uint32_t id, uint32_t* target) const {
    std::vector<uint8_t> entries;
    uint32_t namedCount = 0;
    if (!ReadEntries(directory, &entries, &namedCount)) return false;
    for (size_t at = namedCount * 8; at < entries.size(); at += 8) {
      if (ImageDword(&entries[at]) != id) continue;
      uint32_t offset = ImageDword(&entries[at + 4]);
      if (!(offset & kHighBit)) return false;
      *target = offset & ~kHighBit;
      return true;
    }
    return false;
  }

  // The one language's entry, which must lead to data. A version given in
  // several languages is left to the system's functions: which one they
  // take depends on the user's languages, and conditions must see theirs.
  bool OnlyEntry(uint32_t directory, uint32_t* target) const {
    std::vector<uint8_t> entries;
    uint32_t namedCount = 0;
    if (!ReadEntries(directory, &entries, &namedCount) || entries.size() != 8) return false;
    uint32_t offset = ImageDword(&entries[4]);
    if (offset & kHighBit) return false;
    *target = offset;
    return true;
  }

  const CImageReader& m_read;
  std::vector<CSection> m_sections;
  uint32_t m_resourceRva = 0;
};

}  // namespace

bool ReadPeFileVersion(const CImageReader& read, uint16_t parts[4]) {
  if (!read || !parts) return false;
  CImage image(read);
  return image.ReadHeaders() && image.FindVersion(parts);
}
