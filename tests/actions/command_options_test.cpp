// command_options_test.cpp: the command-line model parsed from Windows
// Installer style text and rebuilt: round trips, the model's fields, rejected
// lines and the configuration file the first word names.
#include "actions/command_options.h"

#include <string>
#include <vector>

#include "foundation/text_utils.h"
#include "gtest/gtest.h"
#include "platform/wide_string.h"
#include "tests/actions/fake_command_options_system.h"

namespace {

const wchar_t kFolder[] = L"C:\\kit\\";
const wchar_t kProgram[] = L"\"C:\\kit\\SETUP.EXE\"";

std::string Narrow(const std::wstring& text) { return WideToUtf8(text); }

std::wstring Build(const CCommandOptions& options, const std::wstring& programPath = L"") {
  std::wstring out;
  options.BuildCommandLine(&out, programPath);
  return out;
}

// The rebuilt line as the restarted setup receives it: without its program.
std::wstring WithoutProgram(std::wstring line) {
  std::wstring program;
  ExtractToken(&line, &program, L" ", false);
  return line;
}

class CCommandOptionsTest : public ::testing::Test {
 protected:
  bool Parse(const std::wstring& commandLine) { return m_options.Parse(kFolder, commandLine); }

  unsigned long InternalErrorOf(void (*call)(CCommandOptions*)) {
    try {
      call(&m_options);
    } catch (unsigned long code) {
      return code;
    }
    return 0;
  }

