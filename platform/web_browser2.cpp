// web_browser2.cpp: the browser control's calls, made through its
// IWebBrowser2 interface.
#include "platform/web_browser2.h"

#include <windows.h>
#include <exdisp.h>
#include <oleauto.h>

#include "platform/ole_control_host.h"

namespace {

// {34A715A0-6587-11D0-924A-0020AFC7AC4D}
const IID kDWebBrowserEvents2 = {0x34a715a0, 0x6587, 0x11d0, {0x92, 0x4a, 0x00, 0x20, 0xaf, 0xc7, 0xac, 0x4d}};

VARIANT Optional(const VARIANT* value) {
  VARIANT result;
  VariantInit(&result);
  if (value) VariantCopy(&result, const_cast<VARIANT*>(value));
  return result;
}

}  // namespace

const wchar_t CWebBrowser2::kClassIdText[] = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";

CWebBrowser2::~CWebBrowser2() { Unsubscribe(); }

bool CWebBrowser2::Create(const std::wstring& windowName, DWORD style, const RECT& rect, HWND parent, int id) {
  if (!COleControlHost::RegisterWindowClass()) return false;
  // The container takes the control's class id from the window text; the
  // name the caller gives is set once the control exists.
  m_window = CreateWindowExW(0, COleControlHost::kWindowClass, kClassIdText, style | WS_CHILD, rect.left,
                             rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                             nullptr);
  if (m_window && !windowName.empty()) SetWindowTextW(m_window, windowName.c_str());
  return m_window != nullptr;
}

HRESULT CWebBrowser2::GetWebBrowser(IWebBrowser2** result) const {
  if (!result) return E_POINTER;
  *result = nullptr;
  COleControlHost* host = COleControlHost::FromWindow(m_window);
  if (!host) return E_HANDLE;
  return host->QueryControl(IID_IWebBrowser2, reinterpret_cast<void**>(result));
}

HRESULT CWebBrowser2::Navigate(const std::wstring& address, const VARIANT* flags, const VARIANT* frame,
                               const VARIANT* postData, const VARIANT* headers) {
  IWebBrowser2* browser = nullptr;
  HRESULT result = GetWebBrowser(&browser);
  if (FAILED(result)) return result;
  BSTR url = SysAllocStringLen(address.data(), static_cast<UINT>(address.size()));
  VARIANT values[4] = {Optional(flags), Optional(frame), Optional(postData), Optional(headers)};
  result = browser->Navigate(url, &values[0], &values[1], &values[2], &values[3]);
  for (VARIANT& value : values) VariantClear(&value);
  SysFreeString(url);
  browser->Release();
  return result;
}

HRESULT CWebBrowser2::Refresh() {
  IWebBrowser2* browser = nullptr;
  HRESULT result = GetWebBrowser(&browser);
  if (FAILED(result)) return result;
  result = browser->Refresh();
  browser->Release();
  return result;
}

HRESULT CWebBrowser2::Subscribe(CDispatchEventSink::Handler handler) {
  Unsubscribe();
  IWebBrowser2* browser = nullptr;
  HRESULT result = GetWebBrowser(&browser);
  if (FAILED(result)) return result;
  m_sink = new CDispatchEventSink(kDWebBrowserEvents2, std::move(handler));
  result = m_sink->Connect(browser);
  browser->Release();
  if (FAILED(result)) Unsubscribe();
  return result;
}

void CWebBrowser2::Unsubscribe() {
  if (!m_sink) return;
  m_sink->ClearHandler();
  m_sink->Disconnect();
  m_sink->Release();
  m_sink = nullptr;
}
