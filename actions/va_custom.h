#pragma once
// va_custom.h: CVACustom, a configured check that runs an external command.
#include <windows.h>

#include <memory>
#include <string>

#include "actions/external_command.h"
#include "actions/verify_action.h"

class CVACustom : public CVerifyAction {
 public:
  enum ERefusal { kRefusalOther = 0, kAbortProduct = 1, kAbortAll = 2 };

  // `productName` is also the action's name.
  CVACustom(int sequence, const std::wstring& keyName, const std::wstring& actionName,
            const std::wstring& productName);
  ~CVACustom() override;
  DWORD Execute() override;

  // A trailing backslash ensured; with `appendKeyName` the key name's folder.
  void SetSourceFolder(const std::wstring& folder, bool appendKeyName);
  // Replaces the command; program and DLL commands run from the source folder.
  void SetCommand(const std::wstring& text);
  // Upper-cased first: "" and ABORTPROD, ABORTALL, anything else.
  void SetRefusal(const std::wstring& text);
  void SetSuiteLevelValidation(bool suiteLevel) { m_suiteLevelValidation = suiteLevel; }
  bool IsSuiteLevelValidation() const { return m_suiteLevelValidation; }

  const std::wstring& GetSourceFolder() const { return m_sourceFolder; }
  const CExternalCommand* GetCommand() const { return m_command.get(); }

 private:
  std::wstring m_sourceFolder;
  std::unique_ptr<CExternalCommand> m_command;
  bool m_suiteLevelValidation = false;
};
