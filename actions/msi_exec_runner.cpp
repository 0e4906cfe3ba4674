// msi_exec_runner.cpp: the in-process installer thread: parses the command
// line, sets the installer's user interface, log and progress handler, and
// installs, repairs or removes the package.
#include "actions/msi_exec_runner.h"

#include <windows.h>
#include <msi.h>
#include <shlwapi.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "actions/msi_dll.h"
#include "actions/msi_exec_command_line.h"
#include "actions/msi_external_ui.h"
#include "actions/msi_internal_ui_guard.h"
#include "actions/msi_product_state.h"
#include "actions/package_log.h"
#include "foundation/file_utils.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"
#include "foundation/tree_deletion.h"
#include "platform/thread.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kInstallerMutex[] = L"_MSIExecute";
const wchar_t kInstallerService[] = L"MSIServer";
const wchar_t kHandlerContext[] = L"Pelko Setup";
const int kBusyAttempts = 13;
const DWORD kBusyWaitMilliseconds = 10000;
const DWORD kNoPackage = 3;
// Every log mode but files in use.
const DWORD kLogModes = 0x1FDF;
// User, files in use, resolve source, out of disk space, action start,
// action data, progress, common data, initialize, terminate, show dialog,
// Restart Manager files in use.
const DWORD kHandlerFilter = 0x02007FE8;

class CScopedServiceHandle {
 public:
  explicit CScopedServiceHandle(SC_HANDLE handle) : m_handle(handle) {}
  CScopedServiceHandle(const CScopedServiceHandle&) = delete;
  CScopedServiceHandle& operator=(const CScopedServiceHandle&) = delete;
  ~CScopedServiceHandle() {
    if (m_handle) CloseServiceHandle(m_handle);
  }
  SC_HANDLE Get() const { return m_handle; }

 private:
  SC_HANDLE m_handle;
};

void StopInstallerService() {
  CScopedServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager.Get()) {
    WriteLog(L"   Failed accessing service control manager.");
    return;
  }
  CScopedServiceHandle service(
      OpenServiceW(manager.Get(), kInstallerService, SERVICE_STOP | SERVICE_QUERY_STATUS));
  if (!service.Get()) {
    WriteLog(L"   Failed accessing Windows Installer service.");
    return;
  }
  SERVICE_STATUS status = {};
  if (!QueryServiceStatus(service.Get(), &status)) {
    WriteLog(L"   Unable to query service status for Windows Installer service.");
    return;
  }
  if (status.dwCurrentState == SERVICE_STOPPED || status.dwCurrentState == SERVICE_STOP_PENDING ||
      !(status.dwControlsAccepted & SERVICE_ACCEPT_STOP)) {
    return;
  }
  WriteLog(L"   Attempting to stop Windows Installer service.");
  if (!ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) {
    WriteLog(L"   Failed to stop Windows Installer service.");
  }
}

void SleepFor(DWORD milliseconds) { Sleep(milliseconds); }

InstallerServiceStop g_stopService = StopInstallerService;
InstallerSleep g_sleep = SleepFor;

// The installer runs one installation at a time, and its interface level,
// log and progress handler are process-wide: packages started side by side
// would overwrite each other's settings (and Wine's msi.dll may hang on two
// at once). So the installer is handed on in the order the packages were
// started, which is the order of their actions, whatever order their
// threads get going in.
class CInstallerTurns {
 public:
  unsigned long Take() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_next++;
  }
  void Wait(unsigned long turn) {
    std::unique_lock<std::mutex> lock(m_lock);
    m_changed.wait(lock, [this, turn] { return m_serving == turn; });
  }
  // Also for a turn whose thread never started: the next one goes on.
  void Done(unsigned long turn) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_finished.insert(turn);
    while (m_finished.erase(m_serving)) ++m_serving;
    m_changed.notify_all();
  }

 private:
  std::mutex m_lock;
  std::condition_variable m_changed;
  unsigned long m_next = 0;
  unsigned long m_serving = 0;
  std::set<unsigned long> m_finished;
};

