// zip_archive_test.cpp: creating archives, appending to them, the names
// files get, and how failures leave the archive.
#include "zip/zip_archive.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "gtest/gtest.h"
#include "tests/zip/zip_test_files.h"
#include "zip/zip_file_system.h"
#include "zip/zip_mem_file.h"

namespace {

std::string ReadEntry(CZipArchive& archive, int index) {
  EXPECT_TRUE(archive.OpenFile(index));
  std::string data;
  char buffer[1000];
  uint32_t read;
  while ((read = archive.ReadFile(buffer, sizeof buffer)) != 0) data.append(buffer, read);
  EXPECT_EQ(1, archive.CloseFile());
  return data;
}

struct CEntry {
  std::string rawName;
  std::string data;
  uint16_t method;
};

std::vector<CEntry> EntriesOf(const std::wstring& path) {
  CZipArchive archive;
  archive.Open(path, CZipArchive::zipOpenReadOnly);
  std::vector<CEntry> entries;
  for (int i = 0; i < archive.GetCount(); ++i) {
    CZipFileHeader header;
    archive.GetFileInfo(header, i);
    entries.push_back({header.GetRawFileName(), ReadEntry(archive, i), header.m_method});
  }
  archive.Close();
  return entries;
}

// Positions shifted by almost 4 GiB, so the archive's 32-bit limits are
// reached with a few bytes of memory.
class CFarFile : public CZipMemFile {
 public:
  static constexpr uint64_t kBias = 0xFFFFFFFFull - 3000;
  uint64_t GetPosition() const override { return CZipMemFile::GetPosition() + kBias; }
  uint64_t GetLength() const override { return CZipMemFile::GetLength() + kBias; }
  uint64_t Seek(int64_t offset, int origin) override {
    if (origin == begin) offset -= static_cast<int64_t>(kBias);
    if (origin == end) return CZipMemFile::Seek(offset, end) + kBias;
    return CZipMemFile::Seek(offset, origin) + kBias;
  }
  void SetLength(uint64_t length) override { CZipMemFile::SetLength(length < kBias ? 0 : length - kBias); }
};

}  // namespace

TEST(CZipArchiveTest, SmallFilesAreStoredByTheSafeSmartness) {
  struct Case {
    std::string data;
    int level, smartness;
    uint16_t method, flags;
    uint32_t crc;
  } const kCases[] = {
      {"", -1, 7, 0, 0, 0},
      {"abcd", -1, 7, 0, 0, 0xED82CD11},
      {"abcd", -1, 1, 8, 0, 0xED82CD11},
      {"abcde", -1, 7, 8, 0, 0x8587D865},
      {"abcde", 12, 7, 8, 0, 0x8587D865},  // out of range: zlib's default
      {"abcde", 9, 7, 8, 2, 0x8587D865},
  };
  for (const Case& c : kCases) {
    CZipMemFile file;
    CZipArchive archive;
    archive.OpenFrom(file, CZipArchive::zipCreate);
    CZipMemFile source;
    source.Write(c.data.data(), static_cast<uint32_t>(c.data.size()));
    ASSERT_TRUE(archive.AddFileFromStream(source, L"entry", c.level, c.smartness));
    CZipFileHeader header;
    archive.GetFileInfo(header, 0);
    EXPECT_EQ(c.method, header.m_method) << c.data << " smartness " << c.smartness;
    EXPECT_EQ(c.flags, header.m_flag);
    EXPECT_EQ(c.crc, header.m_crc32);
    EXPECT_EQ(0x81B40020u, header.m_externalAttr);
    EXPECT_EQ(c.data, ReadEntry(archive, 0));
    archive.Close();
  }
}

