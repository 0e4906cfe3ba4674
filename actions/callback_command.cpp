// callback_command.cpp: runs a removal's prompt and keeps its answer.
#include "actions/callback_command.h"

#include <windows.h>

CCallbackCommand::CCallbackCommand(const std::wstring& description, Callback callback)
    : CExternalCommand(description), m_callback(callback) {}

void CCallbackCommand::SetCallbackArguments(HWND owner, const std::wstring& text,
                                            const std::wstring& caption, UINT type) {
  m_owner = owner;
  m_text = text;
  m_caption = caption;
  m_type = type;
  m_callbackSet = true;
}

DWORD CCallbackCommand::Execute() {
  if (IsValid() && GetKind() == kDefault) {
    if (!m_callbackSet || !m_callback) return ERROR_INVALID_FUNCTION;
    m_answer = m_callback(m_owner, m_text.c_str(), m_caption.c_str(), m_type);
    return m_answer == 0 ? GetLastError() : ERROR_SUCCESS;
  }
  DWORD result = Run();
  if (IsValid() && (GetKind() == kProgram || GetKind() == kDll)) {
    m_answer = static_cast<int>(result);
    return ERROR_SUCCESS;
  }
  return result;
}
