// cached_copy.cpp: the cache folder of the suite and the run-from-cache test.
#include "engine/cached_copy.h"

#include <string>

#include "platform/wide_string.h"

namespace {
const wchar_t kCacheSubfolder[] = L"\\Uninstall";
}

const wchar_t kCachedConfigurationName[] = L"setup.dcf";

std::wstring CachedCopyFolder(const std::wstring& allUsersAppData, const std::wstring& suiteId) {
  std::wstring root = allUsersAppData;
  while (!root.empty() && root.back() == L'\\') root.pop_back();
  if (root.empty() || suiteId.empty()) return std::wstring();
  return root + kCacheSubfolder + Format(L"\\%s\\", suiteId.c_str());
}

bool IsRunningFromCachedCopy(const std::wstring& setupFolder, const std::wstring& allUsersAppData,
                             const std::wstring& suiteId, int mode) {
  std::wstring cache = CachedCopyFolder(allUsersAppData, suiteId);
  return mode == 0 && !cache.empty() && setupFolder == cache;
}
