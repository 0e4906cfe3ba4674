// install_action_test.cpp: an install action's options, the exact texts it
// adds to its command lines, its Execute and Rollback branches with real
// programs, and its reference operations against a recording counter.
#include "actions/install_action.h"

#include <windows.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "actions/ref_counting.h"
#include "conditions/expression_parser.h"
#include "engine/product_data.h"
#include "foundation/registry_key.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/actions/uninstall_fixture.h"
#include "tests/conditions/fake_system_facts.h"
#include "tests/support/test_support.h"

namespace {

DWORD ExitCodeOf(HANDLE handle) {
  if (!handle || WaitForSingleObject(handle, 60000) != WAIT_OBJECT_0) return 0xFFFFFFFF;
  DWORD code = 0xFFFFFFFF;
  GetExitCodeProcess(handle, &code);
  return code;
}

std::wstring ExitWith(DWORD code) {
  return Format(L"\"%sexit_with.exe\" %u", ToolFolder().c_str(), code);
}

}  // namespace

TEST(CInstallActionTest, ParsesExecuteOptionsAndReturnProcessingCaseBlind) {
  const struct {
    const wchar_t* text;
    DWORD options;
    DWORD processing;
  } kCases[] = {
      {L"SYNC", 0, 1}, {L"sync", 0, 1}, {L"Wait", 1, 1}, {L"NOWAIT", 2, 1}, {L"IGNORE", 1, 0},
      {L"msi", 1, 1},  {L"Standard", 1, 2}, {L"", 1, 1}, {L"bogus", 1, 1},
  };
  for (const auto& row : kCases) {
    EXPECT_EQ(row.options, CInstallAction::ParseExecuteOptions(row.text)) << WideToUtf8(row.text);
    EXPECT_EQ(row.processing, CInstallAction::ParseReturnProcessing(row.text)) << WideToUtf8(row.text);
  }
}

TEST(CInstallActionTest, AddsThePropertiesAndDefaultLinesToInstallerCommandLines) {
  CInstallAction action(4001, L"Alpha", L"Alpha.Install", L"{msiexec} {setupparams} /I \"a.msi\"", L"",
                        L"", nullptr, L"", nullptr);
  action.SetProductCode(L"{P1}");
  EXPECT_EQ(L"MSIEXEC.EXE {setupparams} /f  {P1}  REINSTALL=ALL REINSTALLMODE=eums ",
            action.GetRepairCommandLine());
  action.AddSuiteIdProperty(L"{S}");
  action.AddEulaAcceptedProperty(true);
  action.AddForceEncryptionProperty(false);
  action.AddNoOnlineAccessProperty(true);
  action.AddSilentProperty(true);
  // A value with a double quote would end early and add properties of its own.
  action.AddUserAndCompanyProperties(L"Ann Lee", L"Tamsa\" TRANSFORMS=\"x.mst");
  action.AddDesktopIconProperty(true);
  action.AddQuickLaunchIconProperty(false);
  action.AddInstallDirProperty(L"C:\\Program Files\\Tamsa");
  EXPECT_EQ(L"{msiexec} {setupparams} /I \"a.msi\" MPI_SUITE_ID=\"{S}\" MPI_EULA_ACCEPTED=1 NO_ONLINE_ACCESS=1"
            L" MPI_SILENT=1 USERNAME=\"Ann Lee\" DESKTOPICON=always QUICKLAUNCHICON=never"
            L" INSTALLDIR=\"C:\\Program Files\\Tamsa\\\"",
            action.GetCommandLine());
  EXPECT_EQ(L"MSIEXEC.EXE {setupparams} /x {P1} REMOVE=ALL", action.GetUninstallCommandLine());
  EXPECT_EQ(L"MSIEXEC.EXE {setupparams} /f  {P1}  REINSTALL=ALL REINSTALLMODE=eums  MPI_SUITE_ID=\"{S}\""
            L" INSTALLDIR=\"C:\\Program Files\\Tamsa\\\"",
            action.GetRepairCommandLine());

  // A program's line gets none of them and has no uninstall line to roll back with.
  CInstallAction program(4002, L"Tool", L"Tool.Install", L"\"C:\\kit\\tool.exe\" /s", L"", L"", nullptr,
                         L"", nullptr);
  program.SetProductCode(L"{P2}");
  program.AddSuiteIdProperty(L"{S}");
  program.AddSilentProperty(true);
  program.AddInstallDirProperty(L"C:\\T");
  EXPECT_EQ(L"\"C:\\kit\\tool.exe\" /s", program.GetCommandLine());
  EXPECT_EQ(L"", program.GetUninstallCommandLine());
  EXPECT_EQ(0u, program.Rollback());
  EXPECT_EQ(nullptr, program.GetRollbackHandle());
}

