// ole_control_host.cpp: the in-place container: the site the control talks
// to while it is active in the host window, and the window that creates,
// sizes and closes it.
#include "platform/ole_control_host.h"

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <oleidl.h>

#include "platform/callback_boundary.h"

const wchar_t COleControlHost::kWindowClass[] = L"TamsaOleControl";

// One object answers for the client site, the in-place site and the frame:
// the control sees one container and asks it for all three.
class COleControlSite : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
 public:
  explicit COleControlSite(HWND window) : m_window(window) {}

  void SetControl(IOleObject* control) { m_control = control; }

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** result) override {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) {
      *result = static_cast<IOleClientSite*>(this);
    } else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) {
      *result = static_cast<IOleInPlaceSite*>(this);
    } else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame) {
      *result = static_cast<IOleInPlaceFrame*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_refCount); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0) delete this;
    return count;
  }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker) *moniker = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** container) override {
    if (container) *container = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow, shared by the in-place site and the frame.
  STDMETHODIMP GetWindow(HWND* window) override {
    if (!window) return E_POINTER;
    *window = m_window;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT position,
                                LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
    if (!frame || !document || !position || !clip || !info) return E_POINTER;
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *document = nullptr;
    GetClientRect(m_window, position);
    *clip = *position;
    info->cb = sizeof(OLEINPLACEFRAMEINFO);
    info->fMDIApp = FALSE;
    info->hwndFrame = GetAncestor(m_window, GA_ROOT);
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return S_OK; }
  STDMETHODIMP DeactivateAndUndo() override { return S_OK; }
  STDMETHODIMP OnPosRectChange(LPCRECT position) override {
    IOleInPlaceObject* inPlace = nullptr;
    if (!position || !m_control ||
        FAILED(m_control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
      return S_OK;
    }
    inPlace->SetObjectRects(position, position);
    inPlace->Release();
    return S_OK;
  }

  // IOleInPlaceUIWindow and IOleInPlaceFrame: no menus, toolbars or
  // status line to share with the control.
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return E_NOTIMPL; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

 private:
  virtual ~COleControlSite() = default;

  LONG m_refCount = 1;
  HWND m_window;
  IOleObject* m_control = nullptr;  // not owned: the host holds it
};

bool COleControlHost::RegisterWindowClass() {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (GetClassInfoExW(instance, kWindowClass, &windowClass)) return true;
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = CS_GLOBALCLASS;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kWindowClass;
  return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

COleControlHost* COleControlHost::FromWindow(HWND window) {
  wchar_t name[64] = {};
  if (!window || !GetClassNameW(window, name, 64) || lstrcmpiW(name, kWindowClass) != 0) return nullptr;
  return reinterpret_cast<COleControlHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

HRESULT COleControlHost::QueryControl(REFIID iid, void** result) const {
  if (!result) return E_POINTER;
  *result = nullptr;
  if (!m_control) return E_NOINTERFACE;
  return m_control->QueryInterface(iid, result);
}

void COleControlHost::CreateControl(const wchar_t* classIdText) {
  CLSID classId;
  m_createResult = CLSIDFromString(const_cast<LPOLESTR>(classIdText), &classId);
  if (FAILED(m_createResult)) return;
  m_site = new COleControlSite(m_window);
  IOleObject* control = nullptr;
  m_createResult = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                    reinterpret_cast<void**>(&control));
  if (FAILED(m_createResult)) return;
  m_control = control;
  m_site->SetControl(control);
  control->SetClientSite(static_cast<IOleClientSite*>(m_site));
  IPersistStreamInit* persist = nullptr;
  if (SUCCEEDED(control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)))) {
    persist->InitNew();
    persist->Release();
  }
  RECT client;
  GetClientRect(m_window, &client);
  m_createResult = control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(m_site), 0,
                                   m_window, &client);
  if (FAILED(m_createResult)) DestroyControl();
}

// The control lets go of the site before the site goes: it may call back
// while it closes.
void COleControlHost::DestroyControl() {
  if (m_control) {
    IOleInPlaceObject* inPlace = nullptr;
    if (SUCCEEDED(m_control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
      inPlace->InPlaceDeactivate();
      inPlace->Release();
    }
    m_control->Close(OLECLOSE_NOSAVE);
    m_control->SetClientSite(nullptr);
    m_control->Release();
    m_control = nullptr;
  }
  if (m_site) {
    m_site->SetControl(nullptr);
    m_site->Release();
    m_site = nullptr;
  }
}

void COleControlHost::MoveControl() {
  IOleInPlaceObject* inPlace = nullptr;
  if (!m_control ||
      FAILED(m_control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
    return;
  }
  RECT client;
  GetClientRect(m_window, &client);
  inPlace->SetObjectRects(&client, &client);
  inPlace->Release();
}

LRESULT CALLBACK COleControlHost::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    COleControlHost* host = reinterpret_cast<COleControlHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
      case WM_CREATE: {
        host = new COleControlHost(window);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(host));
        const CREATESTRUCTW* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        host->CreateControl(create && create->lpszName ? create->lpszName : L"");
        return 0;
      }
      case WM_SIZE:
        if (host) host->MoveControl();
        return 0;
      case WM_ERASEBKGND:
        return host && host->m_control ? 1 : DefWindowProcW(window, message, wParam, lParam);
      case WM_DESTROY:
        if (host) host->DestroyControl();
        return 0;
      case WM_NCDESTROY:
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        delete host;
        return DefWindowProcW(window, message, wParam, lParam);
      default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
  } catch (...) {
    ReportBoundaryException(L"COleControlHost::WindowProc");
    return 0;
  }
}
