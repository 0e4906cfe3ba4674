#pragma once
// staged_files.h: CStagedFiles writes files that others rely on (the
// suite's cache, configuration files) so that each is replaced whole or
// not at all: every new version is first written beside its final name and
// takes that name only when complete. A killed writer leaves the old files
// and temporaries that name it, which a later run removes.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class CStagedFiles {
 public:
  CStagedFiles() = default;
  CStagedFiles(const CStagedFiles&) = delete;
  CStagedFiles& operator=(const CStagedFiles&) = delete;
  // Temporaries not committed go.
  ~CStagedFiles();

  // Fills a temporary beside `target` through `write`, which gets its path.
  // False, the temporary gone, when `write` fails (last error as it left it).
  bool Write(const std::wstring& target, const std::function<bool(const std::wstring& temporary)>& write);
  // The same with a copy of `source`.
  bool Copy(const std::wstring& source, const std::wstring& target);
  // Each staged file takes its final name, in the order staged, read-only
  // targets included. Stops at the first failure, with its last error; the
  // files not replaced keep their old version.
  bool Commit();

  // The temporary's name for `target`: "<target>.<writer's identity>-<n>.tmp".
  static std::wstring TemporaryNameFor(const std::wstring& target);
  // Deletes in `folder` (not below it) the temporaries of writers that have
  // ended, killed or not; those of a running writer stay.
  static void RemoveStrayTemporaries(const std::wstring& folder);

 private:
  struct CStaged {
    std::wstring temporary;
    std::wstring target;
  };
  std::vector<CStaged> m_staged;
};
