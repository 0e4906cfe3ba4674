// message_box.cpp: the engine's message-box seam (the system's box by default).
#include "engine/message_box.h"

namespace {
MessageBoxFunction g_implementation = nullptr;
}

int WINAPI ShowMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT style) {
  return (g_implementation ? g_implementation : MessageBoxW)(owner, text, caption, style);
}

void SetMessageBoxImplementation(MessageBoxFunction function) { g_implementation = function; }
