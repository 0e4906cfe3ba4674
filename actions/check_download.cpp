// check_download.cpp: the download of a program that a verify action runs.
#include "actions/check_download.h"

#include "foundation/publisher_check.h"
#include "foundation/setup_log.h"
#include "foundation/tree_deletion.h"
#include "resources/resource_ids.h"

bool DownloadForCheck(const std::wstring& url, const std::wstring& temporary, const std::wstring& shownTarget,
                      CDownloadProgress progress, HWND hostDialog) {
  if (hostDialog) {
    progress.textControl = GetDlgItem(hostDialog, IDC_SECOND_LINE);
    progress.progressBar = GetDlgItem(hostDialog, IDC_PROGRESS_BAR);
  }
  try {
    DownloadFile(url, temporary, &progress);
  } catch (unsigned long error) {
    WriteLog(L"   Failed downloading from '%s' to '%s'.  Error code = %d", url.c_str(), shownTarget.c_str(),
             static_cast<int>(error));
    DeleteFileChecked(temporary, FALSE);
    return false;
  }
  // Whoever answers for the address could serve any program: a signed
  // setup runs only what its own publisher signed.
  if (!CPublisherCheck().Accept(temporary, url)) {
    DeleteFileChecked(temporary, FALSE);
    return false;
  }
  return true;
}
