#pragma once
// va_admin.h: CVAAdmin, whether the run has the administrator rights an
// installation for all users of the machine needs.
#include <windows.h>

#include "actions/verify_action.h"

class CVAAdmin : public CVerifyAction {
 public:
  explicit CVAAdmin(int sequence);
  // 0 as administrator; else 1247 with the last error 1314.
  DWORD Execute() override;

  // Whether the token (the process's own when null) holds the Administrators
  // group enabled. A filtered token lists the group for deny only, which
  // grants nothing: that does not count.
  static bool IsAdmin(HANDLE token = nullptr);
};
