// verify_action.cpp: what every pre-install check shares.
#include "actions/verify_action.h"

CVerifyAction::CVerifyAction(int sequence, const std::wstring& keyName,
                             const std::wstring& actionName, const std::wstring& name)
    : CSetupAction(sequence, keyName, actionName, name) {}

