#pragma once
// setup_aggregate.h: the process-wide context block handed to DLL actions.
// DLLs read it by offset, so its layout is fixed (32-bit, 6688 bytes).
#include <windows.h>

#include <cstddef>
#include <string>

class CSetupState;

using WriteLogFunction = void(__cdecl*)(const wchar_t* format, ...);

struct CSetupAggregate {
  CSetupAggregate();

  void* reserved0;                             // 0: the block's own use; DLLs ignore it
  LONG languageId;                             // 4: final install LANGID, -1 until set
  DWORD reserved8;                             // 8
  wchar_t configurationPath[260];              // 12
  wchar_t actionName[1024];                    // 532
  wchar_t verifyActionDisplayName[1024];       // 2580
  void* actionLists;                           // 4628: the worker's map of action lists
  CSetupState* setupState;                     // 4632
  wchar_t removalTarget[1024];                 // 4636
  WriteLogFunction writeLog;                   // 6684
};

#ifdef _WIN32
#if !defined(_WIN64)
static_assert(offsetof(CSetupAggregate, reserved0) == 0, "layout");
static_assert(offsetof(CSetupAggregate, languageId) == 4, "layout");
static_assert(offsetof(CSetupAggregate, reserved8) == 8, "layout");
static_assert(offsetof(CSetupAggregate, configurationPath) == 12, "layout");
static_assert(offsetof(CSetupAggregate, actionName) == 532, "layout");
static_assert(offsetof(CSetupAggregate, verifyActionDisplayName) == 2580, "layout");
static_assert(offsetof(CSetupAggregate, actionLists) == 4628, "layout");
static_assert(offsetof(CSetupAggregate, setupState) == 4632, "layout");
static_assert(offsetof(CSetupAggregate, removalTarget) == 4636, "layout");
static_assert(offsetof(CSetupAggregate, writeLog) == 6684, "layout");
static_assert(sizeof(CSetupAggregate) == 6688, "layout");
#endif
#endif

// The one block of the process, null outside the run.
extern CSetupAggregate* g_setupAggregate;

// Copies a text into a fixed field, cut to fit and always NUL-terminated.
template <size_t N>
void CopyToField(wchar_t (&field)[N], const std::wstring& text) {
  size_t length = text.size() < N - 1 ? text.size() : N - 1;
  text.copy(field, length);
  field[length] = L'\0';
}
