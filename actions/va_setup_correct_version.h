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
  // Removes the copies of the files the update replaced.
  ~CVASetupCorrectVersion() override;
  // 0 downloaded; 2 nothing newer offered or no address; 1603 a failed
  // download. Every file is fetched before any is replaced, so a failure
  // leaves the folder as it was.
  DWORD Execute() override;
  // Puts back what the update replaced, newest first; nothing the second time.
  void Rollback();
  // Reads the offer: true when it lists files and, with an own version set,
  // offers a newer version than that.
  bool CheckForNewerSetup();
  // The running program's version; an offer that is not newer is not taken.
  void SetOwnVersion(const std::wstring& version) { m_ownVersion = version; }

  const std::wstring& GetOfferedVersion() const { return m_offeredVersion; }
  // The files the update replaced or added; empty once rolled back.
  std::vector<std::wstring> GetDownloadedFiles() const;

 private:
  // A fetched file waiting in the folder under a temporary name.
  struct CFetched {
    std::wstring temporary;
    std::wstring target;
  };
  // A replaced file: its copy, or empty when the target was new.
  struct CReplaced {
    std::wstring target;
    std::wstring backup;
  };

  bool Fetch(const std::wstring& url, std::vector<CFetched>* fetched);
  bool Replace(const CFetched& file);
  std::wstring TemporaryName(const wchar_t* prefix) const;

  std::wstring m_targetFolder;
  HWND m_hostDialog;
  std::wstring m_updateFile;
  std::wstring m_ownVersion;
  std::wstring m_offeredVersion;
  std::vector<std::wstring> m_urls;
  std::vector<CReplaced> m_replaced;
};
