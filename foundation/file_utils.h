#pragma once
// file_utils.h: file and folder helpers: folder trees, checked deletes,
// copies, temporary work folders and system-folder paths.
#include <windows.h>

#include <string>

// Creates the folder and its missing parents. False with last error 87 for an
// empty path, 183 when the folder exists (callers accept that), 15 when no
// parent is left to create.
BOOL CreateDirectoryTree(const std::wstring& path, LPSECURITY_ATTRIBUTES security);

// System folder + "\" + name: every system DLL is loaded by its full path.
std::wstring GetSystemPath(const std::wstring& fileName);
