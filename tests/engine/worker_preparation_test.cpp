// worker_preparation_test.cpp: the final clean-up deletes the kit setup ran
// from only in a plain folder of a fixed drive, and only the kit's files.
#include "engine/worker.h"

#include <windows.h>

#include <string>

#include "engine/replacement_map.h"
#include "gtest/gtest.h"
#include "tests/support/test_support.h"

namespace {

class CPreparationWorker : public CWorker {
 public:
  CPreparationWorker() : CWorker(nullptr) {}
  void SetSetupDir(const std::wstring& folder) { m_replacements->SetMacro(L"{SetupDir}", folder); }
  using CWorker::CleanupSourceFiles;
};

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

// The kit was unpacked among the user's files: only the kit's go, and the
// folder once nothing else is left in it.
TEST(CWorkerPreparationTest, CleanupTakesTheKitAndKeepsTheUsersFiles) {
  CTestFolder folder;
  std::wstring source = folder.File(L"kit");
  CreateDirectoryW(source.c_str(), nullptr);
  CreateDirectoryW((source + L"\\bin").c_str(), nullptr);
  WriteFileBytes(source + L"\\bin\\helper.dll", "helper");
  WriteFileBytes(source + L"\\SETUP.DCF", "[Setup]");
  WriteFileBytes(source + L"\\taxes.pdf", "taxes");
  CPreparationWorker worker;
  worker.SetSetupDir(source);
  worker.CleanupSourceFiles();
  EXPECT_FALSE(Exists(source + L"\\SETUP.DCF"));
  EXPECT_FALSE(Exists(source + L"\\bin"));
  EXPECT_EQ("taxes", ReadFileBytes(source + L"\\taxes.pdf"));

  DeleteFileW((source + L"\\taxes.pdf").c_str());
  WriteFileBytes(source + L"\\SETUP.DCF", "[Setup]");
  worker.CleanupSourceFiles();
  EXPECT_FALSE(Exists(source));

  // Missing: nothing to do, nothing thrown.
  worker.CleanupSourceFiles();
}

// "C:" names the drive's current folder, here a scratch folder of the test
// so that a wrong answer costs nothing; the temporary folder is a folder of
// the system's.
TEST(CWorkerPreparationTest, CleanupRefusesDriveRootsAndSystemFolders) {
  CTestFolder folder;
  std::wstring current = folder.File(L"current");
  CreateDirectoryW(current.c_str(), nullptr);
  WriteFileBytes(current + L"\\keep.txt", "keep");
  wchar_t before[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, before);
  ASSERT_TRUE(SetCurrentDirectoryW(current.c_str()));
  std::wstring drive = current.substr(0, 2);
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);

  for (const std::wstring& setupDir : {drive, std::wstring(temp), std::wstring(L"")}) {
    CPreparationWorker worker;
    worker.SetSetupDir(setupDir);
    worker.CleanupSourceFiles();
    EXPECT_TRUE(Exists(current + L"\\keep.txt")) << setupDir;
  }
  SetCurrentDirectoryW(before);
}
