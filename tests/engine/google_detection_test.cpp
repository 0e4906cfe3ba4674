// google_detection_test.cpp: the offer detection against our own stand-ins
// for the vendor's check DLLs (answering compatible, incompatible, missing,
// or without the entry point), with and without a wizard to show the offer:
// the offer flags, the products taken out of the run, which checks ran and
// what the log says. Each case runs in a child of its own with its own log.
#include "engine/google_detection.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/product_data.h"
#include "engine/setup_state.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/support/test_support.h"

namespace {

std::wstring BuildFolder() {
  std::wstring path = TestExecutablePath();
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

// "compatible", "incompatible N", "missing" (no DLL) or "noentry" (the other
// check's DLL under this one's name).
void PlaceCheck(const std::wstring& folder, const wchar_t* product, const wchar_t* dll, const wchar_t* otherDll,
                const std::wstring& answer) {
  if (answer == L"missing" || answer == L"-") return;
  std::wstring productFolder = folder + product + L"\\";
  CreateDirectoryW(productFolder.c_str(), nullptr);
  std::wstring target = productFolder + dll;
  CopyFileW((BuildFolder() + (answer == L"noentry" ? otherDll : dll)).c_str(), target.c_str(), FALSE);
  WriteFileBytes(target + L".answer", WideToUtf8(answer));
}

bool Contains(const std::vector<std::wstring>& list, const wchar_t* key) {
  return std::find(list.begin(), list.end(), key) != list.end();
}

}  // namespace

// args: folder, toolbar answer ("-": no such product, "excluded": excluded
// before), browser answer ("-": no such product), reduced interface (0/1).
// Exit code: bit 0 toolbar offer, 1 browser offer, 2 toolbar excluded, 3
// browser excluded.
TEST_CHILD(GoogleDetection) {
  const std::wstring& folder = args.at(0);
  const std::wstring& toolbar = args.at(1);
  const std::wstring& chrome = args.at(2);
  CSetupState state;
  state.m_toolbarOffer = 1;
  state.m_browserOffer = 1;
  if (toolbar != L"-") state.m_products.SetAt(L"GOOGLE_TOOLBAR", std::make_unique<CProductData>(L"GOOGLE_TOOLBAR"));
  if (chrome != L"-") state.m_products.SetAt(L"GOOGLE_CHROME", std::make_unique<CProductData>(L"GOOGLE_CHROME"));
  if (toolbar == L"excluded") state.m_excludedOfferProducts.push_back(L"GOOGLE_TOOLBAR");
  PlaceCheck(folder, L"GOOGLE_TOOLBAR", L"gtapi_signed.dll", L"gcapi_dll.dll", toolbar == L"excluded" ? L"compatible" : toolbar);
  PlaceCheck(folder, L"GOOGLE_CHROME", L"gcapi_dll.dll", L"gtapi_signed.dll", chrome);
  CGoogleDetection(folder).Detect(state, args.at(3) == L"1");
  const auto& excluded = state.m_excludedOfferProducts;
  if (std::count(excluded.begin(), excluded.end(), L"GOOGLE_TOOLBAR") > 1) return 0x100;  // listed once only
  return (state.m_toolbarOffer ? 1 : 0) | (state.m_browserOffer ? 2 : 0) |
         (Contains(excluded, L"GOOGLE_TOOLBAR") ? 4 : 0) | (Contains(excluded, L"GOOGLE_CHROME") ? 8 : 0);
}

TEST(CGoogleDetectionTest, TheChecksDecideTheOneOfferAndTakeTheOthersOut) {
  const int T = 1, B = 2, TX = 4, BX = 8;
  struct Case {
    const wchar_t* toolbar;
    const wchar_t* chrome;
    bool reduced;
    int expected;
    const char* toolbarCalls;  // what the toolbar stand-in recorded; null: never loaded
    bool chromeCalled;
    const wchar_t* logLine;
  };
  const Case kCases[] = {
      {L"compatible", L"compatible", false, T | BX, "ToolbarCompatibilityCheck key=open\n", false, nullptr},
      {L"compatible", L"compatible", true, TX | BX, "ToolbarCompatibilityCheck key=open\n", false, nullptr},
      {L"incompatible 7", L"compatible", false, B | TX, "ToolbarCompatibilityCheck key=open\n", true,
       L"Google Toolbar not compatible with target system; reason = 7"},
      {L"incompatible 7", L"compatible", true, TX | BX, "ToolbarCompatibilityCheck key=open\n", true, nullptr},
      {L"incompatible 7", L"incompatible 5", false, TX | BX, "ToolbarCompatibilityCheck key=open\n", true,
       L"Google Chrome not compatible with target system; reason = 5"},
      {L"missing", L"compatible", false, B | TX, nullptr, true, L"GOOGLE_TOOLBAR\\gtapi_signed.dll', error code = 126"},
      {L"noentry", L"compatible", false, B | TX, nullptr, true,
       L"Failed to find entry point 'ToolbarCompatibilityCheck', error code = 127"},
      {L"missing", L"missing", false, TX | BX, nullptr, false, L"GOOGLE_CHROME\\gcapi_dll.dll', error code = 126"},
      {L"-", L"compatible", false, B, nullptr, true, nullptr},
      {L"-", L"compatible", true, BX, nullptr, true, nullptr},
      {L"excluded", L"compatible", false, B | TX, "", true, nullptr},
      {L"compatible", L"-", false, T, "ToolbarCompatibilityCheck key=open\n", false, nullptr},
      {L"-", L"-", false, 0, nullptr, false, nullptr},
  };
  int index = 0;
  for (const Case& c : kCases) {
    CTestFolder folder;
    std::wstring caseFolder = folder.File(Format(L"case%d\\", index++));
    CreateDirectoryW(caseFolder.c_str(), nullptr);
    std::string label = WideToUtf8(std::wstring(c.toolbar) + L" / " + c.chrome + (c.reduced ? L" reduced" : L""));
    DWORD result = RunChild(L"GoogleDetection", {caseFolder, c.toolbar, c.chrome, c.reduced ? L"1" : L"0"},
                            {{L"KWSETUP", caseFolder + L"TAM_{ProductID}.log"}});
    EXPECT_EQ(static_cast<DWORD>(c.expected), result) << label;
    std::wstring toolbarCalls = caseFolder + L"GOOGLE_TOOLBAR\\gtapi_signed.dll.calls";
    if (c.toolbarCalls && *c.toolbarCalls) {
      EXPECT_EQ(c.toolbarCalls, ReadFileBytes(toolbarCalls)) << label;
    } else {
      EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(toolbarCalls.c_str())) << label;
    }
    std::wstring chromeCalls = caseFolder + L"GOOGLE_CHROME\\gcapi_dll.dll.calls";
    EXPECT_EQ(c.chromeCalled && std::wstring(c.chrome) != L"missing",
              GetFileAttributesW(chromeCalls.c_str()) != INVALID_FILE_ATTRIBUTES)
        << label;
    if (c.logLine) {
      std::wstring log = ReadUtf16File(caseFolder + L"VELL_SETUP.LOG");
      EXPECT_NE(std::wstring::npos, log.find(c.logLine)) << label << "\n" << WideToUtf8(log);
    }
  }
}
