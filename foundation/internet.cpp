#include "foundation/internet.h"

#include <wininet.h>

#include "foundation/setup_log.h"

BOOL CheckInternetConnection(const std::wstring& url) {
  if (InternetCheckConnectionW(url.c_str(), FLAG_ICC_FORCE_CONNECTION, 0)) return TRUE;
  const DWORD error = GetLastError();
  WriteLog(L"Could not establish a connection to the internet using: '%s'.  Error code = %d", url.c_str(),
           static_cast<int>(error));
  return FALSE;
}
