// dll_action_probe.cpp: DLL entry points as suites ship them: one of each
// calling convention that reads the context block by offset and logs through
// it, and two that crash (an access violation, and the exception a C++
// runtime of another compiler raises). Exported without decoration.
#include <windows.h>

#include <cstring>

namespace {

using LogFunction = void(__cdecl*)(const wchar_t* format, ...);

// The language id at +4 is the result, so the caller sees the block was read.
UINT Probe(const unsigned char* block, const wchar_t* convention) {
  if (!block) return ERROR_INVALID_PARAMETER;
  LONG languageId = 0;
  std::memcpy(&languageId, block + 4, sizeof(languageId));
  const wchar_t* actionName = reinterpret_cast<const wchar_t*>(block + 532);
  LogFunction log = nullptr;
  std::memcpy(&log, block + 6684, sizeof(log));
  if (!log) return ERROR_INVALID_FUNCTION;
  wchar_t folder[MAX_PATH] = L"";
  GetCurrentDirectoryW(MAX_PATH, folder);
  log(L"dll probe: %s entry, action %s, folder %s", convention, actionName, folder);
  return static_cast<UINT>(languageId);
}

}  // namespace

extern "C" __declspec(dllexport) UINT __cdecl ProbeCdecl(const unsigned char* block) {
  return Probe(block, L"cdecl");
}

extern "C" __declspec(dllexport) UINT __stdcall ProbeStdcall(const unsigned char* block) {
  return Probe(block, L"stdcall");
}

extern "C" __declspec(dllexport) UINT __cdecl CrashAccessViolation(const unsigned char*) {
  *static_cast<volatile int*>(nullptr) = 1;
  return 0;
}

// 0xE06D7363 is the code of a C++ exception thrown by a Microsoft-built DLL.
extern "C" __declspec(dllexport) UINT __stdcall ThrowForeignException(const unsigned char*) {
  RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 0, nullptr);
  return 0;
}
