// zip_central_dir_test.cpp: finding and reading the central directory of
// archives as others may hand them to us, damaged ones included.
#include "zip/zip_central_dir.h"

#include <functional>
#include <string>

#include "gtest/gtest.h"
#include "tests/zip/zip_test_files.h"
#include "zip/zip_archive.h"
#include "zip/zip_mem_file.h"

namespace {

// Two entries: "a.txt" deflated, "b.txt" stored.
std::string BaseArchive() {
  CZipMemFile file;
  CZipArchive archive;
  archive.OpenFrom(file, CZipArchive::zipCreate);
  CZipMemFile a;
  std::string text(1000, 'a');
  a.Write(text.data(), static_cast<uint32_t>(text.size()));
  archive.AddFileFromStream(a, L"a.txt");
  CZipMemFile b;
  b.Write("xyz", 3);
  archive.AddFileFromStream(b, L"b.txt");
  archive.Close();
  return MemBytes(file);
}

void Put16(std::string& bytes, size_t offset, uint16_t value) {
  bytes[offset] = static_cast<char>(value);
  bytes[offset + 1] = static_cast<char>(value >> 8);
}

void Put32(std::string& bytes, size_t offset, uint32_t value) {
  Put16(bytes, offset, static_cast<uint16_t>(value));
  Put16(bytes, offset + 2, static_cast<uint16_t>(value >> 16));
}

struct CLayout {
  size_t end, central, secondCentral;
};

CLayout LayoutOf(const std::string& bytes) {
  size_t end = bytes.size() - 22;
  size_t central = Get32At(bytes, end + 16);
  return {end, central, central + 46 + 5};
}

// Opens the bytes read-only and tests every entry; the code raised, or 0.
int OpenAndTest(const std::string& bytes) {
  CZipMemFile file;
  file.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
  CZipArchive archive;
  return ZipErrorOf([&] {
    archive.OpenFrom(file, CZipArchive::zipOpenReadOnly);
    for (int i = 0; i < archive.GetCount(); ++i) archive.TestFile(i);
    archive.Close();
  });
}

}  // namespace

TEST(CZipCentralDirTest, HostileArchivesRaiseTheirCodes) {
  struct Case {
    const char* what;
    std::function<void(std::string&)> change;
    int code;
  } const kCases[] = {
      {"intact", [](std::string&) {}, 0},
      {"ten bytes of junk", [](std::string& b) { b = "0123456789"; }, 116},
      {"empty file", [](std::string& b) { b.clear(); }, 116},
      {"three entries, directory size 0",
       [](std::string& b) { Put16(b, LayoutOf(b).end + 10, 3); Put32(b, LayoutOf(b).end + 12, 0); }, 101},
      {"directory past the end record", [](std::string& b) { Put32(b, LayoutOf(b).end + 16, 0x7FFFFFF0); }, 101},
      {"more entries than headers", [](std::string& b) { Put16(b, LayoutOf(b).end + 10, 60000); }, 101},
      {"second volume", [](std::string& b) { Put16(b, LayoutOf(b).end + 4, 1); }, 101},
      {"two headers, one local header",
       [](std::string& b) { Put32(b, LayoutOf(b).secondCentral + 42, 0); }, 101},
      {"broken central signature", [](std::string& b) { b[LayoutOf(b).central] = 'X'; }, 101},
      {"broken local signature", [](std::string& b) { b[0] = 'X'; }, 101},
      {"local offset far away", [](std::string& b) { Put32(b, LayoutOf(b).central + 42, 0xFFFFFF00); }, 101},
      {"sizes of ZIP64",
       [](std::string& b) {
         Put32(b, LayoutOf(b).central + 20, 0xFFFFFFFF);
         Put32(b, LayoutOf(b).central + 24, 0xFFFFFFFF);
       },
       101},
      {"stored sizes disagree", [](std::string& b) { Put32(b, LayoutOf(b).secondCentral + 24, 4); }, 101},
      {"unknown method", [](std::string& b) { Put16(b, LayoutOf(b).central + 10, 12); Put16(b, 8, 12); }, 101},
      {"encrypted", [](std::string& b) { Put16(b, LayoutOf(b).central + 8, 1); Put16(b, 6, 1); }, 110},
      {"altered stored data", [](std::string& b) { b[LayoutOf(b).central - 1] = 'Q'; }, 102},
      {"altered deflated data", [](std::string& b) { b[40] = static_cast<char>(b[40] ^ 0x55); }, 0},
  };
  for (const Case& c : kCases) {
    std::string bytes = BaseArchive();
    c.change(bytes);
    int code = OpenAndTest(bytes);
    if (std::string(c.what) == "altered deflated data") {
      // A flipped bit in deflate data ends as bad data, bad CRC or bad length.
      EXPECT_TRUE(code == 504 || code == 102 || code == 101 || code == 506) << code;
    } else {
      EXPECT_EQ(c.code, code) << c.what;
    }
  }
}