// The removal (and so the rollback) resolves the folders the install used.
TEST(CInstallActionTest, RemovalCarriesTheFolderPropertiesOfTheInstall) {
  struct Case {
    const wchar_t* install;
    const wchar_t* folders;
  };
  const Case kCases[] = {
      {L"MSIEXEC.EXE /I \"C:\\k\\a.msi\" INSTALLDIR=\"C:\\A b\\\" USERNAME=x", L"INSTALLDIR=\"C:\\A b\\\""},
      // The installer takes the last of a name; TARGETDIR is a folder too.
      {L"MSIEXEC.EXE /I a.msi INSTALLDIR=C:\\Old TARGETDIR=D:\\ INSTALLDIR=\"C:\\New\\\"",
       L"TARGETDIR=\"D:\\\" INSTALLDIR=\"C:\\New\\\""},
      // A package or log path with '=' in it is no property.
      {L"\"C:\\x\\MSIEXEC.EXE\" /I \"C:\\x=y\\a.msi\" /L*v C:\\INSTALLDIR=log", L""},
  };
  for (const Case& row : kCases) {
    SCOPED_TRACE(WideToUtf8(row.install));
    CInstallAction action(4001, L"Alpha", L"Alpha.Main", row.install, L"", L"", nullptr, L"", nullptr);
    action.SetProductCode(L"{P}");
    action.SetRunsProductPackage(true);
    action.CarryInstallFolders();
    EXPECT_EQ(row.folders, action.GetInstallFolders());
    std::wstring uninstall = L"MSIEXEC.EXE {setupparams} /x {P} REMOVE=ALL";
    EXPECT_EQ(*row.folders ? uninstall + L" " + row.folders : uninstall, action.GetUninstallCommandLine());
  }

  // Recorded by an earlier install: a folder the command line gave goes; what
  // is no property in the record is left out.
  CInstallAction removal(4001, L"Alpha", L"Alpha.Main", L"MSIEXEC.EXE /I a.msi", L"", L"", nullptr, L"", nullptr);
  removal.SetProductCode(L"{P}");
  removal.SetUninstallCommandLine(L"MSIEXEC.EXE /qn INSTALLDIR=C:\\Given /x {P} REMOVE=ALL");
  removal.UseInstallFolders(L"INSTALLDIR=\"C:\\A\\\" /i evil.msi");
  EXPECT_EQ(L"MSIEXEC.EXE /qn /x {P} REMOVE=ALL INSTALLDIR=\"C:\\A\\\"", removal.GetUninstallCommandLine());
  EXPECT_EQ(L"MSIEXEC.EXE {setupparams} /f {P} REINSTALL=ALL REINSTALLMODE=eums INSTALLDIR=\"C:\\A\\\"",
            removal.GetRepairCommandLine());
}

TEST(CInstallActionTest, FeatureSelectionNarrowsTheRemovalOrRemovesAll) {
  auto makeProduct = [](bool stays) {
    std::unique_ptr<CProductData> product(new CProductData(L"Alpha"));
    product->SetProductCode(L"{P1}");
    std::unique_ptr<CSelectionState> selection(new CSelectionState);
    selection->SetCurrent(stays, true);
    product->SetSelectionState(std::move(selection));
    std::unique_ptr<CFeatureList> features(new CFeatureList);
    for (const wchar_t* id : {L"Main", L"Docs", L"Samples"}) {
      std::unique_ptr<CFeatureData> feature(new CFeatureData);
      feature->SetFeatureId(id);
      feature->GetSelection().SetCurrent(std::wstring(id) == L"Main", true);
      features->AddFeature(feature);
    }
    product->SetFeatures(std::move(features));
    return product;
  };
  CInstallAction kept(4001, L"Alpha", L"A", L"msiexec /I a.msi", L"", L"", nullptr, L"", nullptr);
  kept.SetProductCode(L"{P1}");
  kept.AddFeatureSelection(*makeProduct(true));
  EXPECT_EQ(L"msiexec /I a.msi ADDLOCAL=ALL REMOVE=Docs,Samples", kept.GetCommandLine());
  EXPECT_EQ(L"MSIEXEC.EXE {setupparams} /x {P1}  REMOVE=Docs,Samples", kept.GetUninstallCommandLine());

  CInstallAction removed(4001, L"Alpha", L"A", L"msiexec /I a.msi", L"", L"", nullptr, L"", nullptr);
  removed.SetUninstall(true);
  removed.SetProductCode(L"{P1}");
  removed.AddFeatureSelection(*makeProduct(false));
  EXPECT_EQ(L"msiexec /I a.msi REMOVE=Docs,Samples", removed.GetCommandLine());
  EXPECT_EQ(L"MSIEXEC.EXE {setupparams} /x {P1} REMOVE=ALL", removed.GetUninstallCommandLine());
}

