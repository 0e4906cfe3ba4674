// folder_security.cpp: a folder with permissions of its own. Under the
// common application data folder every user may add files to the folders
// made there; a folder whose files an administrator runs later must not let
// them.
#include "foundation/folder_security.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/file_utils.h"
#include "foundation/scoped_handle.h"

namespace {

// Owner Administrators; Administrators and SYSTEM full control, everyone
// read and execute, each for the folder, its folders and its files; the list
// protected from what the parent would hand down.
const wchar_t kAdministratorsOnly[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;WD)";

struct CLocalFree {
  void operator()(void* memory) const { LocalFree(memory); }
};
using CSecurityDescriptor = std::unique_ptr<void, CLocalFree>;

DWORD SetFolderSecurity(HANDLE folder, PSECURITY_DESCRIPTOR descriptor) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  BOOL defaulted = FALSE;
  BOOL present = FALSE;
  if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ||
      !GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted)) {
    return GetLastError();
  }
  // The owner too: whoever made the folder could otherwise give themselves
  // back what the list takes away.
  return SetSecurityInfo(folder, SE_FILE_OBJECT,
                         OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                         owner, nullptr, dacl, nullptr);
}

// The account this process runs as.
bool IsOwnAccount(PSID sid) {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  CScopedHandle token(raw);
  std::vector<BYTE> user(256);
  DWORD size = 0;
  if (!GetTokenInformation(token.Get(), TokenUser, user.data(), static_cast<DWORD>(user.size()), &size)) {
    user.resize(size);
    if (!GetTokenInformation(token.Get(), TokenUser, user.data(), size, &size)) return false;
  }
  return EqualSid(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, sid) != FALSE;
}

DWORD MakeDescriptor(CSecurityDescriptor* descriptor) {
  PSECURITY_DESCRIPTOR raw = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdministratorsOnly, SDDL_REVISION_1, &raw,
                                                            nullptr)) {
    return GetLastError();
  }
  descriptor->reset(raw);
  return ERROR_SUCCESS;
}

}  // namespace

DWORD CreateAdministratorsOnlyFolder(const std::wstring& folder) {
  CSecurityDescriptor descriptor;
  DWORD made = MakeDescriptor(&descriptor);
  if (made != ERROR_SUCCESS) return made;
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.get(), FALSE};
  // A link standing at the name is found as existing too: nothing is made through it.
  return CreateDirectoryW(folder.c_str(), &attributes) ? ERROR_SUCCESS : GetLastError();
}

DWORD MakeAdministratorsOnlyFolder(const std::wstring& folder) {
  CSecurityDescriptor descriptor;
  DWORD made = MakeDescriptor(&descriptor);
  if (made != ERROR_SUCCESS) return made;
  PSECURITY_DESCRIPTOR raw = descriptor.get();
  std::wstring path = folder;
  while (path.size() > 1 && path.back() == L'\\') path.pop_back();
  size_t lastSlash = path.find_last_of(L'\\');
  if (lastSlash != std::wstring::npos && lastSlash > 0 &&
      !CreateDirectoryTree(path.substr(0, lastSlash), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    return GetLastError();
  }
  // Made with its permissions, so nobody can put a file in it before they apply.
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), raw, FALSE};
  if (CreateDirectoryW(path.c_str(), &attributes)) return ERROR_SUCCESS;
  DWORD error = GetLastError();
  if (error != ERROR_ALREADY_EXISTS) return error;
  CScopedHandle existing(OpenPlainFolder(path, READ_CONTROL | WRITE_DAC | WRITE_OWNER));
  if (!existing.IsValid()) return GetLastError();
  return SetFolderSecurity(existing.Get(), raw);
}

DWORD SecureOpenFolder(HANDLE folder) {
  CSecurityDescriptor descriptor;
  DWORD made = MakeDescriptor(&descriptor);
  return made != ERROR_SUCCESS ? made : SetFolderSecurity(folder, descriptor.get());
}

bool IsOwnedByAdministrators(HANDLE folder) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR raw = nullptr;
  if (GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr, &raw) !=
      ERROR_SUCCESS) {
    return false;
  }
  CSecurityDescriptor descriptor(raw);
  return owner && (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) || IsWellKnownSid(owner, WinLocalSystemSid) ||
                   IsOwnAccount(owner));
}
