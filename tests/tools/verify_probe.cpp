// verify_probe.cpp: a small program of the tests that runs one verify action
// the way the setup's checks stage does, so end-to-end tests can run it in a
// prepared prefix (for example under a per-program Windows version) and read
// its result from the log and the exit code (the action's result).
// Usage: verify_probe.exe MODE [ARGS...]
//   admin
//   restricted       runs "admin" in a child whose token lists the
//                    Administrators group for deny only; its exit code
//   qualified PLATFORMS ALLOWWIN64 ALLOWXPHOME ALLOWSERVER2003
//   msi MINIMUM INSTALLER
//   custom COMMAND
//   upgrade UNINSTALLKEY VALIDVERSIONS [EXTERNALCOMMAND]
//   update FOLDER OFFERXML [OWNVERSION]
//                    the setup update into FOLDER; logs each file it fetched
#include <windows.h>

#include <memory>
#include <string>

#include "actions/va_admin.h"
#include "actions/va_custom.h"
#include "actions/va_is_qualified.h"
#include "actions/va_msi_correct_version.h"
#include "actions/va_setup_correct_version.h"
#include "actions/va_upgrade_condition.h"
#include "engine/setup_aggregate.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"

namespace {

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH * 2] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  std::wstring text = path;
  return text.substr(0, text.find_last_of(L'\\') + 1);
}

std::wstring Arg(int argc, wchar_t** argv, int index) { return index < argc ? argv[index] : L""; }

std::unique_ptr<CVerifyAction> MakeAction(int argc, wchar_t** argv) {
  std::wstring mode = Arg(argc, argv, 1);
  if (mode == L"admin") return std::unique_ptr<CVerifyAction>(new CVAAdmin(0));
  if (mode == L"qualified") {
    return std::unique_ptr<CVerifyAction>(new CVAIsQualified(0, L"*", L"VerifyActions.*.IsQualified", L"",
                                                             Arg(argc, argv, 2), Arg(argc, argv, 3),
                                                             Arg(argc, argv, 4), Arg(argc, argv, 5)));
  }
  if (mode == L"msi") {
    std::unique_ptr<CVAMSICorrectVersion> action(
        new CVAMSICorrectVersion(0, L"*", L"VerifyActions.*.EnsureMSI", Arg(argc, argv, 2)));
    action->SetInstaller(ProgramFolder(), Arg(argc, argv, 3), Arg(argc, argv, 2));
    // An address is fetched only where downloads are allowed.
    action->SetNoDownload(Arg(argc, argv, 3).find(L"://") == std::wstring::npos);
    return std::move(action);
  }
  if (mode == L"custom") {
    std::unique_ptr<CVACustom> action(new CVACustom(501, L"P1", L"VerifyActions.P1.Check", L"Product One"));
    action->SetSourceFolder(ProgramFolder(), false);
    action->SetCommand(Arg(argc, argv, 2));
    return std::move(action);
  }
  if (mode == L"upgrade") {
    CVAUpgradeCondition::CValues values;
    values.uninstallKey = Arg(argc, argv, 2);
    values.validVersions = Arg(argc, argv, 3);
    values.externalCommand = Arg(argc, argv, 4);
    return std::unique_ptr<CVerifyAction>(new CVAUpgradeCondition(0, L"P1", L"UpgradeConditions.P1.Earlier", values));
  }
  if (mode == L"update") {
    std::unique_ptr<CVASetupCorrectVersion> action(
        new CVASetupCorrectVersion(0, Arg(argc, argv, 2), nullptr, Arg(argc, argv, 3)));
    action->SetOwnVersion(Arg(argc, argv, 4));
    return std::move(action);
  }
  return nullptr;
}

// The filtered token of a non-elevated administrator, as UAC gives it.
int RunRestrictedChild() {
  HANDLE process = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &process)) return static_cast<int>(GetLastError());
  CScopedHandle processToken(process);
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                0, 0, &administrators)) {
    return static_cast<int>(GetLastError());
  }
  SID_AND_ATTRIBUTES deny = {administrators, 0};
  HANDLE restricted = nullptr;
  BOOL created = CreateRestrictedToken(processToken.Get(), 0, 1, &deny, 0, nullptr, 0, nullptr, &restricted);
  FreeSid(administrators);
  if (!created) return static_cast<int>(GetLastError());
  CScopedHandle token(restricted);
  wchar_t path[MAX_PATH * 2] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH * 2);
  std::wstring commandLine = L"\"" + std::wstring(path) + L"\" admin";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessAsUserW(token.Get(), nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &info)) {
    return static_cast<int>(GetLastError());
  }
  CScopedHandle child(info.hProcess);
  CScopedHandle thread(info.hThread);
  WaitForSingleObject(child.Get(), INFINITE);
  DWORD exitCode = 0;
  GetExitCodeProcess(child.Get(), &exitCode);
  return static_cast<int>(exitCode);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && std::wstring(argv[1]) == L"restricted") return RunRestrictedChild();
  InitializeLogging(GetCommandLineW());
  CSetupAggregate aggregate;
  aggregate.writeLog = WriteLog;
  g_setupAggregate = &aggregate;
  std::unique_ptr<CVerifyAction> action = MakeAction(argc, argv);
  if (!action) return ERROR_INVALID_PARAMETER;
  action->SetSilent(true);
  try {
    WriteLog(L"Executing setup action: %s", action->GetActionName().c_str());
    DWORD result = action->Execute();
    // The last error means something only for 1247.
    DWORD lastError = result == kVerifyEndWithLastError ? GetLastError() : 0;
    WriteLog(L"   Action %s return code: %d, last error: %d", action->GetActionName().c_str(),
             static_cast<int>(result), static_cast<int>(lastError));
    if (auto* update = dynamic_cast<CVASetupCorrectVersion*>(action.get())) {
      for (const std::wstring& file : update->GetDownloadedFiles()) WriteLog(L"Fetched %s", file.c_str());
    }
    return static_cast<int>(result);
  } catch (unsigned long code) {
    WriteLog(L"Ended with code %d", code);
    return static_cast<int>(code);
  }
}
