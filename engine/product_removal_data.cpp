// product_removal_data.cpp: the removal record's bounded texts and the rule
// that a locked record is always marked.
#include "engine/product_removal_data.h"

namespace {

// lstrcpyn's rule: at most size - 1 characters and always a terminator.
void CopyBounded(wchar_t* target, const wchar_t* text) {
  size_t i = 0;
  if (text) {
    for (; i + 1 < CProductRemovalData::kTextSize && text[i]; ++i) target[i] = text[i];
  }
  target[i] = L'\0';
}

}  // namespace

CProductRemovalData::CProductRemovalData() {
  m_displayText[0] = m_actionName[0] = m_detailA[0] = m_detailB[0] = m_targetKey[0] = L'\0';
}

void CProductRemovalData::SetDisplayText(const wchar_t* text) { CopyBounded(m_displayText, text); }
void CProductRemovalData::SetActionName(const wchar_t* text) { CopyBounded(m_actionName, text); }
void CProductRemovalData::SetDetailA(const wchar_t* text) { CopyBounded(m_detailA, text); }
void CProductRemovalData::SetDetailB(const wchar_t* text) { CopyBounded(m_detailB, text); }
void CProductRemovalData::SetTargetKey(const wchar_t* text) { CopyBounded(m_targetKey, text); }

void CProductRemovalData::SetChecked(int flag) { m_checked = m_locked ? 1 : flag; }

void CProductRemovalData::SetLocked(int flag) {
  m_locked = flag;
  SetChecked(m_checked);
}