TEST(CInstallActionTest, ExecuteAndRollbackFollowConditionAndProductMarks) {
  const wchar_t* const kAbsentProduct = L"{6A1F3C20-0000-4D51-9C0A-1E2F3A4B5C63}";
  CFakeSystemFacts facts;
  CExpressionParser parser{facts};
  CMapStringToString properties = {{L"A", L"1"}};
  struct Case {
    const wchar_t* condition;
    bool withParser;
    bool uninstall;
    bool repair;
    bool marked;        // NoUninstall or NoRepair
    bool executed;
    DWORD exitCode;     // of the started command; 0xFFFFFFFF: nothing started
    const wchar_t* packageProduct = nullptr;  // the product whose package the action runs
    DWORD result = 0;   // of Execute
  } const kCases[] = {
      {L"", false, false, false, false, true, 7},
      {L"  ", false, false, false, false, true, 7},
      {L"{A} == 1", true, false, false, false, true, 7},
      {L"{A} == 2", true, false, false, false, false, 0xFFFFFFFF},
      {L"{A} == 1", false, false, false, false, false, 0xFFFFFFFF},   // no parser: not satisfied
      // A condition that cannot be read is a broken configuration, not a false one.
      {L"((", true, false, false, false, false, 0xFFFFFFFF, nullptr, 13},
      {L"{MISSING} == 1", true, false, false, false, false, 0xFFFFFFFF, nullptr, 13},
      {L"0", true, false, false, false, false, 0xFFFFFFFF},
      {L"1", true, false, false, false, true, 7},                     // a number, not a text of the table
      {L"\"a\" == \"a\"", true, false, false, false, true, 7},
      {L"", false, true, false, false, true, 8},
      {L"", false, true, false, true, true, 0xFFFFFFFF},
      {L"", false, false, true, false, true, 9},
      {L"", false, false, true, true, true, 0xFFFFFFFF},
      // An uninstall or a repair of a package follows whether its product is
      // installed, not the condition; a program's keeps its condition, and
      // an action without one runs as before.
      {L"{A} == 1", true, true, false, false, false, 0xFFFFFFFF, kAbsentProduct},
      {L"{A} == 1", true, false, true, false, false, 0xFFFFFFFF, kAbsentProduct},
      {L"{A} == 2", true, true, false, false, false, 0xFFFFFFFF},
      {L"{A} == 1", true, true, false, false, true, 8},
      {L"", false, true, false, false, true, 8, kAbsentProduct},
  };
  for (const Case& row : kCases) {
    SCOPED_TRACE(Format(L"%s uninstall %d repair %d marked %d", row.condition, row.uninstall, row.repair,
                        row.marked));
    CInstallAction action(4001, L"Alpha", L"Alpha.Install", ExitWith(7), L"SYNC", L"MSI", &properties,
                          row.condition, row.withParser ? &parser : nullptr);
    action.SetUninstallCommandLine(ExitWith(8));
    action.SetRepairCommandLine(ExitWith(9));
    action.SetUninstall(row.uninstall);
    action.SetRepair(row.repair);
    action.SetNoUninstall(row.marked);
    action.SetNoRepair(row.marked);
    if (row.packageProduct) {
      action.SetProductCode(row.packageProduct);
      action.SetRunsProductPackage(true);
    }
    EXPECT_EQ(row.result, action.Execute());
    EXPECT_EQ(row.executed, action.IsExecuted());
    EXPECT_EQ(row.exitCode, ExitCodeOf(action.GetActionHandle()));
    if (row.executed) {
      // The rollback runs the uninstall line, also after a skipped NoRepair.
      EXPECT_EQ(0u, action.Rollback());
      EXPECT_FALSE(action.IsExecuted());
      EXPECT_EQ(8u, ExitCodeOf(action.GetRollbackHandle()));
    }
  }
}

// The installer refuses a source for a product it does not know: the
// product is then marked NoRepair, since a repair could not find its files.
TEST(CInstallActionTest, SourceListFailureMarksTheProductNoRepair) {
  CTestFolder folder;
  ASSERT_TRUE(CreateDirectoryW(folder.File(L"Alpha").c_str(), nullptr));
  const struct {
    const wchar_t* keyName;
    const wchar_t* code;
    bool noRepair;
  } kCases[] = {
      {L"Alpha", L"{6A1F3C20-0000-4D51-9C0A-1E2F3A4B5C62}", true},
      {L"Missing", L"{6A1F3C20-0000-4D51-9C0A-1E2F3A4B5C62}", false},  // no folder: nothing to add
      {L"Alpha", L"", false},
  };
  for (const auto& row : kCases) {
    CInstallAction action(4001, row.keyName, L"A", L"msiexec /I a.msi", L"", L"", nullptr, L"", nullptr);
    action.SetProductCode(row.code);
    action.UpdateSourceList(folder.Path());
    EXPECT_EQ(row.noRepair, action.IsNoRepair()) << WideToUtf8(row.keyName) << WideToUtf8(row.code);
  }
}

