// pe_version_resource_test.cpp: the version of a small PE image built here,
// 32 and 64 bit, and the same image broken field by field, cut short at
// every length and with every byte overwritten: a broken image gives no
// version and is never read outside its bytes.
#include "foundation/pe_version_resource.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace {

const uint32_t kPeOffset = 0x40;
const uint32_t kOptionalOffset = kPeOffset + 24;
const uint32_t kResourceRva = 0x1000;
const uint32_t kResourceFileOffset = 0x200;
// Offsets inside the resource section.
const uint32_t kNameDirectory = 0x18;
const uint32_t kLanguageDirectory = 0x30;
const uint32_t kDataEntry = 0x48;
const uint32_t kVersionInfo = 0x58;
const uint32_t kVersionInfoSize = 92;

struct CImageBytes {
  std::vector<uint8_t> bytes;
  uint32_t sectionHeader = 0;

  void Put16(uint32_t at, uint16_t value) {
    bytes[at] = static_cast<uint8_t>(value);
    bytes[at + 1] = static_cast<uint8_t>(value >> 8);
  }
  void Put32(uint32_t at, uint32_t value) {
    Put16(at, static_cast<uint16_t>(value));
    Put16(at + 2, static_cast<uint16_t>(value >> 16));
  }
  // Resource directory with one numeric entry.
  void Directory(uint32_t at, uint32_t id, uint32_t target) {
    Put16(kResourceFileOffset + at + 14, 1);
    Put32(kResourceFileOffset + at + 16, id);
    Put32(kResourceFileOffset + at + 20, target);
  }
};

// One section, .rsrc, holding VS_VERSION_INFO 1.2.3.4 in language 0x409.
CImageBytes MakeImage(bool plus) {
  CImageBytes image;
  uint16_t optionalSize = plus ? 240 : 224;
  image.sectionHeader = kOptionalOffset + optionalSize;
  image.bytes.assign(kResourceFileOffset + kVersionInfo + kVersionInfoSize, 0);
  image.Put16(0, 0x5A4D);
  image.Put32(0x3C, kPeOffset);
  image.Put32(kPeOffset, 0x00004550);
  image.Put16(kPeOffset + 4, plus ? 0x8664 : 0x14C);
  image.Put16(kPeOffset + 6, 1);
  image.Put16(kPeOffset + 20, optionalSize);
  image.Put16(kOptionalOffset, plus ? 0x20B : 0x10B);
  uint32_t countAt = kOptionalOffset + (plus ? 108 : 92);
  image.Put32(countAt, 16);
  image.Put32(countAt + 4 + 2 * 8, kResourceRva);
  image.Put32(countAt + 4 + 2 * 8 + 4, kVersionInfo + kVersionInfoSize);
  uint32_t section = image.sectionHeader;
  std::memcpy(&image.bytes[section], ".rsrc", 5);
  image.Put32(section + 8, kVersionInfo + kVersionInfoSize);
  image.Put32(section + 12, kResourceRva);
  image.Put32(section + 16, kVersionInfo + kVersionInfoSize);
  image.Put32(section + 20, kResourceFileOffset);
  image.Directory(0, 16, 0x80000000 | kNameDirectory);
  image.Directory(kNameDirectory, 1, 0x80000000 | kLanguageDirectory);
  image.Directory(kLanguageDirectory, 0x409, kDataEntry);
  image.Put32(kResourceFileOffset + kDataEntry, kResourceRva + kVersionInfo);
  image.Put32(kResourceFileOffset + kDataEntry + 4, kVersionInfoSize);
  uint32_t info = kResourceFileOffset + kVersionInfo;
  image.Put16(info, kVersionInfoSize);
  image.Put16(info + 2, 52);
  const char key[] = "VS_VERSION_INFO";
  for (uint32_t i = 0; i < sizeof(key); ++i) image.Put16(info + 6 + 2 * i, static_cast<uint8_t>(key[i]));
  image.Put32(info + 40, 0xFEEF04BD);
  image.Put32(info + 48, 0x00010002);
  image.Put32(info + 52, 0x00030004);
  return image;
}

// Reads only inside the bytes.
bool Version(const std::vector<uint8_t>& bytes, std::string* parts) {
  CImageReader read = [&bytes](uint64_t offset, void* buffer, uint32_t size) {
    if (offset > bytes.size() || size > bytes.size() - offset) return false;
    std::memcpy(buffer, bytes.data() + offset, size);
    return true;
  };
  uint16_t version[4] = {};
  if (!ReadPeFileVersion(read, version)) return false;
  *parts = std::to_string(version[0]) + "." + std::to_string(version[1]) + "." + std::to_string(version[2]) + "." +
           std::to_string(version[3]);
  return true;
}

