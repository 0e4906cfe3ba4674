#pragma once
// cached_copy.h: recognises a run of the suite's cached setup program, which
// only the uninstall command may start.
#include <string>

// The file name of the configuration in the cache folder; every other
// ".dcf" there is a product file named after its product.
extern const wchar_t kCachedConfigurationName[];

// The cache folder of the suite: `allUsersAppData` without trailing
// backslashes, "\Uninstall\", the id and a backslash; empty when either is
// unknown.
std::wstring CachedCopyFolder(const std::wstring& allUsersAppData, const std::wstring& suiteId);

// True when setup runs from that folder (compared exactly) with no mode.
bool IsRunningFromCachedCopy(const std::wstring& setupFolder, const std::wstring& allUsersAppData,
                             const std::wstring& suiteId, int mode);