namespace {

// Records calls; fails as told.
class CRecordingCounter : public IRefCounting {
 public:
  enum class EFailure { kNone, kMissingKey, kAccessDenied, kNoCode, kForeign };
  EFailure failure = EFailure::kNone;
  std::vector<std::wstring> users = {L"{S1}", L"{S2}", L"{S3}"};
  int count = 2;
  std::vector<std::wstring> calls;

  int ReadUsers(const std::wstring& key, std::vector<std::wstring>* list) override {
    Fail();
    calls.push_back(L"read " + key);
    if (list) *list = users;
    return count;
  }
  int AddReference(const std::wstring& user, const std::wstring& key, bool) override {
    Fail();
    calls.push_back(L"add " + user + L" " + key);
    return 1;
  }
  int ReleaseReference(const std::wstring& user, const std::wstring& key, bool) override {
    Fail();
    calls.push_back(L"release " + user + L" " + key);
    return 0;
  }
  void AddDateTimeStamp(const std::wstring& key, time_t time) override {
    Fail();
    calls.push_back(Format(L"stamp %s %d", key.c_str(), static_cast<int>(time)));
  }
  void RecordInstallFolders(const std::wstring& key, const std::wstring& folders) override {
    Fail();
    calls.push_back(L"folders " + key + L" " + folders);
  }
  void UndoLastOperation() override {}
  size_t GetJournalSize() const override { return 0; }

 private:
  void Fail() {
    switch (failure) {
      case EFailure::kNone: return;
      case EFailure::kMissingKey: throw CRegistryKey::CMissingKey(L"Open key 'x'");
      case EFailure::kAccessDenied: throw CError(L"Open key 'x'", ERROR_ACCESS_DENIED);
      case EFailure::kNoCode: throw CError(L"Value 'RefCount' has another type");
      case EFailure::kForeign: throw std::runtime_error("foreign");
    }
  }
};

}  // namespace

TEST(CInstallActionTest, ReferenceOperationsReturnCodesAndTouchOnlyOwnPackages) {
  using EFailure = CRecordingCounter::EFailure;
  struct Case {
    EFailure failure;
    bool runsPackage;
    const wchar_t* code;
    DWORD expected;
    size_t calls;  // of the four operations together
  } const kCases[] = {
      {EFailure::kNone, true, L"{P1}", 0, 6},  // stamp, add, release, read + two releases
      {EFailure::kMissingKey, true, L"{P1}", 0, 0},
      {EFailure::kAccessDenied, true, L"{P1}", 5, 0},
      {EFailure::kNoCode, true, L"{P1}", 1003, 0},
      {EFailure::kForeign, true, L"{P1}", 1003, 0},
      {EFailure::kNone, false, L"{P1}", 0, 0},
      {EFailure::kNone, true, L"", 0, 0},
  };
  for (const Case& row : kCases) {
    SCOPED_TRACE(Format(L"failure %d package %d code %s", static_cast<int>(row.failure), row.runsPackage,
                        row.code));
    CRecordingCounter counter;
    counter.failure = row.failure;
    CInstallAction action(4001, L"Alpha", L"Alpha.Install", L"msiexec /I a.msi", L"", L"", nullptr, L"",
                          nullptr);
    action.SetProductCode(row.code);
    action.SetRunsProductPackage(row.runsPackage);
    action.SetRefCounter(&counter);
    EXPECT_EQ(row.expected, action.AddDateTimeStamp(20));
    EXPECT_EQ(row.expected, action.AddReference(L"{S9}"));
    EXPECT_EQ(row.expected, action.ReleaseReference(L"{S9}"));
    EXPECT_EQ(row.expected, action.ReleaseAllReferences());
    EXPECT_EQ(row.calls, counter.calls.size());
    if (row.calls) {
      // As many users as both the count and the list hold, in list order.
      EXPECT_EQ((std::vector<std::wstring>{L"stamp {P1} 20", L"add {S9} {P1}", L"release {S9} {P1}",
                                           L"read {P1}", L"release {S1} {P1}", L"release {S2} {P1}"}),
                counter.calls);
    }
  }
}
