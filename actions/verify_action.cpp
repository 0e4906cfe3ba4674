// verify_action.cpp: what every pre-install check shares.
#include "actions/verify_action.h"

#include "foundation/setup_log.h"

CVerifyAction::CVerifyAction(int sequence, const std::wstring& keyName,
                             const std::wstring& actionName, const std::wstring& name)
    : CSetupAction(sequence, keyName, actionName, name) {}

// Never 0: an unbuilt check must not pass for a passed one.
DWORD CVerifyAction::NotBuiltYet(const wchar_t* check) const {
  WriteLog(L"   Stage not built yet: %s", check);
  return ERROR_CALL_NOT_IMPLEMENTED;
}
