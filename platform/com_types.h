#pragma once
// com_types.h: owners of a BSTR and a VARIANT, the two COM values the
// program hands to automation interfaces (it has no ATL). Windows-only.
#include <windows.h>
#include <oleauto.h>

#include <string>

class CComBSTR {
 public:
  CComBSTR() = default;
  explicit CComBSTR(const std::wstring& text)
      : m_text(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  CComBSTR(const CComBSTR&) = delete;
  CComBSTR& operator=(const CComBSTR&) = delete;
  ~CComBSTR() { SysFreeString(m_text); }

  BSTR Get() const { return m_text; }
  // For out parameters: the old text is freed first.
  BSTR* Receive() {
    SysFreeString(m_text);
    m_text = nullptr;
    return &m_text;
  }
  std::wstring ToString() const { return m_text ? std::wstring(m_text, SysStringLen(m_text)) : std::wstring(); }

 private:
  BSTR m_text = nullptr;
};

class CComVariant {
 public:
  CComVariant() { VariantInit(&m_value); }
  explicit CComVariant(const std::wstring& text) {
    VariantInit(&m_value);
    m_value.vt = VT_BSTR;
    m_value.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  }
  CComVariant(const CComVariant&) = delete;
  CComVariant& operator=(const CComVariant&) = delete;
  ~CComVariant() { VariantClear(&m_value); }

  const VARIANT& Get() const { return m_value; }

 private:
  VARIANT m_value;
};
