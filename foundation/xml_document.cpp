// xml_document.cpp: MSXML 6 through COM. mingw has no msxml6.h and its uuid
// library lacks IXMLDOMDocument2, so both ids are defined here. A load that
// fails answers S_FALSE, and a query that selects nothing answers S_FALSE
// with no node: the results are checked, not only the HRESULTs.
#include "foundation/xml_document.h"

#include <windows.h>
#include <msxml2.h>
#include <objbase.h>

#include "foundation/setup_log.h"
#include "platform/com_types.h"

namespace {

// DOMDocument60 and IXMLDOMDocument2.
const CLSID kDomDocument60 = {0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};
const IID kIXmlDomDocument2 = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

[[noreturn]] void Fail(long code) { throw code; }

void Check(HRESULT result) {
  if (FAILED(result)) {
    WriteLog(L"   Failed to create and initialize XML DOM with error: %x", static_cast<unsigned>(result));
    Fail(result);
  }
}

}  // namespace

CXmlDocument::CXmlDocument() = default;

CXmlDocument::~CXmlDocument() {
  m_document.Reset();
  if (m_comInitialized) CoUninitialize();
}

void CXmlDocument::Create() {
  if (m_document) return;
  HRESULT init = CoInitialize(nullptr);
  // A thread already in another apartment keeps it; only our own call is undone.
  m_comInitialized = SUCCEEDED(init);
  Check(CoCreateInstance(kDomDocument60, nullptr, CLSCTX_INPROC_SERVER, kIXmlDomDocument2,
                         reinterpret_cast<void**>(m_document.Receive())));
  Check(m_document->put_async(VARIANT_FALSE));
  Check(m_document->put_validateOnParse(VARIANT_FALSE));
  Check(m_document->put_resolveExternals(VARIANT_FALSE));
}

// The parser's last error, after the text it was given (a path or a query).
void CXmlDocument::LogParseError(const std::wstring& context) {
  CComPtr<IXMLDOMParseError> error;
  if (!m_document || FAILED(m_document->get_parseError(error.Receive())) || !error) return;
  CComBSTR reason;
  error->get_reason(reason.Receive());
  WriteLog(L"  %s: %s", context.c_str(), reason.ToString().c_str());
}

void CXmlDocument::LoadFile(const std::wstring& path) {
  Create();
  CComVariant source(path);
  VARIANT_BOOL loaded = VARIANT_FALSE;
  HRESULT result = m_document->load(source.Get(), &loaded);
  if (SUCCEEDED(result) && loaded == VARIANT_TRUE) return;
  WriteLog(L"Failed to load DOM from: %s", path.c_str());
  long code = FAILED(result) ? result : E_FAIL;
  CComPtr<IXMLDOMParseError> error;
  if (SUCCEEDED(m_document->get_parseError(error.Receive())) && error) {
    long parserCode = 0;
    if (SUCCEEDED(error->get_errorCode(&parserCode)) && parserCode) code = parserCode;
  }
  LogParseError(path);
  Fail(code);
}

void CXmlDocument::SelectSingleNodeText(const std::wstring& xpath, std::wstring* text) {
  text->clear();
  if (!m_document) Fail(E_POINTER);
  CComBSTR query(xpath);
  CComPtr<IXMLDOMNode> node;
  HRESULT result = m_document->selectSingleNode(query.Get(), node.Receive());
  if (FAILED(result)) {
    WriteLog(L"Error while calling selectSingleNode.");
    LogParseError(xpath);
    Fail(result);
  }
  if (!node) return;
  CComBSTR value;
  result = node->get_text(value.Receive());
  if (FAILED(result)) Fail(result);
  *text = value.ToString();
}

void CXmlDocument::SelectNodes(const std::wstring& xpath, std::vector<std::wstring>* texts) {
  texts->clear();
  if (!m_document) Fail(E_POINTER);
  CComBSTR query(xpath);
  CComPtr<IXMLDOMNodeList> list;
  HRESULT result = m_document->selectNodes(query.Get(), list.Receive());
  if (FAILED(result) || !list) {
    WriteLog(L"Error while calling selectNodes.");
    LogParseError(xpath);
    WriteLog(L"   Failed to query XML DOM with error: %d", static_cast<int>(result));
    Fail(FAILED(result) ? result : E_FAIL);
  }
  long length = 0;
  if (FAILED(result = list->get_length(&length))) Fail(result);
  for (long i = 0; i < length; ++i) {
    CComPtr<IXMLDOMNode> node;
    if (FAILED(result = list->get_item(i, node.Receive())) || !node) Fail(FAILED(result) ? result : E_FAIL);
    CComBSTR value;
    if (FAILED(result = node->get_text(value.Receive()))) Fail(result);
    texts->push_back(value.ToString());
  }
}
