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
