// system_information_test.cpp: the operating-system line and edition key for
// the versions the log names, and the block as the running system reports it.
#include "engine/system_information.h"

#include <windows.h>

#include <string>

#include "engine/setup_state.h"
#include "gtest/gtest.h"

namespace {

using Facts = CSystemInformation::COsFacts;

Facts MakeFacts(DWORD major, DWORD minor, DWORD build, BYTE type, WORD suite, DWORD productInfo,
                const wchar_t* servicePack, bool wow64, bool r2 = false) {
  Facts facts;
  facts.majorVersion = major;
  facts.minorVersion = minor;
  facts.buildNumber = build;
  facts.productType = type;
  facts.suiteMask = suite;
  facts.productInfo = productInfo;
  facts.servicePack = servicePack;
  facts.wow64 = wow64;
  facts.serverR2 = r2;
  return facts;
}

struct DescribeCase {
  Facts facts;
  const wchar_t* line;
  const wchar_t* edition;
};

}  // namespace

TEST(CSystemInformationTest, DescribesEachWindowsWithItsEdition) {
  const BYTE kWork = VER_NT_WORKSTATION;
  const BYTE kServer = VER_NT_SERVER;
  const DescribeCase kCases[] = {
      {MakeFacts(6, 1, 7601, kWork, 0, 0x1C, L"Service Pack 1", true),
       L"   Microsoft Windows 7 Ultimate Edition N Service Pack 1 (build 7601), 64-bit", L"UltimateN"},
      {MakeFacts(6, 1, 7600, kWork, 0, 0x30, L"", false),
       L"   Microsoft Windows 7 Professional (build 7600), 32-bit", L"Professional"},
      {MakeFacts(6, 1, 7601, kServer, 0, 0x0D, L"", true),
       L"   Microsoft Windows Server 2008 R2 Standard Edition (core installation) (build 7601), 64-bit",
       L"StandardCore"},
      {MakeFacts(6, 0, 6002, kWork, 0, 0x03, L"Service Pack 2", false),
       L"   Microsoft Windows Vista Home Premium Edition Service Pack 2 (build 6002), 32-bit", L"HomePremium"},
      {MakeFacts(6, 0, 6001, kServer, 0, 0x99, L"", false),
       L"   Microsoft Windows Server 2008  (build 6001), 32-bit", L""},
      {MakeFacts(5, 2, 3790, kServer, VER_SUITE_ENTERPRISE, 0, L"Service Pack 2", false, true),
       L"   Microsoft Windows Server 2003 R2,  Enterprise Edition Service Pack 2 (build 3790), 32-bit", L"ServerR2"},
      {MakeFacts(5, 2, 3790, kServer, VER_SUITE_BLADE, 0, L"", false),
       L"   Microsoft Windows Server 2003, Web Edition (build 3790), 32-bit", L"Web"},
      {MakeFacts(5, 2, 3790, kWork, 0, 0, L"", true),
       L"   Microsoft Windows XP Professional x64 Edition  (build 3790), 64-bit", L"Professional"},
      {MakeFacts(5, 1, 2600, kWork, VER_SUITE_PERSONAL, 0, L"Service Pack 3", false),
       L"   Microsoft Windows XP Home Edition Service Pack 3 (build 2600), 32-bit", L"Home"},
      {MakeFacts(5, 0, 2195, kServer, VER_SUITE_ENTERPRISE, 0, L"", false),
       L"   Microsoft Windows 2000 Advanced Server (build 2195), 32-bit", L"AdvancedServer"},
      // Newer than the names known: the version number stands in.
      {MakeFacts(10, 0, 19045, kWork, 0, 0x30, L"", true),
       L"   Microsoft Windows 10.0 Professional (build 19045), 64-bit", L"Professional"},
  };
  for (const DescribeCase& c : kCases) {
    std::wstring edition = L"unset";
    EXPECT_EQ(c.line, CSystemInformation::DescribeOperatingSystem(c.facts, &edition));
    EXPECT_EQ(c.edition, edition) << c.line;
  }
}

// Wine 8 reports Windows 7 SP1, build 7601, Ultimate N, under WOW64.
TEST(CSystemInformationTest, PublishesTheRunningSystemsFacts) {
  CSetupState state;
  CSystemInformation::LogSystemInformation(&state);
  auto property = [&state](const wchar_t* name) {
    std::wstring value = L"<missing>";
    state.GetProperty(name, &value);
    return value;
  };
  EXPECT_EQ(L"6.1", property(L"OSVERSION"));
  EXPECT_EQ(L"7601", property(L"OSBUILD"));
  EXPECT_EQ(L"64", property(L"ARCHITECTURE"));
  EXPECT_EQ(L"UltimateN", property(L"OSEDITION"));
}
