// worker_checks.cpp: the compatibility-mode check and the message-name map
// of the main routine's early steps.
#include "engine/worker.h"

#include <windows.h>

#include <string>

#include "actions/command_options.h"
#include "engine/setup_host.h"
#include "foundation/registry_key.h"
#include "foundation/resource_strings.h"
#include "foundation/setup_log.h"
#include "resources/resource_ids.h"

namespace {

const wchar_t kCompatLayersKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AppCompatFlags\\Layers";

struct CMessageName {
  const wchar_t* name;
  long id;
};
// 0: the message of the check itself, which is the default text.
const CMessageName kUnsupportedOSMessages[] = {
    {L"UnsupportedOS", IDS_UNSUPPORTED_OS_NAMED},
    {L"UnsupportedMinimumOS", IDS_UNSUPPORTED_MINIMUM_OS},
    {L"UnsupportedUpgrade", IDS_UNSUPPORTED_UPGRADE},
    {L"MultiProductUnsupportedOS", IDS_PRODUCTS_NOT_SUPPORTED},
    {L"MultiProductUnsupportedOSConfig", IDS_PRODUCTS_NOT_SUPPORTED_CONFIG},
    {L"MultiProductUnsupportedOSAbort", IDS_PRODUCTS_NOT_SUPPORTED_ABORT},
    {L"MultiProductUnsupportedOEMSystem", IDS_PRODUCTS_NOT_SUPPORTED_OEM},
    {L"DefinedInVerifyAction", 0},
};

// A missing key or value reads as empty; other registry errors pass on.
std::wstring ReadLayer(HKEY root, const std::wstring& valueName) {
  try {
    CRegistryKey key;
    key.Open(root, kCompatLayersKey, KEY_READ, false);
    return key.GetValueSZ(valueName);
  } catch (const CRegistryKey::CMissingKey&) {
  } catch (const CRegistryKey::CMissingValue&) {
  }
  return std::wstring();
}

void DeleteLayer(HKEY root, const std::wstring& valueName) {
  CRegistryKey key;
  key.Open(root, kCompatLayersKey, KEY_READ | KEY_SET_VALUE, false);
  key.DeleteValue(valueName);
}

}  // namespace

// 1 when the user chose to leave compatibility mode and start again.
int CWorker::CheckAppCompatMode() {
  bool silent = UiLevel() == CCommandOptions::kUILevelNoneWithEndDialog ||
                UiLevel() == CCommandOptions::kUILevelNone;
  const std::wstring& program = m_commandLine->ProgramPath();
  std::wstring userLayer = ReadLayer(HKEY_CURRENT_USER, program);
  std::wstring machineLayer = ReadLayer(HKEY_LOCAL_MACHINE, program);
  if (userLayer.empty() && machineLayer.empty()) return 0;
  WriteLog(L"Setup is running in applicaiton compatability mode");
  if (silent) {
    WriteLog(L"   The installation is running in silent mode and will continue in compatability mode");
    return 0;
  }
  HWND owner = m_host ? m_host->GetOwnerWindow() : nullptr;
  int answer = ShowBox(LoadResourceString(IDS_COMPATIBILITY_MODE), IDS_INFORMATION_CAPTION,
                       MB_YESNO | MB_ICONWARNING | MB_SETFOREGROUND, owner);
  if (answer != IDYES) {
    WriteLog(L"   The user has elected to continue with the installation");
    return 0;
  }
  WriteLog(L"   The user has elected to restart the installation");
  if (!userLayer.empty()) DeleteLayer(HKEY_CURRENT_USER, program);
  if (!machineLayer.empty()) DeleteLayer(HKEY_LOCAL_MACHINE, program);
  return 1;
}

void CWorker::MapUnsupportedOSMessages() {
  m_state->m_messageIds.clear();
  for (const CMessageName& message : kUnsupportedOSMessages) {
    m_state->m_messageIds[message.name] = message.id;
  }
  m_state->SetProperty(L"DefinedInVerifyAction", L"Undefined");
}
