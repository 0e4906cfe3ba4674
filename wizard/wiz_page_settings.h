#pragma once
// wiz_page_settings.h: what a page sequence says about one page: its name,
// the page after it, its buttons and the condition that shows it.
#include <string>

struct CWizPageSettings {
  std::wstring name;
  std::wstring next;
  bool disableBack = false;
  bool disableNext = false;
  bool enableView = false;
  // Comma-separated sheet property names; empty shows the page.
  std::wstring displayCondition;
};
