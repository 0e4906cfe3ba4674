// process_identity.cpp: a process's id and creation time, written as text and
// compared with the process that has the id now.
#include "foundation/process_identity.h"

#include <windows.h>
#include <tlhelp32.h>

#include <map>

#include "foundation/scoped_handle.h"
#include "platform/wide_string.h"

namespace {

const size_t kCreatedDigits = 16;
// PROCESS_QUERY_LIMITED_INFORMATION, which the headers give only for newer systems.
const DWORD kQueryLimitedInformation = 0x1000;

// The value of a hexadecimal digit, either case; -1 for anything else.
int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  return -1;
}

uint64_t ToNumber(const FILETIME& time) {
  return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Opened with the least right that tells its times and program; the limited right
// reaches an elevated process too, and XP knows only the full one.
HANDLE OpenForQuery(DWORD id) {
  HANDLE process = OpenProcess(kQueryLimitedInformation | SYNCHRONIZE, FALSE, id);
  if (!process && GetLastError() == ERROR_ACCESS_DENIED) {
    process = OpenProcess(PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE, id);
  }
  return process;
}

bool CreationTime(HANDLE process, uint64_t* created) {
  FILETIME creation = {};
  FILETIME exit = {};
  FILETIME kernel = {};
  FILETIME user = {};
  if (!GetProcessTimes(process, &creation, &exit, &kernel, &user)) return false;
  *created = ToNumber(creation);
  return true;
}

}  // namespace

CProcessIdentity CProcessIdentity::Current() {
  uint64_t created = 0;
  CreationTime(GetCurrentProcess(), &created);
  return CProcessIdentity(GetCurrentProcessId(), created);
}

std::wstring CProcessIdentity::ToText() const {
  unsigned long high = static_cast<unsigned long>(m_created >> 32);
  unsigned long low = static_cast<unsigned long>(m_created & 0xFFFFFFFFu);
  return Format(L"%lu.%08lX%08lX", static_cast<unsigned long>(m_id), high, low);
}

bool CProcessIdentity::Parse(const std::wstring& text, CProcessIdentity* identity) {
  size_t dot = text.find(L'.');
  if (dot == 0 || dot == std::wstring::npos || dot > 10) return false;
  if (text.size() - dot - 1 != kCreatedDigits) return false;
  uint64_t id = 0;
  for (size_t i = 0; i < dot; ++i) {
    int digit = HexDigit(text[i]);
    if (digit < 0 || digit > 9) return false;
    id = id * 10 + static_cast<uint64_t>(digit);
  }
  if (id > 0xFFFFFFFFu) return false;
  uint64_t created = 0;
  for (size_t i = dot + 1; i < text.size(); ++i) {
    int digit = HexDigit(text[i]);
    if (digit < 0) return false;
    created = (created << 4) | static_cast<uint64_t>(digit);
  }
  *identity = CProcessIdentity(static_cast<DWORD>(id), created);
  return true;
}

bool CProcessIdentity::IsRunning() const {
  CScopedHandle process(OpenForQuery(m_id));
  DWORD error = GetLastError();
  if (!process.IsValid()) {
    // Only "no such process" says it is gone; a process that denies access
    // may well be the run.
    return error != ERROR_INVALID_PARAMETER;
  }
  if (WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0) return false;
  uint64_t created = 0;
  if (!CreationTime(process.Get(), &created)) return true;
  return created == m_created;
}

namespace {

// The parent's id of every process, from one snapshot.
std::map<DWORD, DWORD> ParentIds() {
  std::map<DWORD, DWORD> parents;
  CScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.IsValid()) return parents;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
    parents[entry.th32ProcessID] = entry.th32ParentProcessID;
  }
  return parents;
}

}  // namespace

bool CProcessIdentity::IsAlive() const {
  CScopedHandle process(OpenForQuery(m_id));
  if (!process.IsValid() || WaitForSingleObject(process.Get(), 0) != WAIT_TIMEOUT) return false;
  uint64_t created = 0;
  return CreationTime(process.Get(), &created) && created == m_created;
}

std::wstring CProcessIdentity::ProgramPath() const {
  using QueryImageFunction = BOOL(WINAPI*)(HANDLE, DWORD, wchar_t*, DWORD*);
  // Windows Vista and later; kernel32 is always the system's own copy.
  auto query = reinterpret_cast<QueryImageFunction>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "QueryFullProcessImageNameW"));
  CScopedHandle process(OpenForQuery(m_id));
  if (!query || !process.IsValid()) return std::wstring();
  wchar_t path[MAX_PATH * 2] = {};
  DWORD length = MAX_PATH * 2;
  if (!query(process.Get(), 0, path, &length)) return std::wstring();
  return std::wstring(path, length);
}

// A parent is trusted only while it runs and was created before its child:
// an ended parent's id may belong to another process by now.
bool CProcessIdentity::IsAncestorOfCurrent() const {
  const int kMostGenerations = 32;
  std::map<DWORD, DWORD> parents = ParentIds();
  CProcessIdentity child = Current();
  for (int generation = 0; generation < kMostGenerations; ++generation) {
    auto found = parents.find(child.m_id);
    if (found == parents.end() || found->second == 0 || found->second == child.m_id) return false;
    DWORD parentId = found->second;
    CScopedHandle parent(OpenForQuery(parentId));
    uint64_t created = 0;
    if (!parent.IsValid() || WaitForSingleObject(parent.Get(), 0) != WAIT_TIMEOUT ||
        !CreationTime(parent.Get(), &created) || created > child.m_created) {
      return false;
    }
    if (parentId == m_id) return created == m_created;
    child = CProcessIdentity(parentId, created);
  }
  return false;
}
