#pragma once
// reboot_support.h: CRebootSupport registers the setup to run once more after
// a restart and schedules file changes for the restart; with it the free
// functions that wait for a child while watching for a restart request and
// that allow this process to shut Windows down.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

class CRegistryKey;

class CRebootSupport {
 public:
  // The machine's RunOnce and Session Manager keys; tests give keys of their own.
  CRebootSupport();
  CRebootSupport(const std::wstring& runOnceKey, const std::wstring& sessionManagerKey);

  // Writes the resume command under `description` in HKLM's RunOnce key, or
  // HKCU's when HKLM's cannot be opened, and remembers it. Refuses a
  // description already there: that entry is another setup's.
  BOOL RegisterRebootResume(const std::wstring& description, const std::wstring& path,
                            const std::wstring& arguments, int stage);
  // Removes the entry, from either key, only while it holds the command this
  // object wrote; an entry it found stays as it was. Failures are of no
  // consequence.
  void UnregisterRebootResume(const std::wstring& description);
  // The command this object wrote under `description`; empty when none.
  std::wstring WrittenCommand(const std::wstring& description) const;
  // The command of the entry under `description`, HKLM's first; empty when
  // there is none.
  std::wstring ResumeEntryCommand(const std::wstring& description) const;
  // Removes the entry, from either key, only while it holds `command` (an
  // empty one matches nothing): another command is another setup's and stays.
  void RemoveResumeEntry(const std::wstring& description, const std::wstring& command);
  // True when the entry under `description`, in either key, starts a
  // program that lies in `folder` (which ends with a backslash).
  bool ResumeEntryStartsIn(const std::wstring& description, const std::wstring& folder) const;
  // The same for any entry of the RunOnce keys, whichever setup wrote it.
  bool AnyResumeEntryStartsIn(const std::wstring& folder) const;

  // Without MOVEFILE_DELAY_UNTIL_REBOOT tries to move at once first; else (or
  // on failure) queues the rename, or the deletion for an empty target.
  // Registry errors leave as CError.
  BOOL MoveFileAtReboot(const wchar_t* source, const wchar_t* target, DWORD flags);
  BOOL MarkForDeletionAtReboot(const std::wstring& path);
  // Takes the deletions of everything under `folder` (ending with a
  // backslash) off the restart's list: the folder is gone already.
  void DropPendingDeletionsUnder(const std::wstring& folder);
  // The paths the restart deletes (their "\??\" taken off), in list order;
  // empty when none is pending or the list cannot be read.
  std::vector<std::wstring> PendingDeletions() const;

 private:
  // Takes the deletions of the files directly in `folder` (ending with a
  // backslash) off the restart's list.
  void KeepFolderOverRestart(const std::wstring& folder);
  // Takes the deletions in `folder`, or with `wholeTree` anywhere under it,
  // off the restart's list; whole pairs only.
  void DropPendingDeletions(const std::wstring& folder, bool wholeTree);

  std::wstring m_runOnceKey;
  std::wstring m_sessionManagerKey;
  // Description -> the command this object wrote under it.
  std::map<std::wstring, std::wstring> m_written;
};

// The RunOnce command: the quoted path, the arguments, and for a non-zero
// stage "/s<stage>" in place of every whole "/s<digits>" token, or appended.
std::wstring BuildRebootResumeCommand(const std::wstring& path, const std::wstring& arguments,
                                      int stage);

// Writes the list of the restart's renames back into the open Session
// Manager key. A list left without an operation deletes the value: tools
// read its presence alone as a restart pending. Registry errors leave as
// CError.
void WritePendingRenames(CRegistryKey* sessionManager, const std::vector<std::wstring>& operations);

// True when the exit code asks for a restart (1641, 3010, 0x70669).
bool IsRebootExitCode(DWORD code);

// Waits for the process (and the restart event, when given). TRUE when a
// restart is coming: the process's exit code or the event says so; with
// `waitFiveSeconds` the event gets five more seconds.
BOOL WaitForProcessWithRebootDetection(HANDLE process, HANDLE rebootEvent, BOOL waitFiveSeconds,
                                       DWORD* exitCode);

BOOL EnableShutdownPrivilege();
