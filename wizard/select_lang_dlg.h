#pragma once
// select_lang_dlg.h: CSelectLangDlg, the choice of the setup language among
// the suite's languages, each shown as a picture of its name. A language
// whose code page is not the system's is shown greyed and cannot be chosen:
// the system could not display its texts.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "platform/modal_dialog.h"
#include "wizard/list_box_st.h"

// The picture resource of a language code (case-blind), 0 for none.
UINT LanguagePictureId(const std::wstring& code);

class CSelectLangDlg : public CModalDialog {
 public:
  // `currentCode` is selected when it is offered.
  CSelectLangDlg(const std::vector<std::wstring>& codes, const std::wstring& currentCode, HWND parent);
  ~CSelectLangDlg() override;

  const std::wstring& GetSelectedCode() const { return m_selectedCode; }

 protected:
  BOOL OnInitDialog() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  bool OnCommand(int id, int code) override;

 private:
  void AddLanguage(const std::wstring& code);
  void OnSelectionChange();
  void OnOK();

  CListBoxST m_languageList;
  std::wstring m_selectedCode;
  LANGID m_currentLangId;
  const std::vector<std::wstring>& m_codes;
  HIMAGELIST m_images = nullptr;
  int m_lastEnabled = LB_ERR;
};

// Null `codes`: false. One code: that code, without a dialog. Otherwise the
// dialog, with `selected` the current code: OK gives the chosen code (true
// when there is one), Cancel an empty code (true); false when the dialog
// could not be shown.
bool SelectSetupLanguage(const std::vector<std::wstring>* codes, std::wstring* selected, HWND parent);
