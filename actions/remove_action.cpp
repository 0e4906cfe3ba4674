// remove_action.cpp: detects, asks about and uninstalls another product,
// taking its users off its reference list while the uninstaller runs and
// putting them back when the product survives.
#include "actions/remove_action.h"

#include <windows.h>

#include "actions/ref_counter.h"
#include "actions/ref_counting.h"
#include "engine/message_box.h"
#include "engine/setup_aggregate.h"
#include "foundation/error.h"
#include "foundation/registry_key.h"
#include "foundation/reboot_support.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"

namespace {

// Yes uninstalls: Enter alone must not.
const UINT kPromptType = MB_YESNO | MB_DEFBUTTON2 | MB_ICONEXCLAMATION | MB_SETFOREGROUND;
// Without a person to ask, an uninstaller that leaves the product in place
// is tried this many times more before the product counts as kept.
const int kUnpromptedRetries = 1;

std::wstring WithBackslash(const std::wstring& folder) {
  return EndsWith(folder, L"\\") ? folder : folder + L"\\";
}

}  // namespace

CRemoveAction::CRemoveAction(int sequence, const std::wstring& name, const std::wstring& uninstallKey)
    : CSetupAction(sequence, name, name, name), m_name(name), m_uninstallKey(uninstallKey) {}

CRemoveAction::~CRemoveAction() = default;

void CRemoveAction::SetSourceFolder(const std::wstring& folder, bool appendName) {
  m_sourceFolder = WithBackslash(folder);
  if (appendName) m_sourceFolder += m_name + L"\\";
}

void CRemoveAction::Configure(CExternalCommand* command) {
  command->SetSilent(m_silent);
  command->SetForce(m_force);
  if (command->IsKeyKind()) {
    if (command->GetKey().empty()) command->SetKey(m_uninstallKey);
    command->SetTLASearchKey(m_tlaSearchKey);
  } else if (command->GetKind() == CExternalCommand::kProgram ||
             command->GetKind() == CExternalCommand::kDll) {
    command->SetSourceFolder(m_sourceFolder);
  }
}

void CRemoveAction::SetDetectionCommand(const std::wstring& text) {
  m_detection.reset(new CExternalCommand(ExpandText(text)));
  Configure(m_detection.get());
  if (m_detection->IsKeyKind()) m_detection->SetUninstallMode(false);
}

void CRemoveAction::SetPromptCommand(const std::wstring& text) {
  m_prompt.reset(new CCallbackCommand(ExpandText(text), ShowMessageBox));
  Configure(m_prompt.get());
  m_prompt->SetCallbackArguments(nullptr, GetPromptText(), GetTitleText(), kPromptType);
}

void CRemoveAction::SetUninstallCommand(const std::wstring& text, bool suppressReboot) {
  m_uninstall.reset(new CExternalCommand(ExpandText(text)));
  Configure(m_uninstall.get());
  if (m_uninstall->IsKeyKind()) {
    m_uninstall->SetUninstallMode(true);
    m_uninstall->SetSuppressReboot(suppressReboot);
    m_uninstall->SetSilent(true);
  }
}

void CRemoveAction::SetTLASearchKey(const std::wstring& key) {
  m_tlaSearchKey = key;
  for (CExternalCommand* command : {m_detection.get(), static_cast<CExternalCommand*>(m_prompt.get()),
                                    m_uninstall.get()}) {
    if (command) command->SetTLASearchKey(key);
  }
}

void CRemoveAction::SetForce(bool force) {
  m_force = force;
  for (CExternalCommand* command : {m_detection.get(), static_cast<CExternalCommand*>(m_prompt.get()),
                                    m_uninstall.get()}) {
    if (command) command->SetForce(force);
  }
}

void CRemoveAction::SetRefusal(const std::wstring& text) {
  std::wstring word = ToUpper(text);
  if (word.empty() || word == L"ABORTPROD") {
    m_refusal = kAbortProduct;
  } else if (word == L"ABORTNESTED") {
    m_refusal = kAbortNested;
  } else if (word == L"ABORTALL") {
    m_refusal = kAbortAll;
  } else if (word == L"IGNORE") {
    m_refusal = kIgnore;
  } else if (word == L"SETPROP") {
    m_refusal = kSetProperty;
  } else {
    m_refusal = kRefusalOther;
  }
}

