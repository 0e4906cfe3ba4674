#pragma once
// va_check_prompt.h: CVACheckPrompt, whether the Windows Installer already
// waits for a disc.
#include <windows.h>

#include "actions/verify_action.h"

class CVACheckPrompt : public CVerifyAction {
 public:
  explicit CVACheckPrompt(int sequence);
  DWORD Execute() override;
};
