// offer_address_test.cpp: the redirect service's addresses as the offer
// page requests and opens them (canonicalised as the page does), and the
// page's rule for a navigation inside its view.
#include "wizard/offer_address.h"

#include <string>

#include "gtest/gtest.h"

namespace {

const wchar_t kService[] = L"http://redirect.example.com/RedirectServer/default.aspx";

struct AddressCase {
  const wchar_t* label;
  COfferAddressFacts facts;
  const wchar_t* type;
  const wchar_t* query;  // after the service's path, canonicalised
};

TEST(OfferAddressTest, AddressesCarryTheSetupsFactsInOrderWithBlanksEscaped) {
  const AddressCase kCases[] = {
      {L"upsell", {L"ENU", L"STD", L"1234", L"Tamsa Sample Suite", L"3.5"}, L"upsell",
       L"?PROD=52&LANG=ENU&type=upsell&TLA=STD&build=1234&extend1=Tamsa%20Sample%20Suite%203.5"},
      {L"offer", {L"DEU", L"PRO", L"77", L"Suite", L"1.0"}, L"offer",
       L"?PROD=52&LANG=DEU&type=offer&TLA=PRO&build=77&extend1=Suite%201.0"},
      // Missing properties stay empty keys; the address's trailing blank
      // is dropped by the canonicalisation.
      {L"empty facts", {L"", L"", L"", L"", L""}, L"upsell", L"?PROD=52&LANG=&type=upsell&TLA=&build=&extend1="},
      // Characters that would end or split a value stay inside it.
      {L"reserved characters", {L"ENU", L"A&B", L"5#2", L"Tools & Games+ 100%", L"2"}, L"offer",
       L"?PROD=52&LANG=ENU&type=offer&TLA=A%26B&build=5%232&extend1=Tools%20%26%20Games%2B%20100%25%202"},
  };
  for (const AddressCase& c : kCases) {
    std::wstring built = CanonicalizeOfferAddress(BuildOfferAddress(c.facts, c.type));
    EXPECT_EQ(std::wstring(kService) + c.query, built) << c.label;
  }
}

TEST(OfferAddressTest, CanonicalisationEscapesOnlyBlanksAndKeepsWhatItCannotFit) {
  EXPECT_EQ(L"http://127.0.0.1:8080/offer%20page?a=b%20c",
            CanonicalizeOfferAddress(L"http://127.0.0.1:8080/offer page?a=b c"));
  // An address longer than the system's maximum is used as given.
  std::wstring longAddress = L"http://127.0.0.1/" + std::wstring(3000, L'a');
  EXPECT_EQ(longAddress, CanonicalizeOfferAddress(longAddress));
}

TEST(OfferAddressTest, NavigationsInsideTheViewAreKeptAcceptedOrTurnedIntoTheOffer) {
  const wchar_t kShown[] = L"http://127.0.0.1:8080/upsell/page.aspx?x=1";
  struct NavigateCase {
    const wchar_t* label;
    const wchar_t* shown;
    const wchar_t* address;
    bool first;
    ENavigateDecision expected;
  } const kCases[] = {
      {L"blank page", kShown, L"about:blank", false, ENavigateDecision::kLeaveAlone},
      {L"blank page, any case, first", kShown, L"ABOUT:Blank", true, ENavigateDecision::kLeaveAlone},
      {L"first navigation elsewhere", kShown, L"http://other.example.com/", true, ENavigateDecision::kAcceptAndKeep},
      {L"first navigation to the shown address", kShown, kShown, true, ENavigateDecision::kAcceptAndKeep},
      {L"the shown address", kShown, kShown, false, ENavigateDecision::kAccept},
      {L"a part of the shown address", kShown, L"http://127.0.0.1:8080/upsell", false, ENavigateDecision::kAccept},
      // The containment test is case-sensitive.
      {L"other case", kShown, L"http://127.0.0.1:8080/UPSELL", false, ENavigateDecision::kOpenOffer},
      {L"a link elsewhere", kShown, L"http://shop.example.com/buy", false, ENavigateDecision::kOpenOffer},
      {L"nothing shown yet", L"", L"http://shop.example.com/buy", false, ENavigateDecision::kOpenOffer},
  };
  for (const NavigateCase& c : kCases) {
    EXPECT_EQ(c.expected, DecideBeforeNavigate(c.shown, c.address, c.first)) << c.label;
  }
}

}  // namespace
