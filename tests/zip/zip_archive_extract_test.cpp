// zip_archive_extract_test.cpp: extracting and testing entries: where they
// may be written, what damage is caught, and what is left behind.
#include "zip/zip_archive.h"

#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/zip/zip_test_files.h"
#include "zip/zip_file_system.h"
#include "zip/zip_mem_file.h"

namespace {

bool IsEmptyFolder(const std::wstring& path) {
  return std::filesystem::is_empty(std::filesystem::path(path));
}

// Writes a crafted archive as a split one of `size`-byte volumes, its
// directory whole on the last; gives that volume's path.
std::wstring WriteSplit(const CZipTestFolder& folder, std::string bytes, uint32_t size) {
  size_t end = bytes.size() - 22;
  uint32_t directory = Get32At(bytes, end + 16);
  for (size_t record = directory; record < end; record += 46 + Get16At(bytes, record + 28)) {
    Put16At(bytes, record + 34, static_cast<uint16_t>(Get32At(bytes, record + 42) / size));
    Put32At(bytes, record + 42, Get32At(bytes, record + 42) % size);
  }
  uint16_t last = static_cast<uint16_t>(directory / size);
  Put32At(bytes, end + 4, last * 0x10001u);  // this volume, the directory's
  Put32At(bytes, end + 16, directory - last * size);
  for (uint16_t volume = 0; volume < last; ++volume) {
    WriteBytes(folder.File("split.z" + std::to_string(volume + 101).substr(1)), bytes.substr(volume * size, size));
  }
  WriteBytes(folder.File("split.zip"), bytes.substr(last * size));
  return folder.File("split.zip");
}

}  // namespace

// Whatever an entry is called, nothing is written outside the target: such
// names are refused before any folder or file is made, and the error says
// which name and why, as the archive itself may be sound.
TEST(CZipArchiveExtractTest, NamesLeadingOutOfTheFolderAreRefused) {
  const wchar_t kParent[] = L"it leads to a parent folder";
  const wchar_t kAbsolute[] = L"it is an absolute path";
  const wchar_t kDrive[] = L"it names a drive or a stream";
  const wchar_t kDevice[] = L"it names a device";
  const wchar_t kCharacter[] = L"it holds a character Windows does not allow in names";
  struct Case {
    std::wstring name;
    const wchar_t* reason;
    const wchar_t* shown;  // as the archive reads it back, when not as written
  } const kHostile[] = {
      {L"..\\evil.txt", kParent}, {L"a/../../evil.txt", kParent, L"a\\..\\..\\evil.txt"},
      {L"a\\..\\..\\evil.txt", kParent}, {L"/etc/evil.txt", kAbsolute, L"\\etc\\evil.txt"},
      {L"\\evil.txt", kAbsolute}, {L"C:\\evil.txt", kDrive}, {L"C:evil.txt", kDrive},
      {L"\\\\?\\C:\\evil.txt", kAbsolute}, {L"\\\\server\\share\\evil.txt", kAbsolute},
      {L"...\\evil.txt", kParent}, {L".. \\evil.txt", kParent}, {L"..", kParent}, {L"a/..", kParent, L"a\\.."},
      {L"CON", kDevice}, {L"aux.txt", kDevice}, {L"logs\\com1.log", kDevice}, {L"LPT9", kDevice},
      {L"nul .txt", kDevice}, {L"file.txt:stream", kDrive},
      {L"tab\there.txt", kCharacter, L"tab<U+0009>here.txt"},
      {std::wstring(L"a/\0/../b.txt", 12), kCharacter, L"a\\<U+0000>\\..\\b.txt"},
  };
  for (const Case& c : kHostile) {
    CZipTestFolder folder;
    CZipMemFile file;
    LoadBytes(file, BuildArchive({{c.name, "payload", -1}}));
    CZipArchive archive;
    archive.OpenFrom(file, CZipArchive::zipOpenReadOnly);
    EXPECT_EQ(101, ZipErrorOf([&] { archive.ExtractFile(0, folder.File("out\\in")); })) << c.name;
    try {
      archive.ExtractFile(0, folder.File("out"), false);
      ADD_FAILURE() << c.name;
    } catch (CZipException* raw) {
      std::unique_ptr<CZipException> error(raw);
      EXPECT_EQ(101, error->GetCode());
      EXPECT_EQ(std::wstring(L"Damaged or not a zip file (the name '") + (c.shown ? std::wstring(c.shown) : c.name) +
                    L"' is not extracted: " + c.reason + L")",
                error->GetErrorDescription());
    }
    EXPECT_TRUE(IsEmptyFolder(folder.File(""))) << c.name;
    archive.Close();
  }
}

