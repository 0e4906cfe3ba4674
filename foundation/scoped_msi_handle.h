#pragma once
// scoped_msi_handle.h: the one owner of a Windows Installer handle
// (database, package, view, record or summary information).
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

class CScopedMsiHandle {
 public:
  CScopedMsiHandle() = default;
  explicit CScopedMsiHandle(MSIHANDLE handle) : m_handle(handle) {}
  CScopedMsiHandle(const CScopedMsiHandle&) = delete;
  CScopedMsiHandle& operator=(const CScopedMsiHandle&) = delete;
  ~CScopedMsiHandle() { Reset(); }

  MSIHANDLE Get() const { return m_handle; }
  // For the Msi*W calls that hand a new handle out.
  MSIHANDLE* Receive() {
    Reset();
    return &m_handle;
  }
  bool IsValid() const { return m_handle != 0; }
  void Reset(MSIHANDLE handle = 0) {
    if (m_handle) MsiCloseHandle(m_handle);
    m_handle = handle;
  }

 private:
  MSIHANDLE m_handle = 0;
};
