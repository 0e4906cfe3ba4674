#pragma once
// xml_document.h: CXmlDocument, a small XML file read with XPath queries
// through the system's MSXML 6 DOM document.
#include <windows.h>
#include <msxml2.h>

#include <string>
#include <vector>

#include "platform/com_ptr.h"

class CXmlDocument {
 public:
  CXmlDocument();
  CXmlDocument(const CXmlDocument&) = delete;
  CXmlDocument& operator=(const CXmlDocument&) = delete;
  ~CXmlDocument();

  // Creates the document and loads the file. Failures are logged and thrown
  // as a long (an HRESULT, or the parser's error code).
  void LoadFile(const std::wstring& path);
  // The text of the first node selected; empty when none is.
  void SelectSingleNodeText(const std::wstring& xpath, std::wstring* text);
  // The texts of all selected nodes, in document order.
  void SelectNodes(const std::wstring& xpath, std::vector<std::wstring>* texts);

 private:
  void Create();
  void LogParseError(const std::wstring& context);

  CComPtr<IXMLDOMDocument2> m_document;
  bool m_comInitialized = false;
};
