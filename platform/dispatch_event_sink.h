#pragma once
// dispatch_event_sink.h: CDispatchEventSink, a dispatch interface that a
// control's connection point calls with its events, handed on to a
// function of the owner (the event sink map the program has no MFC for).
// Windows-only.
#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <functional>

#include "platform/event_dispatch.h"

class CDispatchEventSink : public CEventDispatch {
 public:
  using Handler = std::function<void(DISPID id, DISPPARAMS* parameters)>;

  // Reference count 1, held by the creator.
  CDispatchEventSink(REFIID events, Handler handler);

  // Subscribes to the source's connection point for the events; any
  // earlier subscription ends first.
  HRESULT Connect(IUnknown* source);
  // Ends the subscription; nothing without one.
  void Disconnect();
  // The handler is not called any more (its owner is going away).
  void ClearHandler() { m_handler = nullptr; }

  STDMETHODIMP QueryInterface(REFIID iid, void** result) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT* result, EXCEPINFO*,
                      UINT*) override;

 private:
  virtual ~CDispatchEventSink();

  LONG m_refCount = 1;
  IID m_events;
  Handler m_handler;
  IConnectionPoint* m_point = nullptr;
  DWORD m_cookie = 0;
};
