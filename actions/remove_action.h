#pragma once
// remove_action.h: CRemoveAction, the removal of another product before this
// suite installs: detect it, ask (or decide when silent), uninstall it, and
// move its reference counts out of the way while that runs.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "actions/callback_command.h"
#include "actions/external_command.h"
#include "actions/setup_action.h"

class IRefCounting;

class CRemoveAction : public CSetupAction {
 public:
  // What a "keep it" answer means for the run.
  enum ERefusal : DWORD {
    kRefusalOther = 0,
    kAbortProduct = 1,
    kAbortNested = 2,
    kAbortAll = 3,
    kIgnore = 4,
    kSetProperty = 5,
  };
  enum EDetection : DWORD { kUnknown = 0, kFound = 1, kNotFound = 2 };
  enum EAnswer : DWORD { kNotAsked = 0, kRemove = 1, kKeep = 2 };

  CRemoveAction(int sequence, const std::wstring& name, const std::wstring& uninstallKey);
  ~CRemoveAction() override;

  // 0 when the product is absent, removed, or kept with IGNORE; 1 for a
  // missing command; the refusal's code when kept; else the failing code.
  DWORD Execute() override;
  // Runs the detection unless its state is known: 1168 absent, 0 found, 120
  // found and the prompt becomes the program's own question.
  virtual DWORD Detect();
  virtual std::wstring GetProductName() = 0;
  virtual std::wstring GetPromptText() = 0;
  virtual std::wstring ExpandText(const std::wstring& text) = 0;
  virtual std::wstring GetTitleText() = 0;
  // IDYES or IDNO, the answer of a run that does not ask.
  virtual int GetRemovalKind() = 0;

  void SetSourceFolder(const std::wstring& folder, bool appendName);
  void SetDetectionCommand(const std::wstring& text);
  void SetPromptCommand(const std::wstring& text);
  // `suppressReboot`: reboot codes of the uninstaller count as success.
  void SetUninstallCommand(const std::wstring& text, bool suppressReboot);
  void SetTLASearchKey(const std::wstring& key);
  void SetRefusal(const std::wstring& text);
  void SetForce(bool force);
  void SetSilent(bool silent) { m_silent = silent; }
  // An unattended run shows no box: the program's own question is decided
  // as an item without a question is.
  void SetUnattended(bool unattended) { m_unattended = unattended; }
  void SetRefCounter(IRefCounting* counter) { m_refCounter = counter; }
  // The suite this removal is for. A product that other suites also use
  // then stays installed for them, only this suite's use of it ending; an
  // install of the same product later in the run counts this suite again.
  void SetSuite(const std::wstring& suite) { m_suite = suite; }
  const std::wstring& GetSuite() const { return m_suite; }
  // The answer the user gave beforehand (on the removal page): no prompt.
  void PresetAnswer(EAnswer answer) { m_answer = answer; }

  // The uninstaller ended with a restart code that counted as success.
  bool IsRebootRequired() const { return m_uninstall && m_uninstall->IsRebootRequested(); }
  const std::wstring& GetUninstallKey() const { return m_uninstallKey; }
  ERefusal GetRefusal() const { return m_refusal; }
  EDetection GetDetectionState() const { return m_detectionState; }
  EAnswer GetAnswer() const { return m_answer; }
  // Kept because its uninstall command failed, not by an answer.
  bool HasRemovalFailed() const { return m_removalFailed; }
  // The product's name read before its uninstall ran, while it could be;
  // empty when none ran.
  const std::wstring& GetRemovedProductName() const { return m_removedName; }
  bool IsForced() const { return m_force; }
  bool IsSilent() const { return m_silent; }
  CExternalCommand* GetDetectionCommand() const { return m_detection.get(); }
  CCallbackCommand* GetPromptCommand() const { return m_prompt.get(); }
  CExternalCommand* GetUninstallCommand() const { return m_uninstall.get(); }

 private:
  void Configure(CExternalCommand* command);
  DWORD Ask();
  DWORD RefusalResult() const;
  bool LeaveToOtherSuites(DWORD* result);
  DWORD ReleaseUsers(std::vector<std::wstring>* users, size_t* journalMark);
  void UndoReleases(size_t journalMark);
  void QueueUsersAgain(const std::vector<std::wstring>& users);

  std::wstring m_name;
  std::wstring m_uninstallKey;
  std::wstring m_sourceFolder;
  std::unique_ptr<CExternalCommand> m_detection;
  std::unique_ptr<CCallbackCommand> m_prompt;
  std::unique_ptr<CExternalCommand> m_uninstall;
  std::wstring m_tlaSearchKey;
  bool m_silent = false;
  bool m_unattended = false;
  bool m_force = false;
  ERefusal m_refusal = kAbortProduct;
  EDetection m_detectionState = kUnknown;
  EAnswer m_answer = kNotAsked;
  bool m_asked = false;  // the last answer came from a person
  bool m_removalFailed = false;
  IRefCounting* m_refCounter = nullptr;
  std::wstring m_suite;
  std::wstring m_removedName;
};
