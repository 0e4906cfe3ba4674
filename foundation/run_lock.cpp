// run_lock.cpp: a lock that setup runs take by name, and the identity of
// the run that holds it, kept in a named memory block that lives exactly as
// long as that run holds the lock. The programs a run starts find in their
// environment which runs lend them their locks.
#include "foundation/run_lock.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "foundation/file_utils.h"
#include "foundation/text_utils.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kHolderSuffix[] = L" holder";
// "<identity>|<program path>", cut to fit, always ending with a null.
const DWORD kHolderBytes = 4096;
const size_t kHolderChars = kHolderBytes / sizeof(wchar_t) - 1;
// The identities of the runs, this one and those that started it, whose
// locks the programs this process starts may borrow, separated by ';'.
const wchar_t kLendersVariable[] = L"SETUP_LOCKS_LENT_BY";
const size_t kMostShownPathChars = 260;

std::wstring HolderName(const std::wstring& lockName) { return lockName + kHolderSuffix; }

// The local time a process was created, as the log shows times.
std::wstring StartText(uint64_t created) {
  FILETIME utc = {static_cast<DWORD>(created & 0xFFFFFFFFu), static_cast<DWORD>(created >> 32)};
  FILETIME local = {};
  SYSTEMTIME time = {};
  if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &time)) return L"at an unknown time";
  return Format(L"%04u-%02u-%02u %02u:%02u:%02u", time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute,
                time.wSecond);
}

std::wstring ReadVariable(const wchar_t* name) {
  wchar_t buffer[1024] = {};
  DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
  return length == 0 || length >= 1024 ? std::wstring() : std::wstring(buffer, length);
}

std::vector<std::wstring> Lenders() {
  std::vector<std::wstring> lenders;
  std::wstring rest = ReadVariable(kLendersVariable);
  std::wstring one;
  while (ExtractToken(&rest, &one, L";", false)) {
    if (!one.empty()) lenders.push_back(one);
  }
  return lenders;
}

// From now on the programs this process starts may borrow its locks.
void LendToStartedPrograms() {
  std::wstring self = CProcessIdentity::Current().ToText();
  std::vector<std::wstring> lenders = Lenders();
  if (std::find(lenders.begin(), lenders.end(), self) != lenders.end()) return;
  lenders.push_back(self);
  std::wstring text;
  for (const std::wstring& lender : lenders) text += (text.empty() ? L"" : L";") + lender;
  SetEnvironmentVariableW(kLendersVariable, text.c_str());
}

// The identity the lock's block gives, only when a living process has it:
// anyone may create the block first and write into it what they like.
bool ReadLivingHolder(const std::wstring& lockName, CProcessIdentity* identity) {
  CScopedHandle block(OpenFileMappingW(FILE_MAP_READ, FALSE, HolderName(lockName).c_str()));
  if (!block.IsValid()) return false;
  const wchar_t* view = static_cast<const wchar_t*>(MapViewOfFile(block.Get(), FILE_MAP_READ, 0, 0, kHolderBytes));
  if (!view) return false;
  std::wstring text(view, wcsnlen(view, kHolderChars));
  UnmapViewOfFile(view);
  return CProcessIdentity::Parse(text.substr(0, text.find(L'|')), identity) && identity->IsAlive();
}

// A path fit for one log line: no line breaks or other control characters,
// and bounded.
std::wstring Printable(const std::wstring& text) {
  std::wstring shown;
  for (wchar_t c : text) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029) continue;
    shown += c;
  }
  if (shown.size() > kMostShownPathChars) shown = shown.substr(0, kMostShownPathChars) + L"...";
  return shown;
}

}  // namespace

bool CRunLock::Acquire(const std::wstring& name, DWORD waitMilliseconds, std::wstring* holder, HANDLE cancelEvent) {
  Release();
  m_abandoned = false;
  m_cancelled = false;
  CScopedHandle mutex(CreateMutexW(nullptr, FALSE, name.c_str()));
  if (!mutex.IsValid()) {
    // An object of that name that this run may not open is someone else's: the lock is not ours now.
    DWORD error = GetLastError();
    if (holder) *holder = Format(L"a process this run may not ask (error %lu)", error);
    return false;
  }
  DWORD wait = WaitForSingleObject(mutex.Get(), 0);
  if (wait == WAIT_TIMEOUT && IsLentToThisProcess(name)) {
    m_borrowed = true;
    return true;
  }
  if (wait == WAIT_TIMEOUT && waitMilliseconds != 0) {
    HANDLE handles[] = {mutex.Get(), cancelEvent};
    wait = WaitForMultipleObjects(cancelEvent ? 2 : 1, handles, FALSE, waitMilliseconds);
    if (wait == WAIT_OBJECT_0 + 1) {
      m_cancelled = true;
      return false;
    }
  }
  // Abandoned: its holder was killed, and this run takes over.
  if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
    if (holder) *holder = DescribeLockHolder(name);
    return false;
  }
  m_abandoned = wait == WAIT_ABANDONED;
  m_mutex = std::move(mutex);
  PublishHolder(HolderName(name));
  LendToStartedPrograms();
  return true;
}

void CRunLock::Release() {
  m_borrowed = false;
  m_lender = CProcessIdentity();
  m_identity.Reset();
  if (!m_mutex.IsValid()) return;
  ReleaseMutex(m_mutex.Get());
  m_mutex.Reset();
}

// Lent only by a run that this process's environment names as a lender,
// that holds the lock now and that started this process: the environment
// alone is no proof, and a run lends nothing to a program it does not wait for.
bool CRunLock::IsLentToThisProcess(const std::wstring& name) {
  CProcessIdentity holder;
  if (!ReadLivingHolder(name, &holder)) return false;
  std::vector<std::wstring> lenders = Lenders();
  if (std::find(lenders.begin(), lenders.end(), holder.ToText()) == lenders.end()) return false;
  if (!holder.IsAncestorOfCurrent()) return false;
  m_lender = holder;
  return true;
}

// Without the block the lock holds all the same; only the other run's log
// line says less.
void CRunLock::PublishHolder(const std::wstring& name) {
  CScopedHandle block(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kHolderBytes, name.c_str()));
  if (!block.IsValid()) return;
  void* view = MapViewOfFile(block.Get(), FILE_MAP_WRITE, 0, 0, kHolderBytes);
  if (!view) return;
  std::wstring text = CProcessIdentity::Current().ToText() + L"|" + GetModuleFilePath();
  text.resize(std::min(text.size(), kHolderChars));
  memset(view, 0, kHolderBytes);
  memcpy(view, text.c_str(), text.size() * sizeof(wchar_t));
  UnmapViewOfFile(view);
  m_identity = std::move(block);
}

std::wstring DescribeLockHolder(const std::wstring& lockName) {
  CProcessIdentity identity;
  if (!ReadLivingHolder(lockName, &identity)) return L"a process that does not say which it is";
  std::wstring program = Printable(identity.ProgramPath());
  return Format(L"setup process %lu, started %s, running '%s'", static_cast<unsigned long>(identity.GetId()),
                StartText(identity.GetCreated()).c_str(), program.empty() ? L"an unknown program" : program.c_str());
}

CLocksNotLent::CLocksNotLent(bool active) : m_active(active) {
  if (!m_active) return;
  m_saved = ReadVariable(kLendersVariable);
  SetEnvironmentVariableW(kLendersVariable, nullptr);
}

CLocksNotLent::~CLocksNotLent() {
  if (m_active && !m_saved.empty()) SetEnvironmentVariableW(kLendersVariable, m_saved.c_str());
}
