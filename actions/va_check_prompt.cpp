// va_check_prompt.cpp: the suite-wide check for a waiting disc prompt: the
// Windows Installer holds a named mutex while it asks for a disc.
#include "actions/va_check_prompt.h"

#include "foundation/resource_strings.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"
#include "resources/resource_ids.h"

namespace {
const wchar_t kSection[] = L"VerifyActions.*.CheckPrompt";
}

CVACheckPrompt::CVACheckPrompt(int sequence) : CVerifyAction(sequence, L"*", kSection, kSection) {}

DWORD CVACheckPrompt::Execute() {
  WriteLog(L"Checking if __MsiPromptForCD mutex is set");
  CScopedHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, LoadResourceString(IDS_MSI_PROMPT_MUTEX).c_str()));
  return mutex.Get() ? ERROR_NOT_FOUND : ERROR_SUCCESS;
}
