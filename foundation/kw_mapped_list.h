#pragma once
// kw_mapped_list.h: the collection behind INI sections and lines: the items
// in file order plus a name map holding the first item added under a name.
#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/kw_enumerator.h"
#include "platform/wide_string.h"

// T is a reference-counted item class; the list holds one reference to each
// entry. Names are compared case-blind (lookup flag false) or exactly (true).
template <class T>
class CKwMappedList {
 public:
  CKwMappedList() = default;
  CKwMappedList(const CKwMappedList&) = delete;
  CKwMappedList& operator=(const CKwMappedList&) = delete;
  virtual ~CKwMappedList() {
    for (CEntry& entry : m_entries) CKwMappedList::DestroyItem(entry.item);
  }

  // An enumerator over the items as they are now, with one reference.
  virtual CKwEnumerator<T>* CreateEnumerator() const {
    std::vector<T*> items;
    items.reserve(m_entries.size());
    for (const CEntry& entry : m_entries) items.push_back(entry.item);
    return new CKwEnumerator<T>(std::move(items));
  }

  // Drops the list's reference to an item that has left the list.
  virtual void DestroyItem(T* item) {
    if (item) item->Release();
  }

  bool GetLookupFlag() const { return m_exactLookup; }
  void SetLookupFlag(bool exactLookup) {
    if (exactLookup == m_exactLookup) return;
    m_exactLookup = exactLookup;
    RebuildMap();
  }

  // Appends the item and takes a reference to it. It is mapped under `name`
  // unless the name is empty or already mapped (a duplicate: list only).
  void Add(const std::wstring& name, T* item) {
    m_entries.push_back(CEntry{item, name});
    item->AddRef();
    if (!name.empty()) m_map.emplace(MapKey(name), item);
  }

  T* Find(const std::wstring& name) const {
    if (name.empty()) return nullptr;
    auto found = m_map.find(MapKey(name));
    return found == m_map.end() ? nullptr : found->second;
  }

  bool Remove(T* item) {
    for (size_t i = 0; i < m_entries.size(); ++i) {
      if (m_entries[i].item == item) return RemoveAt(i);
    }
    return false;
  }

  // When the removed item held its name's map entry, the next item of that
  // name takes it over, as it would after saving and loading again.
  bool RemoveAt(size_t index) {
    if (index >= m_entries.size()) return false;
    CEntry removed = m_entries[index];
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(index));
    if (!removed.name.empty()) {
      std::wstring key = MapKey(removed.name);
      auto found = m_map.find(key);
      if (found != m_map.end() && found->second == removed.item) {
        m_map.erase(found);
        for (const CEntry& entry : m_entries) {
          if (!entry.name.empty() && MapKey(entry.name) == key) {
            m_map.emplace(key, entry.item);
            break;
          }
        }
      }
    }
    DestroyItem(removed.item);
    return true;
  }

  void RemoveAll() {
    std::vector<CEntry> entries;
    entries.swap(m_entries);
    m_map.clear();
    for (CEntry& entry : entries) DestroyItem(entry.item);
  }

  size_t GetCount() const { return m_entries.size(); }
  T* GetAt(size_t index) const { return index < m_entries.size() ? m_entries[index].item : nullptr; }

 private:
  struct CEntry {
    T* item;
    std::wstring name;  // empty: never mapped
  };

  // Case-blind lookup goes through lower-cased keys: the same equality as
  // comparing with each entry by EqualsNoCase, without the linear walk.
  std::wstring MapKey(const std::wstring& name) const { return m_exactLookup ? name : ToLower(name); }

  void RebuildMap() {
    m_map.clear();
    for (const CEntry& entry : m_entries) {
      if (!entry.name.empty()) m_map.emplace(MapKey(entry.name), entry.item);
    }
  }

  std::vector<CEntry> m_entries;
  std::unordered_map<std::wstring, T*> m_map;
  bool m_exactLookup = false;
};
