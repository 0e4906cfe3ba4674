// file_utils.cpp: folder trees, checked deletes and copies, temporary work
// folders and system paths.
#include "foundation/file_utils.h"

#include <windows.h>

#include <string>

BOOL CreateDirectoryTree(const std::wstring& path, LPSECURITY_ATTRIBUTES security) {
  if (path.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::wstring folder = path;
  while (folder.size() > 1 && folder.back() == L'\\') folder.pop_back();
  DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return FALSE;
  }
  if (CreateDirectoryW(folder.c_str(), security)) return TRUE;
  DWORD error = GetLastError();
  if (error != ERROR_PATH_NOT_FOUND) {
    SetLastError(error);
    return FALSE;
  }
  size_t lastSlash = folder.find_last_of(L'\\');
  if (lastSlash == std::wstring::npos || lastSlash == 0) {
    SetLastError(ERROR_INVALID_DRIVE);
    return FALSE;
  }
  std::wstring parent = folder.substr(0, lastSlash);
  if (!CreateDirectoryTree(parent, security) && GetLastError() != ERROR_ALREADY_EXISTS) return FALSE;
  if (CreateDirectoryW(folder.c_str(), security)) return TRUE;
  return FALSE;
}

std::wstring GetSystemPath(const std::wstring& fileName) {
  wchar_t folder[MAX_PATH + 1] = {};
  UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length > MAX_PATH) return fileName;
  return std::wstring(folder, length) + L"\\" + fileName;
}
