// va_custom.cpp: a configured check: its command and where that runs from.
#include "actions/va_custom.h"

#include "platform/wide_string.h"

CVACustom::CVACustom(int sequence, const std::wstring& keyName, const std::wstring& actionName,
                     const std::wstring& productName)
    : CVerifyAction(sequence, keyName, actionName, productName) {}

CVACustom::~CVACustom() = default;

DWORD CVACustom::Execute() { return NotBuiltYet(L"CVACustom::Execute"); }

void CVACustom::SetSourceFolder(const std::wstring& folder, bool appendKeyName) {
  m_sourceFolder = EndsWith(folder, L"\\") ? folder : folder + L"\\";
  if (appendKeyName) m_sourceFolder += GetKeyName() + L"\\";
}

void CVACustom::SetCommand(const std::wstring& text) {
  m_command.reset(new CExternalCommand(text));
  if (m_command->GetKind() == CExternalCommand::kProgram ||
      m_command->GetKind() == CExternalCommand::kDll) {
    m_command->SetSourceFolder(m_sourceFolder);
  }
}

void CVACustom::SetRefusal(const std::wstring& text) {
  std::wstring word = ToUpper(text);
  if (word.empty() || word == L"ABORTPROD") {
    SetRefusalValue(kAbortProduct);
  } else if (word == L"ABORTALL") {
    SetRefusalValue(kAbortAll);
  } else {
    SetRefusalValue(kRefusalOther);
  }
}
