// run_lock.cpp: a lock that setup runs take by name, and the identity of
// the run that holds it, kept in a named memory block that lives exactly as
// long as that run holds the lock.
#include "foundation/run_lock.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "foundation/file_utils.h"
#include "foundation/process_identity.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kHolderSuffix[] = L" holder";
// "<identity>|<program path>", cut to fit, always ending with a null.
const DWORD kHolderBytes = 4096;
const size_t kHolderChars = kHolderBytes / sizeof(wchar_t) - 1;

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

}  // namespace

bool CRunLock::Acquire(const std::wstring& name, DWORD waitMilliseconds, std::wstring* holder) {
  Release();
  m_abandoned = false;
  CScopedHandle mutex(CreateMutexW(nullptr, FALSE, name.c_str()));
  if (!mutex.IsValid()) {
    // An object of that name that this run may not open is someone else's: the lock is not ours now.
    DWORD error = GetLastError();
    if (holder) *holder = Format(L"a process this run may not ask (error %lu)", error);
    return false;
  }
  DWORD wait = WaitForSingleObject(mutex.Get(), waitMilliseconds);
  // Abandoned: its holder was killed, and this run takes over.
  if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
    if (holder) *holder = ReadHolder(HolderName(name));
    return false;
  }
  m_abandoned = wait == WAIT_ABANDONED;
  m_mutex = std::move(mutex);
  PublishHolder(HolderName(name));
  return true;
}

void CRunLock::Release() {
  m_identity.Reset();
  if (!m_mutex.IsValid()) return;
  ReleaseMutex(m_mutex.Get());
  m_mutex.Reset();
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

std::wstring CRunLock::ReadHolder(const std::wstring& name) {
  const std::wstring unknown = L"a run that has not named itself yet";
  CScopedHandle block(OpenFileMappingW(FILE_MAP_READ, FALSE, name.c_str()));
  if (!block.IsValid()) return unknown;
  const wchar_t* view = static_cast<const wchar_t*>(MapViewOfFile(block.Get(), FILE_MAP_READ, 0, 0, kHolderBytes));
  if (!view) return unknown;
  std::wstring text(view, wcsnlen(view, kHolderChars));
  UnmapViewOfFile(view);
  size_t bar = text.find(L'|');
  CProcessIdentity identity;
  if (bar == std::wstring::npos || !CProcessIdentity::Parse(text.substr(0, bar), &identity)) return unknown;
  return Format(L"setup process %lu, started %s, running '%s'", static_cast<unsigned long>(identity.GetId()),
                StartText(identity.GetCreated()).c_str(), text.substr(bar + 1).c_str());
}
