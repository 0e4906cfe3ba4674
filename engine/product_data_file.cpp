// product_data_file.cpp: the cached product file, a one-section copy of a
// product that a later run (repair, uninstall) reads back.
#include "engine/product_data.h"

#include <windows.h>

#include <memory>

#include "engine/cost_text.h"
#include "foundation/dcf_names.h"
#include "foundation/kw_ini_file.h"
#include "foundation/kw_ini_file_exception.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kDummyAction[] = L"DummyAction";
const wchar_t kDummyShortcuts[] = L"Dummy";
// What the product file records of the install; not read from SETUP.DCF.
const wchar_t kInstallFoldersEntry[] = L"InstallFolders";
const wchar_t kInstalledForSuiteEntry[] = L"InstalledForSuite";
const wchar_t kUpgradeCodeEntry[] = L"UpgradeCode";

bool IsFile(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Loads a product file: ERROR_SUCCESS, or why it cannot be read.
DWORD ReadProductFile(const std::wstring& path, CKwIniFile* file) {
  if (path.empty() || !IsFile(path)) return ERROR_FILE_NOT_FOUND;
  file->Init(true);
  try {
    file->LoadFrom(path);
  } catch (CKwIniFileException* raw) {
    std::unique_ptr<CKwIniFileException> error(raw);
    return ERROR_OPEN_FAILED;
  }
  return ERROR_SUCCESS;
}

std::wstring Line(const wchar_t* key, const std::wstring& value) {
  return Format(L"%s=%s", key, value.c_str());
}

std::wstring Line(const wchar_t* key, int value) { return Format(L"%s=%d", key, value); }

// A hidden choice is fixed: "always" or "never"; a shown one is its value.
std::wstring ShortcutText(const CSelectionState& state) {
  if (state.IsHidden()) return state.IsCurrent() ? L"always" : L"never";
  return state.IsCurrent() ? L"1" : L"0";
}

}  // namespace

bool CProductData::LoadFromDcfFile(const std::wstring& path, CSetupState* state) {
  CKwIniFile file;
  DWORD error = ReadProductFile(path, &file);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return false;
  }
  if (!LoadFromDcf(file, state)) {
    // The file was read but its data is not usable; without this the caller
    // reads whatever the last log line left behind.
    SetLastError(ERROR_INVALID_DATA);
    return false;
  }
  ReadInstallRecord(file);
  // Not part of the install record: an install over the suite takes it from
  // its own package.
  m_upgradeCode = GetIniValue(file, Format(kSetupSectionFormat, m_name.c_str()), kUpgradeCodeEntry, std::wstring());
  return true;
}

bool CProductData::LoadInstallRecord(const std::wstring& path) {
  CKwIniFile file;
  if (ReadProductFile(path, &file) != ERROR_SUCCESS) return false;
  ReadInstallRecord(file);
  return true;
}

void CProductData::ReadInstallRecord(const CKwIniFile& file) {
  std::wstring section = Format(kSetupSectionFormat, m_name.c_str());
  m_installFolders = GetIniValue(file, section, kInstallFoldersEntry, std::wstring());
  m_installedForSuite = GetIniValue(file, section, kInstalledForSuiteEntry, L"0") == L"1";
}

bool CProductData::SaveToDcf(const std::wstring& path) const {
  if (path.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (m_name.empty()) {
    SetLastError(ERROR_INVALID_DATA);
    return false;
  }
  try {
    CKwIniFile file;
    file.Init(true);
    // Names in any language survive: the code page could not hold them all.
    file.SetUtf16(true);
    std::wstring sectionName = Format(kSetupSectionFormat, m_name.c_str());
    file.AddSection(sectionName);
    CKwIniSection* section = nullptr;
    if (!file.FindSection(sectionName, &section)) {
      SetLastError(ERROR_NOT_FOUND);
      return false;
    }
    const std::wstring lines[] = {
        Line(kPrimaryActionKey, kDummyAction),
        Line(kProductCodeKey, m_productCode),
        Line(kPackageCodeKey, m_packageCode),
        Line(kProductGroupKey, m_productGroup),
        Line(kGroupKey, m_group),
        Line(kProductNameKey, m_productName),
        Line(kShortProductNameKey, m_shortProductName),
        Line(kProductVersionKey, m_version ? m_version->ToString() : std::wstring()),
        Line(kOurCompanyNameKey, m_ourCompanyName),
        Line(kInternalProductNameKey, m_internalProductName),
        Line(kTemplateKey, m_template),
        Line(kProductLanguageKey, m_productLanguage),
        Line(kVisibleKey, m_selection && !m_selection->IsHidden() ? 1 : 0),
        Line(kMandatoryKey, m_selection && m_selection->IsLocked() ? 1 : 0),
        Line(kDesktopShortcutsKey, kDummyShortcuts),
        Line(kDesktopIconKey, m_desktopIcon ? ShortcutText(*m_desktopIcon) : L"never"),
        Line(kQuickLaunchShortcutsKey, kDummyShortcuts),
        Line(kQuickLaunchIconKey, m_quickLaunchIcon ? ShortcutText(*m_quickLaunchIcon) : L"never"),
        Line(kCostKey, CostToText(m_cost)),
        Line(kInstallFoldersEntry, m_installFolders),
        Line(kInstalledForSuiteEntry, m_installedForSuite ? 1 : 0),
        Line(kUpgradeCodeEntry, m_upgradeCode),
    };
    for (const std::wstring& line : lines) section->AddRawLine(line);
    file.SaveAs(path);
  } catch (CKwIniFileException* raw) {
    std::unique_ptr<CKwIniFileException> error(raw);
    SetLastError(static_cast<DWORD>(error->GetCode()));
    return false;
  }
  return true;
}