struct CBreak {
  const char* what;
  uint32_t at;       // absolute offset; the section header's for kSection
  uint32_t value;
  bool word;
};

const uint32_t kSection = 0x80000000;  // marks an offset inside the section header
const uint32_t kInfo = kResourceFileOffset + kVersionInfo;

}  // namespace

TEST(PeVersionResourceTest, ReadsTheFixedVersionOfBothImageKinds) {
  for (bool plus : {false, true}) {
    std::string parts;
    ASSERT_TRUE(Version(MakeImage(plus).bytes, &parts)) << plus;
    EXPECT_EQ("1.2.3.4", parts);
  }
}

TEST(PeVersionResourceTest, ABrokenImageHasNoVersion) {
  const CBreak kBreaks[] = {
      {"no MZ", 0, 0x5A4E, true},
      {"header beyond the file", 0x3C, 0xFFFFFFF0, false},
      {"no PE signature", kPeOffset, 0x00004551, false},
      {"unknown optional header", kOptionalOffset, 0x10C, true},
      {"optional header too short", kPeOffset + 20, 100, true},
      {"no resource directory entry", kOptionalOffset + 92, 2, false},
      {"no resource directory", kOptionalOffset + 92 + 4 + 16, 0, false},
      {"no sections", kPeOffset + 6, 0, true},
      {"too many sections", kPeOffset + 6, 97, true},
      {"resources outside every section", kOptionalOffset + 92 + 4 + 16, 0x5000, false},
      {"section data beyond the file", kSection + 20, 0xFFFFFF00, false},
      {"section data too short", kSection + 16, kVersionInfo, false},
      {"no version type", kResourceFileOffset + 16, 6, false},
      {"type is no directory", kResourceFileOffset + 20, kNameDirectory, false},
      {"no entries", kResourceFileOffset + 14, 0, true},
      {"entries beyond the section", kResourceFileOffset + 14, 0xFFFF, true},
      {"name directory far away", kResourceFileOffset + 20, 0xFFFFFFFF, false},
      {"no VS_VERSION_INFO name", kResourceFileOffset + kNameDirectory + 16, 2, false},
      {"language is a directory", kResourceFileOffset + kLanguageDirectory + 20, 0x80000000 | kDataEntry, false},
      {"versions in two languages", kResourceFileOffset + kLanguageDirectory + 14, 2, true},
      {"data outside every section", kResourceFileOffset + kDataEntry, 0xFFFFFFF0, false},
      {"data too short", kResourceFileOffset + kDataEntry + 4, 91, false},
      {"value too short", kInfo + 2, 51, true},
      {"wrong key", kInfo + 6, 'W', true},
      {"key without its end", kInfo + 6 + 30, 'X', true},
      {"wrong signature", kInfo + 40, 0xFEEF04BE, false},
  };
  for (const CBreak& broken : kBreaks) {
    CImageBytes image = MakeImage(false);
    uint32_t at = broken.at & kSection ? image.sectionHeader + (broken.at & ~kSection) : broken.at;
    if (broken.word) image.Put16(at, static_cast<uint16_t>(broken.value));
    else image.Put32(at, broken.value);
    std::string parts;
    EXPECT_FALSE(Version(image.bytes, &parts)) << broken.what << ": " << parts;
  }
}

// Whatever the bytes say, nothing is read outside them (the reader refuses)
// and nothing outside the reader's buffer is touched (the sanitizers see).
TEST(PeVersionResourceTest, ShortOrScribbledImagesAreReadSafely) {
  for (bool plus : {false, true}) {
    std::vector<uint8_t> whole = MakeImage(plus).bytes;
    std::string parts;
    for (size_t length = 0; length < whole.size(); ++length) {
      EXPECT_FALSE(Version(std::vector<uint8_t>(whole.begin(), whole.begin() + length), &parts)) << length;
    }
    for (size_t at = 0; at < whole.size(); ++at) {
      for (uint8_t value : {0x00, 0x7F, 0x80, 0xFF}) {
        std::vector<uint8_t> scribbled = whole;
        scribbled[at] = value;
        Version(scribbled, &parts);
      }
    }
  }
}
