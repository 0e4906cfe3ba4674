// zip_file_header_test.cpp: the record bytes of new entries, MS-DOS times,
// attribute conversions and the on-disk form of names.
#include "zip/zip_file_header.h"

#include <ctime>
#include <string>

#include "gtest/gtest.h"
#include "tests/zip/zip_test_files.h"
#include "zip/zip_compatibility.h"
#include "zip/zip_file_system.h"
#include "zip/zip_mem_file.h"
#include "zip/zip_storage.h"

namespace {

std::string LocalHeaderOf(CZipFileHeader header) {
  CZipMemFile file;
  CZipStorage storage;
  storage.OpenFrom(file, 2);
  header.WriteLocal(storage);
  storage.Flush();
  return MemBytes(file);
}

}  // namespace

TEST(CZipFileHeaderTest, PreparedFieldsFollowLevelAndKind) {
  struct Case {
    const wchar_t* name;
    uint32_t attributes;
    int level;
    uint16_t versionNeeded, flags, method;
  } const kCases[] = {
      {L"a.log", 0x81B40020, -1, 20, 0x0000, 8}, {L"a.log", 0x81B40020, 0, 20, 0x0000, 0},
      {L"a.log", 0x81B40020, 1, 20, 0x0006, 8},  {L"a.log", 0x81B40020, 2, 20, 0x0004, 8},
      {L"a.log", 0x81B40020, 6, 20, 0x0000, 8},  {L"a.log", 0x81B40020, 8, 20, 0x0002, 8},
      {L"a.log", 0x81B40020, 9, 20, 0x0002, 8},  {L"dir\\", 0x41FF0010, 0, 10, 0x0000, 0},
  };
  for (const Case& c : kCases) {
    CZipFileHeader header;
    header.SetFileName(c.name);
    header.SetSystemAttr(c.attributes);
    ASSERT_TRUE(header.PrepareData(c.level, false, false));
    std::string local = LocalHeaderOf(header);
    SCOPED_TRACE(testing::Message() << "level " << c.level);
    EXPECT_EQ(0x04034B50u, Get32At(local, 0));
    EXPECT_EQ(c.versionNeeded, Get16At(local, 4));
    EXPECT_EQ(c.flags, Get16At(local, 6));
    EXPECT_EQ(c.method, Get16At(local, 8));
    EXPECT_EQ(0u, Get32At(local, 14));  // CRC and sizes come after the data
    EXPECT_EQ(0u, Get32At(local, 18));
    EXPECT_EQ(0, Get16At(local, 28));  // no extra field
    EXPECT_EQ(20, header.m_versionMadeBy);
  }
}

TEST(CZipFileHeaderTest, NamesUseForwardSlashesAndFitSixteenBits) {
  CZipFileHeader header;
  header.SetFileName(L"a\\b\\c.txt");
  EXPECT_EQ("a/b/c.txt", header.GetRawFileName());
  EXPECT_EQ(L"a\\b\\c.txt", header.GetFileName());
  header.SetRawFileName(std::string(65535, 'n'));
  EXPECT_TRUE(header.PrepareData(-1, false, false));
  header.SetRawFileName(std::string(65536, 'n'));
  EXPECT_FALSE(header.PrepareData(-1, false, false));
}

