#pragma once
// web_ui_controller.h: CWebUIController, the offer page's COM object that
// receives the browser view's navigation events and acts as host of every
// document the view loads, so the view can go without its border and
// scroll bars. It is a member of the page and lives as long as the page:
// its reference count serves the COM contract only.
#include <windows.h>
#include <exdisp.h>
#include <mshtmhst.h>

#include "platform/event_dispatch.h"

class CWebUIController : public CEventDispatch, public IDocHostUIHandler {
 public:
  CWebUIController() = default;
  CWebUIController(const CWebUIController&) = delete;
  CWebUIController& operator=(const CWebUIController&) = delete;
  virtual ~CWebUIController();

  // Unsubscribes from the browser held, then holds and subscribes to this
  // one (null: none). Failures of the subscription are ignored.
  void SetWebBrowser(IWebBrowser2* browser);
  void SetShowBorder(BOOL show) { m_showBorder = show; }
  void SetShowScrollBars(BOOL show) { m_showScrollBars = show; }
  LONG GetRefCount() const { return m_refCount; }
  DWORD GetCookie() const { return m_cookie; }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** result) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // DWebBrowserEvents2 (IDispatch)
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*,
                      UINT*) override;

  // IDocHostUIHandler
  STDMETHODIMP ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override { return E_NOTIMPL; }
  STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override;
  STDMETHODIMP ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                      IOleInPlaceUIWindow*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP HideUI() override { return E_NOTIMPL; }
  STDMETHODIMP UpdateUI() override { return E_NOTIMPL; }
  STDMETHODIMP EnableModeless(WINBOOL) override { return E_NOTIMPL; }
  STDMETHODIMP OnDocWindowActivate(WINBOOL) override { return E_NOTIMPL; }
  STDMETHODIMP OnFrameWindowActivate(WINBOOL) override { return E_NOTIMPL; }
  STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, WINBOOL) override { return E_NOTIMPL; }
  STDMETHODIMP TranslateAccelerator(LPMSG, const GUID*, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP GetOptionKeyPath(LPOLESTR*, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP GetDropTarget(IDropTarget*, IDropTarget**) override { return E_NOTIMPL; }
  STDMETHODIMP GetExternal(IDispatch**) override { return E_NOTIMPL; }
  STDMETHODIMP TranslateUrl(DWORD, LPWSTR, LPWSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP FilterDataObject(IDataObject*, IDataObject**) override { return E_NOTIMPL; }

 private:
  void HostDocumentOf(IDispatch* navigated);

  LONG m_refCount = 0;
  IWebBrowser2* m_browser = nullptr;
  DWORD m_cookie = 0;
  BOOL m_showBorder = TRUE;
  BOOL m_showScrollBars = TRUE;
};
