// setup_config.cpp: loads the five [Setup] values of the setup's own
// configuration file and guards their reads.
#include "foundation/setup_config.h"

#include <windows.h>
#include <shlwapi.h>

#include <memory>

#include "foundation/dcf_names.h"
#include "foundation/error.h"
#include "foundation/kw_ini_file.h"
#include "foundation/kw_ini_file_exception.h"
#include "foundation/setup_log.h"

namespace {

const unsigned short kNotLoadedArea = 24;
const DWORD kNotLoadedCode = 0x80070005;

std::wstring CombinePath(const std::wstring& folder, const std::wstring& fileName) {
  wchar_t combined[MAX_PATH] = {};
  if (PathCombineW(combined, folder.c_str(), fileName.c_str())) return combined;
  // Longer than MAX_PATH: join by hand rather than lose the path.
  if (folder.empty()) return fileName;
  return folder.back() == L'\\' ? folder + fileName : folder + L"\\" + fileName;
}

}  // namespace

void CSetupConfig::Reset() { *this = CSetupConfig(); }

int CSetupConfig::Load(const std::wstring& folder, const std::wstring& fileName) {
  std::wstring path = CombinePath(folder, fileName);
  try {
    CKwIniFile file;
    file.Init(false);
    file.LoadFrom(path);
    std::wstring platforms, minimumMsiVersion, allowNTServer, ntMsiInstaller, setupUpdateUrl;
    file.GetValue(kSetupSection, kPlatformsKey, &platforms, L"");
    file.GetValue(kSetupSection, kMinimumMsiVersionKey, &minimumMsiVersion, L"");
    file.GetValue(kSetupSection, kAllowNTServerKey, &allowNTServer, L"");
    file.GetValue(kSetupSection, kNTMsiInstallerKey, &ntMsiInstaller, L"");
    file.GetValue(kSetupSection, kSetupUpdateUrlKey, &setupUpdateUrl, L"");
    m_platforms = platforms;
    m_minimumMsiVersion = minimumMsiVersion;
    m_allowNTServer = allowNTServer;
    m_ntMsiInstaller = ntMsiInstaller;
    m_setupUpdateUrl = setupUpdateUrl;
    m_loaded = !(platforms.empty() && minimumMsiVersion.empty() && allowNTServer.empty() &&
                 ntMsiInstaller.empty() && setupUpdateUrl.empty());
  } catch (CKwIniFileException* exception) {
    std::unique_ptr<CKwIniFileException> owned(exception);
    WriteLog(L"Exception while loading DCF file: %s error %d: %s", path.c_str(), owned->GetCode(),
             owned->GetMessageText().c_str());
    m_loaded = false;
  }
  return 0;
}

const std::wstring& CSetupConfig::LoadedValue(const std::wstring& value) const {
  if (!m_loaded) ReportInternalError(kNotLoadedArea, kNotLoadedCode, nullptr);
  return value;
}

std::wstring CSetupConfig::GetMinimumMSIVersion() const { return LoadedValue(m_minimumMsiVersion); }
std::wstring CSetupConfig::GetNTMsiInstaller() const { return LoadedValue(m_ntMsiInstaller); }
std::wstring CSetupConfig::GetSetupUpdateURL() const { return LoadedValue(m_setupUpdateUrl); }
