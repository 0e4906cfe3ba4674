// worker_connection.cpp: the online-update questions and the internet
// connection test before the run goes on.
#include "engine/worker.h"

#include <windows.h>

#include <string>

#include "actions/command_options.h"
#include "foundation/internet.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_log.h"
#include "resources/resource_ids.h"

namespace {

const wchar_t kTestConnectionUrlProperty[] = L"TestConnectionURL";
const wchar_t kDefaultTestConnectionUrl[] = L"http://www.example.com/";

}  // namespace

void CWorker::TestConnection() {
  bool& allowed = m_settings.onlineUpdatesAllowed;
  bool& automatic = m_settings.onlineUpdatesAutomatic;
  bool& required = m_settings.requireOnlineAccess;
  if (Mode() == CCommandOptions::kModeRepair || Mode() == CCommandOptions::kModeUninstall) {
    allowed = automatic = required = false;
    return;
  }
  if (allowed && !automatic && !required) {
    if (IsSilentLevel()) {
      allowed = false;
    } else if (ShowBox(LoadResourceString(IDS_CHECK_FOR_UPDATES), IDS_APP_NAME,
                       MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) != IDYES) {
      // Escape answers Cancel: only Yes goes online.
      allowed = false;
    } else {
      automatic = true;
    }
  }
  if (required) {
    if (!IsSilentLevel()) {
      ShowBox(LoadResourceString(IDS_INTERNET_REQUIRED), IDS_WARNING_CAPTION, MB_ICONWARNING | MB_SETFOREGROUND);
    }
    if (allowed) automatic = true;
  }
  if (!allowed && !required) return;

  std::wstring url;
  m_state->GetProperty(kTestConnectionUrlProperty, &url);
  if (url.empty()) url = kDefaultTestConnectionUrl;
  WriteLog(L"Testing the internet connection with '%s'", url.c_str());
  while (!CheckInternetConnection(url)) {
    if (IsSilentLevel()) {
      WriteLog(L"No internet connection to '%s'; setup cannot go on", url.c_str());
      throw static_cast<unsigned long>(ERROR_UNEXP_NET_ERR);
    }
    if (ShowBox(LoadResourceString(IDS_NO_INTERNET_CONNECTION), IDS_ERROR_CAPTION,
                MB_RETRYCANCEL | MB_ICONERROR | MB_SETFOREGROUND) != IDRETRY) {
      WriteLog(L"The user cancelled setup without an internet connection");
      throw static_cast<long>(0);
    }
  }
}
