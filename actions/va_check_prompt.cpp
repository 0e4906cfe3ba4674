// va_check_prompt.cpp: the suite-wide check for a waiting disc prompt.
#include "actions/va_check_prompt.h"

namespace {
const wchar_t kSection[] = L"VerifyActions.*.CheckPrompt";
}

CVACheckPrompt::CVACheckPrompt(int sequence) : CVerifyAction(sequence, L"*", kSection, kSection) {}

DWORD CVACheckPrompt::Execute() { return NotBuiltYet(L"CVACheckPrompt::Execute"); }
