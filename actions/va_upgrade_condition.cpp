// va_upgrade_condition.cpp: an upgrade condition: the earlier product's
// entry in the list of installed programs, its version range, and either an
// external command or a value found in the registry that must match a list.
#include "actions/va_upgrade_condition.h"

#include <windows.h>

#include "actions/uninstall_entry.h"
#include "actions/windows_installer_command.h"
#include "engine/version_info.h"
#include "engine/version_range.h"
#include "foundation/error.h"
#include "foundation/list_match.h"
#include "foundation/registry_search.h"
#include "foundation/scoped_handle.h"
#include "platform/wide_string.h"

namespace {

const unsigned short kUpgradeConditionArea = 25;
const DWORD kPresent = 0;
const DWORD kAbsent = 2;

[[noreturn]] void FailCommand() {
  DWORD error = GetLastError();
  ReportInternalError(kUpgradeConditionArea, HRESULT_FROM_WIN32(error ? error : ERROR_GEN_FAILURE), nullptr);
  throw static_cast<unsigned long>(error);
}

}  // namespace

CVAUpgradeCondition::CVAUpgradeCondition(int sequence, const std::wstring& keyName,
                                         const std::wstring& actionName, const CValues& values)
    : CVerifyAction(sequence, keyName, actionName, actionName), m_values(values) {}

DWORD CVAUpgradeCondition::Execute() {
  std::wstring name, command;
  if (!ReadUninstallNameAndCommand(m_values.uninstallKey, &name, &command)) return kAbsent;
  CVersionInfo version;
  if (ReadUninstallProductVersion(m_values.uninstallKey, &version)) {
    if (!IsVersionInRange(version, m_values.validVersions.c_str())) return kAbsent;
  } else if (!m_values.validVersions.empty()) {
    // A version range cannot accept a version that cannot be read.
    return kAbsent;
  }
  if (m_values.validTLAs.empty()) return RunExternalCommand();
  std::wstring searchKey = m_values.tlaSearchKey;
  if (searchKey.empty() && !m_values.searchKeyFolder.empty() && !m_values.searchKeyName.empty()) {
    searchKey = Format(L"%s\\%s", m_values.searchKeyFolder.c_str(), m_values.searchKeyName.c_str());
  }
  std::wstring value;
  if (!FindRegistryValue(searchKey, m_values.tlaSearchParameter, &value)) return kAbsent;
  return MatchSemicolonList(value, m_values.validTLAs) ? kPresent : kAbsent;
}

DWORD CVAUpgradeCondition::RunExternalCommand() {
  if (m_values.externalCommand.empty()) return kPresent;
  HANDLE started = nullptr;
  if (!CreateShellProcess(m_values.externalCommand, L"", &started) || !started) FailCommand();
  CScopedHandle process(started);
  if (WaitForSingleObject(process.Get(), INFINITE) != WAIT_OBJECT_0) FailCommand();
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(process.Get(), &exitCode)) FailCommand();
  return exitCode == 0 ? kPresent : kAbsent;
}

bool CVAUpgradeCondition::IsRemoveType() const { return EqualsNoCase(m_values.type, L"remove"); }
