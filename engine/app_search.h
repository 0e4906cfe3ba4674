#pragma once
// app_search.h: CAppSearch, the small search language of a product's
// AppSearch key: registry and file tests whose first success sets a
// property, before the product's condition reads it.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class CSetupState;

class CAppSearch {
 public:
  // All tests failed and no "ret,false" came first.
  static const DWORD kSearchFailed = 1168;

  using Expander = std::function<std::wstring(const std::wstring&)>;

  // Properties are read from and written to `state`; `expand` resolves the
  // {Name} macros of each test's second field.
  CAppSearch(CSetupState& state, Expander expand);

  // Runs the program held in the property `name`: 0 when a test succeeded,
  // else 1168 (or 0 after "ret,false").
  DWORD Run(const std::wstring& name);

  // The property `name` becomes `value`, or `fallback` when the value is
  // empty; an empty name sets nothing.
  void SetSearchResultProperty(const std::wstring& name, const std::wstring& value,
                               const std::wstring& fallback);

  // The program's tests, each its fields: ";" between tests, "," between
  // fields, quotes kept and protecting both; at most four fields, ending at
  // the first empty one.
  static std::vector<std::vector<std::wstring>> ParseProgram(const std::wstring& program);

 private:
  struct CSearch {
    std::wstring resultProperty;
    std::wstring fallback;
    DWORD failureCode = kSearchFailed;
  };

  DWORD RunNested(const std::wstring& name);
  DWORD RunDependencies(const std::wstring& names);
  bool RegistryTest(const std::vector<std::wstring>& fields, std::wstring* result);
  bool ReadRegistryValue(HKEY key, const std::wstring& keyText, const std::vector<std::wstring>& fields,
                         std::wstring* result);
  bool FileTest(const std::vector<std::wstring>& fields, std::wstring* result);

  CSetupState& m_state;
  Expander m_expand;
  // The searches running now, outermost first: a "dep" naming one of them
  // would never end.
  std::vector<std::wstring> m_running;
};
