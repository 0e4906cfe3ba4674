#pragma once
// file_version.h: the fixed file version of a file (the four parts of its
// version resource), read straight from the file where it can be, through
// the system's version functions where it cannot.
#include <windows.h>

#include <cstdint>
#include <string>

#include "foundation/pe_version_resource.h"

// From a file open for reading; `path` names the same file. False, parts
// unchanged, when it has no version resource.
bool ReadFileVersion(HANDLE file, const std::wstring& path, uint16_t parts[4]);
// The same, opening the file itself.
bool ReadFileVersion(const std::wstring& path, uint16_t parts[4]);
// The fixed version and the texts of the file's version resource, read
// straight from the file; false when it cannot be read so.
bool ReadFileVersionInfo(const std::wstring& path, CPeVersionInfo* info);
