// setup_action.cpp: the names and order every setup action shares.
#include "actions/setup_action.h"

CSetupAction::CSetupAction(int sequence, const std::wstring& keyName,
                           const std::wstring& actionName, const std::wstring& name)
    : m_sequence(sequence), m_keyName(keyName), m_actionName(actionName), m_name(name) {}

CSetupAction::~CSetupAction() = default;
