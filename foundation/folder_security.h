#pragma once
// folder_security.h: folders that only administrators may change, for what
// an administrator's later run takes from them.
#include <windows.h>

#include <string>

// Makes `folder` owned by Administrators, with full control for them and
// SYSTEM and read and execute for everyone else, nothing inherited from its
// parent; what is made in it inherits these. A missing folder is created so
// (missing parents with their usual permissions); an existing one gets them
// through its handle, and only when it is a plain folder lying where its
// name says (kNotPlainFileError otherwise). ERROR_SUCCESS or the system's
// error code.
DWORD MakeAdministratorsOnlyFolder(const std::wstring& folder);

// Gives the open folder (opened with WRITE_DAC and WRITE_OWNER) that owner
// and those permissions.
DWORD SecureOpenFolder(HANDLE folder);

// True when the open folder (opened with READ_CONTROL) is owned by
// Administrators, SYSTEM, or the account this process runs as (a system
// that keeps no owners, as Wine, shows that account as every file's).
bool IsOwnedByAdministrators(HANDLE folder);

// Makes `folder` new, in a parent that exists, with those permissions from
// its first moment. ERROR_ALREADY_EXISTS when anything stands at the name:
// a folder someone else made is never taken for one of the run's own.
DWORD CreateAdministratorsOnlyFolder(const std::wstring& folder);
