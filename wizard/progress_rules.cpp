// progress_rules.cpp: the Progress page's decisions that need no window.
#include "wizard/progress_rules.h"

#include <cwchar>

#include "engine/setup_state.h"
#include "platform/wide_string.h"

namespace {

// The fields of a record the installer formats without a template.
const wchar_t kFirstField[] = L"1: ";
const wchar_t kSecondField[] = L" 2: ";

}  // namespace

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

std::wstring DetailLine(const std::wstring& text, const CProductNames& products) {
  std::wstring line = text.substr(0, text.find_first_of(L"\r\n"));
  if (StartsWith(line, kFirstField)) {
    size_t start = wcslen(kFirstField);
    size_t end = line.find(kSecondField, start);
    line = line.substr(start, end == std::wstring::npos ? end : end - start);
  }
  line = Trim(line);
  for (const auto& product : products) {
    if (!product.second.empty() && EqualsNoCase(line, product.first)) return product.second;
  }
  return line;
}
