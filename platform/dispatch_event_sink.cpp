// dispatch_event_sink.cpp: the subscription and the calls it receives.
#include "platform/dispatch_event_sink.h"

#include <windows.h>
#include <ocidl.h>

#include "platform/callback_boundary.h"

CDispatchEventSink::CDispatchEventSink(REFIID events, Handler handler)
    : m_events(events), m_handler(std::move(handler)) {}

CDispatchEventSink::~CDispatchEventSink() { Disconnect(); }

HRESULT CDispatchEventSink::Connect(IUnknown* source) {
  Disconnect();
  if (!source) return E_POINTER;
  IConnectionPointContainer* container = nullptr;
  HRESULT result =
      source->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container));
  if (FAILED(result)) return result;
  IConnectionPoint* point = nullptr;
  result = container->FindConnectionPoint(m_events, &point);
  container->Release();
  if (FAILED(result)) return result;
  result = point->Advise(static_cast<IDispatch*>(this), &m_cookie);
  if (FAILED(result)) {
    point->Release();
    m_cookie = 0;
    return result;
  }
  m_point = point;
  return S_OK;
}

void CDispatchEventSink::Disconnect() {
  if (!m_point) return;
  // The point may hold the last outside reference: keep this object alive
  // until Unadvise has returned.
  AddRef();
  m_point->Unadvise(m_cookie);
  m_point->Release();
  m_point = nullptr;
  m_cookie = 0;
  Release();
}

STDMETHODIMP CDispatchEventSink::QueryInterface(REFIID iid, void** result) {
  if (!result) return E_POINTER;
  *result = nullptr;
  if (iid != IID_IUnknown && iid != IID_IDispatch && iid != m_events) return E_NOINTERFACE;
  *result = static_cast<IDispatch*>(this);
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) CDispatchEventSink::AddRef() { return InterlockedIncrement(&m_refCount); }

STDMETHODIMP_(ULONG) CDispatchEventSink::Release() {
  LONG count = InterlockedDecrement(&m_refCount);
  if (count == 0) delete this;
  return count;
}

// The control calls this from its own code: nothing may escape into it.
STDMETHODIMP CDispatchEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT*,
                                        EXCEPINFO*, UINT*) {
  try {
    if (m_handler) m_handler(id, parameters);
  } catch (...) {
    ReportBoundaryException(L"CDispatchEventSink::Invoke");
  }
  return S_OK;
}
