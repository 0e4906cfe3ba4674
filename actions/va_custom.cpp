// va_custom.cpp: a configured check: its command and where that runs from.
// The command's DLL reads which check runs it from the shared context block.
#include "actions/va_custom.h"

#include <cwchar>

#include "engine/setup_aggregate.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"

namespace {

// Cut to fit, always terminated.
template <size_t N>
void CopyField(wchar_t (&field)[N], const std::wstring& text) {
  size_t count = text.size() < N - 1 ? text.size() : N - 1;
  wmemcpy(field, text.data(), count);
  field[count] = L'\0';
}

}  // namespace

CVACustom::CVACustom(int sequence, const std::wstring& keyName, const std::wstring& actionName,
                     const std::wstring& productName)
    : CVerifyAction(sequence, keyName, actionName, productName) {}

CVACustom::~CVACustom() = default;

DWORD CVACustom::Execute() {
  if (!m_command) {
    WriteLog(L"No command string defined for the custom verify action.");
    return 1;
  }
  if (g_setupAggregate) {
    CopyField(g_setupAggregate->actionName, GetKeyName());
    CopyField(g_setupAggregate->verifyActionDisplayName, GetName());
  }
  DWORD result = m_command->Run();
  if (result == ERROR_SUCCESS) return ERROR_SUCCESS;
  WriteLog(L"   Custom verify action failed with error code %d", static_cast<int>(result));
  SetLastError(ERROR_OLD_WIN_VERSION);
  return kVerifyEndWithLastError;
}

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
