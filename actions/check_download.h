#pragma once
// check_download.h: a download that a verify action makes, shown in the host
// dialog's second line and bar while it runs, and kept only when it is what
// the running setup's publisher signed.
#include <windows.h>

#include <string>

#include "foundation/internet.h"

// Downloads `url` into `temporary`. False after its log line, which names
// `shownTarget`, or the publisher check's; the file is then deleted.
bool DownloadForCheck(const std::wstring& url, const std::wstring& temporary, const std::wstring& shownTarget,
                      CDownloadProgress progress, HWND hostDialog);
