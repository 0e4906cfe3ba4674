#pragma once
// memory_ref_counter.h: a reference counter in memory for action tests:
// immediate changes are journalled and undone newest first, queued ones wait
// for a commit that never comes.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "actions/ref_counting.h"

using Users = std::vector<std::wstring>;

class CMemoryRefCounter : public IRefCounting {
 public:
  struct COperation {
    bool add;
    std::wstring user;
    std::wstring key;
  };
  std::map<std::wstring, Users> users;
  std::vector<COperation> journal;
  std::vector<COperation> queue;

  int ReadUsers(const std::wstring& key, Users* list) override {
    if (list) *list = users[key];
    return static_cast<int>(users[key].size());
  }
  int AddReference(const std::wstring& user, const std::wstring& key, bool queued) override {
    Users& list = users[key];
    if (queued) {
      queue.push_back({true, user, key});
    } else if (std::find(list.begin(), list.end(), user) == list.end()) {
      list.push_back(user);
      journal.push_back({true, user, key});
    }
    return static_cast<int>(list.size());
  }
  int ReleaseReference(const std::wstring& user, const std::wstring& key, bool queued) override {
    Users& list = users[key];
    auto found = std::find(list.begin(), list.end(), user);
    if (queued) {
      queue.push_back({false, user, key});
    } else if (found != list.end()) {
      list.erase(found);
      journal.push_back({false, user, key});
    }
    return static_cast<int>(list.size());
  }
  void AddDateTimeStamp(const std::wstring&, time_t) override {}
  std::map<std::wstring, std::wstring> folders;
  void RecordInstallFolders(const std::wstring& key, const std::wstring& properties) override {
    folders[key] = properties;
  }
  void UndoLastOperation() override {
    COperation last = journal.back();
    journal.pop_back();
    Users& list = users[last.key];
    if (last.add) {
      list.erase(std::find(list.begin(), list.end(), last.user));
    } else {
      list.push_back(last.user);
    }
  }
  size_t GetJournalSize() const override { return journal.size(); }
};

