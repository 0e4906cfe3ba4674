#pragma once
// event_dispatch.h: CEventDispatch, the part of IDispatch an event receiver
// does not need: it offers no type information and knows no names, since
// its source calls it by dispatch id only.
#include <windows.h>
#include <oaidl.h>

class CEventDispatch : public IDispatch {
 public:
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }

 protected:
  ~CEventDispatch() = default;
};
