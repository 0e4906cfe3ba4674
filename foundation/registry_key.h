#pragma once
// registry_key.h: CRegistryKey, the one owner of an open registry key, with
// typed reads and writes that report failures as CError exceptions. Under
// WOW64 it looks in the 64-bit view first so 64-bit products' keys are found.
#include <windows.h>

#include <string>
#include <vector>

#include "foundation/buffer.h"
#include "foundation/error.h"

class CRegistryKey {
 public:
  // The key does not exist: context form, code 2.
  class CMissingKey : public CError {
   public:
    explicit CMissingKey(const std::wstring& text) : CError(text, ERROR_FILE_NOT_FOUND) {}
  };
  // The key lacks the value: context form, code 2.
  class CMissingValue : public CError {
   public:
    explicit CMissingValue(const std::wstring& text) : CError(text, ERROR_FILE_NOT_FOUND) {}
  };
  // The value has another type than the one asked for: the text, code 0.
  class CTypeMismatch : public CError {
   public:
    explicit CTypeMismatch(const std::wstring& text) : CError(text) {}
  };

  CRegistryKey();
  CRegistryKey(const CRegistryKey&) = delete;
  CRegistryKey& operator=(const CRegistryKey&) = delete;
  // Closes the key; a failure to close is ignored here (use Close to see it).
  virtual ~CRegistryKey();

  // Closes the key held now, then opens (or with `create` creates) the
  // subkey. Without a view in `access`, a WOW64 process tries the 64-bit view
  // first and then the 32-bit one; a key is created in the 64-bit view only.
  // Throws CMissingKey for a missing key, CError(code) otherwise.
  void Open(HKEY root, const std::wstring& subkey, REGSAM access, bool create);
  // Throws CError(code) when RegCloseKey fails; the key is closed anyway.
  void Close();
  // The open key for raw calls such as enumeration; null when none is open.
  // The key still owns it.
  HKEY GetHandle() const { return m_key; }

  DWORD GetValueDWORD(const std::wstring& name);
  std::wstring GetValueSZ(const std::wstring& name);
  void GetValueMultiSZ(const std::wstring& name, std::vector<std::wstring>* values);

  void SetValueDWORD(const std::wstring& name, DWORD value);
  void SetValueSZ(const std::wstring& name, const wchar_t* value);
  void SetValueMultiSZ(const std::wstring& name, const std::vector<std::wstring>& values);

  // One value as the key's enumeration gives it: the data as stored.
  struct CValue {
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
  };
  // The key's values in the registry's order. A value that grows while it is
  // read is passed over; the list ends at the first failure of another kind.
  std::vector<CValue> GetValues() const;

  // A value that does not exist is no error.
  void DeleteValue(const std::wstring& name);
  // Deletes the key of the last successful Open (it must have no subkeys):
  // the 32-bit view first, under WOW64 then the 64-bit view. Does nothing
  // when no key was opened.
  void DeleteKey();

 private:
  void QueryValueInfo(const std::wstring& name, DWORD* type, DWORD* size);
  void ReadValue(const std::wstring& name, DWORD expectedType, const wchar_t* mismatchText,
                 CBuffer* data, DWORD* size);

  HKEY m_key = nullptr;
  HKEY m_root = nullptr;
  BOOL m_isWow64 = FALSE;
  std::wstring m_subkey;
};

// Splits registry multi-string data into its strings. Every NUL-separated
// string within the data counts, an unterminated last one too; only trailing
// empty strings are dropped.
void MultiSzToStringArray(const CBuffer& buffer, std::vector<std::wstring>* strings);
// Lays the strings out as registry multi-string data, each with its NUL and
// one final NUL; no strings give a single NUL.
void StringArrayToMultiSz(const std::vector<std::wstring>& strings, CBuffer* buffer);
