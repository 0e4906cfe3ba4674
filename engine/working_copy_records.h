#pragma once
// working_copy_records.h: CWorkingCopyRecords, the working copies setup has
// made, each named with the identity of the run that made it, where only
// administrators write. A record is what proves a temporary folder setup's
// own to delete: anyone may make a folder of a copy's name and put in it
// whatever a copy holds.
#include <string>
#include <vector>

class CWorkingCopyRecords {
 public:
  // The records under HKLM `rootKey`; tests give a key of their own.
  CWorkingCopyRecords();
  explicit CWorkingCopyRecords(const std::wstring& rootKey);

  // Names `folder` (with its backslash) as this process's copy; false,
  // logged, when the record cannot be written (a run without the
  // administrator's rights).
  bool Record(const std::wstring& folder) const;
  // True when a record names the folder, whichever run made it.
  bool Names(const std::wstring& folder) const;
  // The copies of runs whose process has ended.
  std::vector<std::wstring> OfEndedRuns() const;
  // Once the folder is gone.
  void Drop(const std::wstring& folder) const;

 private:
  std::wstring m_rootKey;
};
