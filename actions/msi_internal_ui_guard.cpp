// msi_internal_ui_guard.cpp: MsiSetInternalUI for one scope.
#include "actions/msi_internal_ui_guard.h"

#include <windows.h>
#include <msi.h>

// The owner window is left alone (null): only the level changes. A refused
// level gives INSTALLUILEVEL_NOCHANGE, which restores nothing.
CMsiInternalUIGuard::CMsiInternalUIGuard(INSTALLUILEVEL level)
    : m_previous(MsiSetInternalUI(level, nullptr)) {}

CMsiInternalUIGuard::~CMsiInternalUIGuard() {
  if (m_previous != INSTALLUILEVEL_NOCHANGE) MsiSetInternalUI(m_previous, nullptr);
}
