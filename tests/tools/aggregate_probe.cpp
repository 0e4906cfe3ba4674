// aggregate_probe.cpp: a DLL action of the tests. It reads the context block
// the way a DLL built elsewhere does, by byte offset, and logs through the
// log function stored in it.
#include <windows.h>

#include <cstring>

extern "C" __declspec(dllexport) UINT __stdcall ProbeAggregate(const unsigned char* block) {
  if (!block) return ERROR_INVALID_PARAMETER;
  using LogFunction = void(__cdecl*)(const wchar_t* format, ...);
  LONG languageId = 0;
  std::memcpy(&languageId, block + 4, sizeof(languageId));
  const wchar_t* configurationPath = reinterpret_cast<const wchar_t*>(block + 12);
  const wchar_t* actionName = reinterpret_cast<const wchar_t*>(block + 532);
  const wchar_t* removalTarget = reinterpret_cast<const wchar_t*>(block + 4636);
  void* state = nullptr;
  std::memcpy(&state, block + 4632, sizeof(state));
  LogFunction log = nullptr;
  std::memcpy(&log, block + 6684, sizeof(log));
  if (!log) return ERROR_INVALID_FUNCTION;
  log(L"probe: language %d, configuration %s, action %s, target %s, state %s", languageId,
      configurationPath, actionName, removalTarget, state ? L"set" : L"null");
  return ERROR_SUCCESS;
}
