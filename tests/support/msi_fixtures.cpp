// msi_fixtures.cpp: test packages, installs, transforms and trace capture.
#include "tests/support/msi_fixtures.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <objbase.h>

#include "actions/msi_trace.h"
#include "tests/support/test_support.h"

namespace {

// {000C1082-0000-0000-C000-000000000046}
const CLSID kTransformClass = {0x000C1082, 0x0000, 0x0000,
                               {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

std::vector<std::wstring>& CapturedLines() {
  static std::vector<std::wstring> lines;
  return lines;
}

void CaptureSink(const std::wstring& line) { CapturedLines().push_back(line); }

}  // namespace

std::wstring MsiFixturePath(const std::wstring& name) {
  std::wstring path = TestExecutablePath();
  path.erase(path.find_last_of(L'\\') + 1);
  return path + L"fixtures\\msi\\" + name;
}

DWORD RunMsiexec(const std::wstring& arguments) {
  std::wstring commandLine = L"msiexec.exe " + arguments;
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return GetLastError();
  }
  CloseHandle(info.hThread);
  WaitForSingleObject(info.hProcess, 300000);
  DWORD code = ERROR_TIMEOUT;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hProcess);
  return code;
}

bool MakeNoOpTransform(const std::wstring& path) {
  MSIHANDLE database = 0;
  if (MsiOpenDatabaseW(path.c_str(), MSIDBOPEN_CREATE, &database) != ERROR_SUCCESS) return false;
  UINT committed = MsiDatabaseCommit(database);
  MsiCloseHandle(database);
  if (committed != ERROR_SUCCESS) return false;
  IStorage* storage = nullptr;
  if (FAILED(StgOpenStorage(path.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr,
                            0, &storage))) {
    return false;
  }
  HRESULT result = storage->SetClass(kTransformClass);
  storage->Release();
  return SUCCEEDED(result);
}

CInstalledPackage::CInstalledPackage(const std::wstring& packagePath, const std::wstring& productCode)
    : m_productCode(productCode),
      m_installResult(RunMsiexec(L"/i \"" + packagePath + L"\" /qn")) {}

CInstalledPackage::~CInstalledPackage() { RunMsiexec(L"/x " + m_productCode + L" /qn"); }

CMsiTraceCapture::CMsiTraceCapture() {
  CapturedLines().clear();
  SetMsiTraceSink(CaptureSink);
}

CMsiTraceCapture::~CMsiTraceCapture() { SetMsiTraceSink(nullptr); }

bool CMsiTraceCapture::Has(const std::wstring& text) const {
  std::wstring tail = L": " + text;
  for (const std::wstring& line : CapturedLines()) {
    if (line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0) {
      return true;
    }
  }
  return false;
}

const std::vector<std::wstring>& CMsiTraceCapture::Lines() const { return CapturedLines(); }

void CMsiTraceCapture::Clear() { CapturedLines().clear(); }
