// zip_crypto_test.cpp: entries encrypted with the traditional cipher read
// back with their password and are refused without it.
#include "zip/zip_crypto.h"

#include <string>

#include "gtest/gtest.h"
#include "tests/zip/zip_test_files.h"
#include "zip/zip_archive.h"
#include "zip/zip_mem_file.h"

TEST(CZipCryptoTest, EntriesReadBackOnlyWithTheirPassword) {
  std::string text(20000, 'x');
  for (size_t i = 0; i < text.size(); i += 7) text[i] = static_cast<char>('a' + i % 26);
  std::string bytes = BuildArchive({{L"deflated.txt", text, 6}, {L"stored.txt", text, 0}}, L"s\u00e9cret");
  struct Case {
    const wchar_t* password;
    bool readable;
    bool accepted;
  } const kCases[] = {{L"s\u00e9cret", true, true}, {L"", false, true}, {L"secret", false, true},
                      {L"s\u00e9cret2", false, true},
                      // No code page holds it: refused, not turned into "s?cret".
                      {L"s\U0001F511cret", false, false}};
  for (const Case& c : kCases) {
    CZipMemFile file;
    LoadBytes(file, bytes);
    CZipArchive archive;
    archive.OpenFrom(file, CZipArchive::zipOpenReadOnly);
    ASSERT_EQ(c.accepted, archive.SetPassword(c.password));
    for (int i = 0; i < 2; ++i) {
      CZipFileHeader header;
      archive.GetFileInfo(header, i);
      EXPECT_EQ(9, header.m_flag & 9);
      // The stored entry's size counts the 12-byte encryption header.
      if (i == 1) {
        EXPECT_EQ(text.size() + 12, header.m_compressedSize);
      }
      CZipMemFile out;
      int code = ZipErrorOf([&] { EXPECT_TRUE(archive.ExtractFileTo(i, out)); });
      if (c.readable) {
        EXPECT_EQ(0, code);
        EXPECT_EQ(text, MemBytes(out));
      } else {
        // A wrong password passes the check byte about once in 256 tries,
        // and the data then fails its CRC or inflation instead.
        EXPECT_TRUE(code == 110 || code == 102 || code == 504) << code;
      }
    }
    archive.Close();
  }
}

// The header's random bytes come from the system's generator: two equal
// entries written in the same second still differ on disk.
TEST(CZipCryptoTest, EqualEntriesDoNotShareAKeystream) {
  std::string bytes = BuildArchive({{L"a.txt", "same text", 0}, {L"b.txt", "same text", 0}}, L"pw");
  size_t second = Get32At(bytes, Get32At(bytes, bytes.size() - 6) + 46 + 5 + 42);
  std::string first = bytes.substr(30 + 5, 12 + 9);
  EXPECT_NE(first, bytes.substr(second + 30 + 5, 12 + 9));
}

// Smartness 1 leaves directories unencrypted, 2 empty files; otherwise they
// carry just the encryption header, which testing accepts.
TEST(CZipCryptoTest, EmptyEntriesSkipThePasswordWhenAsked) {
  CZipTestFolder folder;
  std::filesystem::create_directories(std::filesystem::path(folder.File("dir")));
  WriteBytes(folder.File("empty.log"), "");
  struct Case {
    const char* name;
    int smartness;
    uint32_t compressed;
  } const kCases[] = {{"dir", 0, 12}, {"dir", 1, 0}, {"empty.log", 5, 12}, {"empty.log", 6, 0}};
  for (const Case& c : kCases) {
    CZipMemFile file;
    CZipArchive archive;
    archive.OpenFrom(file, CZipArchive::zipCreate);
    archive.SetPassword(L"pw");
    ASSERT_TRUE(archive.AddFile(folder.File(c.name), -1, false, c.smartness));
    CZipFileHeader header;
    archive.GetFileInfo(header, 0);
    EXPECT_EQ(c.compressed, header.m_compressedSize) << c.name << c.smartness;
    EXPECT_EQ(c.compressed != 0, header.IsEncrypted()) << c.name << c.smartness;
    EXPECT_TRUE(archive.TestFile(0));
    archive.Close();
  }
}
