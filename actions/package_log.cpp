// package_log.cpp: a package's log added to the one before it. Wine's
// installer writes its log from the start of an existing file whatever the
// append flag says, so every package run with an earlier log writes a file
// of its own, copied onto the end of the log afterwards.
#include "actions/package_log.h"

#include <windows.h>

#include <vector>

#include "foundation/file_utils.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"
#include "foundation/tree_deletion.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kBesideFormat[] = L"%s.%lu.part";
const DWORD kCopyBlock = 65536;

bool HoldsSomething(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return false;
  return (data.nFileSizeLow != 0 || data.nFileSizeHigh != 0) && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Returns 0 or the code of the call that failed.
DWORD AppendFile(const std::wstring& from, const std::wstring& to) {
  CScopedHandle source(OpenPlainFile(from, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, false));
  if (!source.IsValid()) return GetLastError();
  CScopedHandle target(OpenPlainFile(to, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, true));
  if (!target.IsValid()) return GetLastError();
  std::vector<char> block(kCopyBlock);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(source.Get(), block.data(), kCopyBlock, &read, nullptr)) return GetLastError();
    if (read == 0) return ERROR_SUCCESS;
    DWORD written = 0;
    if (!WriteFile(target.Get(), block.data(), read, &written, nullptr)) return GetLastError();
    if (written != read) return ERROR_DISK_FULL;
  }
}

// The claimed file, judged by its handle; one that could not be had is
// left to the installer, which fails on it too.
bool LiesInOpenedLogFolder(const std::wstring& path) {
  CScopedHandle file(OpenPlainFile(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   false));
  if (!file.IsValid()) return GetLastError() != kNotPlainFileError;
  return IsInOpenedLogFolder(path, FinalPathOfOpenFile(file.Get()));
}

}  // namespace

// The installer is handed only a plain file of the run's own, made before it
// starts: through a link, or into a file with other names, it would write
// into another's file.
CPackageLog::CPackageLog(const std::wstring& file) : m_file(file), m_installerFile(file) {
  if (file.empty()) return;
  // Made only where the run's log folder still lies.
  if (!IsInOpenedLogFolder(file)) {
    m_file = m_installerFile = std::wstring();
    return;
  }
  m_file = m_installerFile = ClaimPlainFile(file);
  if (!LiesInOpenedLogFolder(m_file)) {
    m_file = m_installerFile = std::wstring();
    return;
  }
  if (m_file != file) {
    const wchar_t* why = FolderExists(file) ? L"a folder" : L"a link or a file with other names";
    WriteLog(L"   The package log %s is %s: the package logs into %s", file.c_str(), why, m_file.c_str());
  }
  if (!HoldsSomething(m_file)) return;
  std::wstring beside = Format(kBesideFormat, m_file.c_str(), GetCurrentProcessId());
  // A file of this process's name can only be left from a run killed long
  // ago: written over from its start, its old tail would follow the new log.
  DeleteFileChecked(beside, FALSE);
  m_installerFile = ClaimPlainFile(beside);
  if (!LiesInOpenedLogFolder(m_installerFile)) m_file = m_installerFile = std::wstring();
}

void CPackageLog::Finish() {
  if (m_installerFile == m_file || GetFileAttributesW(m_installerFile.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  DWORD error = AppendFile(m_installerFile, m_file);
  if (error == ERROR_SUCCESS) {
    DeleteFileChecked(m_installerFile, FALSE);
    return;
  }
  WriteLog(L"   The package's log could not be added to '%s', error %d; it stays in '%s'", m_file.c_str(),
           error, m_installerFile.c_str());
}
