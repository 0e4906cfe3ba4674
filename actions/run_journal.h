#pragma once
// run_journal.h: CRunJournal, what an install run would undo if it failed,
// kept in the registry under the run's process identity while the run goes
// on: the reference changes its counter journalled, the products whose
// install it started and the resume entry it wrote, with its working copy.
// A run that ends settles its record; the record of a run that was killed
// is left, and a later run finds it and undoes it.
#include <functional>
#include <string>
#include <vector>

#include "actions/ref_counter.h"
#include "foundation/process_identity.h"

class CRegistryKey;

class CRunJournal {
 public:
  struct CProduct {
    std::wstring productCode;  // may be empty for a program's action
    std::wstring rollbackCommand;
  };
  // The record of a run whose process has ended.
  struct CRecord {
    std::wstring name;
    CProcessIdentity owner;
    std::wstring suiteId;
    std::vector<CRefCounter::COperation> references;
    std::vector<CProduct> products;
    // The run had started to register the suite.
    bool registering = false;
    // The RunOnce entry the run wrote, with the command it holds.
    std::wstring resumeEntry;
    std::wstring resumeCommand;
    // The run's own copy in the temporary folder, or empty.
    std::wstring workingCopy;
    // Earlier runs that tried to undo what is left, and failed.
    unsigned long tries = 0;
  };

  // The records under HKLM `rootKey`; tests give a key of their own.
  CRunJournal();
  explicit CRunJournal(const std::wstring& rootKey);
  CRunJournal(const CRunJournal&) = delete;
  CRunJournal& operator=(const CRunJournal&) = delete;

  // Starts this process's record for the suite; false, logged, when it
  // cannot be written, and the run goes on without one.
  bool Begin(const std::wstring& suiteId);
  // The counter's whole journal, as it is now.
  void SaveReferences(const std::vector<CRefCounter::COperation>& journal);
  // Before the install starts; dropped again when it could not start.
  void AddProduct(const std::wstring& productCode, const std::wstring& rollbackCommand);
  void DropLastProduct();
  void MarkRegistering();
  // While the entry waits for a restart that a kill would never bring.
  void RecordResumeEntry(const std::wstring& name, const std::wstring& command, const std::wstring& workingCopy);
  void DropResumeEntry();
  // The run has committed or undone what it did: the record goes.
  void Settle();

  // The records of processes that have ended, the newest process first:
  // undone in the reverse of the order they were made.
  std::vector<CRecord> FindAbandoned() const;
  void Remove(const std::wstring& name) const;
  // Whether a setup still running journalled the resume entry `entry`
  // holding `command`.
  bool RunningRunWrote(const std::wstring& entry, const std::wstring& command) const;
  // What undoing `record` could not: the products left stay in its record,
  // all else goes, and the try is counted. Once the tries run out the
  // record goes all the same; false then.
  bool KeepUndone(const CRecord& record, const std::vector<CProduct>& left) const;
  // A record whose undoing failed stays whole for a later run, its try
  // counted; false once the tries run out and the record is given up.
  bool KeepWhole(const CRecord& record) const;

 private:
  void WriteList(const wchar_t* name, const std::vector<std::wstring>& entries);
  // Lets `write` set values in this run's open record; a failure is logged
  // and the run goes on.
  void UpdateRecord(const std::function<void(CRegistryKey*)>& write);
  bool ReadRecord(const std::wstring& name, CRecord* record) const;
  // The names under the root; empty when there is none or it cannot be read.
  std::vector<std::wstring> RecordNames() const;

  std::wstring m_rootKey;
  std::wstring m_name;
  bool m_open = false;
  std::vector<std::wstring> m_products;
};