CInstallerTurns g_installerTurns;

class CInstallerTurn {
 public:
  explicit CInstallerTurn(unsigned long turn) : m_turn(turn) { g_installerTurns.Wait(turn); }
  CInstallerTurn(const CInstallerTurn&) = delete;
  CInstallerTurn& operator=(const CInstallerTurn&) = delete;
  ~CInstallerTurn() { g_installerTurns.Done(m_turn); }

 private:
  unsigned long m_turn;
};

struct CInstallerJob {
  std::wstring commandLine;
  unsigned long turn;
};

// Runner threads still running, for the wait before the process ends.
std::mutex g_threadsLock;
std::vector<CScopedHandle> g_threads;

void KeepThread(HANDLE thread) {
  HANDLE copy = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &copy, SYNCHRONIZE, FALSE,
                       0)) {
    return;
  }
  std::lock_guard<std::mutex> lock(g_threadsLock);
  std::vector<CScopedHandle> running;
  for (CScopedHandle& kept : g_threads) {
    if (WaitForSingleObject(kept.Get(), 0) == WAIT_TIMEOUT) running.push_back(std::move(kept));
  }
  running.emplace_back(copy);
  g_threads.swap(running);
}

void PrepareLogFolder(CMsiExecCommandLine* parsed) {
  const std::wstring& logFile = parsed->GetLogFile();
  size_t slash = logFile.find_last_of(L'\\');
  if (logFile.empty() || slash == std::wstring::npos || slash == 0) return;
  std::wstring folder = logFile.substr(0, slash);
  DWORD error = CreateLogFolder(logFile);
  if (error == ERROR_SUCCESS) return;
  WriteLog(L"   The folder '%s' could not be created for log file '%s'. Error: %d", folder.c_str(),
           logFile.c_str(), error);
  // The installer would accept the path and silently write no log.
  parsed->DropLogFile();
}

void RegisterHandler(int level) {
  if (!(level & INSTALLUILEVEL_NONE) || !GetInstallerProgressSink()->HasBar()) return;
  DLLVERSIONINFO version = {};
  if (!GetMsiDllVersion(&version)) return;
  if (version.dwMajorVersion < 4) {
    WriteLog(L"   MSI.dll is too low to show the progress bar: version %d.%d",
             version.dwMajorVersion, version.dwMinorVersion);
    return;
  }
  ResetInstallerProgress();
  MsiSetExternalUIW(MsiExternalUIHandler, kHandlerFilter,
                    const_cast<wchar_t*>(kHandlerContext));
}

UINT RunInstaller(const CMsiExecCommandLine& parsed) {
  const wchar_t* package = parsed.GetPackage().c_str();
  const wchar_t* properties = parsed.GetProperties().c_str();
  if (parsed.IsUninstall()) {
    std::wstring location;
    GetInstallLocation(parsed.GetPackage(), &location);
    WriteLog(L"   Uninstalling Package: '%s', with Properties: '%s'", package, properties);
    UINT result = MsiConfigureProductExW(package, INSTALLLEVEL_DEFAULT, INSTALLSTATE_DEFAULT,
                                         properties);
    // The installer leaves the folders it created; only empty ones go.
    if (result == ERROR_SUCCESS && !location.empty()) RemoveEmptyFolderTree(location);
    return result;
  }
  if (parsed.IsRepair()) {
    WriteLog(L"   Repairing Package: '%s', with Properties: '%s'", package, properties);
    return MsiConfigureProductExW(package, INSTALLLEVEL_DEFAULT, INSTALLSTATE_DEFAULT, properties);
  }
  WriteLog(L"   Installing Package: '%s', with Properties: '%s'", package, properties);
  return MsiInstallProductW(package, properties);
}

