#pragma once
// rich_text_page.h: CRichTextPage, the base of the licence and experience
// pages: a rich-text file of the setup language (English when missing)
// streamed into the page's rich-edit control, a check box under it, the
// View button that opens the same text, and links in the text.
#include <windows.h>

#include <string>

#include "wizard/text_page.h"

class CRichTextPage : public CTextPage {
 public:
  // `fileBase` names the files "bin\<fileBase>.<language code>". The title
  // names the user's company; without one it is string `titleWithoutCompany`.
  CRichTextPage(UINT templateId, int titleId, UINT titleWithoutCompany, std::initializer_list<int> textIds,
                int richEditId, int checkId, const wchar_t* fileBase);

  // The file whose text the page shows; empty when none opened.
  const std::wstring& GetTextFile() const { return m_textFile; }
  // Its name with ".rtf" appended: the View copy's name.
  const std::wstring& GetViewFileName() const { return m_viewFileName; }
  bool IsChecked() const;

 protected:
  // View is offered only while there is a text to show.
  bool HasViewText() const override { return !m_textFile.empty(); }
  BOOL OnInitDialog() override;
  bool OnCommand(int id, int code) override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  void OnPaint() override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;

  int m_richEditId;
  int m_checkId;

 private:
  void LoadTextFile();
  bool StreamFile(const std::wstring& path);
  void OpenLink(const struct _enlink* link) const;
  void View() const;

  UINT m_titleWithoutCompany;
  const wchar_t* m_fileBase;
  std::wstring m_textFile;
  std::wstring m_viewFileName;
};
