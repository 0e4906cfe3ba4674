// zip_storage_test.cpp: the storage's write buffer, short reads, and
// archives split into volumes.
#include "zip/zip_storage.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "gtest/gtest.h"
#include "tests/zip/zip_test_files.h"
#include "zip/zip_archive.h"
#include "zip/zip_file_system.h"
#include "zip/zip_mem_file.h"
#include "zip/zip_removable_disk.h"

TEST(CZipStorageTest, HoldsWhatDoesNotFillTheWriteBuffer) {
  CZipMemFile file;
  CZipStorage storage;
  storage.OpenFrom(file, 2);
  std::string data(65537, 'd');
  storage.Write(data.data(), static_cast<uint32_t>(data.size()), false);
  EXPECT_EQ(65536u, file.GetLength());
  EXPECT_EQ(65537u, storage.GetPosition());
  storage.Close(false);
  EXPECT_EQ(65537u, file.GetLength());
}

TEST(CZipStorageTest, ShortReadIsADamagedArchive) {
  CZipMemFile file;
  file.Write("0123456789", 10);
  CZipStorage storage;
  storage.OpenFrom(file, 1);
  char buffer[22];
  EXPECT_EQ(101, ZipErrorOf([&] { storage.Read(buffer, 22, true); }));
}

namespace {

std::string Incompressible(size_t size) {
  std::string data(size, '\0');
  uint32_t state = 12345;
  for (char& c : data) {
    state = state * 1103515245 + 12345;
    c = static_cast<char>(state >> 24);
  }
  return data;
}

// Creates a split archive of the entries; the code raised, or 0.
int CreateSplit(const std::wstring& path, uint64_t volumeSize, const std::vector<CZipTestEntry>& entries,
                const std::wstring& password = L"") {
  CZipArchive archive;
  int code = ZipErrorOf([&] {
    archive.Open(path, CZipArchive::zipCreateSpan, volumeSize);
    archive.SetPassword(password);
    for (const CZipTestEntry& entry : entries) {
      CZipMemFile source;
      source.Write(entry.data.data(), static_cast<uint32_t>(entry.data.size()));
      archive.AddFileFromStream(source, entry.name, entry.level);
    }
    archive.Close();
  });
  if (code != 0) archive.Close(CZipArchive::afterExceptionNoWrite);
  return code;
}

}  // namespace

TEST(CZipStorageTest, SplitArchivesSpreadOverVolumesAndReadBack) {
  CZipTestFolder folder;
  std::wstring path = folder.File("split.zip");
  std::vector<CZipTestEntry> entries = {{L"a.bin", Incompressible(5000), 0}, {L"b.txt", std::string(3000, 'b'), 9}};
  ASSERT_EQ(0, CreateSplit(path, 1000, entries));
  std::string first = ReadBytes(folder.File("split.z01"));
  EXPECT_EQ(1000u, first.size());
  EXPECT_EQ(0x08074B50u, Get32At(first, 0));
  EXPECT_EQ(0, ZipFileSystem::PathExists(folder.File("split.z06")));
  for (const char* name : {"split.z02", "split.z04", "split.z05"}) {
    EXPECT_EQ(1, ZipFileSystem::PathExists(folder.File(name))) << name;
    EXPECT_LE(ReadBytes(folder.File(name)).size(), 1000u) << name;
  }
  CZipArchive archive;
  archive.Open(path, CZipArchive::zipOpenReadOnly);
  EXPECT_EQ(5, archive.GetCentralDirInfo().thisDisk);
  EXPECT_EQ((std::vector<std::pair<std::wstring, std::string>>{{L"a.bin", entries[0].data}, {L"b.txt", entries[1].data}}),
            ContentsOf(archive));
  archive.Close();
  // A missing volume is an error, not a short entry.
  std::filesystem::remove(std::filesystem::path(folder.File("split.z03")));
  archive.Open(path, CZipArchive::zipOpenReadOnly);
  EXPECT_EQ(2, ZipErrorOf([&] { archive.TestFile(0); }));
  archive.Close();
}

TEST(CZipStorageTest, SplitArchiveThatFitsOneVolumeBecomesASingleFile) {
  CZipTestFolder folder;
  std::wstring path = folder.File("small.zip");
  WriteBytes(path, "an older file of that name");
  std::vector<CZipTestEntry> entries = {{L"a.txt", std::string(2000, 'a'), 6}, {L"b.txt", "bee", 0}};
  for (const wchar_t* password : {L"", L"pw"}) {
    ASSERT_EQ(0, CreateSplit(path, 100000, entries, password));
    EXPECT_EQ(0, ZipFileSystem::PathExists(folder.File("small.z01")));
    std::string bytes = ReadBytes(path);
    EXPECT_EQ(0x04034B50u, Get32At(bytes, 0));
    CZipArchive archive;
    archive.Open(path, CZipArchive::zipOpenReadOnly);
    archive.SetPassword(password);
    EXPECT_EQ(0, archive.GetCentralDirInfo().thisDisk);
    for (int i = 0; i < 2; ++i) {
      CZipFileHeader header;
      archive.GetFileInfo(header, i);
      // Encrypted entries keep their descriptors: their check byte is the time.
      EXPECT_EQ(*password != 0, header.IsDataDescriptor()) << i;
    }
    EXPECT_EQ(2u, ContentsOf(archive).size());
    archive.Close();
  }
}

