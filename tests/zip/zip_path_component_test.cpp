// zip_path_component_test.cpp: splitting Windows paths into the pieces
// names in the archive are made of.
#include "zip/zip_path_component.h"

#include "gtest/gtest.h"

TEST(CZipPathComponentTest, SplitsWindowsPaths) {
  struct Case {
    const wchar_t* path;
    const wchar_t *drive, *directory, *title, *extension, *filePath, *noDrive;
  } const kCases[] = {
      {L"C:\\logs\\setup.log", L"C:", L"logs", L"setup", L"log", L"C:\\logs", L"logs\\setup.log"},
      {L"\\\\?\\unc\\srv\\share\\a", L"", L"srv\\share", L"a", L"", L"\\\\?\\unc\\srv\\share", L"srv\\share\\a"},
      {L"README", L"", L"", L"README", L"", L"", L"README"},
      {L"a/b.c/d.tar.gz", L"", L"a/b.c", L"d.tar", L"gz", L"a/b.c", L"a/b.c\\d.tar.gz"},
  };
  for (const Case& c : kCases) {
    CZipPathComponent component(c.path);
    EXPECT_EQ(c.drive, component.GetFileDrive()) << c.path;
    EXPECT_EQ(c.directory, component.GetFileDir()) << c.path;
    EXPECT_EQ(c.title, component.GetFileTitle()) << c.path;
    EXPECT_EQ(c.extension, component.GetFileExt()) << c.path;
    EXPECT_EQ(c.filePath, component.GetFilePath()) << c.path;
    EXPECT_EQ(c.noDrive, component.GetNoDrive()) << c.path;
  }
}
