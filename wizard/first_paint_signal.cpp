// first_paint_signal.cpp: sets the benchmark's event on the first page paint.
#include "wizard/first_paint_signal.h"

#include <windows.h>

#include <atomic>

namespace {

const wchar_t kEventVariable[] = L"TAMSA_FIRST_PAINT_EVENT";

std::atomic<bool> g_signalled{false};

}  // namespace

void SignalFirstPagePainted() {
  if (g_signalled.exchange(true)) return;
  wchar_t name[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableW(kEventVariable, name, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, name);
  if (!event) return;
  SetEvent(event);
  CloseHandle(event);
}
