// query_cancel_autoplay.cpp: the cancel object, its entry in the running
// object table and the AppID keys that let the shell reach it. A key that
// another program made at one of those names is never changed or deleted.
#include "engine/query_cancel_autoplay.h"

#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>

#include <iterator>
#include <string>
#include <vector>

#include "foundation/error.h"
#include "foundation/registry_key.h"
#include "foundation/setup_log.h"
#include "platform/wide_string.h"

namespace {

const wchar_t kProgramAppIdKey[] = L"SOFTWARE\\Classes\\AppID\\setup.exe";
const wchar_t kAppIdKey[] = L"SOFTWARE\\Classes\\AppID\\{E3600F8F-17EE-4ECF-950F-C1419555BE1B}";
const wchar_t kAppId[] = L"{E3600F8F-17EE-4ECF-950F-C1419555BE1B}";
const wchar_t kAppIdValue[] = L"AppID";
const wchar_t kRunAsValue[] = L"RunAs";
const wchar_t kInteractiveUser[] = L"Interactive User";
const wchar_t kProgramName[] = L"setup.exe";
// Keep the object alive, and let any client (the shell) reach it.
const DWORD kRegisterFlags = ROTFLAGS_REGISTRATIONKEEPSALIVE | ROTFLAGS_ALLOWANYCLIENT;
// The 32-bit view, where the shell looks for a 32-bit program's AppID.
const REGSAM kWriteAccess = KEY_SET_VALUE | KEY_WOW64_32KEY;

// Process-wide: the table entry and whether the suppression is on.
DWORD g_cookie = 0;
BYTE g_registered = 0;
// The registration's own COM initialisation and its thread, ended when the
// entry is revoked there; one the thread had already is not ours to end.
bool g_comInitializedHere = false;
DWORD g_comThread = 0;

HRESULT RegisterInTable(IRunningObjectTable* table, IUnknown* object, IMoniker* moniker, DWORD* cookie) {
  return table->Register(kRegisterFlags, object, moniker, cookie);
}

CancelAutoPlayRegistrar g_registrar = RegisterInTable;

// The two keys, each with the values this program writes there.
struct CAppIdKey {
  const wchar_t* path;
  const wchar_t* name;
  const wchar_t* data;
};
const CAppIdKey kAppIdKeys[] = {{kProgramAppIdKey, kAppIdValue, kAppId}, {kAppIdKey, L"", kProgramName}};
// Per key: written by this process, or left by a run of this program, and so
// removed again; another program's key is left as it was found.
bool g_ownKeys[std::size(kAppIdKeys)] = {};

// Missing, empty, or holding exactly the two values this program writes.
bool IsOurs(const CAppIdKey& appId) {
  CRegistryKey key;
  try {
    key.Open(HKEY_LOCAL_MACHINE, appId.path, KEY_READ | KEY_WOW64_32KEY, false);
    std::vector<CRegistryKey::CValue> values = key.GetValues();
    return values.empty() || (values.size() == 2 && key.GetValueSZ(appId.name) == appId.data &&
                              key.GetValueSZ(kRunAsValue) == kInteractiveUser);
  } catch (const CRegistryKey::CMissingKey&) {
    return true;
  } catch (const CError&) {
    return false;
  }
}

bool RegisterAppId() {
  try {
    for (size_t i = 0; i < std::size(kAppIdKeys); ++i) {
      g_ownKeys[i] = IsOurs(kAppIdKeys[i]);
      if (!g_ownKeys[i]) {
        WriteLog(L"   The key '%s' belongs to another program; it is left as it was", kAppIdKeys[i].path);
        continue;
      }
      CRegistryKey key;
      key.Open(HKEY_LOCAL_MACHINE, kAppIdKeys[i].path, kWriteAccess, true);
      key.SetValueSZ(kAppIdKeys[i].name, kAppIdKeys[i].data);
      key.SetValueSZ(kRunAsValue, kInteractiveUser);
    }
    WriteLog(L"   Registered AppID");
    return true;
  } catch (const CError& error) {
    WriteLog(L"   Failed to register AppID with error: %d", error.GetErrorCode());
    return false;
  }
}

bool UnregisterAppId() {
  try {
    for (size_t i = 0; i < std::size(kAppIdKeys); ++i) {
      if (!g_ownKeys[i]) continue;
      CRegistryKey key;
      try {
        key.Open(HKEY_LOCAL_MACHINE, kAppIdKeys[i].path, KEY_READ | KEY_WOW64_32KEY, false);
      } catch (const CRegistryKey::CMissingKey&) {
        continue;  // gone already: nothing to delete
      }
      key.Close();
      key.DeleteKey();
      g_ownKeys[i] = false;
    }
    WriteLog(L"   Successfully unregistered AppID");
    return true;
  } catch (const CError& error) {
    WriteLog(L"   Failed to unregister AppID with error: %d", error.GetErrorCode());
    return false;
  }
}

template <typename T>
void ReleaseInterface(T** pointer) {
  if (*pointer) (*pointer)->Release();
  *pointer = nullptr;
}

HRESULT RegisterInRunningObjectTable() {
  IMoniker* moniker = nullptr;
  HRESULT result = CreateClassMoniker(CLSID_QueryCancelAutoPlay, &moniker);
  if (FAILED(result)) return result;
  // Apartment-threaded, as the worker's own initialisation on this thread
  // later asks; another model would make that one fail.
  HRESULT initialized = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (initialized == S_OK) {
    g_comInitializedHere = true;
    g_comThread = GetCurrentThreadId();
  } else if (SUCCEEDED(initialized)) {
    CoUninitialize();  // COM was up on this thread already: the extra count is undone at once
  }
  IRunningObjectTable* table = nullptr;
  result = GetRunningObjectTable(0, &table);
  if (SUCCEEDED(result)) {
    CQueryCancelAutoplay* cancel = new CQueryCancelAutoplay();
    IUnknown* object = nullptr;
    result = cancel->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&object));
    if (SUCCEEDED(result)) result = g_registrar(table, object, moniker, &g_cookie);
    if (FAILED(result)) g_cookie = 0;
    ReleaseInterface(&object);
    cancel->Release();
  }
  ReleaseInterface(&table);
  ReleaseInterface(&moniker);
  if (FAILED(result) && g_comInitializedHere) {
    CoUninitialize();
    g_comInitializedHere = false;
  }
  return result;
}

