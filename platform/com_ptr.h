#pragma once
// com_ptr.h: the one owner of a COM interface pointer, releasing it when it
// goes out of scope (the program has no ATL). Windows-only.
#include <windows.h>
#include <unknwn.h>

template <typename T>
class CComPtr {
 public:
  CComPtr() = default;
  CComPtr(const CComPtr&) = delete;
  CComPtr& operator=(const CComPtr&) = delete;
  CComPtr(CComPtr&& other) noexcept : m_pointer(other.Detach()) {}
  CComPtr& operator=(CComPtr&& other) noexcept {
    if (this != &other) Reset(other.Detach());
    return *this;
  }
  ~CComPtr() { Reset(); }

  T* Get() const { return m_pointer; }
  T* operator->() const { return m_pointer; }
  explicit operator bool() const { return m_pointer != nullptr; }

  // For out parameters: the old interface is released first.
  T** Receive() {
    Reset();
    return &m_pointer;
  }

  T* Detach() {
    T* pointer = m_pointer;
    m_pointer = nullptr;
    return pointer;
  }

  void Reset(T* pointer = nullptr) {
    if (m_pointer) m_pointer->Release();
    m_pointer = pointer;
  }

  HRESULT CreateInstance(REFCLSID classId, DWORD context = CLSCTX_INPROC_SERVER) {
    return CoCreateInstance(classId, nullptr, context, __uuidof(T),
                            reinterpret_cast<void**>(Receive()));
  }

  template <typename U>
  HRESULT QueryInterface(CComPtr<U>* result) const {
    if (!m_pointer) return E_POINTER;
    return m_pointer->QueryInterface(__uuidof(U), reinterpret_cast<void**>(result->Receive()));
  }

 private:
  T* m_pointer = nullptr;
};
