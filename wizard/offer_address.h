#pragma once
// offer_address.h: the addresses of the maker's redirect service that the
// offer page shows and opens, and the page's rule for a navigation inside
// its view.
#include <string>

// What the service is told about this setup.
struct COfferAddressFacts {
  std::wstring languageCode;  // three letters, "ENU"
  std::wstring sku;
  std::wstring buildNumber;
  std::wstring productName;
  std::wstring productVersion;
};

// The service's address for `type` ("upsell": the page's view; "offer":
// the user's own browser). Blanks are left to the canonicalisation; the
// characters that would end or split a value are escaped.
std::wstring BuildOfferAddress(const COfferAddressFacts& facts, const std::wstring& type);

// The address in canonical form, blanks escaped; the address as given
// when it cannot be canonicalised (too long for the system).
std::wstring CanonicalizeOfferAddress(const std::wstring& address);

enum class ENavigateDecision {
  kLeaveAlone,     // about:blank: neither cancelled nor recorded
  kAccept,         // the shown address contains it
  kAcceptAndKeep,  // the view's first navigation: it becomes the shown address
  kOpenOffer,      // cancelled; the offer opens in the user's browser
};

// `shown` is the page's address, `address` the one the view is about to
// go to.
ENavigateDecision DecideBeforeNavigate(const std::wstring& shown, const std::wstring& address,
                                       bool firstNavigation);
