#pragma once
// setup_action_list.h: CSetupActionList, one ordered list of setup actions
// that owns them, and the worker's map of such lists by name.
#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "actions/setup_action.h"

class CSetupActionList;
using CActionListMap = std::map<std::wstring, std::unique_ptr<CSetupActionList>>;

class CSetupActionList {
 public:
  using Actions = std::list<std::unique_ptr<CSetupAction>>;

  CSetupActionList() = default;
  CSetupActionList(const CSetupActionList&) = delete;
  CSetupActionList& operator=(const CSetupActionList&) = delete;

  // The list stored under the name, created empty when there is none.
  static CSetupActionList* GetOrCreate(CActionListMap* map, const std::wstring& name);
  // The list stored under the name, or null.
  static CSetupActionList* Find(const CActionListMap& map, const std::wstring& name);

  void Append(std::unique_ptr<CSetupAction> action);
  // Before the first action with a greater sequence, else at the end: equal
  // sequences keep the order they were loaded in.
  void InsertAscending(std::unique_ptr<CSetupAction> action);
  // Before the first action with a smaller sequence, else at the end.
  void InsertDescending(std::unique_ptr<CSetupAction> action);
  // Unlinks the actions of the product (exact key name) and hands them over,
  // in list order: whoever runs the lists may still point at them.
  std::vector<std::unique_ptr<CSetupAction>> TakeActionsOf(const std::wstring& keyName);

  size_t GetCount() const { return m_actions.size(); }
  bool IsEmpty() const { return m_actions.empty(); }
  Actions::const_iterator begin() const { return m_actions.begin(); }
  Actions::const_iterator end() const { return m_actions.end(); }

 private:
  Actions m_actions;
};
