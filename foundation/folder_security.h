#pragma once
// folder_security.h: folders that only administrators may change, for what
// an administrator's later run takes from them.
#include <windows.h>

#include <string>

// Makes `folder` owned by Administrators, with full control for them and
// SYSTEM and read and execute for everyone else, nothing inherited from its
// parent; what is made in it inherits these. A missing folder is created so
// (missing parents with their usual permissions); an existing one gets them.
// ERROR_SUCCESS or the system's error code.
DWORD MakeAdministratorsOnlyFolder(const std::wstring& folder);

// Makes `folder` new, in a parent that exists, with those permissions from
// its first moment. ERROR_ALREADY_EXISTS when anything stands at the name:
// a folder someone else made is never taken for one of the run's own.
DWORD CreateAdministratorsOnlyFolder(const std::wstring& folder);
