// png_image_test.cpp: images decoded through GDI+ from the program's PNG
// resources and from files; what is not an image leaves the image empty.
#include "platform/png_image.h"

#include <windows.h>

#include <string>

#include "tests/support/test_support.h"
#include "gtest/gtest.h"

TEST(CPngImageTest, ResourcesAndFilesDecodeAndOtherBytesDoNot) {
  HMODULE module = GetModuleHandleW(nullptr);
  struct Case {
    UINT id;
    LONG width;
    LONG height;
  };
  // The header images and the progress page's pictures of the four DPI sizes.
  const Case kCases[] = {{11168, 120, 40}, {11169, 150, 50}, {11170, 180, 60}, {11171, 240, 80},
                         {11195, 32, 32},  {11230, 40, 40},  {11231, 48, 48},  {11232, 64, 64}};
  for (const Case& c : kCases) {
    CPngImage image;
    ASSERT_TRUE(image.LoadFromResource(module, c.id)) << c.id;
    EXPECT_EQ(c.width, image.GetSize().cx) << c.id;
    EXPECT_EQ(c.height, image.GetSize().cy) << c.id;
    BITMAP bitmap = {};
    ASSERT_EQ(static_cast<int>(sizeof(bitmap)), GetObjectW(image.GetBitmap(), sizeof(bitmap), &bitmap));
    EXPECT_EQ(c.width, bitmap.bmWidth);
    HBITMAP copy = image.CopyBitmap();
    EXPECT_NE(nullptr, copy);
    EXPECT_NE(image.GetBitmap(), copy);
    DeleteObject(copy);
  }
  CPngImage image;
  EXPECT_FALSE(image.LoadFromResource(module, 60099));
  EXPECT_TRUE(image.IsEmpty());

  CTestFolder folder;
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(11170), L"PNG");
  std::string png(static_cast<const char*>(LockResource(LoadResource(module, found))),
                  SizeofResource(module, found));
  WriteFileBytes(folder.File(L"header.png"), png);
  WriteFileBytes(folder.File(L"broken.png"), png.substr(0, 40));
  WriteFileBytes(folder.File(L"text.png"), "not an image");
  EXPECT_TRUE(image.LoadFromFile(folder.File(L"header.png")));
  EXPECT_EQ(180, image.GetSize().cx);
  // A failed load keeps the image loaded before.
  for (const wchar_t* name : {L"broken.png", L"text.png", L"missing.png"}) {
    EXPECT_FALSE(image.LoadFromFile(folder.File(name))) << name;
    EXPECT_EQ(180, image.GetSize().cx) << name;
  }
  image.Clear();
  EXPECT_TRUE(image.IsEmpty());
  EXPECT_EQ(nullptr, image.CopyBitmap());
}
