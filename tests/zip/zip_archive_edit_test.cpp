// zip_archive_edit_test.cpp: deleting and renaming entries in place keeps
// every other entry whole, and crafted offsets are refused untouched.
#include "zip/zip_archive.h"

#include <string>
#include <utility>
#include <vector>

#include "gtest/gtest.h"
#include "tests/zip/zip_test_files.h"
#include "zip/zip_mem_file.h"

namespace {

using CContents = std::vector<std::pair<std::wstring, std::string>>;

const std::vector<CZipTestEntry> kEntries = {
    {L"first.log", std::string(3000, 'a') + "end", 6},
    {L"second.log", "second entry, stored", 0},
    {L"logs\\third.log", std::string(5000, 'c'), 9},
};

CContents Expected(const std::vector<int>& kept) {
  CContents contents;
  for (int i : kept) contents.emplace_back(kEntries[i].name, kEntries[i].data);
  return contents;
}

uint32_t OffsetOf(CZipArchive& archive, int index) {
  CZipFileHeader header;
  archive.GetFileInfo(header, index);
  return header.m_offset;
}

}  // namespace

TEST(CZipArchiveEditTest, DeletingKeepsTheOtherEntriesWhole) {
  struct Case {
    std::vector<int> deleted;
    std::vector<int> kept;
  } const kCases[] = {
      {{1}, {0, 2}}, {{2, 0}, {1}}, {{0, 0}, {1, 2}}, {{2}, {0, 1}},
      {{0, 1, 2}, {}}, {{5, -1}, {0, 1, 2}}, {{}, {0, 1, 2}},
  };
  for (const Case& c : kCases) {
    CZipMemFile file;
    LoadBytes(file, BuildArchive(kEntries));
    CZipArchive archive;
    archive.OpenFrom(file, CZipArchive::zipOpen);
    std::vector<uint32_t> offsets = {OffsetOf(archive, 0), OffsetOf(archive, 1), OffsetOf(archive, 2)};
    archive.DeleteFiles(c.deleted);
    ASSERT_EQ(c.kept.size(), static_cast<size_t>(archive.GetCount()));
    // The third entry moves down by exactly what was removed in front of it.
    if (c.deleted == std::vector<int>{1}) {
      EXPECT_EQ(offsets[1], OffsetOf(archive, 1));
    }
    archive.Close();
    if (c.kept.empty()) {
      EXPECT_EQ(22u, file.GetLength());
    }
    archive.OpenFrom(file, CZipArchive::zipOpenReadOnly);
    EXPECT_EQ(Expected(c.kept), ContentsOf(archive));
    for (int i = 0; i < archive.GetCount(); ++i) EXPECT_EQ(i, archive.FindFile(kEntries[c.kept[i]].name));
    archive.Close();
  }
}

TEST(CZipArchiveEditTest, RenamingMovesLaterEntriesByTheLengthDifference) {
  struct Case {
    int index;
    const wchar_t* name;
    bool renamed;
    const wchar_t* stored;
  } const kCases[] = {
      {0, L"first.log.bak", true, L"first.log.bak"},
      {1, L"2.log", true, L"2.log"},
      {2, L"logs\\THIRD.LOG", true, L"logs\\THIRD.LOG"},  // letter case alone
      {0, L"first.log", true, L"first.log"},
      {1, L"", false, L"second.log"},
      {2, L"new\\third.log\\", true, L"new\\third.log"},
  };
  for (const Case& c : kCases) {
    CZipMemFile file;
    LoadBytes(file, BuildArchive(kEntries));
    CZipArchive archive;
    archive.OpenFrom(file, CZipArchive::zipOpen);
    std::vector<uint32_t> offsets = {OffsetOf(archive, 0), OffsetOf(archive, 1), OffsetOf(archive, 2)};
    EXPECT_EQ(c.renamed, archive.RenameFile(c.index, c.name)) << c.name;
    int difference = static_cast<int>(wcslen(c.stored)) - static_cast<int>(kEntries[c.index].name.size());
    for (int i = c.index + 1; i < 3; ++i) EXPECT_EQ(offsets[i] + difference, OffsetOf(archive, i)) << c.name;
    EXPECT_EQ(c.index, archive.FindFile(c.stored, 1)) << c.name;
    archive.Close();
    archive.OpenFrom(file, CZipArchive::zipOpenReadOnly);
    CContents expected = Expected({0, 1, 2});
    expected[c.index].first = c.stored;
    EXPECT_EQ(expected, ContentsOf(archive)) << c.name;
    archive.Close();
  }
}

