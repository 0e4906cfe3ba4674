// removal_data_builder_test.cpp: the removal records made from remove
// actions whose products the test installs as Uninstall entries in either
// registry view, and the record's own bounded texts and lock rule.
#include "engine/removal_data_builder.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "actions/remove_incompatible_action.h"
#include "actions/remove_previous_action.h"
#include "engine/install_group_info_map.h"
#include "engine/product_data.h"
#include "engine/product_data_map.h"
#include "engine/product_removal_data.h"
#include "engine/version_info.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/actions/uninstall_fixture.h"

namespace {

enum class EKind { kPrevious, kIncompatible };
const REGSAM kNotInstalled = 0;

struct Case {
  const wchar_t* scenario;
  const wchar_t* list;  // the key the action belongs to
  EKind kind;
  REGSAM view;
  const wchar_t* entryName;
  const wchar_t* refusal;
  bool silent;
  const wchar_t* detection;
  bool defaultGroup;
  bool made;
  const wchar_t* display;
  const wchar_t* detailA;
  const wchar_t* detailB;
  int locked;
  int showDetails;
};

// Alpha is "Alpha Studio" 7.1, Beta "Beta Tools 2" 3.0, Gamma "Gamma Kit"
// without a version; Delta has no product data. Entries give version 6.2.3.
const Case kCases[] = {
    {L"64-bit entry", L"Alpha", EKind::kPrevious, KEY_WOW64_64KEY, L"Alpha Viewer", L"", false,
     L"UNINSTALLKEY", true, true, L"Alpha Viewer 6.2", L"Alpha Studio 7.1", L"Alpha Studio", 1, 1},
    {L"32-bit entry ignored", L"Alpha", EKind::kPrevious, KEY_WOW64_32KEY, L"Alpha Viewer", L"IGNORE", true,
     L"UNINSTALLKEY", true, true, L"Alpha Viewer 6.2", L"Alpha Studio 7.1", L"Alpha Studio", 0, 0},
    {L"not installed", L"Alpha", EKind::kPrevious, kNotInstalled, L"Alpha Viewer", L"", false,
     L"UNINSTALLKEY", true, false, L"", L"", L"", 0, 0},
    {L"names end in digits", L"Beta", EKind::kIncompatible, KEY_WOW64_32KEY, L"Rival 2", L"ABORTALL", false,
     L"UNINSTALLKEY", true, true, L"Rival 2", L"Beta Tools 2", L"Beta Tools 2", 1, 1},
    {L"version unknown", L"Gamma", EKind::kIncompatible, KEY_WOW64_64KEY, L"Rival", L"IGNORE", false,
     L"UNINSTALLKEY", true, true, L"Rival 6.2", L"Gamma Kit", L"Gamma Kit", 0, 1},
    {L"whole suite", L"*", EKind::kPrevious, KEY_WOW64_64KEY, L"Tamsa Suite", L"IGNORE", true,
     L"UNINSTALLKEY", true, true, L"Tamsa Suite 6.2", L"Tamsa Suite 2026", L"Tamsa Suite 2026", 0, 0},
    {L"whole suite without group", L"*", EKind::kPrevious, KEY_WOW64_64KEY, L"Tamsa Suite", L"", false,
     L"UNINSTALLKEY", false, false, L"", L"", L"", 0, 0},
    {L"no product data", L"Delta", EKind::kPrevious, KEY_WOW64_64KEY, L"Delta", L"", false,
     L"UNINSTALLKEY", true, false, L"", L"", L"", 0, 0},
    {L"detection fails", L"Alpha", EKind::kPrevious, KEY_WOW64_64KEY, L"Alpha Viewer", L"", false,
     L"PROGRAM,exit_with.exe,5", true, false, L"", L"", L"", 0, 0},
};

class CRemovalDataBuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AddProduct(L"Alpha", L"Alpha Studio", L"7.1");
    AddProduct(L"Beta", L"Beta Tools 2", L"3.0");
    AddProduct(L"Gamma", L"Gamma Kit", nullptr);
  }
  void AddProduct(const wchar_t* key, const wchar_t* name, const wchar_t* version) {
    std::unique_ptr<CProductData> product(new CProductData(key));
    product->SetProductName(name);
    if (version) product->GetVersion()->Parse(version);
    m_products.SetAt(key, std::move(product));
  }
  std::unique_ptr<CRemoveAction> MakeAction(const Case& c, const std::wstring& entry) {
    std::unique_ptr<CRemoveAction> action;
    if (c.kind == EKind::kPrevious) {
      action.reset(new CRemovePreviousAction(2050, L"Old", entry));
      action->SetActionName(Format(L"PreviousVersions.%s.Old", c.list));
    } else {
      action.reset(new CRemoveIncompatibleAction(0, L"Rival", entry));
      action->SetActionName(Format(L"IncompatibleApplications.%s.Rival", c.list));
    }
    action->SetKeyName(c.list);
    action->SetSilent(c.silent);
    action->SetRefusal(c.refusal);
    action->SetSourceFolder(ToolFolder(), false);
    action->SetDetectionCommand(c.detection);
    action->SetPromptCommand(L"NONE");
    action->SetUninstallCommand(L"UNINSTALLKEY", true);
    return action;
  }

  CProductDataMap m_products;
};

