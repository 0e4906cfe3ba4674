// removal_list_loader_test.cpp: each product's implicit removal of its
// earlier version, decided by the installed version, the reference counting
// and the interface level; and the forced removal of the installed suite.
#include "engine/removal_list_loader.h"

#include <memory>
#include <string>

#include "actions/remove_previous_action.h"
#include "engine/install_group_info_map.h"
#include "tests/actions/memory_ref_counter.h"
#include "tests/actions/uninstall_fixture.h"
#include "tests/engine/action_list_world.h"

namespace {

std::string Dcf(const std::wstring& code) {
  return "[Setup]\r\nProducts=Alpha\r\n[Setup.Alpha]\r\nPrimaryAction=Install\r\nProductVersion=2.0\r\n"
         "ProductName=Alpha\r\nProductCode=" + WideToUtf8(code) + "\r\n";
}

}  // namespace

TEST(CRemovalListLoaderTest, RemovesAnEarlierVersionUnlessANewerOneIsCounted) {
  CUninstallFixture entry;
  struct Case {
    const wchar_t* installed;  // null: not installed
    bool counting;
    const wchar_t* level;
    bool removes;
    CExternalCommand::EKind prompt;
    CRemoveAction::ERefusal refusal;
  } const kCases[] = {
      {nullptr, true, L"/qn", true, CExternalCommand::kNone, CRemoveAction::kIgnore},
      {L"1.5", true, L"/qn+", true, CExternalCommand::kNone, CRemoveAction::kIgnore},
      {L"2.0", true, L"/qb", true, CExternalCommand::kDefault, CRemoveAction::kAbortProduct},
      {L"3.0", false, L"/qn", true, CExternalCommand::kNone, CRemoveAction::kIgnore},
      {L"3.0", true, L"/qn", false, CExternalCommand::kNone, CRemoveAction::kIgnore},
  };
  for (const Case& c : kCases) {
    entry.Remove();
    if (c.installed) {
      ASSERT_TRUE(entry.Write(KEY_WOW64_32KEY, {{L"DisplayName", L"Alpha"}, {L"DisplayVersion", c.installed},
                                               {L"UninstallString", L"x.exe"}}));
    }
    CActionListWorld world(Dcf(entry.Id()), c.level);
    std::unique_ptr<CInstallGroupInfo> suite(new CInstallGroupInfo());
    suite->SetUuid(L"{SUITE}");
    world.groups.SetAt(L"default", std::move(suite));
    CMemoryRefCounter counter;
    world.sources->refCounter = &counter;
    world.sources->referenceCounting = c.counting;
    CRemovalListLoader loader(*world.sources);
    CActionListMap lists;
    loader.LoadPreviousVersions({}, &lists);
    std::string row = c.installed ? WideToUtf8(c.installed) : "none";
    if (!c.removes) {
      EXPECT_EQ(L"", Describe(lists, L"Alpha")) << row;
      EXPECT_TRUE(loader.IsNewerVersionKept());
      ASSERT_EQ(1u, loader.ProductsToDisable().size());
      // Recorded for the commit, not written now.
      ASSERT_EQ(1u, counter.queue.size());
      EXPECT_EQ(L"{SUITE}", counter.queue[0].user);
      EXPECT_EQ(entry.Id(), counter.queue[0].key);
      EXPECT_TRUE(counter.journal.empty());
      continue;
    }
    ASSERT_EQ(L"2050 PreviousVersions.Alpha.Auto", Describe(lists, L"Alpha")) << row;
    auto* action = static_cast<CRemovePreviousAction*>(lists[L"Alpha"]->begin()->get());
    EXPECT_EQ(entry.Id(), action->GetUninstallKey());
    EXPECT_EQ(c.prompt, action->GetPromptCommand()->GetKind()) << row;
    EXPECT_EQ(c.refusal, action->GetRefusal()) << row;
    EXPECT_EQ(CExternalCommand::kUninstallKey, action->GetUninstallCommand()->GetKind());
    EXPECT_EQ(entry.Id(), action->GetDetectionCommand()->GetKey());
    EXPECT_FALSE(loader.IsNewerVersionKept());
  }
}

// The installed copy of this suite goes, forced and silent, before its
// members' own earlier versions are looked at.
TEST(CRemovalListLoaderTest, RemovesTheInstalledSuiteMembersFirst) {
  CActionListWorld world(Dcf(L"{MEMBER}") + "[Setup.Alpha]\r\nPreviousVersions=Own\r\n"
                         "[PreviousVersions.Alpha.Own]\r\nDetection=UNINSTALLKEY,{OWN}\r\nPrompt=NONE\r\n"
                         "UninstallCommand=UNINSTALLKEY\r\n",
                         L"/qb");
  std::unique_ptr<CInstallGroupInfo> installed(new CInstallGroupInfo());
  installed->AddMember(L"{MEMBER}");
  installed->AddMember(L"{OTHER}");
  world.groups.SetAt(L"remove", std::move(installed));
  CRemovalListLoader loader(*world.sources);
  CActionListMap lists;
  loader.LoadPreviousVersions({L"Alpha.Own"}, &lists);
  EXPECT_EQ(L"2051 PreviousVersions.{MEMBER}.Force, 2052 PreviousVersions.{OTHER}.Force", Describe(lists, L"*"));
  // Alpha's own earlier version is the suite's member: only its item.
  EXPECT_EQ(L"2050 PreviousVersions.Alpha.Own", Describe(lists, L"Alpha"));
  for (const auto& action : *lists[L"*"]) {
    auto* removal = static_cast<CRemovePreviousAction*>(action.get());
    EXPECT_TRUE(removal->IsForced());
    EXPECT_EQ(CRemoveAction::kIgnore, removal->GetRefusal());
    EXPECT_EQ(IDYES, removal->GetRemovalKind());
  }
}
