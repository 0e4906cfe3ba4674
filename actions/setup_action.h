#pragma once
// setup_action.h: CSetupAction, the base of every step that changes the
// machine: its place in its list and the names it is known by.
#include <windows.h>

#include <string>

class CSetupAction {
 public:
  CSetupAction(int sequence, const std::wstring& keyName, const std::wstring& actionName,
               const std::wstring& name);
  CSetupAction(const CSetupAction&) = delete;
  CSetupAction& operator=(const CSetupAction&) = delete;
  virtual ~CSetupAction();

  // 0 success, otherwise a Win32 code.
  virtual DWORD Execute() = 0;
  virtual std::wstring GetName() const { return m_name; }

  int GetSequence() const { return m_sequence; }
  void SetSequence(int sequence) { m_sequence = sequence; }
  // The product or item the action belongs to.
  const std::wstring& GetKeyName() const { return m_keyName; }
  void SetKeyName(const std::wstring& keyName) { m_keyName = keyName; }
  // The name in log lines; for loaded actions, their configuration section.
  const std::wstring& GetActionName() const { return m_actionName; }
  void SetActionName(const std::wstring& name) { m_actionName = name; }

 protected:
  void SetName(const std::wstring& name) { m_name = name; }

 private:
  int m_sequence;
  std::wstring m_keyName;
  std::wstring m_actionName;
  std::wstring m_name;
};
