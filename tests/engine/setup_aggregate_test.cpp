// setup_aggregate_test.cpp: the context block as a DLL built elsewhere sees
// it: initial values, bounded text fields, and the log function called
// through its stored pointer.
#include "engine/setup_aggregate.h"

#include <windows.h>

#include <string>
#include <vector>

#include "engine/setup_state.h"
#include "foundation/setup_log.h"
#include "gtest/gtest.h"
#include "tests/support/test_support.h"

TEST(CSetupAggregateTest, StartsEmptyWithUnsetLanguage) {
  CSetupAggregate block;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&block);
  LONG language = 0;
  memcpy(&language, bytes + 4, 4);
  EXPECT_EQ(-1, language);
  for (size_t offset : {0u, 8u, 12u, 532u, 2580u, 4628u, 4632u, 4636u, 6684u}) {
    EXPECT_EQ(0, bytes[offset]) << offset;
  }
}

TEST(CSetupAggregateTest, TextFieldsAreCutToFit) {
  CSetupAggregate block;
  CopyToField(block.configurationPath, std::wstring(400, L'x'));
  EXPECT_EQ(259u, wcslen(block.configurationPath));
  CopyToField(block.actionName, L"Remove old");
  EXPECT_STREQ(L"Remove old", block.actionName);
  EXPECT_EQ(0, block.verifyActionDisplayName[0]);  // the next field is untouched
}

// args: the path of the probe DLL.
TEST_CHILD(AggregateProbe) {
  CSetupAggregate block;
  block.languageId = 0x409;
  CopyToField(block.configurationPath, L"C:\\Kit\\SETUP.DCF");
  CopyToField(block.actionName, L"Remove \u00e9dition");
  CopyToField(block.removalTarget, L"{GUID-1}");
  CSetupState state;
  block.setupState = &state;
  block.writeLog = WriteLog;
  HMODULE dll = LoadLibraryW(args[0].c_str());
  if (!dll) return 100;
  using Probe = UINT(__stdcall*)(const void*);
  Probe probe = reinterpret_cast<Probe>(GetProcAddress(dll, "ProbeAggregate@4"));
  if (!probe) probe = reinterpret_cast<Probe>(GetProcAddress(dll, "ProbeAggregate"));
  if (!probe) return 101;
  return static_cast<int>(probe(&block));
}

TEST(CSetupAggregateTest, DllReadsBlockByOffsetAndLogsThroughIt) {
  CTestFolder folder;
  std::wstring dll = TestExecutablePath();
  dll = dll.substr(0, dll.find_last_of(L'\\') + 1) + L"aggregate_probe.dll";
  ASSERT_TRUE(FileExists(dll));
  DWORD code = RunChild(L"AggregateProbe", {dll}, {{L"KWSETUP", folder.File(L"TAM_{ProductID}.log")}});
  ASSERT_EQ(0u, code);
  std::wstring log = ReadUtf16File(folder.File(L"VELL_SETUP.LOG"));
  EXPECT_NE(std::wstring::npos,
            log.find(L" - probe: language 1033, configuration C:\\Kit\\SETUP.DCF, action Remove "
                     L"\u00e9dition, target {GUID-1}, state set\r\n"))
      << log.size();
}
