// zip_archive_copy_test.cpp: copying entries between archives, replacing
// entries in place, and trial compression that stores what deflate grows.
#include "zip/zip_archive.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "gtest/gtest.h"
#include "tests/zip/zip_test_files.h"
#include "zip/zip_mem_file.h"

namespace {

using CContents = std::vector<std::pair<std::wstring, std::string>>;

std::string Noise(size_t size) {
  std::string data(size, '\0');
  uint32_t state = 99;
  for (char& c : data) {
    state = state * 1664525 + 1013904223;
    c = static_cast<char>(state >> 24);
  }
  return data;
}

const std::vector<CZipTestEntry> kEntries = {
    {L"first.log", std::string(3000, 'a'), 6},
    {L"second.log", "second entry", 0},
    {L"third.log", std::string(5000, 'c'), 9},
};

}  // namespace

TEST(CZipArchiveCopyTest, ReplacingKeepsEveryOtherEntry) {
  struct Case {
    int replaceIndex;
    std::string data;
    int smartness;
    bool replaced;
    int at;
  } const kCases[] = {
      {0, std::string(40000, 'x'), 7, true, 0},       // longer: the rest moves up
      {1, "", 7, true, 1},                            // shorter: the rest moves down
      {2, "new last", 7 | 16, true, 2},               // the last is removed and appended
      {-2, "found by name", 7 | 16, true, 1},
      {7, "no such entry", 7, false, -1},
  };
  for (const Case& c : kCases) {
    CZipTestFolder folder;
    CZipMemFile file;
    LoadBytes(file, BuildArchive(kEntries));
    CZipArchive archive;
    archive.OpenFrom(file, CZipArchive::zipOpen);
    archive.SetTempPath(folder.File(""));
    CZipMemFile source;
    source.Write(c.data.data(), static_cast<uint32_t>(c.data.size()));
    CZipAddFileRequest request;
    request.stream = &source;
    request.fileNameInZip = c.replaceIndex == -2 ? L"second.log" : L"new.log";
    request.smartness = c.smartness;
    request.replaceIndex = c.replaceIndex;
    EXPECT_EQ(c.replaced, archive.AddFileRequest(request)) << c.replaceIndex;
    archive.Close();
    CContents expected;
    for (const CZipTestEntry& entry : kEntries) expected.emplace_back(entry.name, entry.data);
    if (c.at >= 0) expected[c.at] = {request.fileNameInZip, c.data};
    EXPECT_EQ(expected, ContentsOfBytes(MemBytes(file))) << c.replaceIndex;
    // The temporary archive is gone, whichever way the add went.
    EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(folder.File("")))) << c.replaceIndex;
  }
}

TEST(CZipArchiveCopyTest, TrialCompressionStoresWhatDeflateWouldGrow) {
  struct Case {
    std::string data;
    int smartness;
    uint16_t method;
  } const kCases[] = {
      {Noise(20000), 7, 8}, {Noise(20000), 15, 0}, {std::string(20000, 'z'), 15, 8}, {Noise(20000), 15 | 16, 0},
  };
  for (const wchar_t* password : {L"", L"pw"}) {
    for (const Case& c : kCases) {
      CZipMemFile file;
      CZipArchive archive;
      archive.OpenFrom(file, CZipArchive::zipCreate);
      archive.SetPassword(password);
      CZipMemFile source;
      source.Write(c.data.data(), static_cast<uint32_t>(c.data.size()));
      ASSERT_TRUE(archive.AddFileFromStream(source, L"data.bin", 9, c.smartness));
      CZipFileHeader header;
      archive.GetFileInfo(header, 0);
      EXPECT_EQ(c.method, header.m_method) << c.smartness;
      EXPECT_EQ(1, archive.GetCount());
      archive.Close();
      EXPECT_EQ((CContents{{L"data.bin", c.data}}), ContentsOfBytes(MemBytes(file), password));
    }
  }
}

TEST(CZipArchiveCopyTest, CopiedEntriesKeepTheirBytesAndEncryption) {
  std::string sourceBytes = BuildArchive(kEntries, L"pw");
  CZipMemFile sourceFile;
  LoadBytes(sourceFile, sourceBytes);
  CZipArchive source;
  source.OpenFrom(sourceFile, CZipArchive::zipOpenReadOnly);
  CZipMemFile file;
  LoadBytes(file, BuildArchive({{L"own.txt", "own", 0}}));
  CZipArchive archive;
  archive.OpenFrom(file, CZipArchive::zipOpen);
  // An aborted copy leaves no entry behind.
  CRecordingCallback abort(1);
  archive.SetCallback(&abort, CZipArchive::cbGetFromArchive);
  EXPECT_EQ(105, ZipErrorOf([&] { archive.GetFromArchives(source, {1}); }));
  EXPECT_EQ(1, archive.GetCount());
  CRecordingCallback follow;
  archive.SetCallback(&follow, CZipArchive::cbGetFromArchive);
  EXPECT_TRUE(archive.GetFromArchives(source, {2, 0}));
  EXPECT_EQ((std::vector<int>{256, 256}), follow.m_types);
  EXPECT_EQ(L"third.log", follow.m_name);
  archive.Close();
  source.Close();
  CContents expected = {{L"own.txt", "own"}, {L"first.log", kEntries[0].data}, {L"third.log", kEntries[2].data}};
  // The copies decrypt with the source's password, as they were written.
  CZipMemFile copy;
  LoadBytes(copy, MemBytes(file));
  CZipArchive check;
  check.OpenFrom(copy, CZipArchive::zipOpenReadOnly);
  check.SetPassword(L"pw");
  EXPECT_EQ(expected, ContentsOf(check));
  check.Close();
}

// A source whose sizes or offsets don't fit its data is refused before a
// byte is written to the target.
TEST(CZipArchiveCopyTest, CraftedSourcesAreRefusedUntouched) {
  std::string bytes = BuildArchive(kEntries);
  size_t central = Get32At(bytes, bytes.size() - 6);
  for (uint32_t size : {0x7FFFFFFFu, 0xFFFFFFF0u, 3001u + 100u}) {
    std::string crafted = bytes;
    Put32At(crafted, central + 20, size);
    CZipMemFile sourceFile;
    LoadBytes(sourceFile, crafted);
    CZipArchive source;
    source.OpenFrom(sourceFile, CZipArchive::zipOpenReadOnly);
    std::string target = BuildArchive({{L"own.txt", "own", 0}});
    CZipMemFile file;
    LoadBytes(file, target);
    CZipArchive archive;
    archive.OpenFrom(file, CZipArchive::zipOpen);
    EXPECT_EQ(101, ZipErrorOf([&] { archive.GetFromArchive(source, 0); })) << size;
    archive.Close(CZipArchive::afterExceptionNoWrite);
    source.Close();
    EXPECT_EQ(target, MemBytes(file)) << size;
  }
}
