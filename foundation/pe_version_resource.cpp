// pe_version_resource.cpp: the section table and three levels of the
// resource directory (type, name, language) down to the version resource's
// fixed part and its blocks of texts; nothing is followed that lies outside
// the image or outside the block that holds it.
#include "foundation/pe_version_resource.h"

#include <algorithm>
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
// A block: wLength, wValueLength, wType (1: text, its length in characters),
// the key with its zero, padding to a DWORD, the value, padding, children.
const size_t kBlockHeader = 6;
const uint16_t kTextType = 1;
const wchar_t kStringFileInfo[] = L"StringFileInfo";

struct CBlock {
  size_t end = 0;
  std::wstring key;
  size_t value = 0;
  size_t children = 0;
};

size_t Align4(size_t at) { return (at + 3) & ~static_cast<size_t>(3); }

// The block at `at`, which must end by `limit`.
bool ReadBlock(const std::vector<uint8_t>& data, size_t at, size_t limit, CBlock* block) {
  if (at + kBlockHeader > limit) return false;
  size_t length = ImageWord(&data[at]);
  if (length < kBlockHeader || length > limit - at) return false;
  block->end = at + length;
  size_t valueLength = ImageWord(&data[at + 2]);
  if (ImageWord(&data[at + 4]) == kTextType) valueLength *= 2;
  block->key.clear();
  size_t key = at + kBlockHeader;
  for (;; key += 2) {
    if (key + 2 > block->end) return false;
    uint16_t unit = ImageWord(&data[key]);
    if (unit == 0) break;
    block->key += static_cast<wchar_t>(unit);
  }
  block->value = std::min(Align4(key + 2), block->end);
  block->children = std::min(Align4(block->value + valueLength), block->end);
  return true;
}

// A text value ends at its zero, or with its block when the zero is missing.
std::wstring TextOf(const std::vector<uint8_t>& data, const CBlock& block) {
  std::wstring text;
  for (size_t at = block.value; at + 2 <= block.end; at += 2) {
    uint16_t unit = ImageWord(&data[at]);
    if (unit == 0) break;
    text += static_cast<wchar_t>(unit);
  }
  return text;
}

// The Strings of the first StringTable of StringFileInfo; none without it.
bool ReadStrings(const std::vector<uint8_t>& data, std::map<std::wstring, std::wstring>* strings) {
  CBlock root, info, table, text;
  if (!ReadBlock(data, 0, data.size(), &root)) return false;
  for (size_t at = root.children;; at = Align4(info.end)) {
    if (at + kBlockHeader > root.end) return true;
    if (!ReadBlock(data, at, root.end, &info)) return false;
    if (info.key == kStringFileInfo) break;
  }
  if (info.children + kBlockHeader > info.end) return true;
  if (!ReadBlock(data, info.children, info.end, &table)) return false;
  for (size_t at = table.children; at + kBlockHeader <= table.end; at = Align4(text.end)) {
    if (!ReadBlock(data, at, table.end, &text)) return false;
    strings->emplace(text.key, TextOf(data, text));
  }
  return true;
}

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

  // Down the resource tree: type, then name, then its one language. `rva`
  // and `size` tell where the whole resource lies.
  bool FindVersion(uint16_t parts[4], uint32_t* rva, uint32_t* size) const {
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
    *rva = dataRva;
    *size = std::min<uint32_t>(dataSize, ImageWord(info));
    return true;
  }

  // The resource's bytes, as long as its first block says.
  bool ReadWhole(uint32_t rva, uint32_t size, std::vector<uint8_t>* data) const {
    data->resize(size);
    return ReadAt(rva, data->data(), size);
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
  uint32_t rva = 0;
  uint32_t size = 0;
  return image.ReadHeaders() && image.FindVersion(parts, &rva, &size);
}

bool ReadPeVersionInfo(const CImageReader& read, CPeVersionInfo* info) {
  if (!read || !info) return false;
  CImage image(read);
  uint32_t rva = 0;
  uint32_t size = 0;
  std::vector<uint8_t> data;
  info->strings.clear();
  return image.ReadHeaders() && image.FindVersion(info->fileVersion, &rva, &size) &&
         image.ReadWhole(rva, size, &data) && ReadStrings(data, &info->strings);
}
