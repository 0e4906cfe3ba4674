// empty_sheet.cpp: the floor of the wizard start-up benchmark: a comctl32
// property sheet in wizard mode with one empty page of the wizard's size.
// When the page has painted for the first time it sets the event named by
// its first argument and closes.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <vector>

namespace {

HANDLE g_paintedEvent = nullptr;

// An empty page template: style, no controls, the size of the wizard's pages.
std::vector<WORD> PageTemplate() {
  std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);
  auto* dialog = reinterpret_cast<DLGTEMPLATE*>(words.data());
  dialog->style = WS_CHILD | WS_VISIBLE | DS_CONTROL;
  dialog->cx = 425;
  dialog->cy = 270;
  return words;  // no menu, default class, empty title
}

INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM, LPARAM) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    BeginPaint(page, &paint);
    EndPaint(page, &paint);
    if (g_paintedEvent) {
      SetEvent(g_paintedEvent);
      CloseHandle(g_paintedEvent);
      g_paintedEvent = nullptr;
      PostMessageW(GetParent(page), PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    }
    return TRUE;
  }
  return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments && count > 1) g_paintedEvent = OpenEventW(EVENT_MODIFY_STATE, FALSE, arguments[1]);
  LocalFree(arguments);

  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  std::vector<WORD> pageTemplate = PageTemplate();
  PROPSHEETPAGEW page = {};
  page.dwSize = sizeof(page);
  page.dwFlags = PSP_DLGINDIRECT | PSP_USETITLE;
  page.hInstance = instance;
  page.pResource = reinterpret_cast<DLGTEMPLATE*>(pageTemplate.data());
  page.pszTitle = L"Empty Sheet";
  page.pfnDlgProc = PageProc;
  HPROPSHEETPAGE pages[] = {CreatePropertySheetPageW(&page)};
  PROPSHEETHEADERW header = {};
  header.dwSize = sizeof(header);
  header.dwFlags = PSH_WIZARD | PSH_WIZARD_LITE | PSH_USEPAGELANG;
  header.hInstance = instance;
  header.pszCaption = L"Empty Sheet";
  header.nPages = 1;
  header.phpage = pages;
  PropertySheetW(&header);
  return 0;
}