TEST(CZipStorageTest, VolumesThatCannotHoldTheArchiveAreRefused) {
  struct Case {
    uint64_t volumeSize;
    size_t nameLength, dataSize;
    int code;
  } const kCases[] = {
      {0, 5, 10, 103},        // disks need a change-volume callback
      {100, 200, 10, 108},    // a local header larger than a volume
      {100, 5, 20000, 108},   // more than 99 volumes
      {1000, 5, 20000, 0},
  };
  for (const Case& c : kCases) {
    CZipTestFolder folder;
    std::wstring name(c.nameLength, L'n');
    EXPECT_EQ(c.code, CreateSplit(folder.File("v.zip"), c.volumeSize, {{name, Incompressible(c.dataSize), 0}}))
        << c.volumeSize;
  }
}

namespace {

// A drive of removable disks and the user at it: the archive's folder is the
// drive, the archive file in it the disk. Asked for a disk, the user puts
// the one in the drive on the shelf and the wanted one in, unless told to
// ignore the request, refuse it or give a wrong disk.
class CDiskDrive : public CZipRemovableDisk, public CZipActionCallback {
 public:
  explicit CDiskDrive(const std::wstring& archive) : m_archive(archive) {
    std::filesystem::create_directories(m_archive.parent_path());
  }
  bool IsRemovable(const std::wstring&) override { return true; }
  bool SetLabel(const std::wstring&, const std::wstring& label) override {
    m_labels.push_back(label);
    return m_labels.size() > m_labelFailures;
  }
  uint64_t FreeSpace(const std::wstring&) override {
    std::error_code missing;
    uint64_t used = std::filesystem::file_size(m_archive, missing);
    return missing ? m_capacity : used < m_capacity ? m_capacity - used : 0;
  }
  bool Callback(uint64_t bytesNeeded, int code) override {
    m_requests.emplace_back(m_param, code);
    m_needed = bytesNeeded;
    if (static_cast<int>(m_requests.size()) == m_abortAt) return false;
    if (m_ignore-- > 0) return true;
    std::error_code ignored;  // an empty drive, a disk not on the shelf
    std::filesystem::rename(m_archive, Shelved(m_inDrive), ignored);
    std::filesystem::rename(Shelved(m_param == m_wrong.first ? m_wrong.second : m_param), m_archive, ignored);
    m_inDrive = m_param;
    return true;
  }
  std::filesystem::path Shelved(int disk) const { return m_archive.parent_path() / ("disk" + std::to_string(disk)); }

  // The code raised while creating, or 0.
  int Create(CZipArchive& archive, const std::vector<CZipTestEntry>& entries, bool close = true) {
    archive.SetRemovableDisk(this);
    archive.SetSpanCallback(this);
    return ZipErrorOf([&] {
      archive.Open(m_archive.wstring(), CZipArchive::zipCreateSpan);
      for (const CZipTestEntry& entry : entries) {
        CZipMemFile source;
        source.Write(entry.data.data(), static_cast<uint32_t>(entry.data.size()));
        archive.AddFileFromStream(source, entry.name, entry.level);
      }
      if (close) archive.Close();
    });
  }

  std::filesystem::path m_archive;
  uint64_t m_capacity = 2500, m_needed = 0;
  size_t m_labelFailures = 0;
  int m_inDrive = 0, m_abortAt = -1, m_ignore = 0;
  std::pair<int, int> m_wrong;  // asked for first, given second
  std::vector<std::wstring> m_labels;
  std::vector<std::pair<int, int>> m_requests;  // disk and reason
};

// 7.7 KB on disks of 2500 bytes: four disks.
const std::vector<CZipTestEntry> kSpannedEntries = {
    {L"a.bin", Incompressible(5000), 0}, {L"b.txt", std::string(3000, 'b'), 9}, {L"c.bin", Incompressible(2500), 0}};

}  // namespace

