// setup_action_list_test.cpp: the place of each action inserted in
// ascending or descending sequence, equal sequences keeping load order.
#include "actions/setup_action_list.h"

#include <memory>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platform/wide_string.h"

namespace {

class CNamedAction : public CSetupAction {
 public:
  CNamedAction(int sequence, const std::wstring& name) : CSetupAction(sequence, name, name, name) {}
  DWORD Execute() override { return ERROR_SUCCESS; }
};

}  // namespace

TEST(CSetupActionListTest, InsertsBySequenceKeepingLoadOrderOfEquals) {
  const std::vector<std::pair<int, const wchar_t*>> kLoaded = {{10, L"a"}, {5, L"b"}, {10, L"c"}, {7, L"d"}, {5, L"e"}};
  struct Case {
    bool ascending;
    const wchar_t* order;
  } const kCases[] = {{true, L"b e d a c"}, {false, L"a c d b e"}};
  for (const Case& c : kCases) {
    CActionListMap lists;
    CSetupActionList* list = CSetupActionList::GetOrCreate(&lists, L"L");
    EXPECT_EQ(list, CSetupActionList::GetOrCreate(&lists, L"L"));
    for (const auto& entry : kLoaded) {
      std::unique_ptr<CSetupAction> action(new CNamedAction(entry.first, entry.second));
      c.ascending ? list->InsertAscending(std::move(action)) : list->InsertDescending(std::move(action));
    }
    std::wstring order;
    for (const auto& action : *list) order += (order.empty() ? L"" : L" ") + action->GetName();
    EXPECT_EQ(c.order, order);
  }
  EXPECT_EQ(nullptr, CSetupActionList::Find(CActionListMap(), L"L"));
}
