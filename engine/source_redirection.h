#pragma once
// source_redirection.h: source.ini, the file that hands a run to the setup
// program it names, and the temporary working copy a run makes of itself so
// that a resume after a restart does not need the original medium.
#include <windows.h>

#include <string>

#include "engine/working_copy_records.h"
#include "foundation/scoped_handle.h"

class CCommandOptions;
class CRebootSupport;

class CSourceRedirection {
 public:
  // The file's name, beside a setup program or in its working copy.
  static const wchar_t kSourceIniName[];

  // What ReadSourceIni found; the code is the run's status when not taken over.
  struct CHandOver {
    DWORD code = ERROR_SUCCESS;
    bool programMissing = false;
    // The setup that took over, for a run that waits for its end.
    CScopedHandle process;
  };

  // `setupFolder` ends with a backslash; `programName` and `configurationName`
  // are relative to it. `engineSettings` holds the engine's own settings as
  // the command line wrote them (each after a blank), which the options do
  // not hold. The options must outlive this object.
  // `startedByHandOver`: another setup's source.ini started this run.
  // `records`: where the copies setup made are recorded.
  CSourceRedirection(CCommandOptions& options, const std::wstring& setupFolder,
                     const std::wstring& programName, const std::wstring& configurationName,
                     const std::wstring& engineSettings = std::wstring(), bool startedByHandOver = false,
                     const CWorkingCopyRecords& records = CWorkingCopyRecords());

  // 0 when the program that source.ini names was started, with this run's
  // interface level when the command names none, the hand-over mark and the
  // stage this run resumes at; 13 for a file without the three values,
  // one that names this very program, or in a run that a hand-over started
  // (a chain of hand-overs could loop), and in a run setup started from its
  // copy when the program is not the one the copy was made from;
  // programMissing when that program is gone; otherwise the start's error.
  // A run that setup did not start itself gets the process to wait for: its
  // caller is owed that run's result. A resume after a restart has no caller.
  CHandOver ReadSourceIni(const std::wstring& path);
  // Copies the program, its configuration and bin\ into a fresh temporary
  // folder and works from there; a run whose copy fails goes on from the
  // setup folder. A run started with the restart marker ("/~") already works
  // from a copy: its setup folder.
  void PrepareWorkingCopy();
  // True when the command line carried the restart marker: setup started
  // this run itself, to resume or with updated files.
  bool IsRestartedRun() const { return m_restarted; }
  // The kit's folder (with its backslash), which relative paths of the
  // configuration and the setup's own folder macros name: the setup folder,
  // except in a run that setup started in its working copy (an updated
  // setup), where it is the install source that run was given.
  std::wstring KitFolder() const;
  // The program and arguments a resume after a restart starts.
  void BuildRestartCommand(const std::wstring& arguments, std::wstring* programPath,
                           std::wstring* restartArguments) const;
  // Removes the copy this run works from, when this process made it or a
  // record names it; nothing when it works from the setup folder or keeps
  // its copy.
  void RemoveWorkingCopy();
  // The copy RemoveWorkingCopy would remove (with its backslash), or empty.
  std::wstring WorkingCopyFolder() const;

  // A run that works from a working copy holds it from here on, so no
  // other run removes it while this one lives; the copy this run makes is
  // held from before its folder exists.
  void ClaimOwnWorkingCopy();
  // Removes the working copies recorded for runs that have ended that no
  // running setup holds and no entry of the RunOnce keys starts from: those
  // of runs that were killed, and those a resume has left; with them their
  // deletions scheduled for the restart.
  static void RemoveAbandonedWorkingCopies(CRebootSupport* rebootSupport,
                                           const CWorkingCopyRecords& records = CWorkingCopyRecords());
  // The same for the one copy `folder` (with its backslash) that a record
  // or a killed run's journal names.
  static void RemoveAbandonedWorkingCopy(const std::wstring& folder, CRebootSupport* rebootSupport,
                                         const CWorkingCopyRecords& records = CWorkingCopyRecords());

  // True for folders no recursive delete may touch: empty or relative paths,
  // drive and share roots, and the system's own folders and their parents.
  static bool IsProtectedFolder(const std::wstring& folder);
  // Starts `command` through the shell: 0, or the error. With `process` the
  // caller gets the started setup to wait for; without, it is let go.
  static DWORD RestartSetup(const std::wstring& command, CScopedHandle* process = nullptr);

 private:
  // True, after a line that says why, when the hand-over would start this
  // very program or go on a chain of hand-overs.
  bool RefuseHandOver(const std::wstring& program, const std::wstring& command) const;
  // True when `program` holds what this copy's own program holds; `held`
  // keeps it open, unchanged, until it has started.
  bool IsProgramCopiedFrom(const std::wstring& program, CScopedHandle* held) const;
  // The command with the interface level, the mark and the stage added.
  std::wstring HandOverCommand(const std::wstring& command) const;
  bool CopyProgramAndConfiguration(const std::wstring& workFolder);
  bool WriteSourceIni(const std::wstring& workFolder);
  void CopyBinFolder(const std::wstring& workFolder);
  // Deletes the copy by handle when `proven` setup's (made by this process,
  // or named by a record or journal) and a plain folder of a copy's name;
  // its record goes with it.
  static void RemoveFolder(const std::wstring& folder, bool proven, const CWorkingCopyRecords& records);
  // Takes the named object that says a setup works from the folder; false
  // when another process holds it.
  bool ClaimWorkingCopy(const std::wstring& folder);

  CCommandOptions& m_options;
  std::wstring m_setupFolder;
  std::wstring m_programName;
  std::wstring m_configurationName;
  std::wstring m_engineSettings;
  bool m_restarted = false;
  bool m_startedByHandOver = false;
  CWorkingCopyRecords m_records;
  // The copy this process made, with its backslash.
  std::wstring m_madeCopy;
  // Held for as long as this process lives; the system drops it when the
  // process ends, killed or not.
  CScopedHandle m_workingCopyClaim;
};
