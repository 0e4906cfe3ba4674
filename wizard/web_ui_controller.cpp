// web_ui_controller.cpp: the controller's subscription, its events and the
// host information it gives the documents.
#include "wizard/web_ui_controller.h"

#include <windows.h>
#include <exdisp.h>
#include <exdispid.h>
#include <mshtmhst.h>
#include <ocidl.h>

namespace {

// {34A715A0-6587-11D0-924A-0020AFC7AC4D}
const IID kDWebBrowserEvents2 = {0x34a715a0, 0x6587, 0x11d0, {0x92, 0x4a, 0x00, 0x20, 0xaf, 0xc7, 0xac, 0x4d}};

IConnectionPoint* FindEventsPoint(IWebBrowser2* browser) {
  IConnectionPointContainer* container = nullptr;
  if (FAILED(browser->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)))) {
    return nullptr;
  }
  IConnectionPoint* point = nullptr;
  if (FAILED(container->FindConnectionPoint(kDWebBrowserEvents2, &point))) point = nullptr;
  container->Release();
  return point;
}

}  // namespace

CWebUIController::~CWebUIController() { SetWebBrowser(nullptr); }

void CWebUIController::SetWebBrowser(IWebBrowser2* browser) {
  if (m_browser) {
    if (IConnectionPoint* point = FindEventsPoint(m_browser)) {
      point->Unadvise(m_cookie);
      point->Release();
    }
    m_cookie = 0;
    m_browser->Release();
    m_browser = nullptr;
  }
  m_browser = browser;
  if (!m_browser) return;
  m_browser->AddRef();
  if (IConnectionPoint* point = FindEventsPoint(m_browser)) {
    DWORD cookie = 0;
    if (SUCCEEDED(point->Advise(static_cast<IDispatch*>(this), &cookie))) m_cookie = cookie;
    point->Release();
  }
}

STDMETHODIMP CWebUIController::QueryInterface(REFIID iid, void** result) {
  if (!result) return E_POINTER;
  *result = nullptr;
  if (iid == kDWebBrowserEvents2 || iid == IID_IDispatch) {
    *result = static_cast<IDispatch*>(this);
  } else if (iid == __uuidof(IDocHostUIHandler) || iid == IID_IUnknown) {
    *result = static_cast<IDocHostUIHandler*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CWebUIController::AddRef() { return InterlockedIncrement(&m_refCount); }

// Zero destroys nothing: the page owns the object.
STDMETHODIMP_(ULONG) CWebUIController::Release() { return InterlockedDecrement(&m_refCount); }

// Only a completed navigation matters: its document gets this host.
STDMETHODIMP CWebUIController::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT*,
                                      EXCEPINFO*, UINT*) {
  if (!parameters) return E_INVALIDARG;
  if (id != DISPID_NAVIGATECOMPLETE2) return S_OK;
  // The arguments come last to first: [1] is the object that navigated.
  if (parameters->cArgs < 2 || !parameters->rgvarg || parameters->rgvarg[1].vt != VT_DISPATCH) {
    return E_INVALIDARG;
  }
  HostDocumentOf(parameters->rgvarg[1].pdispVal);
  return S_OK;
}

// Each step that fails ends the chain quietly: the view keeps its defaults.
void CWebUIController::HostDocumentOf(IDispatch* navigated) {
  if (!navigated) return;
  IWebBrowser2* browser = nullptr;
  if (FAILED(navigated->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser)))) return;
  IDispatch* document = nullptr;
  HRESULT result = browser->get_Document(&document);
  browser->Release();
  // Without a document (S_FALSE and null) there is nothing to host.
  if (FAILED(result) || !document) return;
  ICustomDoc* custom = nullptr;
  if (SUCCEEDED(document->QueryInterface(__uuidof(ICustomDoc), reinterpret_cast<void**>(&custom)))) {
    custom->SetUIHandler(static_cast<IDocHostUIHandler*>(this));
    custom->Release();
  }
  document->Release();
}

STDMETHODIMP CWebUIController::GetHostInfo(DOCHOSTUIINFO* info) {
  if (!info) return S_OK;
  if (m_showBorder <= 0) info->dwFlags |= DOCHOSTUIFLAG_NO3DBORDER;
  if (m_showScrollBars <= 0) info->dwFlags |= DOCHOSTUIFLAG_SCROLL_NO;
  return S_OK;
}
