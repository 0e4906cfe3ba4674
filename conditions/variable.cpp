// variable.cpp: the built-in condition variables and property look-up.
#include "conditions/variable.h"

#include "conditions/grammar_text.h"
#include "conditions/language_table.h"
#include "conditions/literal.h"

namespace {

enum {
  kOsVersion = 0,
  kOsServicePack,
  kOsSubtype,
  kArchitecture,
  kSystemLanguage,
  kSystemLanguageId,
  kUserLanguage,
  kUserLanguageId,
  kNeutralLanguageId,
};

const wchar_t* const kSubtypeNames[] = {L"PRO", L"HOME", L"SERVER", L"MCE"};
const uint32_t kPersonalSuiteMask = 0x200;

}  // namespace

CVariable::CVariable(std::wstring name, int index, const ISystemFacts* facts)
    : m_name(std::move(name)), m_index(index), m_facts(facts) {}

const wchar_t* CVariable::GetVariableName(int index) {
  if (index < 0 || index >= kBuiltInVariableCount) return nullptr;
  return kBuiltInVariableNames[index];
}

bool CVariable::Evaluate(std::unique_ptr<CLiteral>* out, const CMapStringToString* properties) {
  if (!out || !properties) return false;
  out->reset();
  if (m_index >= 0 && m_index < kBuiltInVariableCount) return EvaluateBuiltIn(out);
  std::wstring value;
  if (!GetPropertyValue(&value, properties)) return false;
  *out = std::make_unique<CLiteralString>(value);
  return true;
}

bool CVariable::EvaluateBuiltIn(std::unique_ptr<CLiteral>* out) const {
  float real = 0;
  int number = 0;
  wchar_t code[4] = {};
  switch (m_index) {
    case kOsVersion:
      if (!GetOsVersion(&real)) return false;
      *out = std::make_unique<CLiteralFloat>(real);
      return true;
    case kOsServicePack:
      if (!GetServicePack(&real)) return false;
      *out = std::make_unique<CLiteralFloat>(real);
      return true;
    case kOsSubtype:
      if (!GetOsSubtype(&number)) return false;
      *out = std::make_unique<CLiteralString>(kSubtypeNames[number]);
      return true;
    case kSystemLanguage:
    case kUserLanguage:
      if (!(m_index == kSystemLanguage ? GetSystemLanguage(code) : GetUserLanguage(code))) {
        return false;
      }
      *out = std::make_unique<CLiteralString>(code);
      return true;
    case kArchitecture:
      if (!GetArchitecture(&number)) return false;
      break;
    case kSystemLanguageId:
      if (!GetSystemLanguageId(&number)) return false;
      break;
    case kUserLanguageId:
      if (!GetUserLanguageId(&number)) return false;
      break;
    case kNeutralLanguageId:
      if (!GetNeutralLanguageId(&number)) return false;
      break;
    default:
      return false;
  }
  *out = std::make_unique<CLiteralInteger>(number);
  return true;
}

// Computed in float, as the literal it is compared with is narrowed to float:
// 5 + 1/10 then equals the literal 5.1.
bool CVariable::GetOsVersion(float* version) const {
  COsVersionInfo info;
  if (!version || !m_facts || !m_facts->GetOsVersion(&info)) return false;
  *version = static_cast<float>(info.majorVersion) + static_cast<float>(info.minorVersion) / 10.0f;
  return true;
}

// Only the extended version information has the service pack.
bool CVariable::GetServicePack(float* servicePack) const {
  COsVersionInfo info;
  if (!servicePack || !m_facts || !m_facts->GetOsVersion(&info) || !info.extended) return false;
  *servicePack =
      static_cast<float>(info.servicePackMajor) + static_cast<float>(info.servicePackMinor) / 10.0f;
  return true;
}

bool CVariable::GetOsSubtype(int* subtype) const {
  if (!subtype || !m_facts) return false;
  if (IsHomeEdition()) {
    *subtype = 1;
  } else if (IsServer()) {
    *subtype = 2;
  } else if (IsMediaCenter()) {
    *subtype = 3;
  } else {
    *subtype = 0;
  }
  return true;
}

bool CVariable::GetArchitecture(int* bits) const {
  if (!bits || !m_facts) return false;
  *bits = m_facts->IsWow64() ? 64 : 32;
  return true;
}

bool CVariable::GetSystemLanguage(wchar_t* code) const {
  return code && m_facts && LookupLanguageCode(m_facts->GetSystemDefaultLanguageId(), code);
}

bool CVariable::GetSystemLanguageId(int* id) const {
  if (!id || !m_facts) return false;
  *id = m_facts->GetSystemDefaultLanguageId();
  return true;
}

bool CVariable::GetUserLanguage(wchar_t* code) const {
  return code && m_facts && LookupLanguageCode(m_facts->GetUserDefaultLanguageId(), code);
}

bool CVariable::GetUserLanguageId(int* id) const {
  if (!id || !m_facts) return false;
  *id = m_facts->GetUserDefaultLanguageId();
  return true;
}

bool CVariable::GetNeutralLanguageId(int* id) const {
  if (!id || !m_facts) return false;
  *id = m_facts->GetUserDefaultLanguageId() & 255;
  return true;
}

bool CVariable::GetPropertyValue(std::wstring* value, const CMapStringToString* properties) const {
  if (!value || !properties) return false;
  auto found = properties->find(m_name);
  if (found == properties->end()) return false;
  *value = found->second;
  return true;
}

bool CVariable::IsHomeEdition() const {
  COsVersionInfo info;
  return m_facts && m_facts->GetOsVersion(&info) && info.extended &&
         (info.suiteMask & kPersonalSuiteMask) != 0;
}

// A missing key or value only means the system is not a server.
bool CVariable::IsServer() const {
  std::wstring type;
  return m_facts && m_facts->GetProductType(&type) && (type == L"ServerNT" || type == L"LanmanNT");
}

bool CVariable::IsMediaCenter() const { return m_facts && m_facts->IsMediaCenter(); }
