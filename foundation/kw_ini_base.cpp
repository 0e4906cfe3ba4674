// kw_ini_base.cpp: the interlocked reference count of the INI model's objects.
#include "foundation/kw_ini_base.h"

long CKwIniBase::AddRef() { return ++m_refCount; }

long CKwIniBase::Release() {
  long count = --m_refCount;
  if (count == 0) delete this;
  return count;
}
