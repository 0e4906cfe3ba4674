// query_cancel_autoplay_test.cpp: the cancel object's COM answers, and the
// suppression switched on and off in a process of its own: the table entry
// under the shell's moniker, the AppID keys in the 32-bit view, twice on or
// off changing nothing, a failed entry leaving no keys behind.
#include "engine/query_cancel_autoplay.h"

#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>

#include "foundation/registry_key.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/support/test_support.h"

namespace {

// The two keys' AppID, default and RunAs values in the 32-bit view ("-"
// when missing), then whether the object is in the table.
std::wstring Registration() {
  std::wstring text;
  for (const wchar_t* key : {L"setup.exe", L"{E3600F8F-17EE-4ECF-950F-C1419555BE1B}"}) {
    for (const wchar_t* name : {L"AppID", L"", L"RunAs"}) {
      CRegistryKey open;
      try {
        open.Open(HKEY_LOCAL_MACHINE, std::wstring(L"SOFTWARE\\Classes\\AppID\\") + key, KEY_READ | KEY_WOW64_32KEY, false);
        text += open.GetValueSZ(name) + L";";
      } catch (const CError&) {
        text += L"-;";
      }
    }
  }
  IMoniker* moniker = nullptr;
  IRunningObjectTable* table = nullptr;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  bool running = SUCCEEDED(CreateClassMoniker(CLSID_QueryCancelAutoPlay, &moniker)) &&
                 SUCCEEDED(GetRunningObjectTable(0, &table)) && table->IsRunning(moniker) == S_OK;
  if (table) table->Release();
  if (moniker) moniker->Release();
  CoUninitialize();
  return text + (running ? L"running" : L"not running");
}

HRESULT FailingRegistrar(IRunningObjectTable*, IUnknown*, IMoniker*, DWORD*) { return E_ACCESSDENIED; }

}  // namespace

TEST(CQueryCancelAutoplayTest, AnswersItsTwoInterfacesAndCancelsEveryRequest) {
  CQueryCancelAutoplay* object = new CQueryCancelAutoplay();
  IUnknown* unknown = nullptr;
  IQueryCancelAutoPlay* query = nullptr;
  void* other = &other;
  ASSERT_EQ(S_OK, object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
  ASSERT_EQ(S_OK, object->QueryInterface(IID_IQueryCancelAutoPlay, reinterpret_cast<void**>(&query)));
  EXPECT_EQ(static_cast<void*>(query), static_cast<void*>(unknown));
  EXPECT_EQ(E_NOINTERFACE, object->QueryInterface(IID_IDispatch, &other));
  EXPECT_EQ(nullptr, other);
  EXPECT_EQ(S_FALSE, query->AllowAutoPlay(L"D:\\", 0, L"SUITE_DISC2", 0x1234));
  EXPECT_EQ(S_FALSE, query->AllowAutoPlay(nullptr, 0xFFFFFFFF, nullptr, 0));
  // The creator's reference and the two handed out; the last one frees it.
  EXPECT_EQ(2u, unknown->Release());
  EXPECT_EQ(1u, query->Release());
  EXPECT_EQ(0u, object->Release());
}

// Each step's registration as Registration() reads it, one per line.
TEST_CHILD(CancelAutoPlaySteps) {
  std::wstring steps;
  auto step = [&](bool on) {
    RegisterCancelAutoPlay(on);
    steps += Registration() + L"\n";
  };
  for (bool on : {false, true, true, false, false}) step(on);
  SetCancelAutoPlayRegistrar(FailingRegistrar);
  step(true);
  SetCancelAutoPlayRegistrar(nullptr);
  step(true);  // the failed entry left the suppression off: this one tries again
  step(false);
  WriteFileBytes(args.at(0), WideToUtf8(steps));
  return 0;
}

TEST(CQueryCancelAutoplayTest, SwitchingOnAndOffIsIdempotentAndAFailedEntryLeavesNoKeys) {
  CTestFolder folder;
  ASSERT_EQ(0u, RunChild(L"CancelAutoPlaySteps", {folder.File(L"steps.txt")},
                         {{L"KWSETUP", folder.File(L"TAM_{ProductID}.log")}}));
  const std::string off = "-;-;-;-;-;-;not running\n";
  const std::string on = "{E3600F8F-17EE-4ECF-950F-C1419555BE1B};-;Interactive User;-;setup.exe;Interactive User;running\n";
  EXPECT_EQ(off + on + on + off + off + off + on + off, ReadFileBytes(folder.File(L"steps.txt")));
  std::wstring log = ReadUtf16File(folder.File(L"VELL_SETUP.LOG"));
  // The failed entry's code; the keys it wrote are taken away again.
  size_t failed = log.find(L" -    Failed to register CancelAutoPlay with error: -2147024891\r\n");
  ASSERT_NE(std::wstring::npos, failed);
  EXPECT_NE(std::wstring::npos, log.find(L" -    Successfully unregistered AppID\r\n", failed));
  // Twice on registered once, twice off removed once: five attempts in all.
  size_t attempts = 0;
  for (size_t at = log.find(L"Attempting to"); at != std::wstring::npos; at = log.find(L"Attempting to", at + 1)) {
    ++attempts;
  }
  EXPECT_EQ(5u, attempts);
}

// Another program's AppID key at the program's name is neither changed nor deleted.
TEST(CQueryCancelAutoplayTest, AnotherProgramsAppIdKeyStaysAsItWas) {
  const wchar_t kPath[] = L"SOFTWARE\\Classes\\AppID\\setup.exe";
  const wchar_t kTheirs[] = L"{0BADC0DE-0000-4000-8000-000000000001}";
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, kPath, L"AppID", REG_SZ, kTheirs, sizeof(kTheirs));
  RegisterCancelAutoPlay(true);
  std::wstring steps = Registration() + L"\n";
  RegisterCancelAutoPlay(false);
  steps += Registration() + L"\n";
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kPath, KEY_WOW64_32KEY, 0);
  const std::wstring theirs = L"{0BADC0DE-0000-4000-8000-000000000001};-;-;";
  EXPECT_EQ(theirs + L"-;setup.exe;Interactive User;running\n" + theirs + L"-;-;-;not running\n", steps);
}