DWORD CRemoveAction::RefusalResult() const {
  switch (m_refusal) {
    case kAbortProduct: return ERROR_INSTALL_FAILURE;
    case kAbortNested: return ERROR_CHILD_NOT_COMPLETE;
    case kAbortAll: return ERROR_CANCELLED;
    case kIgnore: return ERROR_SUCCESS;
    case kSetProperty: return ERROR_INSTALL_FAILURE;
    case kRefusalOther: break;
  }
  return ERROR_INVALID_FUNCTION;
}

DWORD CRemoveAction::Detect() {
  if (!m_detection) return ERROR_INVALID_FUNCTION;
  if (m_detectionState != kUnknown) return ERROR_SUCCESS;
  DWORD result = m_detection->Run();
  switch (result) {
    case ERROR_NOT_FOUND:
      m_detectionState = kNotFound;
      return ERROR_SUCCESS;
    case ERROR_SUCCESS:
      m_detectionState = kFound;
      return ERROR_SUCCESS;
    case ERROR_CALL_NOT_IMPLEMENTED:
      // Found, and the user is to be asked with the program's own box.
      m_detectionState = kFound;
      if (m_prompt) m_prompt->SetKind(CExternalCommand::kDefault);
      return ERROR_SUCCESS;
  }
  m_detectionState = kUnknown;
  return result;
}

DWORD CRemoveAction::Ask() {
  int button;
  m_asked = false;
  // A prompt that could not be parsed is run, so it fails (13) rather than
  // passing for "no prompt" and letting the silent answer decide.
  bool hasPrompt = !m_prompt->IsValid() || m_prompt->GetKind() != CExternalCommand::kNone;
  if (m_unattended && m_prompt->IsValid() && m_prompt->GetKind() == CExternalCommand::kDefault) {
    WriteLog(L"   %s: an unattended run shows no question; the item is decided as one without a question",
             m_name.c_str());
    hasPrompt = false;
  }
  if (!m_silent && hasPrompt) {
    DWORD result = m_prompt->Execute();
    if (result != ERROR_SUCCESS) return result;
    button = m_prompt->GetAnswer();
    m_asked = m_prompt->GetKind() == CExternalCommand::kDefault;
  } else {
    button = GetRemovalKind();
  }
  m_answer = button == IDYES ? kRemove : kKeep;
  return ERROR_SUCCESS;
}

// True when the product stays for other suites; `result` is then the
// outcome of releasing this suite's reference. The product stays whether or
// not the run installs it again: an uninstall would take it from them, and
// a run that then fails could not give it back.
bool CRemoveAction::LeaveToOtherSuites(DWORD* result) {
  if (!m_refCounter || m_suite.empty() || m_uninstallKey.empty()) return false;
  bool ours = false;
  if (!CRefCounter::KeptForOtherSuites(m_refCounter, m_uninstallKey, m_suite, &ours)) return false;
  *result = ERROR_SUCCESS;
  if (!ours) return true;
  try {
    m_refCounter->ReleaseReference(m_suite, m_uninstallKey, false);
    WriteLog(L"   Released the reference of suite %s to %s", m_suite.c_str(), m_uninstallKey.c_str());
  } catch (const CError& error) {
    WriteLog(L"   The reference of %s to %s could not be released: %s", m_suite.c_str(),
             m_uninstallKey.c_str(), error.GetMessage().c_str());
    *result = error.GetErrorCode() == ERROR_SUCCESS ? ERROR_INSTALL_FAILURE : error.GetErrorCode();
  }
  return true;
}

DWORD CRemoveAction::ReleaseUsers(std::vector<std::wstring>* users, size_t* journalMark) {
  users->clear();
  // A removal known by no Uninstall key has no references to move.
  if (!m_refCounter || m_uninstallKey.empty()) return ERROR_SUCCESS;
  *journalMark = m_refCounter->GetJournalSize();
  try {
    try {
      m_refCounter->ReadUsers(m_uninstallKey, users);
    } catch (const CRegistryKey::CMissingValue&) {
      // A product no suite counts: nobody's reference to move.
      users->clear();
    }
    for (const std::wstring& user : *users) m_refCounter->ReleaseReference(user, m_uninstallKey, false);
  } catch (const CError& error) {
    WriteLog(L"   The references of %s could not be released: %s", m_uninstallKey.c_str(),
             error.GetMessage().c_str());
    UndoReleases(*journalMark);
    return error.GetErrorCode() == ERROR_SUCCESS ? ERROR_INSTALL_FAILURE : error.GetErrorCode();
  }
  return ERROR_SUCCESS;
}

