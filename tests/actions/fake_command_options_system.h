#pragma once
// fake_command_options_system.h: a scripted system for the command-line
// model: environment values from a map, a predictable log-name expansion,
// recorded configuration loads, and internal errors thrown as the real report
// throws them.
#include <map>
#include <string>
#include <vector>

#include "actions/command_options_system.h"
#include "platform/wide_string.h"

class CFakeCommandOptionsSystem : public CCommandOptionsSystem {
 public:
  std::map<std::wstring, std::wstring> environment;
  std::vector<std::wstring> loadedFiles;  // folder and file name joined
  int loadResult = 0;
  unsigned short errorArea = 0;

  std::wstring GetLogPathFromEnvironment(const std::wstring& variableName) override {
    auto found = environment.find(variableName);
    return found == environment.end() ? std::wstring() : found->second;
  }

  // Like the real expansion in the parts that matter here, and like it gives
  // the same text when applied twice.
  std::wstring ExpandLogFileName(const std::wstring& path) override {
    std::wstring result = ReplaceAll(path, L"{TEMP_FOLDER}", L"C:\\temp\\");
    if (result.size() < 2 || result[1] != L':') result = L"C:\\" + result;
    return result;
  }

  int LoadSetupConfig(CSetupConfig* /*config*/, const std::wstring& folder,
                      const std::wstring& fileName) override {
    loadedFiles.push_back(folder + fileName);
    return loadResult;
  }

  void ReportInternalError(unsigned short area, unsigned long code) override {
    errorArea = area;
    throw code;
  }
};
