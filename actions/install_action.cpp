// install_action.cpp: starts one product's install, repair or uninstall
// command line, rolls it back with the uninstall line, and keeps the
// product's reference counts.
#include "actions/install_action.h"

#include <windows.h>
#include <msi.h>

#include "actions/msi_product_state.h"
#include "actions/run_journal.h"
#include "actions/windows_installer_command.h"
#include "conditions/expression_parser.h"
#include "engine/setup_globals.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

namespace {

const wchar_t kProductNameField[] = L"[ProductName]";

// A number naming a text of the string table is that text; a number the
// table lacks stays as written.
std::wstring ResolveResourceText(const std::wstring& text) {
  if (text.empty() || text.size() > 5) return text;
  unsigned long id = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return text;
    id = id * 10 + static_cast<unsigned long>(c - L'0');
  }
  if (id > 0xFFFF) return text;
  std::wstring loaded = LoadResourceString(static_cast<UINT>(id));
  return loaded.empty() ? text : loaded;
}

std::wstring WithBackslash(const std::wstring& folder) {
  return EndsWith(folder, L"\\") ? folder : folder + L"\\";
}

}  // namespace

CInstallAction::CInstallAction(int sequence, const std::wstring& keyName,
                               const std::wstring& actionName, const std::wstring& commandLine,
                               const std::wstring& executeOptions,
                               const std::wstring& returnProcessing,
                               const CMapStringToString* properties, const std::wstring& condition,
                               CExpressionParser* parser)
    : CSetupAction(sequence, keyName, actionName, actionName),
      m_executeOptions(ParseExecuteOptions(executeOptions)),
      m_returnProcessing(ParseReturnProcessing(returnProcessing)),
      m_commandLine(ResolveResourceText(commandLine)),
      m_properties(properties),
      // The string table holds no conditions, and a number alone is a
      // condition of its own: "1" is true, not the table's first text.
      m_condition(condition),
      m_parser(parser) {}

CInstallAction::~CInstallAction() = default;

CInstallAction::EExecuteOptions CInstallAction::ParseExecuteOptions(const std::wstring& text) {
  if (EqualsNoCase(text, L"SYNC")) return kSync;
  if (EqualsNoCase(text, L"NOWAIT")) return kNoWait;
  return kWait;
}

CInstallAction::EReturnProcessing CInstallAction::ParseReturnProcessing(const std::wstring& text) {
  if (EqualsNoCase(text, L"IGNORE")) return kIgnore;
  if (EqualsNoCase(text, L"STANDARD")) return kStandard;
  return kMsi;
}

DWORD CInstallAction::Execute() {
  bool unreadable = false;
  // A condition that cannot be read is a broken configuration: skipping the
  // product would end a run that left it out as a success.
  if (!IsWanted(&unreadable)) return unreadable ? ERROR_INVALID_DATA : ERROR_SUCCESS;
  if (m_uninstall && m_noUninstall) {
    WriteLog(L"   Product was marked as NoUninstall; skipping");
    m_executed = true;
    return ERROR_SUCCESS;
  }
  if (m_repair && !m_uninstall && m_noRepair) {
    WriteLog(L"   Product was marked as NoRepair; skipping");
    m_executed = true;
    return ERROR_SUCCESS;
  }
  bool install = !m_uninstall && !m_repair;
  if (!install && Trim(LineToRun()).empty()) {
    // A program action runs no product's package: there is nothing of it
    // to repair or remove.
    WriteLog(m_uninstall ? L"   Action %s has no uninstall command line; the removal passes over it"
                         : L"   Action %s has no repair command line; the repair passes over it",
             GetActionName().c_str());
    m_executed = true;
    return ERROR_SUCCESS;
  }
  if (install) ShowStatusText();
  // Kept before the install starts: a run killed from here on leaves a later
  // run the line that removes the product again.
  bool journalled = install && !m_upgradesInPlace && m_runJournal && !GetRollbackCommandLine().empty();
  if (journalled) m_runJournal->AddProduct(m_productCode, GetRollbackCommandLine());
  HANDLE handle = nullptr;
  DWORD result = RunWindowsInstallerCommand(LineToRun(), &handle);
  m_actionHandle.Reset(handle);
  // Executed as soon as it started: a rollback must undo even a failed run.
  if (result == ERROR_SUCCESS) m_executed = true;
  if (result != ERROR_SUCCESS && journalled) m_runJournal->DropLastProduct();
  return result;
}

