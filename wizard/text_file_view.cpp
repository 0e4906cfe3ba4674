// text_file_view.cpp: the read-only copy of a page's text and the command
// that opens it.
#include "wizard/text_file_view.h"

#include <windows.h>

#include <vector>

#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kCommandProcessor[] = L"\\cmd.exe";

std::wstring WithSeparator(const std::wstring& folder) {
  if (folder.empty() || folder.back() == L'\\') return folder;
  return folder + L"\\";
}

std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  return length > 0 && length <= MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

// The copy in one folder: true when it is there (made now or before).
bool CopyInto(const std::wstring& source, const std::wstring& target) {
  if (CopyFileW(source.c_str(), target.c_str(), TRUE)) return true;
  DWORD error = GetLastError();
  if (error == ERROR_FILE_EXISTS) return true;  // an earlier View's copy is the same text
  WriteLog(L"Failed to copy '%s' to '%s', error %d", source.c_str(), target.c_str(), error);
  return false;
}

}  // namespace

std::wstring ViewCommandLine(const std::wstring& commandProcessor, const std::wstring& file) {
  if (file.empty() || file.find_first_of(L"\"%") != std::wstring::npos) return std::wstring();
  return L"\"" + commandProcessor + L"\" /C \"\"" + file + L"\"\"";
}

std::wstring CopyForView(const std::wstring& source, const std::wstring& folder, const std::wstring& viewName) {
  std::wstring target;
  for (const std::wstring& place : {WithSeparator(folder), TempFolder()}) {
    if (place.empty()) continue;
    if (CopyInto(source, place + viewName)) {
      target = place + viewName;
      break;
    }
  }
  if (target.empty()) return target;
  DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_READONLY)) {
    SetFileAttributesW(target.c_str(), attributes | FILE_ATTRIBUTE_READONLY);
  }
  return target;
}

bool ViewTextFile(const std::wstring& source, const std::wstring& setupFolder, const std::wstring& viewName) {
  if (source.empty()) return false;
  std::wstring copy = CopyForView(source, setupFolder, viewName);
  if (copy.empty()) return false;
  wchar_t system[MAX_PATH] = {};
  if (!GetSystemDirectoryW(system, MAX_PATH)) {
    WriteLog(L"Failed to GetSystemDirectory with error: %d", GetLastError());
    return false;
  }
  std::wstring commandLine = ViewCommandLine(std::wstring(system) + kCommandProcessor, copy);
  if (commandLine.empty()) {
    WriteLog(L"Not opening '%s': the path cannot be passed to the viewer safely", copy.c_str());
    return false;
  }
  WriteLog(L"Opening text file: %s", commandLine.c_str());
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(L'\0');
  std::wstring workingFolder = FolderOfPath(copy);
  STARTUPINFOW startup = {sizeof(startup)};
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      workingFolder.c_str(), &startup, &process)) {
    WriteLog(L"Failed to open '%s', error %d", copy.c_str(), GetLastError());
    return false;
  }
  CScopedHandle processHandle(process.hProcess);
  CScopedHandle threadHandle(process.hThread);
  return true;
}
