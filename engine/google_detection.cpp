// google_detection.cpp: the two offers' compatibility checks and what their
// answers leave in the shared state.
#include "engine/google_detection.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "engine/setup_state.h"
#include "foundation/error.h"
#include "foundation/registry_key.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kToolbarProduct[] = L"GOOGLE_TOOLBAR";
const wchar_t kChromeProduct[] = L"GOOGLE_CHROME";
const wchar_t kToolbarLibrary[] = L"gtapi_signed.dll";
const wchar_t kChromeLibrary[] = L"gcapi_dll.dll";
const char kToolbarEntry[] = "ToolbarCompatibilityCheck";
const char kChromeEntry[] = "GoogleChromeCompatibilityCheck";
const wchar_t kSoftwareKey[] = L"Software";

using ToolbarCheck = BOOL(WINAPI*)(DWORD flags, HKEY softwareKey, DWORD* reason);
using ChromeCheck = BOOL(WINAPI*)(DWORD* reason, DWORD* extra);

bool IsExcluded(const CSetupState& state, const wchar_t* key) {
  const auto& excluded = state.m_excludedOfferProducts;
  return std::find(excluded.begin(), excluded.end(), key) != excluded.end();
}

void Exclude(CSetupState& state, const wchar_t* key) {
  if (!IsExcluded(state, key)) state.m_excludedOfferProducts.push_back(key);
}

// The library of the product's folder, freed when it goes out of scope.
class CCheckLibrary {
 public:
  CCheckLibrary(const std::wstring& setupFolder, const wchar_t* product, const wchar_t* name) {
    std::wstring path = Format(L"%s%s\\%s", setupFolder.c_str(), product, name);
    m_module = LoadLibraryW(path.c_str());
    if (!m_module) {
      DWORD error = GetLastError();
      WriteLog(L"Failed to load GTAPI library from '%s', error code = %d", path.c_str(), error);
      SetLastError(error);
    }
  }
  ~CCheckLibrary() {
    if (m_module) FreeLibrary(m_module);
  }
  CCheckLibrary(const CCheckLibrary&) = delete;
  CCheckLibrary& operator=(const CCheckLibrary&) = delete;

  FARPROC Find(const char* entry) const {
    if (!m_module) return nullptr;
    FARPROC found = GetProcAddress(m_module, entry);
    if (!found) {
      DWORD error = GetLastError();
      WriteLog(L"Failed to find entry point '%s', error code = %d", Widen(entry).c_str(), error);
      SetLastError(error);
    }
    return found;
  }

 private:
  static std::wstring Widen(const char* text) { return std::wstring(text, text + strlen(text)); }

  HMODULE m_module = nullptr;
};

}  // namespace

void CGoogleDetection::Detect(CSetupState& state, bool reducedUi) {
  state.m_toolbarOffer = 0;
  state.m_browserOffer = 0;
  if (state.m_products.Lookup(kToolbarProduct) && !IsExcluded(state, kToolbarProduct)) {
    m_toolbarCompatible = CheckToolbar();
    if (!m_toolbarCompatible || reducedUi) {
      Exclude(state, kToolbarProduct);
    } else {
      state.m_toolbarOffer = 1;
    }
  }
  if (state.m_products.Lookup(kChromeProduct) && !IsExcluded(state, kChromeProduct)) {
    m_chromeCompatible = m_toolbarCompatible ? 0 : CheckChrome();
    if (m_chromeCompatible && !reducedUi) {
      state.m_browserOffer = 1;
    } else {
      Exclude(state, kChromeProduct);
    }
  }
}

LONG CGoogleDetection::CheckToolbar() {
  CCheckLibrary library(m_setupFolder, kToolbarProduct, kToolbarLibrary);
  auto check = reinterpret_cast<ToolbarCheck>(library.Find(kToolbarEntry));
  if (!check) return 0;
  CRegistryKey software;
  try {
    software.Open(HKEY_CURRENT_USER, kSoftwareKey, KEY_ALL_ACCESS, false);
  } catch (const CError& error) {
    WriteLog(L"Failed to Open Google Toolbar registry entry '%s', error code = %d", kSoftwareKey,
             error.GetErrorCode());
    SetLastError(error.GetErrorCode());
    return 0;
  }
  DWORD reason = 0;
  LONG compatible = check(0, software.GetHandle(), &reason) ? 1 : 0;
  if (!compatible) WriteLog(L"Google Toolbar not compatible with target system; reason = %d", reason);
  return compatible;
}

LONG CGoogleDetection::CheckChrome() {
  CCheckLibrary library(m_setupFolder, kChromeProduct, kChromeLibrary);
  auto check = reinterpret_cast<ChromeCheck>(library.Find(kChromeEntry));
  if (!check) return 0;
  DWORD reason = 0;
  DWORD extra = 0;
  LONG compatible = check(&reason, &extra) ? 1 : 0;
  if (!compatible) WriteLog(L"Google Chrome not compatible with target system; reason = %d", reason);
  return compatible;
}
