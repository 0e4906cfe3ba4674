// selection_state.cpp: the lock and first-assignment rules of a choice.
#include "engine/selection_state.h"

void CSelectionState::SetCurrent(bool value, bool force) {
  if (!m_locked || force) m_current = value;
  if (!m_initialised) {
    m_saved = m_current;
    m_initialised = true;
  }
}

void CSelectionState::SetSaved(bool value, bool force) {
  if (!m_locked || force) m_saved = value;
  if (!m_initialised) {
    m_current = m_saved;
    m_initialised = true;
  }
}
