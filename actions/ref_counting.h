#pragma once
// ref_counting.h: IRefCounting, what the actions need of the run's reference
// counter: which suites use a product, and changes to that list that are
// journalled so a failed run can undo them. The registry-backed counter of
// the run implements it.
#include <ctime>
#include <string>
#include <vector>

class IRefCounting {
 public:
  virtual ~IRefCounting() = default;

  // The number of suites using the product with this Uninstall key, and
  // their ids; 0 when the key does not exist. Registry failures throw CError.
  virtual int ReadUsers(const std::wstring& key, std::vector<std::wstring>* users) = 0;
  // Adds or removes a user at once (journalled) or, `queued`, when the run
  // commits. Returns the resulting count.
  virtual int AddReference(const std::wstring& user, const std::wstring& key, bool queued) = 0;
  virtual int ReleaseReference(const std::wstring& user, const std::wstring& key, bool queued) = 0;
  // Writes the product's install time.
  virtual void AddDateTimeStamp(const std::wstring& key, time_t time) = 0;
  // Writes the folder properties the product was installed with, for every
  // suite's later removal or repair of it.
  virtual void RecordInstallFolders(const std::wstring& key, const std::wstring& folders) = 0;
  // Undoes the newest journal entry.
  virtual void UndoLastOperation() = 0;
  // How many immediate changes the journal holds: an action undoes exactly
  // the entries it made.
  virtual size_t GetJournalSize() const = 0;
};