void CRemoveAction::UndoReleases(size_t journalMark) {
  if (!m_refCounter) return;
  // Exactly the entries this attempt made: a user that was not on the list
  // made none, and an older entry belongs to someone else.
  try {
    while (m_refCounter->GetJournalSize() > journalMark) m_refCounter->UndoLastOperation();
  } catch (const CError& error) {
    WriteLog(L"   The references of %s could not be restored: %s", m_uninstallKey.c_str(),
             error.GetMessage().c_str());
  }
}

void CRemoveAction::QueueUsersAgain(const std::vector<std::wstring>& users) {
  if (!m_refCounter) return;
  for (const std::wstring& user : users) {
    try {
      m_refCounter->AddReference(user, m_uninstallKey, true);
    } catch (const CError& error) {
      WriteLog(L"   The reference of %s to %s could not be queued: %s", user.c_str(),
               m_uninstallKey.c_str(), error.GetMessage().c_str());
    }
  }
}

DWORD CRemoveAction::Execute() {
  if (!m_detection) return ERROR_INVALID_FUNCTION;
  if (m_uninstallKey.empty()) m_uninstallKey = m_detection->GetKey();
  if (g_setupAggregate) {
    CopyToField(g_setupAggregate->actionName, m_name);
    CopyToField(g_setupAggregate->removalTarget, m_uninstallKey);
  }
  DWORD result = Detect();
  if (result != ERROR_SUCCESS) return result;
  if (m_detectionState != kFound) return ERROR_SUCCESS;

  int retries = kUnpromptedRetries;
  for (;;) {
    if (!m_prompt) return ERROR_INVALID_FUNCTION;
    if (m_answer == kNotAsked) {
      result = Ask();
      if (result != ERROR_SUCCESS) return result;
    }
    if (m_answer == kKeep) return RefusalResult();
    if (!m_uninstall) return ERROR_INVALID_FUNCTION;
    if (LeaveToOtherSuites(&result)) return result;

    std::vector<std::wstring> users;
    size_t journalMark = 0;
    result = ReleaseUsers(&users, &journalMark);
    if (result != ERROR_SUCCESS) return result;
    if (m_removedName.empty()) m_removedName = GetProductName();
    result = m_uninstall->Run();
    m_detectionState = kUnknown;
    if (result == ERROR_SUCCESS) {
      if (!m_uninstall->IsKeyKind()) return ERROR_SUCCESS;
      result = Detect();
      if (result != ERROR_SUCCESS) return result;
      if (m_detectionState != kFound) {
        QueueUsersAgain(users);
        return ERROR_SUCCESS;
      }
      // Still installed: its users must not stay lost, and without a person
      // to ask the uninstaller is not run again and again.
      WriteLog(L"   %s is still installed after its uninstall command", m_uninstallKey.c_str());
      UndoReleases(journalMark);
      m_answer = kNotAsked;
      if (!m_asked && retries-- <= 0) m_answer = kKeep;
      continue;
    }
    UndoReleases(journalMark);
    if (result == ERROR_INSTALL_USEREXIT) {
      m_answer = kKeep;
      continue;
    }
    if (result == ERROR_NOT_FOUND) {
      m_detectionState = kNotFound;
      return ERROR_SUCCESS;
    }
    // The restart it asks for is the worker's business.
    if (IsRebootExitCode(result)) return result;
    // It is still there, whatever its uninstaller did: the run goes on as
    // for one that is kept, never as if it were gone.
    WriteLog(L"   %s stays installed: its uninstall command ended with %d, and the refusal decides",
             m_uninstallKey.c_str(), result);
    m_answer = kKeep;
    m_removalFailed = true;
    return RefusalResult();
  }
}