const std::wstring& CInstallAction::LineToRun() {
  if (m_uninstall) return GetUninstallCommandLine();
  if (m_repair) return GetRepairCommandLine();
  return m_commandLine;
}

bool CInstallAction::RunsInInstaller() { return IsWindowsInstallerCommandLine(LineToRun()); }

const std::wstring& CInstallAction::GetRollbackCommandLine() { return GetUninstallCommandLine(); }

DWORD CInstallAction::Rollback() {
  if (GetRollbackCommandLine().empty() || !EvaluateCondition()) {
    WriteLog(L"   Action %s has nothing to roll back", GetActionName().c_str());
    return ERROR_SUCCESS;
  }
  // The run found the product installed and brought it up to date: removing
  // it would take what was there before the run.
  if (m_upgradesInPlace && !m_uninstall && !m_repair) {
    WriteLog(L"   Action %s upgraded product %s in place; the rollback leaves it installed", GetActionName().c_str(),
             m_productCode.c_str());
    return ERROR_SUCCESS;
  }
  const std::wstring& line = GetRollbackCommandLine();
  WriteLog(L"   Action %s executing uninstall command line: \"%s\"", GetActionName().c_str(), line.c_str());
  HANDLE handle = nullptr;
  DWORD result = RunWindowsInstallerCommand(line, &handle);
  m_rollbackHandle.Reset(handle);
  if (result == ERROR_SUCCESS) m_executed = false;
  return result;
}

void CInstallAction::ShowStatusText() {
  if (!g_progressWindows.statusLine) return;
  std::wstring text = ReplaceAll(LoadResourceString(IDS_CONFIGURING_PRODUCT), kProductNameField,
                                 m_productName);
  SetWindowTextW(g_progressWindows.statusLine, text.c_str());
}

// A condition chooses what to install. An uninstall or a repair acts on the
// product as it is on the machine: its registered command does not carry the
// properties the install was given, so the condition could leave out a
// product the suite installed, or name one it never did. A program's action
// keeps its condition: nothing tells whether it is there.
bool CInstallAction::IsWanted(bool* unreadable) {
  if (m_restoresProduct) {
    WriteLog(L"   Condition for install action not evaluated: product %s of the suite is installed again",
             m_productCode.c_str());
    return true;
  }
  bool judgedByPresence = (m_uninstall || m_repair) && m_runsProductPackage &&
                          !m_productCode.empty() && !Trim(m_condition).empty();
  if (!judgedByPresence) {
    if (EvaluateCondition(unreadable)) return true;
    if (*unreadable) {
      WriteLog(L"   The condition of install action %s cannot be evaluated: '%s'", GetActionName().c_str(),
               m_condition.c_str());
    } else {
      WriteLog(L"   Condition for install action not satisfied; skipping");
    }
    return false;
  }
  if (IsProductInstalled(m_productCode)) {
    WriteLog(L"   Condition for install action not evaluated: product %s is installed",
             m_productCode.c_str());
    return true;
  }
  WriteLog(L"   Product %s is not installed; skipping", m_productCode.c_str());
  return false;
}

bool CInstallAction::EvaluateCondition(bool* unreadable) {
  if (Trim(m_condition).empty()) return true;
  if (!m_parser) {
    WriteLog(L"Invalid expression parser object specified");
    return false;
  }
  bool value = false;
  if (!m_parser->Evaluate(m_condition.c_str(), &value, m_properties)) {
    WriteLog(L"Failed parsing install condition");
    if (unreadable) *unreadable = true;
    return false;
  }
  WriteLog(L"Condition '%s' evaluated to %s", m_condition.c_str(), value ? L"true" : L"false");
  return value;
}

void CInstallAction::UpdateSourceList(const std::wstring& sourceFolder) {
  // Neither an empty code nor an empty folder names a source to add.
  if (m_productCode.empty() || sourceFolder.empty()) return;
  std::wstring path = WithBackslash(sourceFolder) + GetKeyName();
  DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    WriteLog(L"The installer source path does not exist: %s", path.c_str());
    return;
  }
  UINT result = MsiSourceListAddSourceW(m_productCode.c_str(), nullptr, 0, path.c_str());
  if (result != ERROR_SUCCESS) {
    WriteLog(L"The installer source list could not be updated for %s, with error: %d",
             m_productCode.c_str(), result);
    WriteLog(L"   Setting the NoRepair flag for this product");
    m_noRepair = true;
  }
}
