// dll_entry_call.cpp: the thunk and the structured-exception guard around a
// DLL entry point (x86 only). The compiler's C++ exceptions are table-based,
// so catch(...) never sees a hardware fault or another runtime's exception:
// the guard registers a frame of its own in the thread's fs:[0] chain.
#include "actions/dll_entry_call.h"

#include <windows.h>
#include <excpt.h>
#include <intrin.h>

#include <string>

// DWORD __cdecl CallEntryRestoringStack(FARPROC entry, void* argument):
// pushes the argument, calls, and puts ESP (and the callee-saved registers)
// back from EBP, whoever popped the argument.
extern "C" DWORD __cdecl CallEntryRestoringStack(FARPROC entry, void* argument);
__asm__(
    ".text\n"
    ".globl _CallEntryRestoringStack\n"
    "_CallEntryRestoringStack:\n"
    "  pushl %ebp\n"
    "  movl %esp, %ebp\n"
    "  pushl %ebx\n"
    "  pushl %esi\n"
    "  pushl %edi\n"
    "  pushl 12(%ebp)\n"
    "  call *8(%ebp)\n"
    "  leal -12(%ebp), %esp\n"
    "  popl %edi\n"
    "  popl %esi\n"
    "  popl %ebx\n"
    "  popl %ebp\n"
    "  ret\n");

namespace {

// Laid out as the system's exception registration record, then our state.
struct CGuardFrame {
  CGuardFrame* next;
  void* handler;
  void* jumpBuffer[5];
  DWORD exceptionCode;
};

extern "C" EXCEPTION_DISPOSITION __cdecl GuardHandler(EXCEPTION_RECORD* record, void* establisher,
                                                      CONTEXT*, void*) {
  if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) {
    return ExceptionContinueSearch;
  }
  CGuardFrame* frame = static_cast<CGuardFrame*>(establisher);
  frame->exceptionCode = record->ExceptionCode;
  // Lets the frames the entry registered run their unwind handlers and
  // leaves ours at the head of the chain.
  RtlUnwind(establisher, nullptr, record, nullptr);
  __builtin_longjmp(frame->jumpBuffer, 1);
}

}  // namespace

bool CallDllEntry(FARPROC entry, void* argument, DWORD* result, DWORD* exceptionCode) {
  CGuardFrame frame = {};
  frame.handler = reinterpret_cast<void*>(&GuardHandler);
  frame.next = reinterpret_cast<CGuardFrame*>(__readfsdword(0));
  volatile DWORD value = 0;
  if (__builtin_setjmp(frame.jumpBuffer) == 0) {
    __writefsdword(0, reinterpret_cast<DWORD>(&frame));
    value = CallEntryRestoringStack(entry, argument);
    __writefsdword(0, reinterpret_cast<DWORD>(frame.next));
    *result = value;
    return true;
  }
  __writefsdword(0, reinterpret_cast<DWORD>(frame.next));
  *exceptionCode = frame.exceptionCode;
  return false;
}

FARPROC FindDllEntry(HMODULE module, const std::wstring& name) {
  int size = WideCharToMultiByte(CP_THREAD_ACP, 0, name.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return nullptr;
  std::string narrow(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_THREAD_ACP, 0, name.c_str(), -1, &narrow[0], size, nullptr, nullptr);
  return GetProcAddress(module, narrow.c_str());
}
