#pragma once
// cached_copy.h: recognises a run of the suite's cached setup program, which
// only the uninstall command may start.
#include <string>

// The cache folder of the suite: `allUsersAppData` without trailing
// backslashes, "\Uninstall\", the id and a backslash; empty when either is
// unknown.
std::wstring CachedCopyFolder(const std::wstring& allUsersAppData, const std::wstring& suiteId);

// True when setup runs from that folder (compared exactly) with no mode.
bool IsRunningFromCachedCopy(const std::wstring& setupFolder, const std::wstring& allUsersAppData,
                             const std::wstring& suiteId, int mode);
