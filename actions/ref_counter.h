#pragma once
// ref_counter.h: CRefCounter, the suites that use each product, kept in the
// product's Uninstall entry (RefCount, UsedBy, InstallDateTime, and the
// folders its install was given: InstallFolders), with a
// journal of the changes made so a failed run can undo them, and a queue of
// changes that wait for the run to commit.
#include <ctime>
#include <string>
#include <vector>

#include "actions/ref_counting.h"

class CRunJournal;

class CRefCounter : public IRefCounting {
 public:
  struct COperation {
    enum EType { kAdd = 0, kRemove = 1 };
    EType type;
    std::wstring user;
    // SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<key>
    std::wstring keyPath;
  };

  CRefCounter();
  ~CRefCounter() override;

  // Throws CError for an empty key.
  static void ValidateProductGUID(const std::wstring& uninstallKey);
  // The process-wide switch; while off, nothing is read or written.
  static void SetReferenceCountingEnabled(bool enabled);
  static bool IsReferenceCountingEnabled();

  int ReadUsers(const std::wstring& key, std::vector<std::wstring>* users) override;
  // Whether a removal for `suite` leaves the product installed: another
  // suite still lists it (the log names them). `listed` says whether
  // `suite` is among its users. A product no suite counts, or whose users
  // cannot be read, is kept for nobody: the removal itself decides.
  static bool KeptForOtherSuites(IRefCounting* counter, const std::wstring& key, const std::wstring& suite,
                                 bool* listed);
  // Whether `user` is among the product's users (case-blind); false when
  // counting is off or the product's entry holds no count. Other registry
  // failures throw CError.
  bool IsUsedBy(const std::wstring& user, const std::wstring& key);
  int AddReference(const std::wstring& user, const std::wstring& key, bool queued) override;
  int ReleaseReference(const std::wstring& user, const std::wstring& key, bool queued) override;
  void AddDateTimeStamp(const std::wstring& key, time_t time) override;
  // The product's InstallDateTime as written ("%Y%m%d%H%M%S", so texts
  // sort as times); empty when it has none or it cannot be read.
  static std::wstring ReadInstallDateTime(const std::wstring& key);
  // Kept while the product is installed, whichever suites come and go: the
  // last suite to remove it may not be the one that installed it.
  void RecordInstallFolders(const std::wstring& key, const std::wstring& folders) override;
  // Empty when the product's entry records none or cannot be read.
  static std::wstring ReadInstallFolders(const std::wstring& key);
  // The products whose users this product took over when its package's
  // own upgrade removed them ("Replaces" beside its references): the
  // members of those suites it stands for. Empty when none or unreadable.
  static std::vector<std::wstring> ReadReplacedProducts(const std::wstring& key);
  // Adds `codes` to that list (case-blind, once each); throws CError. The
  // value lives and goes with the product's entry, which the rollback of
  // its install removes: it needs no journal. Nothing while counting is off.
  static void RecordReplacedProducts(const std::wstring& key, const std::vector<std::wstring>& codes);
  void UndoLastOperation() override;
  size_t GetJournalSize() const override { return m_journal.size(); }

  // Carries out the queue, oldest first; an add whose user is in
  // `skipUsers` is dropped. A failed operation is logged and the rest go on.
  void CommitOperations(const std::vector<std::wstring>& skipUsers);
  // Undoes every journal entry, newest first, logging each failure.
  void RollbackOperations();
  // Deletes Uninstall entries left with only reference values by a product
  // that is gone, in both registry views.
  void CleanStaleEntries();

  const std::vector<COperation>& GetJournal() const { return m_journal; }
  // From now on every change of the journal is kept in `record` too, before
  // the registry change it stands for; null stops that. Not owned.
  void KeepJournalIn(CRunJournal* record);
  // The journal a run that was killed left, for RollbackOperations.
  void RestoreJournal(const std::vector<COperation>& journal) { m_journal = journal; }
  size_t GetQueueSize() const { return m_queue.size(); }

 private:
  // Each returns the resulting count and says whether the registry changed.
  int AddUser(const std::wstring& user, const std::wstring& keyPath, bool* changed);
  int RemoveUser(const std::wstring& user, const std::wstring& keyPath, bool* changed);
  // Journals the change, then makes it with `write`; a write that fails
  // takes its entry back out.
  template <typename Write>
  void JournalAndWrite(COperation::EType type, const std::wstring& user, const std::wstring& keyPath,
                       Write write);
  void SaveJournal();

  bool m_undoing = false;
  CRunJournal* m_record = nullptr;
  std::vector<COperation> m_journal;
  std::vector<COperation> m_queue;
};
