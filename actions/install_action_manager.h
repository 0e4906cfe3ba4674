#pragma once
// install_action_manager.h: CInstallActionManager, runs one list of install
// actions on the worker thread: decides per action from its product's
// reference count, starts it and waits as its options say, lets the user
// cancel, reports progress, and rolls back the executed ones newest first.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/string_map.h"

class CInstallAction;
class CProductData;
class CProductFacts;
class CSetupAction;
class CSetupState;

// The progress display's callback: position, total, a text or null, and
// whether a rollback is running. Called on the worker thread only.
using InstallProgressSink = void (*)(CSetupState* state, DWORD done, DWORD total,
                                     const wchar_t* text, bool rollback);
// Null (the default) reports nowhere.
void SetInstallProgressSink(InstallProgressSink sink);

class CInstallActionManager {
 public:
  // The id (UUID) of the suite a product belongs to; false when it belongs
  // to none.
  using GroupIdFunction = std::function<bool(const CProductData& product, std::wstring* id)>;

  // Takes the install actions of the list, in its order; owns none of them.
  CInstallActionManager(const std::vector<CSetupAction*>& actions, CSetupState* state,
                        DWORD progressStart, DWORD progressTotal);
  CInstallActionManager(const CInstallActionManager&) = delete;
  CInstallActionManager& operator=(const CInstallActionManager&) = delete;
  virtual ~CInstallActionManager();

  DWORD GetStartSequence() const { return m_startSequence; }
  bool GetForceReboot() const { return m_forceReboot; }
  void SetStartSequence(DWORD sequence) { m_startSequence = sequence; }
  void SetForceReboot(bool force) { m_forceReboot = force; }
  void SetGroupIdFunction(GroupIdFunction function) { m_groupIdOf = std::move(function); }
  // The suites this run removes: what they count goes with them, and is
  // not carried over to a product that replaces theirs.
  void SetLeavingSuites(std::vector<std::wstring> suites) { m_leavingSuites = std::move(suites); }

  // 0, the code of the first failure (its exit code also in *firstError),
  // or 1223 when the user confirmed a cancel.
  virtual DWORD RunActions(DWORD* firstError);
  // Rolls back the executed actions newest first; the last failure, else 0.
  virtual DWORD RollbackActions(DWORD status);
  virtual bool IsRebootExitCode(DWORD code) const;
  CInstallAction* FindActionByHandle(HANDLE handle, bool rollback) const;

  // Other suites found using products this modify run removes.
  const std::vector<std::wstring>& GetOtherUsers() const { return m_otherUsers; }

 protected:
  // A skipped action, whether it only changed this suite's reference or was
  // left alone, is one step of the progress as an executed one is.
  enum EDecision { kExecute, kSkip };

  virtual DWORD ConfirmCancel(bool* confirmed);
  virtual DWORD ProcessFinishedInstallEvent(size_t index, DWORD* firstError, bool showText);
  virtual DWORD ProcessFinishedUninstallEvent(HANDLE handle, bool showText);
  // *handle gets the signalled handle; null with a non-zero result means the
  // wait itself failed.
  virtual DWORD WaitForCompletion(DWORD timeout, HANDLE* handle, DWORD* firstError, bool showText);
  virtual DWORD WaitOne(HANDLE handle, DWORD timeout, bool showText);

 private:
  DWORD RunLoop(DWORD* firstError);
  DWORD RunOne(CInstallAction* action, DWORD* firstError);
  DWORD PollFinished(DWORD* firstError);
  DWORD Decide(CInstallAction* action, EDecision* decision);
  DWORD DecideUncounted(CInstallAction* action, DWORD* count, EDecision* decision);
  void UpgradeInPlace(CInstallAction* action, const CProductFacts& facts);
  DWORD LeaveToStandIn(CInstallAction* action, const CProductFacts& facts, const std::wstring& suite);
  void LeaveUnlisted(const CInstallAction* action, const std::wstring& groupId) const;
  bool KeptByRollback(CInstallAction* action) const;
  DWORD DecideUninstall(CInstallAction* action, const CProductData& product, bool hasGroup,
                        const std::wstring& groupId, DWORD count,
                        const std::vector<std::wstring>& users, EDecision* decision);
  DWORD ExecuteAndWait(CInstallAction* action, DWORD* firstError);
  // Takes finished actions and cancel requests as they come while
  // `waiting` holds.
  DWORD WaitWhile(const std::function<bool()>& waiting, DWORD* firstError, bool showText);
  bool IsWaitedFor(HANDLE handle) const;
  bool InstallerRuns() const;
  DWORD AddFinishedReference(CInstallAction* action);
  void NoteReplacedProducts(CInstallAction* action);
  DWORD CarryReplacedReferences(CInstallAction* action);
  DWORD WaitForRemaining(DWORD result, DWORD* firstError);
  void EndLoop(DWORD code);
  DWORD GetExitCode(const CInstallAction* action, HANDLE handle) const;
  bool GroupIdOf(const CInstallAction* action, const CProductData** product, std::wstring* id) const;
  std::wstring ActionText(UINT id, const CInstallAction* action) const;
  std::wstring RunningText(const CInstallAction* action) const;
  std::wstring ErrorText(DWORD code) const;
  void Progress(const wchar_t* text, bool rollback);
  void Progress(const std::wstring& text, bool rollback) { Progress(text.c_str(), rollback); }
  void CloseActionHandles();

  std::vector<CInstallAction*> m_actions;
  size_t m_current = 0;
  // One past the action taken last: the rollback walks back from here.
  size_t m_taken = 0;
  CSetupState* m_state;
  DWORD m_startSequence = 0;
  bool m_forceReboot = false;
  bool m_failed = false;
  bool m_userCancelled = false;
  DWORD m_done;
  DWORD m_total;
  // [0] is the cancel request; then the handles of started actions waited
  // for. The actions own them.
  std::vector<HANDLE> m_waitHandles;
  std::vector<std::wstring> m_otherUsers;
  GroupIdFunction m_groupIdOf;
  std::vector<std::wstring> m_leavingSuites;
  // The properties as the run started, which the actions' conditions read:
  // the wizard's choices are made by then, and the copy needs no lock.
  CMapStringToString m_properties;
};
