// query_cancel_autoplay_test.cpp: the cancel object's COM answers, and the
// suppression switched on and off in a process of its own: the table entry
// under the shell's moniker, the AppID keys in the 32-bit view, twice on or
// off changing nothing, and a failed entry leaving no keys behind.
#include "engine/query_cancel_autoplay.h"

#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>

#include <string>

#include "foundation/registry_key.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/support/test_support.h"

namespace {

const wchar_t kProgramKey[] = L"SOFTWARE\\Classes\\AppID\\setup.exe";
const wchar_t kAppIdKey[] = L"SOFTWARE\\Classes\\AppID\\{E3600F8F-17EE-4ECF-950F-C1419555BE1B}";

// The value in the 32-bit view; "<none>" when the key or value is missing.
std::wstring AppIdValue(const wchar_t* key, const wchar_t* name) {
  try {
    CRegistryKey open;
    open.Open(HKEY_LOCAL_MACHINE, key, KEY_READ | KEY_WOW64_32KEY, false);
    return open.GetValueSZ(name);
  } catch (const CError&) {
    return L"<none>";
  }
}

// S_OK while the object is in the table, S_FALSE otherwise.
HRESULT IsRunning() {
  HRESULT initialized = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(initialized)) return initialized;
  IMoniker* moniker = nullptr;
  IRunningObjectTable* table = nullptr;
  HRESULT result = CreateClassMoniker(CLSID_QueryCancelAutoPlay, &moniker);
  if (SUCCEEDED(result)) result = GetRunningObjectTable(0, &table);
  if (SUCCEEDED(result)) result = table->IsRunning(moniker);
  if (table) table->Release();
  if (moniker) moniker->Release();
  CoUninitialize();
  return result;
}

HRESULT FailingRegistrar(IRunningObjectTable*, IUnknown*, IMoniker*, DWORD* cookie) {
  *cookie = 0;
  return E_ACCESSDENIED;
}

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
  EXPECT_EQ(E_POINTER, object->QueryInterface(IID_IUnknown, nullptr));
  struct Request {
    const wchar_t* path;
    DWORD content;
    const wchar_t* label;
    DWORD serial;
  };
  const Request kRequests[] = {{L"D:\\", 0, L"SUITE_DISC2", 0x1234}, {L"E:\\", 0xFFFFFFFF, L"", 0}, {nullptr, 0, nullptr, 0}};
  for (const Request& r : kRequests) EXPECT_EQ(S_FALSE, query->AllowAutoPlay(r.path, r.content, r.label, r.serial));
  // The creator's reference and the two handed out.
  EXPECT_EQ(4u, object->AddRef());
  EXPECT_EQ(3u, object->Release());
  EXPECT_EQ(2u, unknown->Release());
  EXPECT_EQ(1u, query->Release());
  EXPECT_EQ(0u, object->Release());
}

// Exit code 0, or the number of the first check that failed.
TEST_CHILD(CancelAutoPlayOnAndOff) {
  if (!RegisterCancelAutoPlay(false) || IsRunning() != S_FALSE) return 1;  // off without an entry
  RegisterCancelAutoPlay(true);
  RegisterCancelAutoPlay(true);
  if (IsRunning() != S_OK) return 2;
  if (AppIdValue(kProgramKey, L"AppID") != L"{E3600F8F-17EE-4ECF-950F-C1419555BE1B}") return 3;
  if (AppIdValue(kProgramKey, L"RunAs") != L"Interactive User") return 4;
  if (AppIdValue(kAppIdKey, L"") != L"setup.exe" || AppIdValue(kAppIdKey, L"RunAs") != L"Interactive User") return 5;
  // The worker's own initialisation later on this thread must still work.
  HRESULT initialized = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(initialized)) return 6;
  RegisterCancelAutoPlay(false);
  RegisterCancelAutoPlay(false);
  if (IsRunning() != S_FALSE) return 7;
  if (AppIdValue(kProgramKey, L"AppID") != L"<none>" || AppIdValue(kAppIdKey, L"") != L"<none>") return 8;
  CoUninitialize();
  // A failed entry: no keys, and the next switch-on tries again.
  SetCancelAutoPlayRegistrar(FailingRegistrar);
  RegisterCancelAutoPlay(true);
  if (AppIdValue(kProgramKey, L"AppID") != L"<none>" || AppIdValue(kAppIdKey, L"RunAs") != L"<none>") return 9;
  SetCancelAutoPlayRegistrar(nullptr);
  RegisterCancelAutoPlay(true);
  if (IsRunning() != S_OK) return 10;
  RegisterCancelAutoPlay(false);
  return 0;
}

TEST(CQueryCancelAutoplayTest, SwitchingOnAndOffIsIdempotentAndAFailedEntryLeavesNoKeys) {
  CTestFolder folder;
  ASSERT_EQ(0u, RunChild(L"CancelAutoPlayOnAndOff", {}, {{L"KWSETUP", folder.File(L"TAM_{ProductID}.log")}}));
  std::wstring log = ReadUtf16File(folder.File(L"VELL_SETUP.LOG"));
  const wchar_t* kExpected[] = {
      L" - Attempting to register CancelAutoPlay\r\n",
      L" -    Registered AppID\r\n",
      L" -    Registered CancelAutoPlay successfully\r\n",
      L" - Attempting to unregister CancelAutoPlay\r\n",
      L" -    Successfully unregistered AppID\r\n",
      L" -    Unregistered CancelAutoPlay successfully\r\n",
      L" - Attempting to register CancelAutoPlay\r\n",
      L" -    Registered AppID\r\n",
      L" -    Failed to register CancelAutoPlay with error: -2147024891\r\n",
      L" -    Successfully unregistered AppID\r\n",
      L" - Attempting to register CancelAutoPlay\r\n",
  };
  size_t position = 0;
  for (const wchar_t* line : kExpected) {
    size_t found = log.find(line, position);
    ASSERT_NE(std::wstring::npos, found) << "missing or out of order: " << WideToUtf8(line) << WideToUtf8(log);
    position = found + wcslen(line);
  }
  // Twice on made one registration, twice off one removal: three attempts
  // in all (the failed one included), two removals (the last at the end).
  auto count = [&log](const wchar_t* text) {
    size_t n = 0;
    for (size_t at = log.find(text); at != std::wstring::npos; at = log.find(text, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(3u, count(L"Attempting to register CancelAutoPlay"));
  EXPECT_EQ(2u, count(L"Attempting to unregister CancelAutoPlay"));
}
