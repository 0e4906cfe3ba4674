#pragma once
// selection_state.h: one user choice (a product or feature selected, a
// shortcut wanted) with the value to revert to, a lock and a hidden flag.
// Pure logic.

class CSelectionState {
 public:
  CSelectionState() = default;
  CSelectionState(const CSelectionState& other) = default;
  CSelectionState& operator=(const CSelectionState& other) = default;

  // Ignored while locked unless forced. The first assignment of either
  // value sets the other too, even when locked (then with the value held).
  void SetCurrent(bool value, bool force);
  void SetSaved(bool value, bool force);
  // Current := saved, lock or no lock.
  void RevertToSaved() { m_current = m_saved; }
  void Reset() { *this = CSelectionState(); }
  void CopyFrom(const CSelectionState& other) { *this = other; }

  bool IsCurrent() const { return m_current; }
  bool IsSaved() const { return m_saved; }
  bool IsLocked() const { return m_locked; }
  bool IsHidden() const { return m_hidden; }
  bool IsInitialised() const { return m_initialised; }
  void SetLocked(bool locked) { m_locked = locked; }
  void SetHidden(bool hidden) { m_hidden = hidden; }

 private:
  bool m_current = false;
  bool m_saved = false;
  bool m_locked = false;
  bool m_hidden = false;
  bool m_initialised = false;
};
