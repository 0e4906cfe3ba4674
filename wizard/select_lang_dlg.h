#pragma once
// select_lang_dlg.h: CSelectLangDlg, the choice of the setup language among
// the suite's languages, each shown as a picture of its name. One of them is
// always selected, so that OK goes on in a language.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "platform/modal_dialog.h"
#include "wizard/list_box_st.h"

// The picture resource of a language code (case-blind), 0 for none.
UINT LanguagePictureId(const std::wstring& code);
// The item selected when the dialog opens: the user's language (or one of
// its primary language), else the current one, else English, else the
// first; -1 when nothing is offered.
int ChooseLanguageItem(const std::vector<LANGID>& offered, LANGID current, LANGID user);

class CSelectLangDlg : public CModalDialog {
 public:
  // `currentCode` is selected when offered and the user's language is not,
  // and stays the answer of an OK with nothing to select (no code had its
  // picture).
  CSelectLangDlg(const std::vector<std::wstring>& codes, const std::wstring& currentCode, HWND parent);
  ~CSelectLangDlg() override;

  const std::wstring& GetSelectedCode() const { return m_selectedCode; }

 protected:
  BOOL OnInitDialog() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  bool OnCommand(int id, int code) override;

 private:
  void AddLanguage(const std::wstring& code);
  void SelectFirstChoice();
  void OnOK();

  CListBoxST m_languageList;
  std::wstring m_selectedCode;
  LANGID m_currentLangId;
  const std::vector<std::wstring>& m_codes;
  HIMAGELIST m_images = nullptr;
  // The items' languages, in the list's order.
  std::vector<LANGID> m_offered;
};

// Null `codes`: false. One code: that code, without a dialog. Otherwise the
// dialog, with `selected` the current code: OK gives the chosen code (true
// when there is one), Cancel an empty code (true); false when the dialog
// could not be shown.
bool SelectSetupLanguage(const std::vector<std::wstring>* codes, std::wstring* selected, HWND parent);
