// cost_text.cpp: reading and writing cost values.
#include "engine/cost_text.h"

#include <cmath>
#include <cwchar>

#include "platform/wide_string.h"

double CostFromText(const std::wstring& text) {
  double value = std::wcstod(text.c_str(), nullptr);
  return std::isfinite(value) ? value : 0.0;
}

std::wstring CostToText(double cost) {
  if (!std::isfinite(cost)) return L"0.0";
  std::wstring text = Format(L"%.15g", cost);
  if (CostFromText(text) != cost) text = Format(L"%.17g", cost);
  return text;
}
