// setup_state.cpp: the nine handshake events, the locked texts with their
// "@EMPTY" name fields, and the locked property map.
#include "engine/setup_state.h"

#include <windows.h>

namespace {

const wchar_t kEmpty[] = L"@EMPTY";

std::wstring Stored(const wchar_t* name) {
  return (name && *name) ? std::wstring(name) : std::wstring(kEmpty);
}

std::wstring Read(const std::wstring& stored) {
  return stored == kEmpty ? std::wstring() : stored;
}

}  // namespace

CSetupState::CSetupState()
    : m_shortProductName(kEmpty), m_productName(kEmpty), m_userName(kEmpty), m_companyName(kEmpty) {
  for (int i = 1; i < kEventCount; ++i) {
    m_events[i] = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  }
}

CSetupState::~CSetupState() {
  for (HANDLE& event : m_events) {
    if (event) CloseHandle(event);
    event = nullptr;
  }
}

HANDLE CSetupState::GetEvent(int index) const {
  return (index > 0 && index < kEventCount) ? m_events[index] : nullptr;
}

void CSetupState::Signal(CSetupStateEvent event) const {
  HANDLE handle = GetEvent(event);
  if (!handle) return;
  ResetEvent(handle);
  SetEvent(handle);
}

void CSetupState::Pulse(CSetupStateEvent event) const {
  HANDLE handle = GetEvent(event);
  if (handle) PulseEvent(handle);
}

void CSetupState::SetShortProductName(const wchar_t* name) { SetText(&m_shortProductName, Stored(name)); }
std::wstring CSetupState::GetShortProductName() const { return Read(GetText(m_shortProductName)); }
void CSetupState::SetProductName(const wchar_t* name) { SetText(&m_productName, Stored(name)); }
std::wstring CSetupState::GetProductName() const { return Read(GetText(m_productName)); }
void CSetupState::SetUserName(const wchar_t* name) { SetText(&m_userName, Stored(name)); }
std::wstring CSetupState::GetUserName() const { return Read(GetText(m_userName)); }
void CSetupState::SetCompanyName(const wchar_t* name) { SetText(&m_companyName, Stored(name)); }
std::wstring CSetupState::GetCompanyName() const { return Read(GetText(m_companyName)); }
void CSetupState::SetInstallFolder(const std::wstring& folder) { SetText(&m_installFolder, folder); }
std::wstring CSetupState::GetInstallFolder() const { return GetText(m_installFolder); }

void CSetupState::SetProductsNotRestored(const std::vector<std::wstring>& names) {
  std::lock_guard<std::mutex> lock(m_textLock);
  m_productsNotRestored = names;
}

std::vector<std::wstring> CSetupState::GetProductsNotRestored() const {
  std::lock_guard<std::mutex> lock(m_textLock);
  return m_productsNotRestored;
}

void CSetupState::SetText(std::wstring* field, const std::wstring& value) {
  std::lock_guard<std::mutex> lock(m_textLock);
  *field = value;
}

std::wstring CSetupState::GetText(const std::wstring& field) const {
  std::lock_guard<std::mutex> lock(m_textLock);
  return field;
}

void CSetupState::SetProperty(const std::wstring& name, const std::wstring& value) {
  std::lock_guard<std::mutex> lock(m_propertyLock);
  m_properties[name] = value;
}

bool CSetupState::GetProperty(const std::wstring& name, std::wstring* value) const {
  std::lock_guard<std::mutex> lock(m_propertyLock);
  auto found = m_properties.find(name);
  if (found == m_properties.end()) return false;
  if (value) *value = found->second;
  return true;
}

PropertyMap CSetupState::CopyProperties() const {
  std::lock_guard<std::mutex> lock(m_propertyLock);
  return m_properties;
}
