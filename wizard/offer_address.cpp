// offer_address.cpp: the redirect service's query and the navigation rule.
#include "wizard/offer_address.h"

#include <windows.h>
#include <shlwapi.h>
#include <wininet.h>

#include <vector>

#include "platform/wide_string.h"

namespace {

const wchar_t kRedirectService[] = L"http://redirect.example.com/RedirectServer/default.aspx";
const wchar_t kProductCode[] = L"52";
const wchar_t kBlankPage[] = L"about:blank";

// A product name such as "Tools & Games" must stay one value: the
// characters that end or split a query value are escaped; blanks stay for
// the canonicalisation.
std::wstring QueryValue(const std::wstring& value) {
  std::wstring escaped;
  for (wchar_t c : value) {
    switch (c) {
      case L'%': escaped += L"%25"; break;
      case L'&': escaped += L"%26"; break;
      case L'#': escaped += L"%23"; break;
      case L'+': escaped += L"%2B"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

}  // namespace

std::wstring BuildOfferAddress(const COfferAddressFacts& facts, const std::wstring& type) {
  const std::pair<const wchar_t*, std::wstring> parameters[] = {
      {L"PROD", kProductCode},
      {L"LANG", facts.languageCode},
      {L"type", type},
      {L"TLA", facts.sku},
      {L"build", facts.buildNumber},
      {L"extend1", facts.productName + L" " + facts.productVersion},
  };
  std::wstring address = kRedirectService;
  wchar_t separator = L'?';
  for (const auto& parameter : parameters) {
    address += separator;
    address += parameter.first;
    address += L'=';
    address += QueryValue(parameter.second);
    separator = L'&';
  }
  return address;
}

std::wstring CanonicalizeOfferAddress(const std::wstring& address) {
  std::vector<wchar_t> buffer(INTERNET_MAX_URL_LENGTH);
  DWORD length = static_cast<DWORD>(buffer.size());
  if (FAILED(UrlCanonicalizeW(address.c_str(), buffer.data(), &length, URL_ESCAPE_SPACES_ONLY))) return address;
  return std::wstring(buffer.data(), length);
}

ENavigateDecision DecideBeforeNavigate(const std::wstring& shown, const std::wstring& address,
                                       bool firstNavigation) {
  if (EqualsNoCase(address, kBlankPage)) return ENavigateDecision::kLeaveAlone;
  if (firstNavigation) return ENavigateDecision::kAcceptAndKeep;
  if (shown.find(address) != std::wstring::npos) return ENavigateDecision::kAccept;
  return ENavigateDecision::kOpenOffer;
}