TEST(CZipArchiveExtractTest, PlainNamesAreExtractedBelowTheFolder) {
  struct Case {
    const wchar_t* name;
    bool fullPath;
    const char* target;
  } const kCases[] = {
      {L"a/b/c/deep.txt", true, "out/a/b/c/deep.txt"},  // three new folders
      {L"a/b/c/deep.txt", false, "out/deep.txt"},
      {L"./dot.txt", true, "out/dot.txt"},
      {L"console.log", true, "out/console.log"},
      {L"a..b/.hidden", true, "out/a..b/.hidden"},
  };
  for (const Case& c : kCases) {
    CZipTestFolder folder;
    CZipMemFile file;
    LoadBytes(file, BuildArchive({{c.name, "payload", -1}}));
    CZipArchive archive;
    archive.OpenFrom(file, CZipArchive::zipOpenReadOnly);
    EXPECT_TRUE(archive.ExtractFile(0, folder.File("out\\"), c.fullPath)) << c.name;
    EXPECT_EQ("payload", ReadBytes(folder.File(c.target))) << c.name;
    archive.Close();
  }
}

// A damaged entry fails with its code and leaves no half-written file;
// ignoring the CRC extracts it as it is.
TEST(CZipArchiveExtractTest, DamagedDataFailsAndLeavesNoFile) {
  std::string bytes = BuildArchive({{L"stored.txt", "original data", 0}});
  bytes[30 + 10] = 'X';
  CZipTestFolder folder;
  CZipMemFile file;
  LoadBytes(file, bytes);
  CZipArchive archive;
  archive.OpenFrom(file, CZipArchive::zipOpenReadOnly);
  EXPECT_EQ(102, ZipErrorOf([&] { archive.ExtractFile(0, folder.File("out")); }));
  EXPECT_EQ(0, ZipFileSystem::PathExists(folder.File("out\\stored.txt")));
  EXPECT_EQ(102, ZipErrorOf([&] { archive.TestFile(0); }));
  archive.SetIgnoreCRC();
  EXPECT_TRUE(archive.ExtractFile(0, folder.File("out")));
  EXPECT_EQ("Xriginal data", ReadBytes(folder.File("out/stored.txt")));
  archive.Close();
}

// An abort before the entry's end is 105 and leaves no file; one after the
// last piece is 106 and keeps the whole file. Testing follows the same rule.
TEST(CZipArchiveExtractTest, CallbacksFollowAndAbortReading) {
  std::string text(10000, 't');
  struct Case {
    int abortAfter;
    int code;
    uint64_t progress;
  } const kCases[] = {{-1, 0, 10000}, {1, 105, 4096}, {3, 106, 10000}};
  for (const Case& c : kCases) {
    for (bool extract : {true, false}) {
      CZipTestFolder folder;
      CZipMemFile file;
      LoadBytes(file, BuildArchive({{L"logs\\big.log", text, 9}}));
      CZipArchive archive;
      archive.OpenFrom(file, CZipArchive::zipOpenReadOnly);
      CRecordingCallback callback(c.abortAfter);
      archive.SetCallback(&callback, extract ? CZipArchive::cbExtract : CZipArchive::cbTest);
      int code = ZipErrorOf([&] {
        if (extract) archive.ExtractFile(0, folder.File("out"), true, std::wstring(), 4096);
        else archive.TestFile(0, 4096);
      });
      EXPECT_EQ(c.code, code) << c.abortAfter << extract;
      EXPECT_EQ((std::vector<int>{extract ? 8 : 64}), callback.m_types);
      EXPECT_EQ(L"logs\\big.log", callback.m_name);
      EXPECT_EQ(10000u, callback.m_total);
      EXPECT_EQ(c.progress, callback.m_progress) << c.abortAfter << extract;
      EXPECT_EQ(1, callback.m_ends);
      if (extract) {
        EXPECT_EQ(c.code == 105 ? 0 : 1, ZipFileSystem::PathExists(folder.File("out\\logs\\big.log"))) << c.abortAfter;
      }
      EXPECT_FALSE(archive.ExtractFile(0, folder.File("other"), true, std::wstring(), 0));
      archive.Close();
    }
  }
}

