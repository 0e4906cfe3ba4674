// staged_files.cpp: files written beside their final names and renamed
// over them once complete, and the removal of what killed writers left.
#include "foundation/staged_files.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <string>

#include "foundation/file_utils.h"
#include "foundation/process_identity.h"
#include "foundation/scoped_handle.h"
#include "foundation/setup_log.h"
#include "foundation/tree_deletion.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kTemporarySuffix[] = L".tmp";

bool AllHexDigits(const std::wstring& text) {
  if (text.empty() || text.size() > 8) return false;
  for (wchar_t c : text) {
    if (!iswxdigit(c)) return false;
  }
  return true;
}

// Earlier setups named their temporaries by the process id alone: any
// process that has that id now may be the writer.
bool IdMayStillRun(DWORD id) {
  CScopedHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
  if (!process.IsValid()) return GetLastError() != ERROR_INVALID_PARAMETER;
  return WaitForSingleObject(process.Get(), 0) != WAIT_OBJECT_0;
}

// Keeps the last error of the step that failed.
void DeleteQuietly(const std::wstring& path) {
  DWORD error = GetLastError();
  DeleteFileChecked(path, FALSE);
  SetLastError(error);
}

// True for a temporary's name whose writer is known to have ended.
bool IsStrayTemporaryName(const std::wstring& name) {
  size_t suffix = name.size() - wcslen(kTemporarySuffix);
  if (name.size() <= wcslen(kTemporarySuffix) || !EqualsNoCase(name.substr(suffix), kTemporarySuffix)) return false;
  std::wstring stem = name.substr(0, suffix);
  size_t dash = stem.rfind(L'-');
  if (dash == std::wstring::npos || !AllHexDigits(stem.substr(dash + 1))) return false;
  std::wstring writer = stem.substr(0, dash);
  // "<target>.<id>.<creation time>": the writer's identity.
  size_t timeDot = writer.rfind(L'.');
  size_t idDot = timeDot == std::wstring::npos || timeDot == 0 ? std::wstring::npos : writer.rfind(L'.', timeDot - 1);
  CProcessIdentity identity;
  if (idDot != std::wstring::npos && idDot > 0 && CProcessIdentity::Parse(writer.substr(idDot + 1), &identity)) {
    return !identity.IsRunning();
  }
  // "<target>.<id in hex>", as earlier setups wrote them.
  size_t dot = writer.rfind(L'.');
  if (dot == std::wstring::npos || dot == 0 || !AllHexDigits(writer.substr(dot + 1))) return false;
  return !IdMayStillRun(static_cast<DWORD>(wcstoul(writer.substr(dot + 1).c_str(), nullptr, 16)));
}

}  // namespace

CStagedFiles::~CStagedFiles() {
  for (const CStaged& staged : m_staged) DeleteQuietly(staged.temporary);
}

std::wstring CStagedFiles::TemporaryNameFor(const std::wstring& target) {
  static std::atomic<unsigned long> counter{0};
  return target + L"." + CProcessIdentity::Current().ToText() + Format(L"-%lx", ++counter) + kTemporarySuffix;
}

bool CStagedFiles::Write(const std::wstring& target,
                         const std::function<bool(const std::wstring& temporary)>& write) {
  std::wstring temporary = TemporaryNameFor(target);
  // Registered first: a writer that throws leaves nothing behind either.
  m_staged.push_back({temporary, target});
  if (write(temporary)) return true;
  DeleteQuietly(temporary);
  m_staged.pop_back();
  return false;
}

bool CStagedFiles::Copy(const std::wstring& source, const std::wstring& target) {
  return Write(target, [&source](const std::wstring& temporary) {
    return CopyFileW(source.c_str(), temporary.c_str(), TRUE) != FALSE;
  });
}

bool CStagedFiles::Commit() {
  while (!m_staged.empty()) {
    const CStaged& staged = m_staged.front();
    DWORD attributes = GetFileAttributesW(staged.target.c_str());
    // A read-only file refuses to be replaced; its new version is what counts.
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
      SetFileAttributesW(staged.target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (!MoveFileExW(staged.temporary.c_str(), staged.target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return false;
    }
    m_staged.erase(m_staged.begin());
  }
  return true;
}


void CStagedFiles::RemoveStrayTemporaries(const std::wstring& folder) {
  std::wstring base = folder.empty() || folder.back() == L'\\' ? folder : folder + L"\\";
  for (const std::wstring& name : ListFolderEntries(base, L"*.tmp", false)) {
    if (!IsStrayTemporaryName(name)) continue;
    WriteLog(L"   Removing '%s', left by a setup that ended while it wrote", (base + name).c_str());
    DeleteFileChecked(base + name, FALSE);
  }
}