HRESULT RevokeFromRunningObjectTable() {
  IRunningObjectTable* table = nullptr;
  HRESULT result = GetRunningObjectTable(0, &table);
  if (SUCCEEDED(result)) result = table->Revoke(g_cookie);
  ReleaseInterface(&table);
  if (g_comInitializedHere && g_comThread == GetCurrentThreadId()) {
    CoUninitialize();
    g_comInitializedHere = false;
  }
  return result;
}

}  // namespace

HRESULT CQueryCancelAutoplay::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IQueryCancelAutoPlay)) {
    *object = static_cast<IQueryCancelAutoPlay*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG CQueryCancelAutoplay::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_references)); }

ULONG CQueryCancelAutoplay::Release() {
  LONG count = InterlockedDecrement(&m_references);
  if (count == 0) delete this;
  return static_cast<ULONG>(count);
}

HRESULT CQueryCancelAutoplay::AllowAutoPlay(LPCWSTR, DWORD, LPCWSTR, DWORD) { return S_FALSE; }

bool RegisterCancelAutoPlay(bool on) {
  if (g_registered == (on ? 1 : 0)) return true;
  if (g_cookie == 0) {
    if (!on) return true;
    WriteLog(L"Attempting to register CancelAutoPlay");
    RegisterAppId();
    HRESULT result = RegisterInRunningObjectTable();
    if (SUCCEEDED(result)) {
      g_registered = 1;
      WriteLog(L"   Registered CancelAutoPlay successfully");
    } else {
      WriteLog(L"   Failed to register CancelAutoPlay with error: %d", result);
      UnregisterAppId();
    }
    return true;
  }
  if (on) return true;
  WriteLog(L"Attempting to unregister CancelAutoPlay");
  HRESULT result = RevokeFromRunningObjectTable();
  UnregisterAppId();
  if (SUCCEEDED(result)) {
    g_cookie = 0;
    g_registered = 0;
    WriteLog(L"   Unregistered CancelAutoPlay successfully");
  } else {
    WriteLog(L"   Failed to unregister CancelAutoPlay with error: %d", result);
  }
  return true;
}

void SetCancelAutoPlayRegistrar(CancelAutoPlayRegistrar registrar) {
  g_registrar = registrar ? registrar : RegisterInTable;
}
