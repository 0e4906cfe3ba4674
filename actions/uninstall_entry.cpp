// uninstall_entry.cpp: reads what a product's Uninstall entry says about its
// name, version and how to remove it.
#include "actions/uninstall_entry.h"

#include <windows.h>
#include <msi.h>

#include <vector>

#include "actions/msi_strings.h"
#include "actions/windows_installer_command.h"
#include "foundation/registry_key.h"
#include "foundation/registry_search.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kUninstallRoot[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const wchar_t kUninstallStringValue[] = L"UninstallString";
const wchar_t kSuiteUninstallStringValue[] = L"SuiteUninstallString";
const wchar_t kWindowsInstallerValue[] = L"WindowsInstaller";
const wchar_t kNoRemoveValue[] = L"NoRemove";
const wchar_t kVersionValue[] = L"Version";
const wchar_t kVersionMajorValue[] = L"VersionMajor";
const wchar_t kVersionMinorValue[] = L"VersionMinor";
const wchar_t kDisplayVersionValue[] = L"DisplayVersion";

// HKLM only: the suite installs for the machine, and its run has the
// administrator's rights; an entry would have the run start the command it names.
bool OpenEntry(const std::wstring& key, CRegistryKey* entry) {
  return !key.empty() && OpenMachineKey(kUninstallRoot + key, KEY_QUERY_VALUE, entry);
}

bool ReadText(CRegistryKey& entry, const wchar_t* name, std::wstring* value) {
  try {
    *value = entry.GetValueSZ(name);
    return true;
  } catch (const CError&) {
    return false;
  }
}

bool ReadNumber(CRegistryKey& entry, const wchar_t* name, DWORD* value) {
  try {
    *value = entry.GetValueDWORD(name);
    return true;
  } catch (const CError&) {
    return false;
  }
}

std::wstring ProductNameFromInstaller(const std::wstring& productCode) {
  std::wstring name;
  ReadProductInfo(productCode, INSTALLPROPERTY_PRODUCTNAME, &name);
  return name;
}

// "Tamsa Editor 2.5 (x86)" gives 2.5: the first digit that starts a version.
bool ParseVersionInText(const std::wstring& text, CVersionInfo* version) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] >= L'0' && text[i] <= L'9') return version->Parse(text.substr(i));
  }
  return false;
}

}  // namespace

const wchar_t kUninstallDisplayNameValue[] = L"DisplayName";

bool ReadUninstallEntry(const std::wstring& key, std::wstring* name, std::wstring* command,
                        std::wstring* suiteCommand, bool ignoreNoRemove) {
  name->clear();
  command->clear();
  suiteCommand->clear();
  CRegistryKey entry;
  if (!OpenEntry(key, &entry)) return false;
  if (!ReadText(entry, kUninstallDisplayNameValue, name)) *name = ProductNameFromInstaller(key);
  ReadText(entry, kSuiteUninstallStringValue, suiteCommand);
  DWORD windowsInstaller = 0;
  ReadNumber(entry, kWindowsInstallerValue, &windowsInstaller);
  if (windowsInstaller == 0) return ReadText(entry, kUninstallStringValue, command);
  DWORD noRemove = 0;
  ReadNumber(entry, kNoRemoveValue, &noRemove);
  if (noRemove == 0 || ignoreNoRemove) {
    *command = Format(L"%s /x %s", InstallerProgramPath().c_str(), key.c_str());
  }
  return true;
}

bool ReadUninstallNameAndCommand(const std::wstring& key, std::wstring* name,
                                 std::wstring* command) {
  std::wstring suiteCommand;
  return ReadUninstallEntry(key, name, command, &suiteCommand, false) && !command->empty();
}

bool ReadUninstallProductVersion(const std::wstring& key, CVersionInfo* version) {
  CRegistryKey entry;
  if (!OpenEntry(key, &entry)) return false;
  DWORD packed = 0;
  if (ReadNumber(entry, kVersionValue, &packed)) {
    version->SetFromPackedDword(packed);
    return true;
  }
  DWORD major = 0;
  DWORD minor = 0;
  if (ReadNumber(entry, kVersionMajorValue, &major) && ReadNumber(entry, kVersionMinorValue, &minor)) {
    version->SetParts2(static_cast<uint16_t>(major), static_cast<uint16_t>(minor));
    return true;
  }
  std::wstring text;
  if (ReadText(entry, kDisplayVersionValue, &text) && version->Parse(text)) return true;
  return ReadText(entry, kUninstallDisplayNameValue, &text) && ParseVersionInText(text, version);
}

bool GetProductInfo(const std::wstring& key, const std::wstring& valueName, std::wstring* value) {
  CRegistryKey entry;
  if (!OpenEntry(key, &entry)) {
    WriteLog(L"The registry key %s could not be found or opened in GetProductInfo",
             (kUninstallRoot + key).c_str());
    return false;
  }
  return ReadText(entry, valueName.c_str(), value);
}
