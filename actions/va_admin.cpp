// va_admin.cpp: the built-in administrator check.
#include "actions/va_admin.h"

#include <windows.h>

#include <vector>

#include "engine/message_box.h"
#include "foundation/resource_strings.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"
#include "resources/resource_ids.h"

namespace {
const wchar_t kSection[] = L"VerifyActions.*.Admin";
}

CVAAdmin::CVAAdmin(int sequence) : CVerifyAction(sequence, L"*", kSection, kSection) {}

DWORD CVAAdmin::Execute() {
  if (IsAdmin()) return ERROR_SUCCESS;
  if (!IsSilent()) {
    ShowMessageBox(nullptr, LoadResourceString(IDS_NOT_ADMINISTRATOR).c_str(),
                   LoadResourceString(IDS_ERROR_CAPTION).c_str(), MB_ICONERROR | MB_SETFOREGROUND);
  }
  SetLastError(ERROR_PRIVILEGE_NOT_HELD);
  return kVerifyEndWithLastError;
}

bool CVAAdmin::IsAdmin(HANDLE token) {
  CScopedHandle own;
  if (!token) {
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) {
      DWORD error = GetLastError();
      WriteLog(L"Failed to open process token in CVAAdmin::IsAdmin. Error = %08X", error);
      return false;
    }
    own.Reset(opened);
    token = opened;
  }
  DWORD size = 0;
  if (GetTokenInformation(token, TokenGroups, nullptr, 0, &size) || GetLastError() != ERROR_INSUFFICIENT_BUFFER ||
      size == 0) {
    DWORD error = GetLastError();
    WriteLog(L"Failed to determine required buffer size for token groups in CVAAdmin::IsAdmin. Error = %08X", error);
    return false;
  }
  std::vector<BYTE> buffer(size);
  if (!GetTokenInformation(token, TokenGroups, buffer.data(), size, &size)) {
    DWORD error = GetLastError();
    WriteLog(L"Failed to retrieve token group information in CVAAdmin::IsAdmin. Error = %08X", error);
    return false;
  }
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                0, 0, &administrators)) {
    DWORD error = GetLastError();
    WriteLog(L"Failed to retrieve Administrator SID in CVAAdmin::IsAdmin. Error = %08X", error);
    return false;
  }
  const TOKEN_GROUPS* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  bool admin = false;
  for (DWORD i = 0; i < groups->GroupCount && !admin; ++i) {
    const SID_AND_ATTRIBUTES& group = groups->Groups[i];
    admin = EqualSid(group.Sid, administrators) && (group.Attributes & SE_GROUP_ENABLED) &&
            !(group.Attributes & SE_GROUP_USE_FOR_DENY_ONLY);
  }
  FreeSid(administrators);
  return admin;
}
