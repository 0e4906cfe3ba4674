#pragma once
// message_box.h: the program's own message box. It takes the system box's
// arguments and gives its results, but shows its buttons in the setup
// language, sizes itself to the text and may carry one link. The engine
// reaches it through its message-box seam (engine/message_box.h).
#include <windows.h>

#include <string>
#include <vector>

#include "platform/modal_dialog.h"
#include "wizard/message_box_layout.h"

class CMessageBox : public CModalDialog {
 public:
  using LinkOpener = void (*)(const std::wstring& address);

  CMessageBox(const std::wstring& message, const std::wstring& caption, UINT type, HWND owner = nullptr);

  // The seam's implementation. The box has no parent; it is centred on the
  // window that `owner` belongs to (the wizard while it is shown).
  static int WINAPI ShowMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
  // The system's box, centred the same way rather than on the screen.
  static int ShowSystemBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);
  // Null puts back the shell's "open".
  static void SetLinkOpener(LinkOpener opener);
  // The buttons of a box type, left to right.
  static std::vector<int> ButtonsOfType(UINT type);

 protected:
  BOOL OnInitDialog() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  bool OnCommand(int id, int code) override;

 private:
  void ShowIcon();
  void ShowButtons();
  void OnFirstShow();
  void Layout();
  void MeasureText(int maxLength, CMessageBoxMeasures* measures);
  void OpenLink(const wchar_t* address);

  std::wstring m_message;
  std::wstring m_caption;
  UINT m_type;
  HWND m_owner;
  std::vector<int> m_buttons;
  HICON m_icon = nullptr;
  bool m_shown = false;
};

// Moves the box over the middle of the shown window that `owner` belongs
// to (the wizard's sheet when the owner is not shown), inside its screen's
// work area; the box stays where it is when there is no such window.
void CentreOnOwner(HWND box, HWND owner);
