// shell_shortcut.cpp: shell links and folder shortcuts through the shell's
// COM objects.
#include "foundation/shell_shortcut.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <string>

#include "platform/com_ptr.h"

namespace {

// CLSID_FolderShortcut, spelled out: not every import library carries it.
const CLSID kFolderShortcutClassId = {
    0x0afaced1, 0xe828, 0x11d1, {0x91, 0x87, 0xb5, 0x32, 0xf1, 0xe9, 0x57, 0x5d}};

// COM for the calling thread for as long as the shortcut is built. A thread
// that already runs COM in another mode keeps it; the objects work in both.
class CComInitializer {
 public:
  CComInitializer() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  CComInitializer(const CComInitializer&) = delete;
  CComInitializer& operator=(const CComInitializer&) = delete;
  ~CComInitializer() {
    if (SUCCEEDED(m_result)) CoUninitialize();
  }

 private:
  HRESULT m_result;
};

HRESULT SaveLink(const CComPtr<IShellLinkW>& link, const std::wstring& linkPath,
                 bool completeSave) {
  CComPtr<IPersistFile> file;
  HRESULT result = link.QueryInterface(&file);
  if (FAILED(result)) return result;
  result = file->Save(linkPath.c_str(), TRUE);
  if (FAILED(result) || !completeSave) return result;
  return file->SaveCompleted(linkPath.c_str());
}

}  // namespace

HRESULT CreateShellShortcutEx(const std::wstring& linkPath, const std::wstring& target,
                              const std::wstring& arguments, const std::wstring& description,
                              const std::wstring& iconPath, int iconIndex,
                              const std::wstring& workingFolder) {
  CComInitializer com;
  CComPtr<IShellLinkW> link;
  HRESULT result = link.CreateInstance(CLSID_ShellLink);
  if (SUCCEEDED(result)) result = link->SetPath(target.c_str());
  if (SUCCEEDED(result)) result = link->SetDescription(description.c_str());
  if (SUCCEEDED(result)) result = link->SetArguments(arguments.c_str());
  if (SUCCEEDED(result) && !iconPath.empty()) {
    result = link->SetIconLocation(iconPath.c_str(), iconIndex);
  }
  if (SUCCEEDED(result) && !workingFolder.empty()) {
    result = link->SetWorkingDirectory(workingFolder.c_str());
  }
  if (SUCCEEDED(result)) result = SaveLink(link, linkPath, false);
  return result;
}

HRESULT CreateShellShortcut(const std::wstring& linkPath, const std::wstring& targetFolder,
                            const wchar_t* description) {
  CComInitializer com;
  CComPtr<IShellLinkW> link;
  HRESULT result = link.CreateInstance(kFolderShortcutClassId);
  if (SUCCEEDED(result)) result = link->SetPath(targetFolder.c_str());
  if (SUCCEEDED(result) && description) result = link->SetDescription(description);
  if (SUCCEEDED(result)) result = SaveLink(link, linkPath, true);
  return result;
}

HRESULT ReadShellShortcutTarget(const std::wstring& linkPath, std::wstring* target) {
  CComInitializer com;
  CComPtr<IShellLinkW> link;
  HRESULT result = link.CreateInstance(CLSID_ShellLink);
  CComPtr<IPersistFile> file;
  if (SUCCEEDED(result)) result = link.QueryInterface(&file);
  if (SUCCEEDED(result)) result = file->Load(linkPath.c_str(), STGM_READ);
  wchar_t path[MAX_PATH * 2] = {};
  if (SUCCEEDED(result)) result = link->GetPath(path, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
  if (SUCCEEDED(result)) *target = path;
  return result;
}