TEST_F(CRemovalDataBuilderTest, FoundProductsBecomeRecords) {
  for (const Case& c : kCases) {
    CUninstallFixture entry(L"." + std::to_wstring(&c - kCases));
    if (c.view != kNotInstalled) {
      ASSERT_TRUE(entry.Write(c.view, {{L"DisplayName", c.entryName}, {L"DisplayVersion", L"6.2.3"},
                                       {L"UninstallString", L"cmd.exe /c exit 0"}}));
    }
    CActionListMap lists;
    CSetupActionList::GetOrCreate(&lists, c.list)->Append(MakeAction(c, entry.Id()));
    CInstallGroupInfoMap groups;
    if (c.defaultGroup) {
      std::unique_ptr<CInstallGroupInfo> group(new CInstallGroupInfo());
      group->SetDisplayName(L"Tamsa Suite 2026");
      groups.SetAt(L"default", std::move(group));
    }
    CProductRemovalDataList records;
    CRemovalDataBuilder(lists, groups, m_products).Build({L"Alpha", L"Beta", L"Gamma", L"Delta"}, &records);

    SCOPED_TRACE(WideToUtf8(c.scenario));
    ASSERT_EQ(c.made ? 1u : 0u, records.size());
    if (!c.made) continue;
    const CProductRemovalData& record = records[0];
    EXPECT_EQ(std::wstring(c.list), record.GetActionName());
    EXPECT_EQ(std::wstring(c.display), record.GetDisplayText());
    EXPECT_EQ(std::wstring(c.detailA), record.GetDetailA());
    EXPECT_EQ(std::wstring(c.detailB), record.GetDetailB());
    std::wstring section = c.kind == EKind::kPrevious ? L"PreviousVersions." : L"IncompatibleApplications.";
    EXPECT_EQ(section + c.list + (c.kind == EKind::kPrevious ? L".Old" : L".Rival"), record.GetTargetKey());
    EXPECT_EQ(1, record.IsFound());
    EXPECT_EQ(1, record.IsChecked());
    EXPECT_EQ(c.locked, record.IsLocked());
    EXPECT_EQ(c.showDetails, record.GetShowDetails());
  }
}

// The suite's list comes first, then the products in the list's order; the
// records already there stay, and the detection is kept for the run.
TEST_F(CRemovalDataBuilderTest, ListsAreWalkedSuiteFirstAndRecordsAppended) {
  CUninstallFixture alpha(L".Alpha");
  CUninstallFixture suite(L".Suite");
  ASSERT_TRUE(alpha.Write(KEY_WOW64_32KEY, {{L"DisplayName", L"Alpha Viewer"},
                                            {L"UninstallString", L"cmd.exe /c exit 0"}}));
  ASSERT_TRUE(suite.Write(KEY_WOW64_64KEY, {{L"DisplayName", L"Old Suite"},
                                            {L"UninstallString", L"cmd.exe /c exit 0"}}));
  CActionListMap lists;
  Case alphaCase = kCases[0];
  Case suiteCase = kCases[5];
  CSetupActionList::GetOrCreate(&lists, L"Alpha")->Append(MakeAction(alphaCase, alpha.Id()));
  CSetupActionList::GetOrCreate(&lists, L"*")->Append(MakeAction(suiteCase, suite.Id()));
  CInstallGroupInfoMap groups;
  groups.SetAt(L"default", std::unique_ptr<CInstallGroupInfo>(new CInstallGroupInfo()));
  CProductRemovalDataList records(1);
  records[0].SetDisplayText(L"earlier");

  CRemovalDataBuilder(lists, groups, m_products).Build({L"Alpha"}, &records);
  ASSERT_EQ(3u, records.size());
  EXPECT_EQ(std::wstring(L"earlier"), records[0].GetDisplayText());
  EXPECT_EQ(std::wstring(L"Old Suite"), records[1].GetDisplayText());
  EXPECT_EQ(std::wstring(L"Alpha Viewer"), records[2].GetDisplayText());

  alpha.Remove();
  auto* action = dynamic_cast<CRemoveAction*>(CSetupActionList::Find(lists, L"Alpha")->begin()->get());
  EXPECT_EQ(CRemoveAction::kFound, action->GetDetectionState());
}

TEST(CProductRemovalDataTest, TextsAreBoundedAndLockedRecordsStayMarked) {
  CProductRemovalData record;
  EXPECT_EQ(std::wstring(), record.GetDisplayText());
  EXPECT_EQ(0, record.IsFound());
  EXPECT_EQ(1, record.IsChecked());
  EXPECT_EQ(0, record.IsLocked());
  EXPECT_EQ(1, record.GetShowDetails());

  std::wstring longText(300, L'x');
  record.SetDisplayText(longText.c_str());
  record.SetDetailA(longText.substr(0, 259).c_str());
  record.SetTargetKey(nullptr);
  EXPECT_EQ(longText.substr(0, 259), record.GetDisplayText());
  EXPECT_EQ(longText.substr(0, 259), record.GetDetailA());
  EXPECT_EQ(std::wstring(), record.GetTargetKey());

  struct Step {
    const char* call;
    int flag;
    int checked;
    int locked;
  } const kSteps[] = {
      {"SetChecked", 0, 0, 0}, {"SetLocked", 1, 1, 1}, {"SetChecked", 0, 1, 1},
      {"SetLocked", 0, 1, 0},  {"SetChecked", 0, 0, 0},
  };
  for (const Step& step : kSteps) {
    if (std::string(step.call) == "SetChecked") {
      record.SetChecked(step.flag);
    } else {
      record.SetLocked(step.flag);
    }
    EXPECT_EQ(step.checked, record.IsChecked()) << step.call << "(" << step.flag << ")";
    EXPECT_EQ(step.locked, record.IsLocked()) << step.call << "(" << step.flag << ")";
  }
}

}  // namespace
