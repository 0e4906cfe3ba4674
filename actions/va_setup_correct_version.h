#pragma once
// va_setup_correct_version.h: CVASetupCorrectVersion, whether the update site
// offers newer setup files, fetching them when it does.
#include <windows.h>

#include <string>
#include <vector>

#include "actions/verify_action.h"

class CVASetupCorrectVersion : public CVerifyAction {
 public:
  // `targetFolder` receives the files: the run's temporary working copy,
  // never the original source. `updateFile` is the downloaded XML
  // description of the offer.
  CVASetupCorrectVersion(int sequence, const std::wstring& targetFolder, HWND hostDialog,
                         const std::wstring& updateFile);
  // 0 downloaded; 2 nothing newer offered or no address; 1603 a failed download.
  DWORD Execute() override;
  // Reads the offer: true when it lists files and, with an own version set,
  // offers a newer version than that.
  bool CheckForNewerSetup();
  // The running program's version; an offer that is not newer is not taken.
  void SetOwnVersion(const std::wstring& version) { m_ownVersion = version; }

  const std::wstring& GetOfferedVersion() const { return m_offeredVersion; }
  const std::vector<std::wstring>& GetDownloadedFiles() const { return m_downloaded; }

 private:
  bool DownloadOne(const std::wstring& url);

  std::wstring m_targetFolder;
  HWND m_hostDialog;
  std::wstring m_updateFile;
  std::wstring m_ownVersion;
  std::wstring m_offeredVersion;
  std::vector<std::wstring> m_urls;
  std::vector<std::wstring> m_downloaded;
};
