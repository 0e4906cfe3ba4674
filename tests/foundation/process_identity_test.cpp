// process_identity_test.cpp: a process told apart from a later one that gets
// its id, through the identity's text.
#include "foundation/process_identity.h"

#include <windows.h>

#include <string>

#include "gtest/gtest.h"

TEST(CProcessIdentityTest, OnlyTheSameProcessCountsAsRunning) {
  CProcessIdentity current = CProcessIdentity::Current();
  CProcessIdentity reused(current.GetId(), current.GetCreated() + 1);
  struct Case {
    std::wstring text;
    bool parsed;
    bool running;
  };
  const Case kCases[] = {
      {current.ToText(), true, true},
      // Its id, another creation time: a process that came after a killed one.
      {reused.ToText(), true, false},
      {L"4294967280.01D0000000000001", true, false},
      {L"12.01D000000000001", false, false},  {L"x12.01D0000000000001", false, false},
      {L"12", false, false},                  {L"4294967296.01D0000000000001", false, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(testing::Message() << std::string(c.text.begin(), c.text.end()));
    CProcessIdentity identity;
    ASSERT_EQ(c.parsed, CProcessIdentity::Parse(c.text, &identity));
    if (c.parsed) EXPECT_EQ(c.running, identity.IsRunning());
  }
  CProcessIdentity parsed;
  ASSERT_TRUE(CProcessIdentity::Parse(current.ToText(), &parsed));
  EXPECT_EQ(current.GetCreated(), parsed.GetCreated());
}
