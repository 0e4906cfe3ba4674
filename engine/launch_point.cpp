// launch_point.cpp: creates the launch-point shortcut from the [Shortcut]
// section of the configuration and the running program's command line.
#include "engine/launch_point.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "foundation/dcf_names.h"
#include "foundation/file_utils.h"
#include "foundation/kw_ini_file.h"
#include "foundation/log_packaging.h"
#include "foundation/setup_log.h"
#include "foundation/shell_shortcut.h"
#include "foundation/text_utils.h"
#include "foundation/tree_deletion.h"
#include "platform/wide_string.h"

namespace {
const wchar_t kLaunchPointSwitch[] = L"/CreateLaunchPoint";
const DWORD kInvalidCommandLine = 1639;  // ERROR_INVALID_COMMAND_LINE
const wchar_t kShortcutExtension[] = L".lnk";

bool IsWordEdge(const std::wstring& text, size_t at) {
  return at >= text.size() || IsBlank(text[at]);
}

bool IsShortcutTo(const std::wstring& link, const std::wstring& target) {
  std::wstring stored;
  if (!EndsWith(ToLower(link), kShortcutExtension) || FAILED(ReadShellShortcutTarget(link, &stored))) return false;
  std::wstring full = GetFullPath(stored);
  return !full.empty() && EqualsNoCase(full, GetFullPath(target));
}

// A shortcut may be replaced by a new one; any other file (or a link to
// one) at its name is someone's data.
bool IsReplaceable(const std::wstring& link) {
  DWORD attributes = GetFileAttributesW(link.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  std::wstring stored;
  return !(attributes & FILE_ATTRIBUTE_DIRECTORY) && !IsLinkPath(link) &&
         SUCCEEDED(ReadShellShortcutTarget(link, &stored));
}

}  // namespace

std::wstring WithoutLaunchPointSwitch(const std::wstring& commandLine) {
  std::wstring text = commandLine;
  const std::wstring kSwitch = kLaunchPointSwitch;
  size_t at = 0;
  while ((at = FindNoCase(text, kSwitch, at)) != std::wstring::npos) {
    bool word = (at == 0 || IsBlank(text[at - 1])) && IsWordEdge(text, at + kSwitch.size());
    if (!word) {
      at += kSwitch.size();
      continue;
    }
    size_t end = at + kSwitch.size();
    while (end < text.size() && IsBlank(text[end])) ++end;
    text.erase(at, end - at);
  }
  return text;
}

CLaunchPoint::CLaunchPoint(const CKwIniFile& configuration, ExpandFunction expand)
    : m_configuration(configuration), m_expand(std::move(expand)) {}

std::wstring CLaunchPoint::Read(const wchar_t* key) const {
  std::wstring value;
  m_configuration.GetValue(kShortcutSection, key, &value, std::wstring());
  return Trim(value);
}

DWORD CLaunchPoint::Create(const std::wstring& commandLine, const std::wstring& setupDir) const {
  WriteLog(L"Creating Launch Point");
  if (setupDir.empty()) {
    WriteLog(L"   WARNING: The ReplacementMap {SetupDir} could not be found.");
    return ERROR_INVALID_DATA;
  }
  std::wstring arguments = WithoutLaunchPointSwitch(commandLine);
  std::wstring program;
  if (!ExtractToken(&arguments, &program, L" ", true) || program.empty()) {
    WriteLog(L"   Failed extracting the program name from the command line");
    return kInvalidCommandLine;
  }
  std::wstring target = Target(setupDir, program);
  std::wstring link = m_expand(Read(kLaunchPointLinkKey));
  std::wstring description = Read(kLaunchPointDescKey);
  std::wstring icon = m_expand(Read(kLaunchPointIconKey));
  if (!icon.empty() && !FileExists(icon)) {
    WriteLog(L"   The launch point icon '%s' does not exist; the shortcut gets none", icon.c_str());
    icon.clear();
  }
  if (link.empty()) {
    WriteLog(L"   No launch point link is configured ([%s] %s)", kShortcutSection, kLaunchPointLinkKey);
    return ERROR_INVALID_DATA;
  }
  if (!IsReplaceable(link)) {
    WriteLog(L"   '%s' exists and is not a shortcut; it is left as it is", link.c_str());
    return ERROR_INVALID_DATA;
  }
  std::wstring linkFolder = FolderOfPath(link, false);
  if (!linkFolder.empty() && GetFileAttributesW(linkFolder.c_str()) == INVALID_FILE_ATTRIBUTES) {
    int created = SHCreateDirectoryExW(nullptr, linkFolder.c_str(), nullptr);
    if (created != ERROR_SUCCESS) WriteLog(L"   Failed creating folder '%s', error %d", linkFolder.c_str(), created);
  }
  WriteLog(L"   Launch Point Link: %s", link.c_str());
  WriteLog(L"   Launch Point Target: %s %s", target.c_str(), Trim(arguments).c_str());
  HRESULT result = CreateShellShortcutEx(link, target, Trim(arguments), description, icon, 0, setupDir);
  if (FAILED(result)) WriteLog(L"   Failed to create the launch point, error 0x%08X", result);
  return static_cast<DWORD>(result);
}

std::wstring CLaunchPoint::Target(const std::wstring& setupDir, const std::wstring& programPath) {
  return setupDir + L"\\" + FileNameOfPath(programPath);
}

void CLaunchPoint::Cleanup(const std::wstring& setupDir, const std::wstring& programPath) const {
  std::wstring link = m_expand(Read(kLaunchPointLinkKey));
  WriteLog(L"Cleanup Launch Point");
  if (link.empty() || !FileExists(link)) {
    WriteLog(L"   The folder '%s' does not exist", link.c_str());
    return;
  }
  std::wstring target = Target(setupDir, programPath);
  if (setupDir.empty() || !IsShortcutTo(link, target)) {
    WriteLog(L"   '%s' is not a shortcut to '%s'; it is left in place", link.c_str(), target.c_str());
    return;
  }
  if (!DeleteFileChecked(link, FALSE)) {
    WriteLog(L"   WARNING: The launch point '%s' could not be deleted, error %d", link.c_str(),
             static_cast<int>(GetLastError()));
    return;
  }
  // The desktop or another folder of the system's stays, empty or not.
  std::wstring folder = FolderOfPath(link, false);
  if (!folder.empty() && !IsProtectedFolder(folder)) RemoveEmptyFolderTree(folder);
}
