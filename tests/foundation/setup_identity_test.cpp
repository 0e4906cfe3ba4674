// setup_identity_test.cpp: which program from the update site is this setup,
// newer: its names and version against the running setup's and the announced one.
#include "foundation/setup_identity.h"

#include "gtest/gtest.h"

namespace {

CPeVersionInfo Program(uint16_t minor, const wchar_t* product, const wchar_t* internal = L"setup") {
  CPeVersionInfo info;
  info.fileVersion[0] = 3;
  info.fileVersion[1] = minor;
  if (product) info.strings = {{L"ProductName", product}, {L"InternalName", internal}};
  return info;
}

}  // namespace

TEST(SetupIdentityTest, OnlyThisSetupInTheAnnouncedNewerVersionIsTaken) {
  const uint16_t announced[4] = {3, 59, 0, 0};
  const CPeVersionInfo own = Program(58, L"Tamsa Setup");
  const struct { const char* what; CPeVersionInfo own, update; bool taken; } kCases[] = {
      {"newer, announced", own, Program(59, L"Tamsa Setup"), true},
      {"another program", own, Program(59, L"Tamsa Tool"), false},
      {"another internal name", own, Program(59, L"Tamsa Setup", L"tool"), false},
      {"not the announced", own, Program(60, L"Tamsa Setup"), false},
      {"announced, not newer", Program(59, L"Tamsa Setup"), Program(59, L"Tamsa Setup"), false},
      {"own names missing", Program(58, nullptr), Program(59, nullptr), false},
  };
  for (const auto& row : kCases) {
    EXPECT_EQ(row.taken, SetupUpdateRefusal(row.own, row.update, announced) == nullptr) << row.what;
  }
}