TEST(CZipStorageTest, SpannedDisksAreWrittenAndAskedForInOrder) {
  CZipTestFolder folder;
  CDiskDrive drive(folder.File("drive/span.zip"));
  CZipArchive archive;
  ASSERT_EQ(0, drive.Create(archive, kSpannedEntries));
  const std::vector<std::pair<int, int>> kEachDiskOnce = {{1, -1}, {2, -1}, {3, -1}, {4, -1}};
  EXPECT_EQ(kEachDiskOnce, drive.m_requests);
  EXPECT_EQ((std::vector<std::wstring>{L"pkback# 001", L"pkback# 002", L"pkback# 003", L"pkback# 004"}),
            drive.m_labels);
  for (int disk = 1; disk <= 3; ++disk) EXPECT_EQ(2500u, ReadBytes(drive.Shelved(disk).wstring()).size());
  EXPECT_EQ(0x08074B50u, Get32At(ReadBytes(drive.Shelved(1).wstring()), 0));

  drive.m_requests.clear();
  archive.Open(drive.m_archive.wstring(), CZipArchive::zipOpenReadOnly);
  // The last disk, still in the drive, holds the whole directory.
  const CZipCentralDir::CInfo& info = archive.GetCentralDirInfo();
  EXPECT_EQ((std::vector<int>{3, 3, 3}),
            (std::vector<int>{info.thisDisk, info.diskWithCentralDir, info.diskEntriesCount}));
  auto contents = ContentsOf(archive);
  ASSERT_EQ(3u, contents.size());
  for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(kSpannedEntries[i].data == contents[i].second) << i;
  EXPECT_EQ(kEachDiskOnce, drive.m_requests);
  // b.txt's local header lies on disk 3: no disk there, or a wrong one.
  CZipMemFile out;
  for (auto wrong : {std::make_pair(9, 2), std::make_pair(1, 101)}) {
    drive.m_wrong = {3, wrong.first};
    EXPECT_EQ(wrong.second, ZipErrorOf([&] { archive.ExtractFileTo(1, out); })) << wrong.first;
  }
  archive.Close();
}

// A disk refused for what is wrong with it is asked for again with the reason.
TEST(CZipStorageTest, RefusedDiskIsAskedForAgainWithTheReason) {
  const int kReasons[] = {-2, -3, -4};  // archive's name on it, no label, file not made
  for (int reason : kReasons) {
    CZipTestFolder folder;
    CDiskDrive drive(folder.File("drive/span.zip"));
    if (reason == -2) WriteBytes(drive.m_archive.wstring(), "an older archive");
    if (reason == -4) std::filesystem::create_directories(drive.m_archive);
    drive.m_labelFailures = reason == -3 ? 1 : 0;
    drive.m_ignore = 1;
    CZipArchive archive;
    ASSERT_EQ(0, drive.Create(archive, {{L"a.txt", "small", 0}})) << reason;
    EXPECT_EQ((std::vector<std::pair<int, int>>{{1, -1}, {1, reason}}), drive.m_requests);
    // It all fitted the first disk: a plain archive.
    EXPECT_EQ(0x04034B50u, Get32At(ReadBytes(drive.m_archive.wstring()), 0)) << reason;
  }
}

TEST(CZipStorageTest, SpanningEndsCleanlyWhenADiskCannotBeHad) {
  struct Case {
    uint64_t capacity;
    int abortAt, entriesListed;
  } const kCases[] = {
      {2500, 1, 0},  // the first disk
      {2500, 4, 2},  // disk 4, in the middle of c.bin
      {30, 5, 0},    // disk 2, too small for a local header, asked for again and again
  };
  for (const Case& c : kCases) {
    CZipTestFolder folder;
    CDiskDrive drive(folder.File("drive/span.zip"));
    drive.m_capacity = c.capacity;
    drive.m_abortAt = c.abortAt;
    CZipArchive archive;
    EXPECT_EQ(104, drive.Create(archive, kSpannedEntries, false)) << c.abortAt;
    EXPECT_EQ(c.entriesListed, archive.GetCount()) << c.abortAt;
    if (c.capacity == 30) {
      EXPECT_EQ((std::vector<std::pair<int, int>>{{1, -1}, {2, -1}, {2, -1}, {2, -1}, {2, -1}}), drive.m_requests);
      EXPECT_EQ(35u, drive.m_needed);
      // The empty file made on the refused disk is gone again.
      EXPECT_EQ(0, ZipFileSystem::PathExists(drive.m_archive.wstring()));
    }
    if (c.entriesListed == 0) {
      archive.Close(CZipArchive::afterExceptionNoWrite);
      continue;
    }
    // Given the next disk, the archive closes with its whole entries only.
    drive.m_abortAt = -1;
    archive.Close();
    archive.Open(drive.m_archive.wstring(), CZipArchive::zipOpenReadOnly);
    EXPECT_EQ((std::vector<std::pair<std::wstring, std::string>>{{L"a.bin", kSpannedEntries[0].data},
                                                                  {L"b.txt", kSpannedEntries[1].data}}),
              ContentsOf(archive));
    archive.Close();
  }
  // Asked of the system: the test folder is on a fixed drive.
  CZipTestFolder folder;
  CDiskDrive drive(folder.File("span.zip"));
  CZipArchive archive;
  archive.SetSpanCallback(&drive);
  EXPECT_EQ(107, ZipErrorOf([&] { archive.Open(folder.File("span.zip"), CZipArchive::zipCreateSpan); }));
}
