// zip_mem_file_test.cpp: the memory file's growth, zero-filled gaps and
// its bounds near 4 GiB.
#include "zip/zip_mem_file.h"

#include <string>

#include "gtest/gtest.h"
#include "tests/zip/zip_test_files.h"

TEST(CZipMemFileTest, GrowsInWholeStepsAndZeroFillsGaps) {
  CZipMemFile file;
  file.Write("x", 1);
  EXPECT_EQ(1024u, file.GetCapacity());
  file.Write(std::string(1024, 'y').data(), 1024);
  EXPECT_EQ(2048u, file.GetCapacity());
  EXPECT_EQ(1025u, file.GetPosition());
  EXPECT_EQ(1025u, file.Seek(0, 5));  // an unknown origin leaves the position
  file.Seek(4000, CZipAbstractFile::begin);
  file.Write("z", 1);
  std::string bytes = MemBytes(file);
  ASSERT_EQ(4001u, bytes.size());
  EXPECT_EQ(std::string(4000 - 1025, '\0'), bytes.substr(1025, 4000 - 1025));
}

// A position near 4 GiB must not wrap into a small block.
TEST(CZipMemFileTest, HugePositionsAndClosedFilesRaiseOutOfMemory) {
  CZipMemFile file;
  file.Write("abc", 3);
  file.Seek(0xFFFFFFF0LL, CZipAbstractFile::begin);
  EXPECT_EQ(505, ZipErrorOf([&] { file.Write("0123456789abcdefghij", 20); }));
  file.Close();
  EXPECT_EQ(505, ZipErrorOf([&] { file.Write("a", 1); }));
}