// Deleting counts the entries first, where an abort changes nothing, then
// reports the bytes it moves; renaming reports its moves too.
TEST(CZipArchiveEditTest, CallbacksFollowDeletingAndRenaming) {
  std::vector<CZipTestEntry> many;
  for (int i = 0; i < 600; ++i) many.push_back({L"e" + std::to_wstring(i), std::string(10, 'x'), 0});
  std::string bytes = BuildArchive(many);
  for (int abortAfter : {-1, 2}) {
    CZipMemFile file;
    LoadBytes(file, bytes);
    CZipArchive archive;
    archive.OpenFrom(file, CZipArchive::zipOpen);
    CRecordingCallback callback(abortAfter);
    archive.SetCallback(&callback);
    uint32_t second = 0;
    CZipFileHeader header;
    archive.GetFileInfo(header, 1);
    second = header.m_offset;
    int code = ZipErrorOf([&] { archive.DeleteFile(0); });
    if (abortAfter > 0) {
      EXPECT_EQ(106, code);
      EXPECT_EQ((std::vector<int>{16}), callback.m_types);
      archive.Close(CZipArchive::afterExceptionNoWrite);
      EXPECT_EQ(bytes, MemBytes(file));
      continue;
    }
    EXPECT_EQ(0, code);
    EXPECT_EQ((std::vector<int>{16, 32}), callback.m_types);
    uint64_t moved = Get32At(bytes, bytes.size() - 6) - second;
    EXPECT_EQ(moved, callback.m_total);
    EXPECT_EQ(moved + 512, callback.m_progress);  // two counts of 256 entries, then the bytes
    EXPECT_TRUE(archive.RenameFile(0, L"e1 renamed"));
    EXPECT_EQ(512, callback.m_types.back());
    EXPECT_EQ(L"e1 renamed", callback.m_path);
    archive.Close();
    EXPECT_EQ(599, static_cast<int>(ContentsOfBytes(MemBytes(file)).size()));
  }
}

// Offsets and sizes that overlap or leave the data are refused before a
// single byte of the archive changes, whichever entry is edited: deleting,
// renaming or replacing one that lies inside another would overwrite it.
TEST(CZipArchiveEditTest, CraftedPlacesAreRefusedBeforeAnyByteMoves) {
  std::string bytes = BuildArchive(kEntries);
  size_t central = Get32At(bytes, bytes.size() - 6);
  size_t secondCentral = central + 46 + 9;
  size_t thirdCentral = secondCentral + 46 + 10;
  auto patched = [&](size_t field, uint32_t value) {
    std::string crafted = bytes;
    Put32At(crafted, field, value);
    return crafted;
  };
  // b's local header stored as a's data, and one starting in a's last three
  // bytes: each record is well formed, yet a's bytes reach into b's.
  std::string quoted = LocalRecord("b.txt", "hello");
  std::string nested = CraftArchive(LocalRecord("a.txt", quoted) + LocalRecord("c.txt", "ccc"),
                                    {{"a.txt", quoted, 0, 0}, {"b.txt", "hello", 35, 0}, {"c.txt", "ccc", 75, 0}});
  std::string tail = "xx" + quoted.substr(0, 3);
  std::string straddling = CraftArchive(LocalRecord("a.txt", tail).substr(0, 37) + quoted,
                                        {{"a.txt", tail, 0, 0}, {"b.txt", "hello", 37, 0}});
  struct Case {
    const char* what;
    std::string crafted;
    int edited;
  } const kCases[] = {
      {"first entry's data runs into the second", patched(central + 20, 0x7FFFFFFF), 0},
      {"second entry's size runs past the directory", patched(secondCentral + 20, 0xFFFFFFF0), 0},
      {"third entry starts inside the second's data", patched(thirdCentral + 42, Get32At(bytes, secondCentral + 42) + 31), 0},
      {"third entry starts just before the directory", patched(thirdCentral + 42, static_cast<uint32_t>(central - 10)), 0},
      {"second entry's record points into the first's data", patched(secondCentral + 42, 30 + 9 + 10), 1},
      {"first entry's data runs over the second, the third edited", patched(central + 20, 0x7FFFFFFF), 2},
      {"second entry's local header lies inside the first's data", nested, 1},
      {"last entry's local header starts in the first's last bytes", straddling, 1},
  };
  CZipMemFile sourceFile;
  LoadBytes(sourceFile, BuildArchive({{L"new.txt", "replacement", 0}}));
  CZipArchive source;
  source.OpenFrom(sourceFile, CZipArchive::zipOpenReadOnly);
  for (const Case& c : kCases) {
    for (int operation = 0; operation < 3; ++operation) {
      CZipMemFile file;
      LoadBytes(file, c.crafted);
      CZipArchive archive;
      archive.OpenFrom(file, CZipArchive::zipOpen);
      int code = ZipErrorOf([&] {
        if (operation == 0) archive.DeleteFile(c.edited);
        else if (operation == 1) archive.RenameFile(c.edited, L"a much longer name than before.log");
        else archive.GetFromArchive(source, 0, c.edited);
      });
      EXPECT_EQ(101, code) << c.what << " " << operation;
      archive.Close(CZipArchive::afterExceptionNoWrite);
      EXPECT_EQ(c.crafted, MemBytes(file)) << c.what << " " << operation;
    }
  }
  source.Close();
}
