// command_options_fuzzer.cpp: parses arbitrary text as a command line, builds
// it back and parses that again. An accepted line must come back as the same
// model and the same text; a rejected one must leave a reset model; nothing
// may crash.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "actions/command_options.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"
#include "tests/actions/fake_command_options_system.h"

namespace {

const wchar_t kFolder[] = L"C:\\kit\\";
const size_t kMaxCommandLineLength = 8191;

void Check(bool condition, const char* what) {
  if (condition) return;
  fprintf(stderr, "command options invariant broken: %s\n", what);
  abort();
}

std::wstring WithoutProgram(std::wstring line) {
  std::wstring program;
  ExtractToken(&line, &program, L" ", false);
  return line;
}

// A bare word is handed on where the builder puts the pass-through entries,
// which may leave it last or first: such a line is not expected to come back.
bool HasBareWord(const CCommandOptions& options) {
  std::wstring entries;
  options.AppendPassThroughSwitches(&entries);
  std::wstring entry;
  while (ExtractToken(&entries, &entry, L" ", false)) {
    if (!entry.empty() && entry[0] != L'/') return true;
  }
  return false;
}

std::wstring Piece(const CCommandOptions& options,
                   void (CCommandOptions::*append)(std::wstring*) const) {
  std::wstring out;
  (options.*append)(&out);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CFakeCommandOptionsSystem system;
  if (size > 0 && (data[0] & 1)) system.environment[L"KWSETUP"] = L"{TEMP_FOLDER}fuzz.log";
  std::wstring line;
  for (size_t i = 1; i < size; ++i) line += static_cast<wchar_t>(data[i]);

  CCommandOptions first(&system);
  bool parsed = first.Parse(kFolder, line);
  std::wstring built;
  first.BuildCommandLine(&built, L"C:\\other\\setup.exe");
  if (!parsed) {
    Check(!first.GetParseFailure().empty(), "a rejected line has a reason");
    Check(first.GetMode() == 0 && first.GetUILevel() == 0 && first.GetRebootOption() == 0 &&
              first.GetTildeSwitch() == 0 && first.GetSetupFolder().empty(),
          "a rejected line leaves a reset model");
    Check(built == L"\"C:\\other\\setup.exe\"", "a reset model builds nothing");
    return 0;
  }
  Check(first.GetUILevel() >= 0 && first.GetUILevel() <= 8, "interface level in range");
  Check(first.GetRebootOption() >= 0 && first.GetRebootOption() <= 4, "REBOOT in range");
  Check(first.GetMode() >= 0 && first.GetMode() <= 7, "mode in range");
  first.BuildCommandLine(&built, L"");
  if (HasBareWord(first)) return 0;
  std::wstring arguments = WithoutProgram(built);
  if (arguments.size() > kMaxCommandLineLength) return 0;

  CCommandOptions second(&system);
  Check(second.Parse(kFolder, arguments), "the rebuilt line is accepted");
  std::wstring rebuilt;
  second.BuildCommandLine(&rebuilt, L"");
  Check(rebuilt == built, "the rebuilt line builds the same text");
  Check(second.GetMode() == first.GetMode(), "same mode");
  Check(second.GetUILevel() == first.GetUILevel(), "same interface level");
  Check(second.GetRebootOption() == first.GetRebootOption(), "same REBOOT");
  Check(second.GetTildeSwitch() == first.GetTildeSwitch(), "same restart marker");
  Check(second.GetPackage() == first.GetPackage(), "same package");
  Check(second.GetReinstallMode() == first.GetReinstallMode(), "same reinstall mode");
  Check(EqualsNoCase(second.GetConfigurationFileName(), first.GetConfigurationFileName()),
        "same configuration file");
  Check(Piece(second, &CCommandOptions::AppendProperties) ==
            Piece(first, &CCommandOptions::AppendProperties),
        "same properties");
  Check(Piece(second, &CCommandOptions::AppendPassThroughSwitches) ==
            Piece(first, &CCommandOptions::AppendPassThroughSwitches),
        "same pass-through switches");
  Check(Piece(second, &CCommandOptions::AppendLogSwitch) ==
            Piece(first, &CCommandOptions::AppendLogSwitch),
        "same log switch");
  return 0;
}