// MS-DOS entries hold their names in the OEM code page, others in the ANSI
// one; a name either page cannot hold would come back with '?' in it.
TEST(CZipFileHeaderTest, NamesAreStoredInTheEntrysCodePageOrRefused) {
  if (ZipFileSystem::AnsiToOemBytes("\xe9") != "\x82") {
    GTEST_SKIP() << "expects the western code pages (ANSI 1252, OEM 437): pin LANG=C.UTF-8 for Wine";
  }
  struct Case {
    const wchar_t* name;
    int system;
    const char* stored;  // none: refused
  } const kCases[] = {
      {L"caf\u00e9.log", ZipCompatibility::zcDosFat, "caf\x82.log"},
      {L"caf\u00e9.log", ZipCompatibility::zcUnix, "caf\xe9.log"},
      {L"logs/a\\b.txt", ZipCompatibility::zcDosFat, "logs/a/b.txt"},
      {L"\u20ac.log", ZipCompatibility::zcDosFat, nullptr},  // in ANSI, not in OEM
      {L"\u20ac.log", ZipCompatibility::zcUnix, "\x80.log"},
      {L"\u65e5\u672c.log", ZipCompatibility::zcDosFat, nullptr},
      {L"\u65e5\u672c.log", ZipCompatibility::zcNtfs, nullptr},
      {L"e\u0301.log", ZipCompatibility::zcUnix, nullptr},  // a combining accent
  };
  for (const Case& c : kCases) {
    CZipFileHeader header;
    header.SetSystemCompatibility(c.system);
    EXPECT_EQ(c.stored != nullptr, header.SetFileName(c.name)) << c.system << " " << c.name[0];
    if (c.stored != nullptr) EXPECT_EQ(c.stored, header.GetRawFileName()) << c.system;
  }
}

TEST(CZipFileHeaderTest, MsDosDateAndTimeRoundTrip) {
  struct tm local = {};
  local.tm_year = 2011 - 1900;
  local.tm_mon = 11;
  local.tm_mday = 13;
  local.tm_hour = 14;
  local.tm_min = 7;
  local.tm_sec = 31;
  local.tm_isdst = -1;
  CZipFileHeader header;
  header.SetTime(ZipFileSystem::MakeLocalTime(&local));
  EXPECT_EQ(0x3F8D, header.m_modDate);
  EXPECT_EQ(0x70EF, header.m_modTime);
  int64_t back = header.GetTime();
  struct tm read;
  ASSERT_TRUE(ZipFileSystem::LocalTime(back, &read));
  EXPECT_EQ(30, read.tm_sec);  // two-second resolution
  EXPECT_EQ(14, read.tm_hour);
}

TEST(CZipFileHeaderTest, AttributesConvertThroughTheMsDosForm) {
  struct Case {
    uint32_t attributes;
    int from, to;
    uint32_t expected;
  } const kCases[] = {
      {0x20, 0, 3, 0x81B40020},         {0x21, 0, 3, 0x81240021},
      {0x22, 0, 3, 0x80900022},         {0x23, 0, 3, 0x80000023},
      {0x10, 0, 3, 0x41B40010},         {0x81B40000, 3, 0, 0x20},
      {0x41ED0000, 3, 0, 0x10},         {0x81ED0000, 3, 0, 0x00},
      {0x81240000, 3, 0, 0x21},         {0x80000000, 3, 0, 0x23},
      {0x37, 7, 0, 0x11},               {0x81B40020, 10, 0, 0x81B40020},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(c.expected, ZipCompatibility::ConvertAttributes(c.attributes, c.from, c.to))
        << std::hex << c.attributes << " from " << c.from << " to " << c.to;
  }
  EXPECT_EQ(115, ZipErrorOf([] { ZipCompatibility::ConvertAttributes(0x20, 0, 5); }));
}

TEST(CZipFileHeaderTest, EntriesWithoutAttributesAreDirectoriesByName) {
  struct Case {
    int system;
    uint32_t attributes;
    const char* name;
    bool directory;
  } const kCases[] = {
      {0, 0, "logs/", true}, {0, 0, "logs", false}, {5, 0x20, "x/", true},
      {5, 0x10, "x", false}, {0, 0x10, "x", true},  {3, 0x41ED0000, "x", true},
  };
  for (const Case& c : kCases) {
    CZipFileHeader header;
    header.SetSystemCompatibility(c.system);
    header.m_externalAttr = c.attributes;
    header.SetRawFileName(c.name);
    EXPECT_EQ(c.directory, header.IsDirectory()) << c.name << " system " << c.system;
  }
}
