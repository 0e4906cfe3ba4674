#pragma once
// kw_enumerator.h: a forward enumerator over the items of an INI collection.
#include <cstddef>
#include <vector>

#include "foundation/kw_ini_base.h"

// Works on a snapshot of the collection taken at creation and holds a
// reference to every item, so the items it hands out stay valid while it
// lives, even when the collection changes or goes away.
template <class T>
class CKwEnumerator : public CKwIniBase {
 public:
  explicit CKwEnumerator(std::vector<T*> items) : m_items(std::move(items)) {
    for (T* item : m_items) item->AddRef();
  }

  // Copies up to `count` items from the current position and advances past
  // them; the items get no extra reference. True only when all `count` were
  // copied. `fetched` may be null only when count is 1; a null array fails.
  bool Next(unsigned long count, T** items, unsigned long* fetched) {
    if (fetched) *fetched = 0;
    if (!items || (!fetched && count != 1)) return false;
    unsigned long copied = 0;
    while (copied < count && m_position < m_items.size()) items[copied++] = m_items[m_position++];
    if (fetched) *fetched = copied;
    return copied == count;
  }

  bool Reset() {
    m_position = 0;
    return true;
  }

 protected:
  ~CKwEnumerator() override {
    for (T* item : m_items) item->Release();
  }

 private:
  std::vector<T*> m_items;
  size_t m_position = 0;
};
