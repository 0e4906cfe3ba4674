#pragma once
// nt_file.h: the system's native calls on open files and folders that the
// Win32 calls lack or make dearer: opening a name inside an open folder
// without following a link at it, listing an open folder, and reading and
// setting a file's facts through its handle.
#include <windows.h>

#include <string>
#include <vector>

// The information classes used (FILE_INFORMATION_CLASS).
const ULONG kFileBasicInformation = 4;
const ULONG kFileStandardInformation = 5;
const ULONG kFileInternalInformation = 6;
const ULONG kFileDispositionInformation = 13;
const ULONG kFileAttributeTagInformation = 35;

struct CFileBasicInformation {
  LARGE_INTEGER creationTime;
  LARGE_INTEGER lastAccessTime;
  LARGE_INTEGER lastWriteTime;
  LARGE_INTEGER changeTime;
  ULONG attributes;
};

struct CFileStandardInformation {
  LARGE_INTEGER allocationSize;
  LARGE_INTEGER endOfFile;
  ULONG numberOfLinks;
  BOOLEAN deletePending;
  BOOLEAN directory;
};

struct CFileAttributeTagInformation {
  ULONG attributes;
  ULONG reparseTag;
};

// Asks the open file itself; GetFileInformationByHandle asks its volume too,
// which under Wine goes to another process and costs many times more.
bool QueryOpenFile(HANDLE file, void* value, ULONG size, ULONG kind);

// Sets a fact of the open file: ERROR_SUCCESS or the system's error code.
DWORD SetOpenFileFact(HANDLE file, const void* value, ULONG size, ULONG kind);

// Opens `name` (one component) in the open folder `folder`; a link at the
// name is opened itself where the system can (Wine opens what it leads
// to). Every sharing is allowed: an open by someone who shares nothing
// still refuses the access asked. INVALID_HANDLE_VALUE with the last error.
HANDLE OpenInFolder(HANDLE folder, const std::wstring& name, ACCESS_MASK access);

// The names in the open folder (opened with FILE_LIST_DIRECTORY), "." and
// ".." left out; false, with the last error, when it cannot be listed.
bool ListOpenFolder(HANDLE folder, std::vector<std::wstring>* names);