unsigned __stdcall MsiExecThreadProc(void* parameter) {
  std::unique_ptr<CInstallerJob> job(static_cast<CInstallerJob*>(parameter));
  CInstallerTurn turn(job->turn);
  CMsiExecCommandLine parsed(job->commandLine);
  int level = parsed.GetUILevel();
  for (const std::wstring& message : parsed.GetMessages()) WriteLog(L"%s", message.c_str());
  if (parsed.GetPackage().empty()) return kNoPackage;
  PrepareLogFolder(&parsed);

  UINT result;
  CPackageLog log(parsed.GetLogFile());
  {
    CMsiInternalUIGuard uiLevel(static_cast<INSTALLUILEVEL>(level));
    // A log refused where it was to be made leaves the package without one.
    bool logged = !log.InstallerFile().empty();
    if (logged) MsiEnableLogW(kLogModes, log.InstallerFile().c_str(), INSTALLLOGATTRIBUTES_APPEND);
    RegisterHandler(level);
    result = RunInstaller(parsed);
    // The log setting is process-wide: the next package must not write here.
    if (logged) MsiEnableLogW(0, nullptr, 0);
  }
  log.Finish();
  SetUserCancelled(false);
  WriteLog(L"   Execution of Windows Installer package '%s' finished with exit code = %d",
           parsed.GetPackage().c_str(), result);
  if (result != ERROR_SUCCESS && result != ERROR_SUCCESS_REBOOT_REQUIRED && result != ERROR_SUCCESS_REBOOT_INITIATED) {
    // The installer's own log says why; this log only has its code.
    if (log.File().empty()) {
      WriteLog(L"   The package ran without a log of its own");
    } else {
      WriteLog(L"   The package's own log tells why: %s", log.File().c_str());
    }
  }
  return result;
}

}  // namespace

void SetInstallerBusyFunctions(InstallerServiceStop stop, InstallerSleep sleep) {
  g_stopService = stop ? stop : StopInstallerService;
  g_sleep = sleep ? sleep : SleepFor;
}

bool IsWindowsInstallerBusy() {
  for (int attempt = 0; attempt < kBusyAttempts; ++attempt) {
    CScopedHandle mutex(CreateMutexW(nullptr, FALSE, kInstallerMutex));
    DWORD error = GetLastError();
    if (mutex.IsValid() && error != ERROR_ALREADY_EXISTS) return false;
    WriteLog(L"   Another instance of Windows Installer service is running.");
    g_stopService();
    g_sleep(kBusyWaitMilliseconds);
  }
  return true;
}

DWORD RunMsiExecCommand(const std::wstring& commandLine, HANDLE* thread) {
  if (thread) *thread = nullptr;
  if (IsWindowsInstallerBusy()) {
    WriteLog(L"   Another instance of Windows Installer Service is running and won't stop. "
             L"Aborting setup");
    return ERROR_INSTALL_ALREADY_RUNNING;
  }
  std::unique_ptr<CInstallerJob> job(new CInstallerJob{commandLine, g_installerTurns.Take()});
  DWORD error = ERROR_SUCCESS;
  CScopedHandle started(StartThread(MsiExecThreadProc, job.get(), &error));
  if (!started.IsValid()) {
    WriteLog(L"    RunWindowsInstallerCommand failed with error code %d", error);
    g_installerTurns.Done(job->turn);
    return error;
  }
  job.release();  // the thread owns it now
  KeepThread(started.Get());
  if (thread) *thread = started.Release();
  return ERROR_SUCCESS;
}

void WaitForWindowsInstallerThreads() {
  std::vector<CScopedHandle> threads;
  {
    std::lock_guard<std::mutex> lock(g_threadsLock);
    threads.swap(g_threads);
  }
  for (CScopedHandle& thread : threads) {
    if (WaitForSingleObject(thread.Get(), 0) != WAIT_TIMEOUT) continue;
    WriteLog(L"   Waiting for a Windows Installer package that is still running");
    WaitForSingleObject(thread.Get(), INFINITE);
  }
}
