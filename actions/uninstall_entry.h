#pragma once
// uninstall_entry.h: readers of a product's entry in the system's list of
// installed programs, SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<key>
// under HKLM; the 64-bit view first, then the 32-bit one. An entry only
// under HKCU, which the user may write, is logged and counts as missing.
#include <windows.h>

#include <string>

#include "engine/version_info.h"

// The entry's name in the list of installed programs.
extern const wchar_t kUninstallDisplayNameValue[];

// False when the entry is missing, or is not a Windows Installer product and
// has no UninstallString. For a Windows Installer product the command is
// "<system>\MSIEXEC.EXE /x <key>", empty when the entry says NoRemove and
// `ignoreNoRemove` is clear. `suiteCommand` gets SuiteUninstallString.
bool ReadUninstallEntry(const std::wstring& key, std::wstring* name, std::wstring* command,
                        std::wstring* suiteCommand, bool ignoreNoRemove);

// ReadUninstallEntry that honours NoRemove; false also for an empty command.
bool ReadUninstallNameAndCommand(const std::wstring& key, std::wstring* name,
                                 std::wstring* command);

// From "Version", else "VersionMajor"/"VersionMinor", else "DisplayVersion",
// else the first version-like digits of "DisplayName".
bool ReadUninstallProductVersion(const std::wstring& key, CVersionInfo* version);

// One text value of the entry; false when the entry or the value is missing.
bool GetProductInfo(const std::wstring& key, const std::wstring& valueName, std::wstring* value);
