#pragma once
// cost_text.h: disk costs (megabytes) as configuration texts, the same in
// every locale. Pure logic.
#include <string>

// The number at the start of the text ("12.5", "3MB" gives 3); 0 for text
// without one and for infinities and not-a-number.
double CostFromText(const std::wstring& text);
// The shortest text that CostFromText reads back as the same value.
std::wstring CostToText(double cost);