// Appending cuts the file at the old directory: an entry said to lie past
// it would be lost, so such an archive is refused and left as it was.
TEST(CZipCentralDirTest, AppendingRefusesEntriesBehindTheDirectory) {
  std::string bytes = BaseArchive();
  Put32(bytes, LayoutOf(bytes).secondCentral + 42, static_cast<uint32_t>(LayoutOf(bytes).central + 10));
  CZipMemFile file;
  file.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
  CZipArchive archive;
  archive.OpenFrom(file, CZipArchive::zipOpen);
  CZipMemFile source;
  source.Write("new", 3);
  EXPECT_EQ(101, ZipErrorOf([&] { archive.AddFileFromStream(source, L"new.txt"); }));
  EXPECT_EQ(2, archive.GetCount());
  archive.Close();
  EXPECT_EQ(bytes, MemBytes(file));
}

TEST(CZipCentralDirTest, EndRecordIsFoundWithinTheLongestComment) {
  struct Case {
    size_t comment;
    size_t trailing;
    int code;
  } const kCases[] = {
      {65535, 0, 0},    // exactly 65557 bytes before the end
      {65535, 1, 116},  // one byte further
      {32748, 0, 0},    // the signature straddles the first 32768-byte chunk
      {32747, 0, 0},
  };
  for (const Case& c : kCases) {
    std::string bytes = BaseArchive();
    Put16(bytes, bytes.size() - 2, static_cast<uint16_t>(c.comment));
    bytes += std::string(c.comment + c.trailing, 'c');
    EXPECT_EQ(c.code, OpenAndTest(bytes)) << c.comment << " + " << c.trailing;
  }
}

TEST(CZipCentralDirTest, DataInFrontOfTheArchiveIsSkipped) {
  std::string bytes = std::string(40, 'L') + BaseArchive();
  CZipMemFile file;
  file.Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
  CZipArchive archive;
  archive.OpenFrom(file, CZipArchive::zipOpenReadOnly);
  EXPECT_EQ(40u, archive.GetCentralDirInfo().bytesBeforeZip);
  ASSERT_EQ(2, archive.GetCount());
  EXPECT_TRUE(archive.TestFile(0));
  EXPECT_TRUE(archive.TestFile(1));
  archive.Close();
}

TEST(CZipCentralDirTest, FindsEntriesByNameWithTheCaseAsked) {
  CZipMemFile file;
  CZipArchive archive;
  archive.OpenFrom(file, CZipArchive::zipCreate);
  for (const wchar_t* name : {L"Logs\\Setup.log", L"logs\\b.log", L"a.txt", L"setup.log", L"logs\\B.log"}) {
    CZipMemFile source;
    source.Write("x", 1);
    archive.AddFileFromStream(source, name);
  }
  struct Case {
    const wchar_t* name;
    int caseMode;
    bool fileNameOnly;
    int index;
  } const kCases[] = {
      {L"logs\\setup.log", 0, false, 0}, {L"logs\\setup.log", 1, false, -1},
      {L"Logs\\Setup.log", 1, false, 0}, {L"LOGS\\SETUP.LOG", 2, false, 0},
      {L"logs\\B.log", 1, false, 4},     {L"a.txt", 0, false, 2},
      {L"b.txt", 0, false, -1},          {L"SETUP.LOG", 0, true, 0},
      {L"B.log", 1, true, 4},            {L"logs", 0, false, -1},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(c.index, archive.FindFile(c.name, c.caseMode, c.fileNameOnly))
        << testing::PrintToString(std::wstring(c.name)) << " mode " << c.caseMode;
  }
  // Entries added after the index was built are found; a dropped one is not.
  CZipMemFile source;
  source.Write("later", 5);
  archive.AddFileFromStream(source, L"later.log");
  CZipFileHeader half;
  half.SetFileName(L"half.log");
  ASSERT_TRUE(archive.OpenNewFile(half, 0));
  archive.CloseNewFile(true);
  EXPECT_EQ(5, archive.FindFile(L"LATER.LOG"));
  EXPECT_EQ(-1, archive.FindFile(L"half.log"));
  archive.Close();
}
