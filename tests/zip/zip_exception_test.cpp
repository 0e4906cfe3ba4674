// zip_exception_test.cpp: the library's error texts and zlib's codes.
#include "zip/zip_exception.h"

#include <cerrno>

#include "gtest/gtest.h"

TEST(CZipExceptionTest, DescribesCodesInEnglish) {
  struct Case {
    int code;
    const wchar_t* text;
  } const kCases[] = {
      {101, L"Damaged or not a zip file"},
      {109, L"The filename of the file being added to the archive is too long"},
      {27, L"File too large"},
      {504, L"Zlib library error (data error)"},
      {500, L"Zlib Library error (end of stream)"},
  };
  for (const Case& c : kCases) EXPECT_EQ(c.text, CZipException(c.code, L"").GetErrorDescription());

  wchar_t buffer[10];
  EXPECT_TRUE(CZipException(116, L"").GetErrorMessage(buffer, 10));
  EXPECT_STREQ(L"The centr", buffer);
  EXPECT_FALSE(CZipException(116, L"").GetErrorMessage(buffer, 0));
  errno = 0;
  EXPECT_EQ(L"Unknown error", CZipException::GetErrorDescription(3, true));
  EXPECT_EQ(0u, CZipException(113, L"").GetErrorDescription().find(L"Error while removing a file ("));
}

TEST(CZipExceptionTest, MapsZlibResults) {
  const int kMap[][2] = {{-6, 507}, {-5, 506}, {-4, 505}, {-3, 504}, {-2, 503},
                         {-1, 502}, {1, 500},   {2, 501},   {7, 100}};
  for (const auto& pair : kMap) EXPECT_EQ(pair[1], CZipException::ZlibToCode(pair[0])) << pair[0];
}
