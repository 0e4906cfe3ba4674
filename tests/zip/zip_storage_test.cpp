// zip_storage_test.cpp: the storage's write buffer and short reads.
#include "zip/zip_storage.h"

#include <string>

#include "gtest/gtest.h"
#include "tests/zip/zip_test_files.h"
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
