#pragma once
// ole_control_host.h: a child window that hosts one ActiveX control in
// place: the program has no MFC or ATL control containment, so this window
// class is the container (client site, in-place site and frame in one
// object). A window of the class names the control's class id in its
// window text, so a dialog template can declare it like any other control:
//   CONTROL "{8856F961-340A-11D0-A96B-00C04FD705A2}", 100, "TamsaOleControl", WS_CHILD, ...
// Windows-only.
#include <windows.h>
#include <ole2.h>

class COleControlSite;

class COleControlHost {
 public:
  static const wchar_t kWindowClass[];

  // Registers the window class for the whole process; true when it is
  // (or already was) registered.
  static bool RegisterWindowClass();

  // The host behind a window of the class; null for any other window.
  static COleControlHost* FromWindow(HWND window);

  // The control's interface; E_NOINTERFACE when the control could not be
  // created.
  HRESULT QueryControl(REFIID iid, void** result) const;
  // Why the control is missing; S_OK when it was created.
  HRESULT GetCreateResult() const { return m_createResult; }
  HWND GetWindow() const { return m_window; }

 private:
  explicit COleControlHost(HWND window) : m_window(window) {}
  ~COleControlHost() = default;

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControl(const wchar_t* classIdText);
  void DestroyControl();
  void MoveControl();

  HWND m_window;
  COleControlSite* m_site = nullptr;
  IOleObject* m_control = nullptr;
  HRESULT m_createResult = E_NOINTERFACE;
};
