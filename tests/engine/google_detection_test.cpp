// google_detection_test.cpp: the offer detection against our stand-ins for
// the vendor's check DLLs (compatible, incompatible, missing, without the
// entry point), with and without a wizard to show the offer: the flags, the
// products taken out, which checks ran and the log. A child per case.
#include "engine/google_detection.h"

#include <windows.h>

#include <algorithm>
#include <memory>

#include "engine/product_data.h"
#include "engine/setup_state.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/support/test_support.h"

namespace {

// "-" no product, "missing" no DLL, "noentry" the other check's DLL under
// this one's name, else the stand-in's answer.
void PlaceCheck(CSetupState* state, const std::wstring& folder, const wchar_t* product, const wchar_t* dll,
                const wchar_t* otherDll, const std::wstring& answer) {
  if (answer == L"-") return;
  state->m_products.SetAt(product, std::make_unique<CProductData>(product));
  if (answer == L"missing") return;
  std::wstring build = TestExecutablePath().substr(0, TestExecutablePath().find_last_of(L'\\') + 1);
  CreateDirectoryW((folder + product).c_str(), nullptr);
  std::wstring target = folder + product + L"\\" + dll;
  CopyFileW((build + (answer == L"noentry" ? otherDll : dll)).c_str(), target.c_str(), FALSE);
  WriteFileBytes(target + L".answer", WideToUtf8(answer));
}

}  // namespace

// Exit code: bit 0 toolbar offer, 1 browser offer, 2 toolbar excluded, 3
// browser excluded.
TEST_CHILD(GoogleDetection) {
  const std::wstring& folder = args.at(0);
  CSetupState state;
  state.m_toolbarOffer = state.m_browserOffer = 1;
  PlaceCheck(&state, folder, L"GOOGLE_TOOLBAR", L"gtapi_signed.dll", L"gcapi_dll.dll", args.at(1));
  PlaceCheck(&state, folder, L"GOOGLE_CHROME", L"gcapi_dll.dll", L"gtapi_signed.dll", args.at(2));
  if (args.at(3) == L"excluded") state.m_excludedOfferProducts.push_back(L"GOOGLE_TOOLBAR");
  CGoogleDetection(folder).Detect(state, args.at(3) == L"reduced");
  const auto& out = state.m_excludedOfferProducts;
  if (std::count(out.begin(), out.end(), L"GOOGLE_TOOLBAR") > 1) return 0x100;
  return (state.m_toolbarOffer ? 1 : 0) | (state.m_browserOffer ? 2 : 0) |
         (std::count(out.begin(), out.end(), L"GOOGLE_TOOLBAR") ? 4 : 0) |
         (std::count(out.begin(), out.end(), L"GOOGLE_CHROME") ? 8 : 0);
}

TEST(CGoogleDetectionTest, TheChecksDecideTheOneOfferAndTakeTheOthersOut) {
  const int T = 1, B = 2, TX = 4, BX = 8;
  struct Case {
    const wchar_t* toolbar;
    const wchar_t* chrome;
    const wchar_t* run;  // "full", "reduced", or "excluded" (the toolbar refused before)
    int expected;
    bool toolbarAsked, chromeAsked;
    const wchar_t* logLine;
  };
  const Case kCases[] = {
      {L"compatible", L"compatible", L"full", T | BX, true, false, nullptr},
      {L"compatible", L"compatible", L"reduced", TX | BX, true, false, nullptr},
      {L"incompatible 7", L"compatible", L"full", B | TX, true, true,
       L"Google Toolbar not compatible with target system; reason = 7"},
      {L"incompatible 7", L"compatible", L"reduced", TX | BX, true, true, nullptr},
      {L"incompatible 7", L"incompatible 5", L"full", TX | BX, true, true,
       L"Google Chrome not compatible with target system; reason = 5"},
      {L"missing", L"compatible", L"full", B | TX, false, true, L"GOOGLE_TOOLBAR\\gtapi_signed.dll', error code = 126"},
      {L"noentry", L"compatible", L"full", B | TX, false, true,
       L"Failed to find entry point 'ToolbarCompatibilityCheck', error code = 127"},
      {L"missing", L"missing", L"full", TX | BX, false, false, L"GOOGLE_CHROME\\gcapi_dll.dll', error code = 126"},
      {L"-", L"compatible", L"full", B, false, true, nullptr},
      {L"compatible", L"compatible", L"excluded", B | TX, false, true, nullptr},
      {L"compatible", L"-", L"full", T, true, false, nullptr},
      {L"-", L"-", L"full", 0, false, false, nullptr},
  };
  for (const Case& c : kCases) {
    CTestFolder folder;
    std::string label = WideToUtf8(Format(L"%s / %s / %s", c.toolbar, c.chrome, c.run));
    DWORD result = RunChild(L"GoogleDetection", {folder.Path(), c.toolbar, c.chrome, c.run},
                            {{L"KWSETUP", folder.File(L"TAM_{ProductID}.log")}});
    EXPECT_EQ(static_cast<DWORD>(c.expected), result) << label;
    // The toolbar's check gets the open HKCU\Software key.
    EXPECT_EQ(c.toolbarAsked ? "ToolbarCompatibilityCheck key=open\n" : "",
              ReadFileBytes(folder.File(L"GOOGLE_TOOLBAR\\gtapi_signed.dll.calls"))) << label;
    EXPECT_EQ(c.chromeAsked, !ReadFileBytes(folder.File(L"GOOGLE_CHROME\\gcapi_dll.dll.calls")).empty()) << label;
    if (c.logLine) {
      EXPECT_NE(std::wstring::npos, ReadUtf16File(folder.File(L"VELL_SETUP.LOG")).find(c.logLine)) << label;
    }
  }
}