TEST(CZipArchiveTest, AppendingKeepsEarlierEntriesByteForByte) {
  CZipTestFolder folder;
  std::wstring path = folder.File("logs.zip");
  std::string big;
  for (int i = 0; i < 5000; ++i) big += "line " + std::to_string(i * 7919 % 1000) + " of the setup log\r\n";
  WriteBytes(folder.File("setup.log"), big);
  WriteBytes(folder.File("cafe.log"), "caf\xc3\xa9");
  {
    CZipArchive archive;
    archive.Open(path, CZipArchive::zipCreate);
    ASSERT_TRUE(archive.AddFile(folder.File("setup.log"), -1, false));
    // A name written by a tool that stores UTF-8 without saying so: not ours
    // to convert, so it must come back as the same bytes.
    CZipFileHeader foreign;
    foreign.SetRawFileName("\xc3\xa9t\xc3\xa9.txt");
    ASSERT_TRUE(archive.OpenNewFile(foreign));
    ASSERT_TRUE(archive.WriteNewFile("summer", 6));
    ASSERT_TRUE(archive.CloseNewFile());
    archive.Close();
  }
  std::vector<CEntry> before = EntriesOf(path);
  std::string oldBytes = ReadBytes(path);
  uint32_t oldDirectory = Get32At(oldBytes, oldBytes.size() - 6);
  {
    CZipArchive archive;
    archive.Open(path, CZipArchive::zipOpen);
    ASSERT_TRUE(archive.AddFileAs(folder.File("cafe.log"), L"caf\u00e9.log"));
    archive.Close();
  }
  std::vector<CEntry> after = EntriesOf(path);
  ASSERT_EQ(3u, after.size());
  for (size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(before[i].rawName, after[i].rawName);
    EXPECT_EQ(before[i].data, after[i].data);
  }
  EXPECT_EQ(big, after[0].data);
  EXPECT_EQ(ZipFileSystem::AnsiToOemBytes(ZipFileSystem::WideToAnsi(L"caf\u00e9.log")), after[2].rawName);
  std::string newBytes = ReadBytes(path);
  EXPECT_EQ(oldBytes.substr(0, oldDirectory), newBytes.substr(0, oldDirectory));
}

TEST(CZipArchiveTest, OpeningAndClosingWithoutAddingRewritesNothing) {
  CZipTestFolder folder;
  std::wstring path = folder.File("a.zip");
  WriteBytes(folder.File("a.txt"), "some text");
  CZipArchive archive;
  archive.Open(path, CZipArchive::zipCreate);
  archive.AddFile(folder.File("a.txt"), -1, false);
  archive.Close();
  std::string bytes = ReadBytes(path) + "trailing";
  WriteBytes(path, bytes);
  archive.Open(path, CZipArchive::zipOpen);
  archive.Close();
  EXPECT_EQ(bytes, ReadBytes(path));
}

TEST(CZipArchiveTest, FailedOpenLeavesTheArchiveClosed) {
  CZipTestFolder folder;
  WriteBytes(folder.File("not.zip"), "not an archive at all");
  CZipArchive archive;
  EXPECT_EQ(2, ZipErrorOf([&] { archive.Open(folder.File("missing.zip"), CZipArchive::zipOpen); }));
  EXPECT_EQ(116, ZipErrorOf([&] { archive.Open(folder.File("not.zip"), CZipArchive::zipOpen); }));
  EXPECT_TRUE(archive.IsClosed());
  archive.Open(folder.File("new.zip"), CZipArchive::zipCreate);
  EXPECT_FALSE(archive.AddFile(folder.File("missing.log")));
  archive.Close();
  EXPECT_EQ("PK\x05\x06", ReadBytes(folder.File("new.zip")).substr(0, 4));
}

// Closing after an exception with the directory written drops the entry
// that was being written instead of listing it with its sizes unset.
TEST(CZipArchiveTest, CloseAfterExceptionDropsTheUnfinishedEntry) {
  CZipMemFile file;
  CZipArchive archive;
  archive.OpenFrom(file, CZipArchive::zipCreate);
  CZipMemFile source;
  source.Write("complete entry", 14);
  archive.AddFileFromStream(source, L"done.txt");
  uint64_t lengthAfterFirst = file.GetLength();
  CZipFileHeader header;
  header.SetFileName(L"half.txt");
  ASSERT_TRUE(archive.OpenNewFile(header, 0));
  archive.WriteNewFile(std::string(100000, 'h').data(), 100000);
  archive.Close(CZipArchive::afterExceptionWrite);
  archive.OpenFrom(file, CZipArchive::zipOpenReadOnly);
  ASSERT_EQ(1, archive.GetCount());
  EXPECT_EQ("complete entry", ReadEntry(archive, 0));
  EXPECT_EQ(lengthAfterFirst, archive.GetCentralDirInfo().offset);
  archive.Close();
}