TEST(CZipArchiveExtractTest, ReadsInAnyPieceSizeAndReportsAnEarlyClose) {
  std::string text;
  for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i * 31 % 977) + "\r\n";
  CZipMemFile file;
  LoadBytes(file, BuildArchive({{L"log.txt", text, 9}}));
  CZipArchive archive;
  archive.OpenFrom(file, CZipArchive::zipOpenReadOnly);
  for (uint32_t piece : {1u, 7u, 4096u, 1u << 20}) {
    ASSERT_TRUE(archive.OpenFile(0));
    std::string data;
    std::vector<char> buffer(piece);
    uint32_t read;
    while ((read = archive.ReadFile(buffer.data(), piece)) != 0) data.append(buffer.data(), read);
    EXPECT_EQ(1, archive.CloseFile()) << piece;
    EXPECT_EQ(text, data) << piece;
  }
  char some[100];
  ASSERT_TRUE(archive.OpenFile(0));
  EXPECT_EQ(0, archive.GetLocalExtraField(nullptr, 0));
  ASSERT_EQ(100u, archive.ReadFile(some, sizeof some));
  EXPECT_EQ(-1, archive.CloseFile());
  EXPECT_EQ(-1, archive.GetLocalExtraField(nullptr, 0));
  archive.Close();
}

// The 32-bit time of the i686 runtime ends in 2038; MS-DOS dates run on.
TEST(CZipArchiveExtractTest, ExtractedFilesTakeEntryTimesPast2038) {
  for (int year : {1999, 2037, 2050, 2107}) {
    struct tm local = {};
    local.tm_year = year - 1900;
    local.tm_mon = 5;
    local.tm_mday = 1;
    local.tm_hour = 12;
    local.tm_isdst = -1;
    int64_t when = ZipFileSystem::MakeLocalTime(&local);
    ASSERT_GT(when, 0) << year;
    CZipTestFolder folder;
    CZipMemFile file;
    CZipArchive archive;
    archive.OpenFrom(file, CZipArchive::zipCreate);
    CZipFileHeader header;
    header.SetFileName(L"dated.txt");
    header.SetTime(when);
    ASSERT_TRUE(archive.OpenNewFile(header));
    ASSERT_TRUE(archive.WriteNewFile("dated", 5));
    ASSERT_TRUE(archive.CloseNewFile());
    archive.Close();
    archive.OpenFrom(file, CZipArchive::zipOpenReadOnly);
    ASSERT_TRUE(archive.ExtractFile(0, folder.File("out")));
    archive.Close();
    int64_t stamped = 0;
    ASSERT_TRUE(ZipFileSystem::PathModTime(folder.File("out\\dated.txt"), &stamped)) << year;
    EXPECT_EQ(when, stamped) << year;
  }
}

