// pending_rename_filter_test.cpp: this suite's pairs leave the pending
// renames whole; everyone else's stay in their order.
#include "engine/pending_rename_filter.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace {

const wchar_t kSuite[] = L"{8C3E5F70-2A4B-4C6D-8E9F-0A1B2C3D4E5F}";

struct RenameCase {
  const char* name;
  std::vector<std::wstring> before;
  bool removed;
  std::vector<std::wstring> after;
};

const RenameCase kCases[] = {
    {"nothing of ours", {L"\\??\\C:\\a.new", L"!\\??\\C:\\a.dll", L"\\??\\C:\\b.tmp", L""}, false,
     {L"\\??\\C:\\a.new", L"!\\??\\C:\\a.dll", L"\\??\\C:\\b.tmp", L""}},
    // Our target alone names the suite: the whole pair goes, the next stays.
    {"target names the suite",
     {L"\\??\\C:\\t\\s.new", L"!\\??\\C:\\U\\{8c3e5f70-2a4b-4c6d-8e9f-0a1b2c3d4e5f}\\s.exe", L"\\??\\C:\\b.new",
      L"!\\??\\C:\\b.dll"},
     true, {L"\\??\\C:\\b.new", L"!\\??\\C:\\b.dll"}},
    {"source names the suite, in the middle",
     {L"\\??\\C:\\a.new", L"!\\??\\C:\\a.dll", L"\\??\\C:\\U\\{8C3E5F70-2A4B-4C6D-8E9F-0A1B2C3D4E5F}\\x", L"",
      L"\\??\\C:\\b.tmp", L""},
     true, {L"\\??\\C:\\a.new", L"!\\??\\C:\\a.dll", L"\\??\\C:\\b.tmp", L""}},
    // The read list lost the empty target of its last deletion.
    {"our deletion last", {L"\\??\\C:\\a.new", L"!\\??\\C:\\a.dll", L"C:\\U\\{8C3E5F70-2A4B-4C6D-8E9F-0A1B2C3D4E5F}"},
     true, {L"\\??\\C:\\a.new", L"!\\??\\C:\\a.dll"}},
    {"their deletion last kept whole",
     {L"C:\\U\\{8C3E5F70-2A4B-4C6D-8E9F-0A1B2C3D4E5F}\\x", L"", L"\\??\\C:\\b.tmp"}, true,
     {L"\\??\\C:\\b.tmp", L""}},
    {"only ours", {L"C:\\{8C3E5F70-2A4B-4C6D-8E9F-0A1B2C3D4E5F}\\a", L""}, true, {}},
    {"empty list", {}, false, {}},
};

TEST(PendingRenameFilterTest, RemovesWholePairsNamingTheSuite) {
  for (const RenameCase& c : kCases) {
    std::vector<std::wstring> entries = c.before;
    EXPECT_EQ(c.removed, RemoveSuitePendingRenames(kSuite, &entries)) << c.name;
    EXPECT_EQ(c.after, entries) << c.name;
  }
}

TEST(PendingRenameFilterTest, EmptySuiteIdRemovesNothing) {
  std::vector<std::wstring> entries = {L"\\??\\C:\\a.new", L"", L"x"};
  EXPECT_FALSE(RemoveSuitePendingRenames(L"", &entries));
  EXPECT_EQ(3u, entries.size());
}

}  // namespace