TEST(CZipArchiveTest, EntriesPastFourGibibytesAreRefused) {
  CFarFile file;
  CZipArchive archive;
  archive.OpenFrom(file, CZipArchive::zipCreate);
  CZipMemFile small;
  small.Write("fits", 4);
  ASSERT_TRUE(archive.AddFileFromStream(small, L"small.txt"));
  CZipMemFile large;
  std::string data(5000, 'x');
  large.Write(data.data(), static_cast<uint32_t>(data.size()));
  EXPECT_EQ(27, ZipErrorOf([&] { archive.AddFileFromStream(large, L"large.txt", 0); }));
  EXPECT_EQ(1, archive.GetCount());
  archive.Close();
  // The directory lists the entry that fitted and starts right after it.
  std::string bytes = MemBytes(file);
  ASSERT_EQ(30u + 9 + 4 + 46 + 9 + 22, bytes.size());
  EXPECT_EQ(1, Get16At(bytes, bytes.size() - 12));
  EXPECT_EQ(CFarFile::kBias + 43, Get32At(bytes, bytes.size() - 6));
}

TEST(CZipArchiveTest, TheEntryAfterTheLastCountableOneIsRefused) {
  CZipMemFile file;
  CZipArchive archive;
  archive.OpenFrom(file, CZipArchive::zipCreate);
  for (int i = 0; i < 65535; ++i) {
    CZipFileHeader header;
    ASSERT_TRUE(archive.OpenNewFile(header, 0));
    archive.CloseNewFile();
  }
  CZipFileHeader header;
  EXPECT_FALSE(archive.OpenNewFile(header, 0));
  archive.Close();
  archive.OpenFrom(file, CZipArchive::zipOpenReadOnly);
  EXPECT_EQ(65535, archive.GetCount());
  CZipFileHeader last;
  archive.GetFileInfo(last, 65534);
  EXPECT_EQ(L"file65534", last.GetFileName());
  archive.Close();
}

TEST(CZipArchiveTest, NamesComeFromTheFullPathOrTheRoot) {
  struct Case {
    const wchar_t* root;
    const wchar_t* path;
    bool fullPath;
    const wchar_t* name;
  } const kCases[] = {
      {L"", L"C:\\logs\\setup.log", true, L"logs\\setup.log"},
      {L"", L"C:\\logs\\setup.log", false, L"setup.log"},
      {L"C:\\Logs\\", L"c:\\logs\\a\\b\\product.log", false, L"a\\b\\product.log"},
      {L"C:\\log", L"C:\\logs\\setup.log", false, L"setup.log"},
      {L"C:\\logs", L"C:\\logs", false, L""},
      {L"", L"\\\\server\\share\\x.log", true, L"server\\share\\x.log"},
      {L"", L"C:\\logs\\setup.log\\", false, L"setup.log"},
      // Relative paths keep no part that leads up, nor a drive.
      {L"", L"..\\..\\one.txt", true, L"one.txt"},
      {L"", L"../logs/./a/../../b/one.txt", true, L"b\\one.txt"},
      {L"", L"C:..\\.. \\one.txt", true, L"one.txt"},
      {L"", L"\\\\.\\C:\\logs\\one.txt", true, L"logs\\one.txt"},
      {L"C:\\logs", L"C:\\logs\\..\\one.txt", false, L"one.txt"},
  };
  CZipMemFile file;
  CZipArchive archive;
  archive.OpenFrom(file, CZipArchive::zipCreate);
  for (const Case& c : kCases) {
    archive.SetRootPath(c.root);
    EXPECT_EQ(c.name, archive.PredictFileNameInZip(c.path, c.fullPath)) << c.path;
  }
  archive.Close();
}

