// t_char_stream_test.cpp: the line reader's buffer protocol and errors, and
// the scrambled byte stream.
#include "foundation/t_char_stream.h"

#include <windows.h>

#include <string>

#include "gtest/gtest.h"
#include "tests/support/test_support.h"

TEST(CTCharStreamTest, TooSmallBufferGivesTheLengthAndTheSameLineAgain) {
  CTestFolder folder;
  std::wstring path = folder.File(L"lines.txt");
  WriteFileBytes(path, "abcdef\r\n\r\nxy");
  CTCharStream stream;
  ASSERT_TRUE(stream.OpenStream(path, CTCharStream::kReadMode, FALSE));
  EXPECT_EQ(CTCharStream::kAnsiEncoding, stream.GetEncoding());
  wchar_t buffer[16] = {};
  int length = 6;  // no room for the terminator
  SetLastError(5);
  EXPECT_FALSE(stream.ReadLine(buffer, &length, nullptr));
  EXPECT_EQ(6, length);
  EXPECT_EQ(0u, GetLastError());
  struct {
    int length;
    const wchar_t* text;
  } const kExpected[] = {{6, L"abcdef"}, {0, L""}, {2, L"xy"}, {-1, L""}, {-1, L""}};
  for (const auto& row : kExpected) {
    length = 16;
    buffer[0] = L'\0';
    ASSERT_TRUE(stream.ReadLine(buffer, &length, nullptr));
    EXPECT_EQ(row.length, length);
    if (length >= 0) {
      EXPECT_EQ(row.text, std::wstring(buffer));
    }
  }
}

TEST(CTCharStreamTest, BadCallsFailWithTheirCodes) {
  CTestFolder folder;
  std::wstring path = folder.File(L"x.txt");
  WriteFileBytes(path, "x\r\n");
  CTCharStream stream;
  wchar_t buffer[8];
  int length = 8;
  EXPECT_FALSE(stream.ReadLine(buffer, &length, nullptr));
  EXPECT_EQ(6u, GetLastError());  // ERROR_INVALID_HANDLE
  EXPECT_FALSE(stream.WriteString(L"x"));
  EXPECT_FALSE(stream.OpenStream(path, 3, FALSE));
  ASSERT_TRUE(stream.OpenStream(path, CTCharStream::kReadMode, FALSE));
  EXPECT_FALSE(stream.ReadLine(nullptr, &length, nullptr));
  EXPECT_EQ(13u, GetLastError());  // ERROR_INVALID_DATA
  EXPECT_FALSE(stream.ReadLine(buffer, nullptr, nullptr));
  EXPECT_EQ(13u, GetLastError());
  EXPECT_FALSE(stream.WriteString(L"x"));
  stream.Close();
  EXPECT_FALSE(stream.ReadLine(buffer, &length, nullptr));
  EXPECT_EQ(6u, GetLastError());
}

TEST(CTCharStreamTest, ScrambledTextReadsBack) {
  CTestFolder folder;
  std::wstring path = folder.File(L"scrambled.txt");
  const std::wstring kLines[] = {L"ab", L"[Setup]", L"Key=\x00E9t\x00E9", L""};
  CTCharStream writer;
  ASSERT_TRUE(writer.OpenStream(path, CTCharStream::kWriteAnsiMode, TRUE));
  for (const std::wstring& line : kLines) ASSERT_TRUE(writer.WriteString(line));
  writer.Close();
  // "ab\r\n": each byte plus 0xE4 times (its offset with bits permuted + 1).
  EXPECT_EQ(std::string("\x45\x66\xF1\x0E", 4), ReadFileBytes(path).substr(0, 4));

  CTCharStream reader;
  ASSERT_TRUE(reader.OpenStream(path, CTCharStream::kReadMode, TRUE));
  for (const std::wstring& expected : kLines) {
    wchar_t buffer[64];
    int length = 64;
    ASSERT_TRUE(reader.ReadLine(buffer, &length, nullptr));
    EXPECT_EQ(expected, std::wstring(buffer, static_cast<size_t>(length)));
  }
  int length = 64;
  wchar_t buffer[64];
  ASSERT_TRUE(reader.ReadLine(buffer, &length, nullptr));
  EXPECT_EQ(-1, length);
}