TEST(CZipArchiveExtractTest, DirectoryEntriesWithDataFailTheTest) {
  CZipTestFolder folder;
  std::filesystem::create_directories(std::filesystem::path(folder.File("dir")));
  CZipMemFile file;
  {
    CZipArchive archive;
    archive.OpenFrom(file, CZipArchive::zipCreate);
    ASSERT_TRUE(archive.AddFile(folder.File("dir"), -1, false));
    archive.Close();
  }
  std::string bytes = MemBytes(file);
  size_t central = Get32At(bytes, bytes.size() - 6);
  for (uint32_t compressed : {0u, 5u}) {
    Put32At(bytes, central + 20, compressed);
    LoadBytes(file, bytes);
    CZipArchive archive;
    archive.OpenFrom(file, CZipArchive::zipOpenReadOnly);
    EXPECT_EQ(compressed == 0 ? 0 : 111, ZipErrorOf([&] { archive.TestFile(0); })) << compressed;
    EXPECT_TRUE(archive.ExtractFile(0, folder.File("out")));
    EXPECT_EQ(-1, ZipFileSystem::PathExists(folder.File("out\\dir")));
    archive.Close();
  }
}

// Records sharing bytes are the classic archive bomb: each entry may use
// only the bytes up to the next local header (the directory after the
// last), as Info-ZIP's unzip and Python's zipfile require.
TEST(CZipArchiveExtractTest, EntriesRunningIntoTheNextAreRefused) {
  std::string inner = LocalRecord("c", "kernel");
  std::string middle = LocalRecord("b", inner);
  std::string gap = LocalRecord("a", "one") + "junk" + LocalRecord("b", "two");
  // Stored as "hello" and the directory's first six bytes, which it reads on into.
  std::string intoDirectory = LocalRecord("a", std::string("helloPK\x01\x02\x14\x00", 11)).substr(0, 31 + 5);
  struct Case {
    const char* what;
    std::string bytes;
    int openCode;
    std::vector<int> codes;
  } const kCases[] = {
      {"a's data holds b's whole record", CraftArchive(LocalRecord("a", LocalRecord("b", "kernel")),
                                                      {{"a", LocalRecord("b", "kernel"), 0, 0}, {"b", "kernel", 31, 0}}),
       0, {101, 0}},
      {"a chain, each holding the rest", CraftArchive(LocalRecord("a", middle),
                                                       {{"a", middle, 0, 0}, {"b", inner, 31, 0}, {"c", "kernel", 62, 0}}),
       0, {101, 101, 0}},
      {"the last entry reads into the directory",
       CraftArchive(intoDirectory, {{"a", std::string("helloPK\x01\x02\x14\x00", 11), 0, 0}}), 0, {101}},
      {"two records at one offset, on volumes a single file does not have",
       CraftArchive(LocalRecord("a", "kernel"), {{"a", "kernel", 0, 0}, {"b", "kernel", 0, 1}}), 101, {}},
      {"unused bytes between entries", CraftArchive(gap, {{"a", "one", 0, 0}, {"b", "two", 34 + 4, 0}}), 0, {0, 0}},
  };
  // Each case once in one file, then split into volumes of 20 bytes over
  // which the entries run on.
  for (size_t k = 0; k < 2 * std::size(kCases); ++k) {
    const Case& c = kCases[k / 2];
    uint32_t volume = k % 2 * 20;
    SCOPED_TRACE(volume);
    CZipTestFolder folder;
    CZipMemFile file;
    LoadBytes(file, c.bytes);
    CZipArchive archive;
    int openCode = ZipErrorOf([&] {
      if (volume == 0) archive.OpenFrom(file, CZipArchive::zipOpenReadOnly);
      else archive.Open(WriteSplit(folder, c.bytes, volume), CZipArchive::zipOpenReadOnly);
    });
    EXPECT_EQ(c.openCode, openCode) << c.what;
    if (openCode != 0) continue;
    ASSERT_EQ(c.codes.size(), static_cast<size_t>(archive.GetCount())) << c.what;
    for (int i = 0; i < archive.GetCount(); ++i) {
      CZipMemFile out;
      EXPECT_EQ(c.codes[i], ZipErrorOf([&] { archive.ExtractFileTo(i, out); })) << c.what << " " << i;
      EXPECT_EQ(c.codes[i], ZipErrorOf([&] { archive.TestFile(i); })) << c.what << " " << i;
    }
    archive.Close();
  }
}
