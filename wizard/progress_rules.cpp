// progress_rules.cpp: the Progress page's decisions that need no window.
#include "wizard/progress_rules.h"

#include "engine/setup_state.h"
#include "platform/wide_string.h"

bool IsPromotionSwitchedOff(const std::wstring* noOnlineAccess, const std::wstring* promotionAllowed) {
  if (!noOnlineAccess || !promotionAllowed) return false;
  if (*noOnlineAccess == L"1") return true;
  return *promotionAllowed == L"0" || EqualsNoCase(*promotionAllowed, L"false");
}

bool IsCancelOffered(long setupType, long cancelAllowed) {
  return setupType != SetupTypeRemove && cancelAllowed != 0;
}

bool IsCancelRefused(long setupType, bool autoConfirm, long cancelAllowed) {
  return (setupType == SetupTypeRemove && !autoConfirm) || cancelAllowed == 0;
}

EPageAfterProgress PageAfterProgress(bool cancelled, bool sequenceHasUserExit) {
  if (!cancelled) return kNextInSequence;
  return sequenceHasUserExit ? kUserExitPage : kFinishPage;
}
