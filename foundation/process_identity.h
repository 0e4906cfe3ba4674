#pragma once
// process_identity.h: CProcessIdentity tells a process apart from any later
// one that gets the same id: the id with the time the process was created.
// What a run leaves on the machine for a later run to undo carries it, so the
// later run can tell whether the run that wrote it is still going.
#include <windows.h>

#include <cstdint>
#include <string>

class CProcessIdentity {
 public:
  CProcessIdentity() = default;
  CProcessIdentity(DWORD id, uint64_t created) : m_id(id), m_created(created) {}

  // This process.
  static CProcessIdentity Current();
  // "<id>.<creation time as 16 hex digits>"; Parse reads nothing else.
  std::wstring ToText() const;
  static bool Parse(const std::wstring& text, CProcessIdentity* identity);

  // False only when the process is known to be gone: no process has the id,
  // it has ended, or the one that has it now was created at another time.
  // A process that cannot be asked counts as running.
  bool IsRunning() const;
  // True only when a process with the id runs and was created at the time
  // given: what another run may name or trust.
  bool IsAlive() const;
  // The program the living process runs, as the system reports it; empty
  // when it cannot be asked.
  std::wstring ProgramPath() const;
  // Whether this process was started by that one, directly or through
  // programs it started that still run.
  bool IsAncestorOfCurrent() const;
  DWORD GetId() const { return m_id; }
  uint64_t GetCreated() const { return m_created; }

 private:
  DWORD m_id = 0;
  uint64_t m_created = 0;
};
