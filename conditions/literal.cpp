// literal.cpp: conversions and comparison of the four value kinds.
#include "conditions/literal.h"

#include <cmath>
#include <sstream>

#include "conditions/condition_platform.h"
#include "conditions/lexer.h"
#include "platform/wide_string.h"

namespace {

template <class T>
int Order(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

// wchar_t is UTF-32 off Windows: compare as UTF-16 code units everywhere.
std::u16string ToUtf16(const std::wstring& text) {
  std::u16string units;
  units.reserve(text.size());
  for (wchar_t c : text) {
    uint32_t code = static_cast<uint32_t>(c);
    if (code > 0xFFFF && code <= 0x10FFFF) {
      code -= 0x10000;
      units += static_cast<char16_t>(0xD800 + (code >> 10));
      units += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      units += static_cast<char16_t>(code);
    }
  }
  return units;
}

}  // namespace

bool CLiteral::Evaluate(std::unique_ptr<CLiteral>* out, const CMapStringToString* properties) {
  if (!out || !properties) return false;
  *out = Clone();
  return true;
}

bool CLiteralBoolean::ToBoolean(bool* out) const {
  if (out) *out = m_value;
  return true;
}

bool CLiteralBoolean::ToFloat(float* out) const {
  if (out) *out = m_value ? 1.0f : 0.0f;
  return true;
}

bool CLiteralBoolean::ToInteger(int* out) const {
  if (out) *out = m_value ? 1 : 0;
  return true;
}

bool CLiteralBoolean::ToString(std::wstring* out) const {
  if (out) *out = m_value ? L"TRUE" : L"FALSE";
  return true;
}

bool CLiteralBoolean::Compare(const CLiteral* other, int* result) const {
  bool value = false;
  if (!other || !other->ToBoolean(&value)) return false;
  if (result) *result = Order<int>(m_value, value);
  return true;
}

std::unique_ptr<CLiteral> CLiteralBoolean::Clone() const {
  return std::make_unique<CLiteralBoolean>(m_value);
}

bool CLiteralFloat::ToBoolean(bool* out) const {
  if (out) *out = m_value != 0.0f;
  return true;
}

bool CLiteralFloat::ToFloat(float* out) const {
  if (out) *out = m_value;
  return true;
}

bool CLiteralFloat::ToInteger(int* out) const {
  // Converting an out-of-range float to int is undefined: no integer form.
  if (!std::isfinite(m_value) || m_value < -2147483648.0f || m_value >= 2147483648.0f) {
    return false;
  }
  if (out) *out = static_cast<int>(m_value);
  return true;
}

bool CLiteralFloat::ToString(std::wstring* out) const {
  if (out) *out = Format(L"%g", static_cast<double>(m_value));
  return true;
}

bool CLiteralFloat::Compare(const CLiteral* other, int* result) const {
  float value = 0;
  if (!other || !other->ToFloat(&value)) return false;
  if (result) *result = m_value == value ? 0 : (m_value > value ? 1 : -1);
  return true;
}

std::unique_ptr<CLiteral> CLiteralFloat::Clone() const {
  return std::make_unique<CLiteralFloat>(m_value);
}

bool CLiteralInteger::ToBoolean(bool* out) const {
  if (out) *out = m_value != 0;
  return true;
}

bool CLiteralInteger::ToFloat(float* out) const {
  if (out) *out = static_cast<float>(m_value);
  return true;
}

bool CLiteralInteger::ToInteger(int* out) const {
  if (out) *out = m_value;
  return true;
}

bool CLiteralInteger::ToString(std::wstring* out) const {
  if (out) *out = Format(L"%d", m_value);
  return true;
}

bool CLiteralInteger::Compare(const CLiteral* other, int* result) const {
  int value = 0;
  if (!other || !other->ToInteger(&value)) return false;
  if (result) *result = Order(m_value, value);
  return true;
}

std::unique_ptr<CLiteral> CLiteralInteger::Clone() const {
  return std::make_unique<CLiteralInteger>(m_value);
}

bool CLiteralString::ToBoolean(bool* out) const {
  bool value = false;
  if (m_value == L"TRUE") {
    value = true;
  } else if (m_value != L"FALSE") {
    return false;
  }
  if (out) *out = value;
  return true;
}

bool CLiteralString::ToFloat(float* out) const {
  std::istringstream stream(ConditionTextToAnsi(m_value));
  std::unique_ptr<tToken> token = tLexer::ScanDouble(stream);
  if (!token) return false;
  if (out) *out = static_cast<float>(token->real);
  return true;
}

bool CLiteralString::ToInteger(int* out) const {
  std::istringstream stream(ConditionTextToAnsi(m_value));
  std::unique_ptr<tToken> token = tLexer::ScanInteger(stream);
  if (!token) return false;
  // The scanner keeps values below 429496729: they fit.
  if (out) *out = static_cast<int>(token->integer);
  return true;
}

bool CLiteralString::ToString(std::wstring* out) const {
  if (out) *out = m_value;
  return true;
}

bool CLiteralString::Compare(const CLiteral* other, int* result) const {
  std::wstring value;
  if (!other || !other->ToString(&value)) return false;
  if (result) {
    int order = ToUtf16(m_value).compare(ToUtf16(value));
    *result = order < 0 ? -1 : (order > 0 ? 1 : 0);
  }
  return true;
}

std::unique_ptr<CLiteral> CLiteralString::Clone() const {
  return std::make_unique<CLiteralString>(m_value);
}
