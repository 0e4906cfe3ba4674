#pragma once
// wizard_sheet.h: a modal comctl32 property sheet in wizard mode over
// PROPSHEETHEADERW. Pages are taken from their templates in a named
// language; the sheet window is subclassed once it exists, so commands of
// buttons added to it reach the active page.
#include <windows.h>

#include <set>
#include <string>
#include <vector>

class CWizardPage;

class CWizardSheet {
 public:
  // Indexes of PSM_PRESSBUTTON.
  enum EButton { kBack = PSBTN_BACK, kNext = PSBTN_NEXT, kFinish = PSBTN_FINISH, kCancel = PSBTN_CANCEL };
  // Control ids of the sheet's own buttons.
  static const int kBackButtonId = 12323;
  static const int kNextButtonId = 12324;
  static const int kFinishButtonId = 12325;

  CWizardSheet();
  CWizardSheet(const CWizardSheet&) = delete;
  CWizardSheet& operator=(const CWizardSheet&) = delete;
  virtual ~CWizardSheet();

  // Before DoModal. The page is not owned; a null page is ignored.
  void AddPage(CWizardPage* page);
  size_t GetPageCount() const { return m_pages.size(); }
  CWizardPage* GetPage(size_t index) const { return index < m_pages.size() ? m_pages[index] : nullptr; }
  // -1 when the page is not in the sheet.
  int GetPageIndex(const CWizardPage* page) const;

  // The sheet's title, and each page's: in wizard mode comctl32 puts the
  // active page's caption on the sheet.
  void SetTitle(const std::wstring& title);
  const std::wstring& GetTitle() const { return m_title; }
  // PSH_* flags; the layer adds PSH_USECALLBACK itself.
  DWORD GetHeaderFlags() const { return m_headerFlags; }
  void SetHeaderFlags(DWORD flags) { m_headerFlags = flags; }
  void SetLanguage(LANGID language) { m_language = language; }
  LANGID GetLanguage() const { return m_language; }
  // Commands of these ids reaching the sheet window go to the active page.
  void ForwardCommand(int id) { m_forwardedCommands.insert(id); }
  // The grid the pages are laid out on (the dialog base units of their
  // templates' font at the layout's DPI) and the sheet's own, in which
  // comctl32 measures the pages and places its buttons.
  struct CLayoutUnits {
    SIZE grid;
    SIZE frame;
    int framePoints;
  };
  // Pages in `face` at `points`, laid out as at `layoutDpi` on a screen of
  // `screenDpi`. The sheet's own font is the pages' (comctl32 would measure
  // them in its "MS Shell Dlg", which the system may give another script's
  // face); at a lower DPI, at the nearest point size not smaller.
  static CLayoutUnits MeasureLayout(const std::wstring& face, int points, int layoutDpi, int screenDpi);
  // A page's size in the sheet's dialog units: never less than on its grid.
  static SIZE ToFrameUnits(SIZE pageUnits, const CLayoutUnits& units);

  // Before DoModal: the pages are laid out as at `layoutDpi`, their fonts,
  // controls and the sheet with them. The screen's DPI leaves the templates
  // as they are.
  void SetLayoutDpi(int layoutDpi, int screenDpi);

  // A rescaled page's controls go where its grid puts them: the dialog
  // manager placed them in the point size a template can hold. Before the
  // page's own initialisation.
  void PlacePageControls(const CWizardPage* page) const;
  // MapDialogRect on the pages' grid.
  void MapLayoutRect(HWND page, RECT* rect) const;

  // Runs the sheet; PropertySheetW's result, -1 when it could not start.
  INT_PTR DoModal(HWND parent);
  HWND GetSafeHwnd() const { return m_window; }

  // Before DoModal: the first page shown; afterwards PSM_SETCURSEL.
  bool SetActivePage(int index);
  bool SetActivePage(const CWizardPage* page) { return SetActivePage(GetPageIndex(page)); }
  CWizardPage* GetActivePage() const;
  int GetActiveIndex() const;
  // PSWIZB_* flags, posted: safe inside a page's activation.
  void SetWizardButtons(DWORD flags) const;
  // On the sheet's thread.
  void PressButton(EButton button) const;
  // What closing the window does (its button, Alt+F4, the window menu):
  // one press of Cancel while Cancel is enabled, else of Finish when the
  // page offers it; nothing when the page offers neither.
  void Close() const;

  // From another thread: the press is posted, so it happens after the call
  // returns.
  static void PressButtonFromOtherThread(HWND sheet, EButton button);
  static void PostWizButtons(HWND sheet, DWORD flags);

 protected:
  // The sheet window exists and is subclassed (PSCB_INITIALIZED).
  virtual void OnInitialized() {}
  // Messages of the sheet window; true when handled, *result the answer.
  virtual bool OnSheetMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

 private:
  // After comctl32 has set the buttons: it makes Back the default when Next
  // is disabled, and leaves the focus where it disabled a button (Enter
  // then goes back, or does nothing at all).
  void KeepKeyboardOnButtons(DWORD flags);
  bool Rescaled() const { return m_layoutDpi != m_screenDpi; }
  // The first page's font becomes the layout's.
  void MeasurePages(HMODULE module);
  // The page's template, rescaled when the layout's DPI is not the screen's.
  const DLGTEMPLATE* PageTemplate(HMODULE module, const CWizardPage* page);
  // The sheet's own template takes the pages' font.
  void SetFrameFont(DLGTEMPLATE* dialog) const;

  static int CALLBACK SheetCallback(HWND window, UINT message, LPARAM lParam);
  static LRESULT CALLBACK SheetSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                            UINT_PTR id, DWORD_PTR data);

  std::vector<CWizardPage*> m_pages;
  std::wstring m_title;
  DWORD m_headerFlags = PSH_WIZARD;
  LANGID m_language = 0;
  int m_startPage = 0;
  HWND m_window = nullptr;
  // The first page's template is laid out right to left: so is the sheet.
  bool m_rightToLeft = false;
  int m_layoutDpi = 96;
  int m_screenDpi = 96;
  std::wstring m_pageFace;
  CLayoutUnits m_units = {};
  // The pages' rescaled templates, alive while the sheet runs.
  std::vector<std::vector<BYTE>> m_scaledTemplates;
  std::set<int> m_forwardedCommands;
};
