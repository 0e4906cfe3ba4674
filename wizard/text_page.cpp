// text_page.cpp: fonts and token replacement of a page's texts.
#include "wizard/text_page.h"

CTextPage::CTextPage(UINT templateId, int titleId, std::initializer_list<int> textIds)
    : CWizPropPage(templateId), m_titleId(titleId), m_textIds(textIds) {}

BOOL CTextPage::OnInitDialog() {
  CWizPropPage::OnInitDialog();
  ReplaceTokensInControl(m_titleId);
  if (HWND title = GetDlgItem(m_titleId)) {
    if (m_titleFont) SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(m_titleFont), FALSE);
  }
  for (int id : m_textIds) ReplaceTokensInControl(id);
  return TRUE;
}
