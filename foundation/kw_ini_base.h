#pragma once
// kw_ini_base.h: the interlocked reference count shared by the INI model's
// objects, and a releasing owner for one reference.
#include <atomic>
#include <memory>

// Made with one reference, owned by the creator. Release deletes the object
// when the last reference goes.
class CKwIniBase {
 public:
  CKwIniBase(const CKwIniBase&) = delete;
  CKwIniBase& operator=(const CKwIniBase&) = delete;

  // Both return the new count.
  virtual long AddRef();
  virtual long Release();

 protected:
  CKwIniBase() = default;
  virtual ~CKwIniBase() = default;

 private:
  std::atomic<long> m_refCount{1};
};

struct CKwIniReleaser {
  void operator()(CKwIniBase* object) const {
    if (object) object->Release();
  }
};

// Owns one reference: `CKwIniPtr<CKwIniSection> section(sections->CreateSection());`
template <class T>
using CKwIniPtr = std::unique_ptr<T, CKwIniReleaser>;
