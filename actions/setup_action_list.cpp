// setup_action_list.cpp: an owning list of setup actions kept in the order
// of their sequence numbers.
#include "actions/setup_action_list.h"

#include <algorithm>

CSetupActionList* CSetupActionList::GetOrCreate(CActionListMap* map, const std::wstring& name) {
  std::unique_ptr<CSetupActionList>& list = (*map)[name];
  if (!list) list.reset(new CSetupActionList());
  return list.get();
}

CSetupActionList* CSetupActionList::Find(const CActionListMap& map, const std::wstring& name) {
  auto found = map.find(name);
  return found == map.end() ? nullptr : found->second.get();
}

void CSetupActionList::Append(std::unique_ptr<CSetupAction> action) {
  m_actions.push_back(std::move(action));
}

void CSetupActionList::InsertAscending(std::unique_ptr<CSetupAction> action) {
  int sequence = action->GetSequence();
  auto place = std::find_if(m_actions.begin(), m_actions.end(),
                            [sequence](const std::unique_ptr<CSetupAction>& other) {
                              return other->GetSequence() > sequence;
                            });
  m_actions.insert(place, std::move(action));
}

void CSetupActionList::InsertDescending(std::unique_ptr<CSetupAction> action) {
  int sequence = action->GetSequence();
  auto place = std::find_if(m_actions.begin(), m_actions.end(),
                            [sequence](const std::unique_ptr<CSetupAction>& other) {
                              return other->GetSequence() < sequence;
                            });
  m_actions.insert(place, std::move(action));
}

std::vector<std::unique_ptr<CSetupAction>> CSetupActionList::TakeActionsOf(const std::wstring& keyName) {
  std::vector<std::unique_ptr<CSetupAction>> taken;
  for (auto entry = m_actions.begin(); entry != m_actions.end();) {
    if ((*entry)->GetKeyName() == keyName) {
      taken.push_back(std::move(*entry));
      entry = m_actions.erase(entry);
    } else {
      ++entry;
    }
  }
  return taken;
}