  CFakeCommandOptionsSystem m_system;
  CCommandOptions m_options{&m_system};
};

struct CRoundTripCase {
  const wchar_t* commandLine;
  const wchar_t* rebuilt;  // after the quoted program
};

const CRoundTripCase kRoundTrips[] = {
    // mode switches
    {L"/i a.msi", L" /I a.msi"},
    {L"/I \"C:\\my kit\\a b.msi\" /qb X=1", L" /I \"C:\\my kit\\a b.msi\" /qb X=1"},
    {L"/x {6A2B1C00-0000-4000-8000-000000000001}", L" /x {6A2B1C00-0000-4000-8000-000000000001}"},
    {L"/fvomus a.msi", L" /fvomus a.msi"},
    {L"/FA a.msi", L" /fA a.msi"},
    {L"/a \\\\server\\share\\x.msi", L" /a \\\\server\\share\\x.msi"},
    {L"/p y.msp", L" /p y.msp"},
    {L"/a x.msi /p y.msp", L" /p y.msp /a x.msi"},
    {L"/p y.msp /a x.msi", L" /p y.msp /a x.msi"},
    {L"/j a.msi /g 1033", L" /j a.msi /g 1033"},
    {L"/t \"a b.mst;c.mst\" /jm a.msi", L" /jm a.msi /t \"a b.mst;c.mst\""},
    {L"/ju a.msi", L" /ju a.msi"},
    // long forms: only the first letter counts
    {L"/passive y.msp", L" /p y.msp"},
    // interface levels
    {L"/q", L" /qn"},
    {L"/qn", L" /qn"},
    {L"/QN+", L" /qn+"},
    {L"/qb", L" /qb"},
    {L"/qb+", L" /qb+"},
    {L"/qb-", L" /qb-"},
    {L"/qb!", L" /qb!"},
    {L"/qr", L" /qr"},
    {L"/qf", L" /qf"},
    {L"/qb /qn", L" /qn"},
    // log and MIF files
    {L"/L*v \"C:\\my logs\\x.log\"", L" /L*v \"C:\\my logs\\x.log\""},
    {L"/lie log.txt", L" /L*v \"C:\\log.txt\""},
    {L"/Lx {TEMP_FOLDER}x.log /qn", L" /qn /L*v \"C:\\temp\\x.log\""},
    {L"/i a.msi /m status.mif", L" /I a.msi /m status.mif"},
    {L"/a x.msi /m \"my status.mif\"", L" /a x.msi /m \"my status.mif\""},
    // properties
    {L"X=1", L" X=1"},
    {L"foo=bar", L" foo=bar"},
    {L"/qn FOO = bar", L" /qn FOO=bar"},
    {L"/qn FOO =bar", L" /qn FOO=bar"},
    {L"FOO= bar", L" FOO=bar"},
    {L"NAME=\"a b  c\" Other=\"\"", L" NAME=\"a b  c\" Other=\"\""},
    {L"URL=http://host/?a=b&c=d", L" URL=http://host/?a=b&c=d"},
    {L"A==b", L" A==b"},
    {L"Size= /qn", L" Size=/qn"},
    {L"PATH=C:\\\u00c4rger", L" PATH=C:\\\u00c4rger"},
    {L"REINSTALLMODE=vomus /i a.msi", L" /I a.msi REINSTALLMODE=vomus"},
    // REBOOT is kept apart from the properties
    {L"REBOOT=ReallySuppress", L" REBOOT=ReallySuppress"},
    {L"reboot=s", L" REBOOT=Suppress"},
    {L"Reboot=force", L" REBOOT=Force"},
    {L"/qn REBOOT = r", L" /qn REBOOT=ReallySuppress"},
    {L"REBOOT=\"\"", L" REBOOT=\"\""},
    {L"REBOOT=\"ReallySuppress\"", L" REBOOT=ReallySuppress"},
    // handed on unread
    {L"/1abc /Kfoo", L" /1abc /Kfoo"},
    {L"/norestart /update", L" /norestart /update"},
    {L"/qn word X=1", L" /qn word X=1"},
    {L"/\"odd switch\"", L" /\"odd switch\""},
    // taken and dropped
    {L"/Silent /i a.msi /NoPrompt", L" /I a.msi"},
    {L"/silent /noprompt", L""},
    {L"/? /h /qn", L" /qn"},
    {L"/s1200 /qn", L" /qn"},
    // restart marker, configuration file
    {L"/~ /qn", L" /qn /~"},
    {L"/~-", L" /~-"},
    {L"other.dcf /qb", L" other.dcf /qb"},
    {L"\"my setup.dcf\" /qb", L" \"my setup.dcf\" /qb"},
    {L"setup.dcf /qb", L" /qb"},
    // an unclosed quote runs to the end and is closed there
    {L"/i \"C:\\a b.msi", L" /I \"C:\\a b.msi\""},
    {L"/qn NAME=\"a b", L" /qn NAME=\"a b\""},
    {L"/L \"C:\\my logs\\x.log", L" /L*v \"C:\\my logs\\x.log\""},
    {L"/Kx\" y", L" /Kx\" y\""},
    // everything at once, rebuilt in the fixed order
    {L"X=1 /Kx REBOOT=s /qb /L*v l.log /~- /i a.msi /m m.mif word Y=\"2 3\"",
     L" /I a.msi /qb /L*v \"C:\\l.log\" /m m.mif /Kx word X=1 Y=\"2 3\" REBOOT=Suppress /~-"},
};

TEST_F(CCommandOptionsTest, RebuildsAndReadsBackEverySwitchFamily) {
  for (const CRoundTripCase& test : kRoundTrips) {
    SCOPED_TRACE(Narrow(test.commandLine));
    ASSERT_TRUE(Parse(test.commandLine)) << Narrow(m_options.GetParseFailure());
    std::wstring rebuilt = Build(m_options);
    EXPECT_EQ(std::wstring(kProgram) + test.rebuilt, rebuilt);

    CCommandOptions again(&m_system);
    ASSERT_TRUE(again.Parse(kFolder, WithoutProgram(rebuilt))) << Narrow(again.GetParseFailure());
    EXPECT_EQ(rebuilt, Build(again));
    EXPECT_EQ(m_options.GetMode(), again.GetMode());
    EXPECT_EQ(m_options.GetUILevel(), again.GetUILevel());
    EXPECT_EQ(m_options.GetRebootOption(), again.GetRebootOption());
  }
}

struct CModelCase {
  const wchar_t* commandLine;
  int mode;
  int uiLevel;
  int reboot;
  int tilde;
  int startSequence;
  const wchar_t* package;
};

const CModelCase kModels[] = {
    {L"", 0, 0, 0, 0, 0, L""},
    {L"/i a.msi", 1, 0, 0, 0, 0, L"a.msi"},
    {L"/fvomus {GUID}", 2, 0, 0, 0, 0, L"{GUID}"},
    {L"/X {GUID} /qn", 3, 8, 0, 0, 0, L"{GUID}"},
    {L"/j a.msi /t t.mst", 4, 0, 0, 0, 0, L"a.msi"},
    {L"/a x.msi", 5, 0, 0, 0, 0, L"x.msi"},
    {L"/p y.msp", 6, 0, 0, 0, 0, L""},
    {L"/p y.msp /a x.msi", 7, 0, 0, 0, 0, L"x.msi"},
    {L"/qb!", 0, 6, 0, 0, 0, L""},
    {L"/qb- REBOOT=F", 0, 5, 1, 0, 0, L""},
    {L"reboot=s", 0, 0, 2, 0, 0, L""},
    {L"REBOOT=\"ReallySuppress\"", 0, 0, 3, 0, 0, L""},
    {L"REBOOT=\"\"", 0, 0, 4, 0, 0, L""},
    {L"/~", 0, 0, 0, 1, 0, L""},
    {L"/~-", 0, 0, 0, 2, 0, L""},
    {L"/s1200", 0, 0, 0, 0, 1200, L""},
    {L"/S-5", 0, 0, 0, 0, -5, L""},
    {L"/s", 0, 0, 0, 0, 0, L""},
    {L"/s2147483647", 0, 0, 0, 0, 2147483647, L""},
    {L"/s-2147483648 /~", 0, 0, 0, 1, -2147483647 - 1, L""},
};

TEST_F(CCommandOptionsTest, ParsedModelHoldsModeLevelRebootAndMarkers) {
  for (const CModelCase& test : kModels) {
    SCOPED_TRACE(Narrow(test.commandLine));
    ASSERT_TRUE(Parse(test.commandLine)) << Narrow(m_options.GetParseFailure());
    EXPECT_EQ(test.mode, m_options.GetMode());
    EXPECT_EQ(test.uiLevel, m_options.GetUILevel());
    EXPECT_EQ(test.reboot, m_options.GetRebootOption());
    EXPECT_EQ(test.tilde, m_options.GetTildeSwitch());
    EXPECT_EQ(test.startSequence, m_options.GetSSwitchValue());
    EXPECT_EQ(test.package, m_options.GetPackage());
    EXPECT_EQ(kFolder, m_options.GetSetupFolder());
  }
}

struct CFailureCase {
  std::wstring commandLine;
  const wchar_t* named;  // what the failure text must point at
};

const std::vector<CFailureCase>& FailureCases() {
  static const std::vector<CFailureCase> cases = {
      // a second or conflicting mode switch
      {L"/i a.msi /x b.msi", L"/x"},
      {L"/i a.msi /p y.msp", L"/p"},
      {L"/a x.msi /a y.msi", L"/a"},
      {L"/g 1033 /i a.msi", L"/i"},
      {L"/j a.msi /g 1033 /t t.mst", L"/t"},
      {L"/m a.mif /p y.msp", L"/p"},
      {L"/m a.mif /j a.msi", L"/j"},
      {L"/j a.msi /m a.mif", L"/m"},
      {L"/i a.msi /m a.mif /m b.mif", L"/m"},
      // a value missing after the switch or property
      {L"/i", L"/i"},
      {L"/qn /x", L"/x"},
      {L"/i a.msi /m", L"/m"},
      {L"/qn X=", L"X="},
      {L"/qn X =", L"X"},
      {L"REBOOT=", L"REBOOT="},
      {L"/qb other.dcf", L"other.dcf"},
      {L"/update x.msp", L"x.msp"},
      // switch values
      {L"/qx", L"/qx"},
      {L"/qbx", L"/qbx"},
      {L"/quiet", L"/quiet"},
      {L"/sx", L"/sx"},
      {L"/s-", L"/s-"},
      {L"/s+5", L"/s+5"},
      {L"/s2147483648", L"/s2147483648"},
      {L"/s-2147483649", L"/s-2147483649"},
      {L"/s99999999999999999999", L"/s99999999999999999999"},
      {L"/~ /~", L"/~"},
      {L"/~x", L"/~x"},
      {L"/y", L"/y"},
      {L"/Z", L"/Z"},
      {L"/", L"/"},
      {L"/qn /", L"/"},
      // the log switch: twice, or no file anywhere (KWSETUP unset)
      {L"/Lx a.log /L b.log", L"/L"},
      {L"/L", L"/L"},
      // properties
      {L"=x", L"=x"},
      {L"/qn =x", L"=x"},
      {L"REBOOT=Yes", L"Yes"},
      {L"REBOOT=s REBOOT=f", L"f"},
      {L"/f a.msi REINSTALLMODE=vomus", L"vomus"},
      {L"REINSTALLMODE=vomus /f a.msi", L"vomus"},
      {L"\"\" /qn", L"\"\""},
      // too long to hand on
      {L"/i " + std::wstring(9997, L'a'), L"10000"},
      {L"X=\"" + std::wstring(9996, L' ') + L"\"", L"10000"},
  };
  return cases;
}

TEST_F(CCommandOptionsTest, RejectedLineLeavesResetModelAndNamesTheCause) {
  for (const CFailureCase& test : FailureCases()) {
    SCOPED_TRACE(Narrow(test.commandLine.substr(0, 80)));
    EXPECT_FALSE(Parse(test.commandLine));
    EXPECT_NE(std::wstring::npos, m_options.GetParseFailure().find(test.named))
        << Narrow(m_options.GetParseFailure());
    EXPECT_EQ(0, m_options.GetMode());
    EXPECT_EQ(0, m_options.GetUILevel());
    EXPECT_EQ(0, m_options.GetRebootOption());
    EXPECT_EQ(L"", m_options.GetSetupFolder());
    EXPECT_EQ(L"\"C:\\run\\setup.exe\"", Build(m_options, L"C:\\run\\setup.exe"));
  }
}

TEST_F(CCommandOptionsTest, LongestAcceptedLineRoundTrips) {
  std::wstring line = L"X=" + std::wstring(8189, L'v');
  ASSERT_TRUE(Parse(line));
  std::wstring rebuilt = Build(m_options);
  EXPECT_EQ(std::wstring(kProgram) + L" " + line, rebuilt);
}

TEST_F(CCommandOptionsTest, FirstWordNamesTheConfigurationFile) {
  struct {
    const wchar_t* commandLine;
    bool parsed;
    const wchar_t* loaded;
    const wchar_t* name;
  } const cases[] = {
      {L"", true, L"C:\\kit\\SETUP.DCF", L"SETUP.DCF"},
      {L"other.dcf /qb", true, L"C:\\kit\\other.dcf", L"other.dcf"},
      {L"\"my setup.dcf\"", true, L"C:\\kit\\my setup.dcf", L"my setup.dcf"},
      {L"sub\\x.dcf", true, L"C:\\kit\\sub\\x.dcf", L"sub\\x.dcf"},
      {L"X=1 other.dcf=2", true, L"C:\\kit\\SETUP.DCF", L"SETUP.DCF"},
      {L"/qb other.dcf", false, L"C:\\kit\\SETUP.DCF", L""},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(Narrow(test.commandLine));
    m_system.loadedFiles.clear();
    EXPECT_EQ(test.parsed, Parse(test.commandLine));
    ASSERT_EQ(1u, m_system.loadedFiles.size());
    EXPECT_EQ(test.loaded, m_system.loadedFiles[0]);
    EXPECT_EQ(test.name, m_options.GetConfigurationFileName());
  }
}

TEST_F(CCommandOptionsTest, ConfigurationThatFailsToLoadFailsTheParse) {
  m_system.loadResult = 1;
  EXPECT_FALSE(Parse(L"/qn"));
  EXPECT_FALSE(Parse(L""));
  EXPECT_FALSE(Parse(L"other.dcf"));
}

TEST_F(CCommandOptionsTest, LogFileComesFromSwitchOrKwsetup) {
  m_system.environment[L"KWSETUP"] = L"C:\\logs\\{TEMP_FOLDER}kw.log";
  struct {
    const wchar_t* commandLine;
    const wchar_t* logSwitch;
  } const cases[] = {
      {L"", L" /L*v \"C:\\logs\\C:\\temp\\kw.log\""},
      {L"/qn", L" /L*v \"C:\\logs\\C:\\temp\\kw.log\""},
      {L"/L", L" /L*v \"C:\\logs\\C:\\temp\\kw.log\""},
      {L"/L \"\" /qn", L" /L*v \"C:\\logs\\C:\\temp\\kw.log\""},
      {L"/L*v D:\\x.log", L" /L*v \"D:\\x.log\""},
      {L"/L \"D:\\a \"b\".log\"", L" /L*v \"D:\\a b.log\""},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(Narrow(test.commandLine));
    ASSERT_TRUE(Parse(test.commandLine)) << Narrow(m_options.GetParseFailure());
    std::wstring logSwitch;
    m_options.AppendLogSwitch(&logSwitch);
    EXPECT_EQ(test.logSwitch, logSwitch);
  }
}

TEST_F(CCommandOptionsTest, ReinstallModeIsKeptForInstallAndNoMode) {
  ASSERT_TRUE(Parse(L"REINSTALLMODE=vomus"));
  EXPECT_EQ(L"vomus", m_options.GetReinstallMode());
  std::wstring properties;
  m_options.AppendProperties(&properties);
  EXPECT_EQ(L" REINSTALLMODE=vomus", properties);

  ASSERT_TRUE(Parse(L"/i a.msi reinstallmode=amus"));
  EXPECT_EQ(L"amus", m_options.GetReinstallMode());
}

// Packages get public (upper-case) names; a restart of setup gets the names
// as given, since setup reads its own properties by their exact names.
TEST_F(CCommandOptionsTest, PackagesGetUpperCaseNamesAndRestartsTheGivenOnes) {
  ASSERT_TRUE(Parse(L"/qn TestConnectionURL=http://Host/ ReturnRebootRequest =1"));
  std::wstring forPackages;
  m_options.AppendProperties(&forPackages);
  EXPECT_EQ(L" TESTCONNECTIONURL=http://Host/ RETURNREBOOTREQUEST=1", forPackages);
  std::wstring asGiven;
  m_options.AppendPropertiesAsGiven(&asGiven);
  EXPECT_EQ(L" TestConnectionURL=http://Host/ ReturnRebootRequest=1", asGiven);
}

TEST_F(CCommandOptionsTest, SecondParseStartsFromNothing) {
  ASSERT_TRUE(Parse(L"/i a.msi /L a.log X=1"));
  ASSERT_TRUE(Parse(L"/x b.msi /L b.log"));
  EXPECT_EQ(std::wstring(kProgram) + L" /x b.msi /L*v \"C:\\b.log\"", Build(m_options));
}

TEST_F(CCommandOptionsTest, ProgramPathReplacesSetupAndDropsConfigurationAndMarker) {
  ASSERT_TRUE(Parse(L"other.dcf /i a.msi /qb X=1 /~"));
  EXPECT_EQ(L"\"D:\\new\\setup.exe\" /I a.msi /qb X=1", Build(m_options, L"D:\\new\\setup.exe"));
}

TEST_F(CCommandOptionsTest, PiecesSetByTheEngineAreBuiltSafely) {
  ASSERT_TRUE(Parse(L"/qn"));
  std::wstring source;
  m_options.AppendInstallSource(&source);
  EXPECT_EQ(L"", source);
  m_options.SetInstallSource(L"C:\\my kit\\");
  m_options.AppendInstallSource(&source);
  EXPECT_EQ(L" InstallSource=\"C:\\my kit\\\"", source);

  m_options.SetTildeSwitch(1);
  EXPECT_EQ(std::wstring(kProgram) + L" /qn /~", Build(m_options));
  // Out-of-range values add nothing rather than read past a table.
  m_options.SetMode(99);
  m_options.SetTildeSwitch(-1);
  EXPECT_EQ(std::wstring(kProgram) + L" /qn", Build(m_options));
}

TEST_F(CCommandOptionsTest, MissingArgumentsAreInternalErrors) {
  EXPECT_EQ(0x80004003u, InternalErrorOf([](CCommandOptions* options) {
              options->Parse(L"", L"/qn");
            }));
  EXPECT_EQ(23, m_system.errorArea);
  EXPECT_EQ(0x80004003u, InternalErrorOf([](CCommandOptions* options) {
              options->LoadConfigurationFile(L"SETUP.DCF");  // no setup folder yet
            }));
  ASSERT_TRUE(Parse(L"/qn"));
  EXPECT_EQ(0x80004003u, InternalErrorOf([](CCommandOptions* options) {
              options->LoadConfigurationFile(L"");
            }));
  m_options.Reset();
  EXPECT_EQ(0x80004003u, InternalErrorOf([](CCommandOptions* options) {
              std::wstring out;
              options->BuildCommandLine(&out, L"");
            }));
}

}  // namespace
