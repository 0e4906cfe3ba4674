#pragma once
// containers.h: the small container family the parser generator and the LR
// driver are written with. Each kind adds one way of use to the one before:
// a list is searched and appended to, a stack pushes and pops at its top, a
// queue takes from the far end, and a set keeps each element once.

#include <cstddef>
#include <deque>
#include <utility>

// Elements in order; a deque keeps references stable while elements are added
// at either end.
template <class T>
class tLinkedList {
 public:
  virtual ~tLinkedList() = default;

  size_t GetCount() const { return m_items.size(); }
  bool IsEmpty() const { return m_items.empty(); }
  void RemoveAll() { m_items.clear(); }

  T& operator[](size_t index) { return m_items[index]; }
  const T& operator[](size_t index) const { return m_items[index]; }
  typename std::deque<T>::iterator begin() { return m_items.begin(); }
  typename std::deque<T>::iterator end() { return m_items.end(); }
  typename std::deque<T>::const_iterator begin() const { return m_items.begin(); }
  typename std::deque<T>::const_iterator end() const { return m_items.end(); }

 protected:
  std::deque<T> m_items;
};

template <class T>
class tList : public tLinkedList<T> {
 public:
  static constexpr size_t kNotFound = static_cast<size_t>(-1);

  // Position of the first element equal to `item`, or kNotFound.
  size_t Find(const T& item) const {
    for (size_t i = 0; i < this->m_items.size(); ++i) {
      if (this->m_items[i] == item) return i;
    }
    return kNotFound;
  }
  void Append(T item) { this->m_items.push_back(std::move(item)); }
};

template <class T>
class tStack : public tList<T> {
 public:
  void Push(T item) { this->m_items.push_back(std::move(item)); }
  T Pop() {
    T item = std::move(this->m_items.back());
    this->m_items.pop_back();
    return item;
  }
  T& Top() { return this->m_items.back(); }
  const T& Top() const { return this->m_items.back(); }
};

template <class T>
class tQueue : public tStack<T> {
 public:
  void Enqueue(T item) { this->m_items.push_back(std::move(item)); }
  T Dequeue() {
    T item = std::move(this->m_items.front());
    this->m_items.pop_front();
    return item;
  }
};

template <class T>
class tSet : public tQueue<T> {
 public:
  // Appends `item` unless an equal element is present; returns the position
  // of the element, and in *added whether it is new.
  size_t Insert(T item, bool* added = nullptr) {
    size_t found = this->Find(item);
    if (added) *added = found == tList<T>::kNotFound;
    if (found != tList<T>::kNotFound) return found;
    this->m_items.push_back(std::move(item));
    return this->m_items.size() - 1;
  }
  bool Contains(const T& item) const { return this->Find(item) != tList<T>::kNotFound; }
};
