#pragma once
// callback_command.h: CCallbackCommand, the prompt of a removal: a command
// that, when the configuration leaves it at DEFAULT, asks through a function
// of the program (the message box) and keeps the button as its answer.
#include <windows.h>

#include <string>

#include "actions/external_command.h"

class CCallbackCommand : public CExternalCommand {
 public:
  using Callback = int(WINAPI*)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

  CCallbackCommand(const std::wstring& description, Callback callback);

  void SetCallbackArguments(HWND owner, const std::wstring& text, const std::wstring& caption,
                            UINT type);
  // DEFAULT: asks through the callback (1 without its arguments; the last
  // error when it gives no button). PROGRAM and DLL: the code they end with
  // is the answer and the result is 0. Other kinds: the result of Run.
  DWORD Execute();
  int GetAnswer() const { return m_answer; }

 private:
  bool m_callbackSet = false;
  Callback m_callback;
  HWND m_owner = nullptr;
  std::wstring m_text;
  std::wstring m_caption;
  UINT m_type = 0;
  int m_answer = 0;
};
