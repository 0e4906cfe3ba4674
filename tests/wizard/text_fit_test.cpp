// text_fit_test.cpp: a text cut to the room it has, ending in an ellipsis.
#include "wizard/text_fit.h"

#include "gtest/gtest.h"

// The room stands in as a number of UTF-16 units.
TEST(TextFitTest, CutsAtTheEndWithAnEllipsis) {
  const struct {
    const wchar_t* text;
    size_t room;
    const wchar_t* shown;
  } kCases[] = {
      {L"Welcome to Tamsa", 16, L"Welcome to Tamsa"},
      {L"Welcome to Tamsa", 12, L"Welcome to\u2026"},  // no blank before the ellipsis
      {L"Welcome to Tamsa", 1, L"\u2026"},
      {L"Welcome to Tamsa", 0, L"\u2026"},             // the ellipsis alone at the least
      {L"Tamsa \U0001D4AFools", 8, L"Tamsa\u2026"},    // the letter of two units stays whole
      {L"Tamsa \U0001D4AFools", 9, L"Tamsa \U0001D4AF\u2026"},
      {L"", 0, L""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(c.shown, ShortenWithEllipsis(c.text, [&c](const std::wstring& t) { return t.size() <= c.room; }))
        << c.text << " " << c.room;
  }
}
