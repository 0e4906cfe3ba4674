#pragma once
// web_browser2.h: CWebBrowser2, a window of the in-place container that
// holds the system's Web Browser control, and the calls the program makes
// on it. Its events go to one handler of the owner. Windows-only.
#include <windows.h>
#include <exdisp.h>

#include <string>

#include "platform/dispatch_event_sink.h"

class CWebBrowser2 {
 public:
  // The Web Browser control's class id, as a window of the container names it.
  static const wchar_t kClassIdText[];

  CWebBrowser2() = default;
  CWebBrowser2(const CWebBrowser2&) = delete;
  CWebBrowser2& operator=(const CWebBrowser2&) = delete;
  ~CWebBrowser2();

  // A new container window holding the control; false when the window
  // could not be made (a control that could not be created leaves an
  // empty window: GetWebBrowser then fails).
  bool Create(const std::wstring& windowName, DWORD style, const RECT& rect, HWND parent, int id);
  // The container window a dialog template made.
  void Attach(HWND window) { m_window = window; }
  HWND GetSafeHwnd() const { return m_window; }

  // The control's IWebBrowser2, with a reference for the caller.
  HRESULT GetWebBrowser(IWebBrowser2** result) const;
  // The four optional arguments: flags, target frame, post data, headers;
  // null ones are passed empty.
  HRESULT Navigate(const std::wstring& address, const VARIANT* flags = nullptr, const VARIANT* frame = nullptr,
                   const VARIANT* postData = nullptr, const VARIANT* headers = nullptr);
  HRESULT Refresh();

  // The control's DWebBrowserEvents2 go to the handler until Unsubscribe.
  HRESULT Subscribe(CDispatchEventSink::Handler handler);
  void Unsubscribe();

 private:
  HWND m_window = nullptr;
  CDispatchEventSink* m_sink = nullptr;
};