// The archives have no UTF-8 names: one the code page can't hold is refused
// before anything is written, rather than stored as '?' and lost.
TEST(CZipArchiveTest, NamesTheCodePageCannotHoldAreRefused) {
  if (ZipFileSystem::AnsiToOemBytes("\xe9") != "\x82") {
    GTEST_SKIP() << "expects the western code pages (ANSI 1252, OEM 437): pin LANG=C.UTF-8 for Wine";
  }
  struct Case {
    const wchar_t* name;
    int code;
  } const kCases[] = {
      {L"caf\u00e9.log", 0},
      {L"\u20ac.log", 22},
      {L"\u65e5\u672c\\\u8a18\u9332.log", 22},
  };
  std::string original = BuildArchive({{L"first.log", "first", 0}});
  for (const Case& c : kCases) {
    CZipMemFile file;
    LoadBytes(file, original);
    CZipArchive archive;
    archive.OpenFrom(file, CZipArchive::zipOpen);
    EXPECT_EQ(c.code, ZipErrorOf([&] { archive.RenameFile(0, c.name); })) << c.code;
    archive.Close(c.code == 0 ? CZipArchive::afterExceptionNone : CZipArchive::afterExceptionNoWrite);
    if (c.code != 0) EXPECT_EQ(original, MemBytes(file));

    LoadBytes(file, original);
    archive.OpenFrom(file, CZipArchive::zipOpen);
    CZipMemFile source;
    source.Write("second", 6);
    std::wstring description;
    try {
      archive.AddFileFromStream(source, c.name);
    } catch (CZipException* raw) {
      std::unique_ptr<CZipException> error(raw);
      EXPECT_EQ(c.code, error->GetCode());
      description = error->GetErrorDescription();
    }
    EXPECT_EQ(c.code == 0 ? 2 : 1, archive.GetCount());
    archive.Close();
    if (c.code != 0) {
      EXPECT_EQ(std::wstring(L"Invalid argument (the name '") + c.name +
                    L"' holds characters the archive's code page cannot store)",
                description);
      EXPECT_EQ(original, MemBytes(file));
    } else {
      EXPECT_EQ((std::vector<std::pair<std::wstring, std::string>>{{L"first.log", "first"}, {c.name, "second"}}),
                ContentsOfBytes(MemBytes(file)));
    }
  }
}

// A name means what its flag says: UTF-8 under bit 11, else code-page bytes.
// A rename writes as the flag says; a copy into a Unix archive keeps UTF-8,
// turns a code-page name into UTF-8 (no Unix reader takes code-page bytes
// as meant), and refuses an OEM name the ANSI page can't hold rather than
// store '?'.
TEST(CZipArchiveTest, NamesStayWhatTheirFlagSaysWhenRenamedOrCopied) {
  if (ZipFileSystem::AnsiToOemBytes("\xe9") != "\x82") {
    GTEST_SKIP() << "expects the western code pages (ANSI 1252, OEM 437): pin LANG=C.UTF-8 for Wine";
  }
  std::string source = CraftArchive(  // the first as zipfile writes it on Windows
      LocalRecord("\xce\xa3", "u", 0x800) + LocalRecord("\xe4", "o") + LocalRecord("\x82", "e"),
      {{"\xce\xa3", "u", 0, 0, 0x800}, {"\xe4", "o", 33, 0}, {"\x82", "e", 65, 0}});
  struct Case {
    int entry;
    const wchar_t* rename;  // else copied
    const char* raw;        // none: refused with 22
  } const kCases[] = {{0, L"caf\u00e9", "caf\xc3\xa9"}, {0, L"\u03a9", "\xce\xa9"},
                      {0, nullptr, "\xce\xa3"},        {1, nullptr, nullptr}, {2, nullptr, "\xc3\xa9"}};
  for (const Case& c : kCases) {
    CZipMemFile sourceFile;
    CZipMemFile file;
    LoadBytes(sourceFile, source);
    LoadBytes(file, BuildArchive({{L"own.txt", "own", 0}}));
    CZipArchive from;
    CZipArchive archive;
    from.OpenFrom(sourceFile, c.rename != nullptr ? CZipArchive::zipOpen : CZipArchive::zipOpenReadOnly);
    archive.OpenFrom(file, CZipArchive::zipOpen);
    archive.SetSystemCompatibility(3);
    int code =
        ZipErrorOf([&] { c.rename ? from.RenameFile(c.entry, c.rename) : archive.GetFromArchive(from, c.entry); });
    archive.Close(code == 0 ? CZipArchive::afterExceptionNone : CZipArchive::afterExceptionNoWrite);
    from.Close();
    ASSERT_EQ(c.raw != nullptr ? 0 : 22, code) << c.entry;
    archive.OpenFrom(c.rename != nullptr ? sourceFile : file, CZipArchive::zipOpenReadOnly);
    CZipFileHeader header;
    archive.GetFileInfo(header, c.rename != nullptr ? c.entry : archive.GetCount() - 1);
    archive.Close();
    EXPECT_EQ(c.raw != nullptr ? c.raw : "own.txt", header.GetRawFileName()) << c.entry;
    EXPECT_EQ(c.raw != nullptr ? 0x800 : 0, header.m_flag & 0x800) << c.entry;
  }
}
