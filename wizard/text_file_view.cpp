// text_file_view.cpp: the read-only copy of a page's text and the command
// that opens it.
#include "wizard/text_file_view.h"

#include <windows.h>

#include <string>
#include <vector>

#include "foundation/file_utils.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"
#include "wizard/install_path_check.h"

namespace {

const wchar_t kCommandProcessor[] = L"\\cmd.exe";

const int kCopyNames = 99;

// The whole file; false when it cannot be read.
bool ReadWhole(const std::wstring& path, std::string* contents) {
  CScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size = {};
  if (!file.IsValid() || !GetFileSizeEx(file.Get(), &size) || size.QuadPart > (16 << 20)) return false;
  contents->resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  return contents->empty() ||
         (ReadFile(file.Get(), &(*contents)[0], static_cast<DWORD>(contents->size()), &read, nullptr) &&
          read == contents->size());
}

// The file holds exactly `text`.
bool Holds(const std::wstring& path, const std::string& text) {
  std::string contents;
  return ReadWhole(path, &contents) && contents == text;
}

// "license.ENU.rtf", then "license.ENU-2.rtf" and on.
std::wstring CopyName(const std::wstring& viewName, int number) {
  if (number == 1) return viewName;
  size_t dot = viewName.rfind(L'.');
  std::wstring stem = dot == std::wstring::npos ? viewName : viewName.substr(0, dot);
  std::wstring extension = dot == std::wstring::npos ? std::wstring() : viewName.substr(dot);
  return Format(L"%s-%d%s", stem.c_str(), number, extension.c_str());
}

}  // namespace

std::wstring ViewCommandLine(const std::wstring& commandProcessor, const std::wstring& file) {
  if (file.empty() || file.find_first_of(L"\"%") != std::wstring::npos) return std::wstring();
  return L"\"" + commandProcessor + L"\" /C \"\"" + file + L"\"\"";
}

std::wstring CopyForView(const std::wstring& source, const std::wstring& folder, const std::wstring& viewName) {
  if (folder.empty()) return std::wstring();
  // Read once: an unreadable source matches no earlier copy.
  std::string text;
  bool readable = ReadWhole(source, &text);
  std::wstring target;
  for (int number = 1; number <= kCopyNames && target.empty(); ++number) {
    std::wstring candidate = WithTrailingBackslash(folder) + CopyName(viewName, number);
    if (CopyFileW(source.c_str(), candidate.c_str(), TRUE)) {
      target = candidate;
    } else {
      DWORD error = GetLastError();
      if (error != ERROR_FILE_EXISTS) {
        WriteLog(L"Failed to copy '%s' to '%s', error %d", source.c_str(), candidate.c_str(), error);
        return std::wstring();
      }
      // An earlier View's copy of the same text is the copy.
      if (readable && Holds(candidate, text)) target = candidate;
    }
  }
  if (target.empty()) return target;
  DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_READONLY)) {
    SetFileAttributesW(target.c_str(), attributes | FILE_ATTRIBUTE_READONLY);
  }
  return target;
}

bool ViewTextFile(const std::wstring& source, const std::wstring& viewName) {
  if (source.empty()) return false;
  std::wstring copy = CopyForView(source, GetTempFolderPath(), viewName);
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
