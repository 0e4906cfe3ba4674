// install_action_references.cpp: an install action's changes to its
// product's reference count: each is made at once and journalled by the
// run's counter; a failure is logged and returned, never thrown on.
#include "actions/install_action.h"

#include <windows.h>

#include <vector>

#include "actions/ref_counter.h"
#include "actions/ref_counting.h"
#include "foundation/error.h"
#include "foundation/registry_key.h"
#include "foundation/setup_log.h"

namespace {

// ERROR_CAN_NOT_COMPLETE: the operation failed in a way the counter did not name.
const DWORD kUnknownReferenceFailure = 1003;

}  // namespace

template <typename Operation>
DWORD CInstallAction::GuardReferenceOperation(const wchar_t* failureText, Operation operation) {
  try {
    if (m_refCounter) operation(*m_refCounter);
    return ERROR_SUCCESS;
  } catch (const CRegistryKey::CMissingKey&) {
    // An uninstall that succeeded took the product's entry along: nothing is left to count.
    WriteLog(L"   Product code %s has no uninstall registry key any more; nothing to count", m_productCode.c_str());
    return ERROR_SUCCESS;
  } catch (const CError& error) {
    WriteLog(L"%s", error.GetMessage().c_str());
    DWORD code = error.GetErrorCode();
    // A product without its Uninstall entry has nothing to count.
    if (code == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    // An error without a code must still fail the run.
    return code == ERROR_SUCCESS ? kUnknownReferenceFailure : code;
  } catch (...) {
    WriteLog(failureText, GetActionName().c_str(), m_productCode.c_str());
    return kUnknownReferenceFailure;
  }
}

DWORD CInstallAction::AddDateTimeStamp(time_t time) {
  if (!m_runsProductPackage) return ERROR_SUCCESS;
  if (m_productCode.empty()) {
    WriteLog(L"   Action '%s' has no product code, adding the date time stamp is not possible.",
             GetActionName().c_str());
    return ERROR_SUCCESS;
  }
  WriteLog(L"   Adding date time stamp for product code %s.", m_productCode.c_str());
  return GuardReferenceOperation(
      L"   Failed to add date time stamp for product %s with product code %s.",
      [&](IRefCounting& counter) { counter.AddDateTimeStamp(m_productCode, time); });
}

DWORD CInstallAction::RecordInstallFolders() {
  if (!m_runsProductPackage || m_uninstall || m_repair || m_productCode.empty() || m_installFolders.empty()) {
    return ERROR_SUCCESS;
  }
  WriteLog(L"   Recording the folders of product code %s: %s", m_productCode.c_str(), m_installFolders.c_str());
  return GuardReferenceOperation(
      L"   Failed to record the folders of product %s with product code %s.",
      [&](IRefCounting& counter) { counter.RecordInstallFolders(m_productCode, m_installFolders); });
}

DWORD CInstallAction::AddReference(const std::wstring& suite) { return AddReferenceTo(suite, m_productCode); }

DWORD CInstallAction::AddReferenceTo(const std::wstring& suite, const std::wstring& key) {
  if (!m_runsProductPackage) return ERROR_SUCCESS;
  if (key.empty()) {
    WriteLog(L"   Action '%s' has no product code, reference counting is not possible.",
             GetActionName().c_str());
    return ERROR_SUCCESS;
  }
  WriteLog(L"   Adding reference for suite %s for product code %s.", suite.c_str(), key.c_str());
  return GuardReferenceOperation(L"   Failed to add reference for product %s with product code %s.",
                                 [&](IRefCounting& counter) { counter.AddReference(suite, key, false); });
}

DWORD CInstallAction::ReleaseReference(const std::wstring& suite) {
  if (!m_runsProductPackage) return ERROR_SUCCESS;
  if (m_productCode.empty()) {
    WriteLog(L"ReleaseReference: action '%s' has no product code, reference counting is not possible.",
             GetActionName().c_str());
    return ERROR_SUCCESS;
  }
  WriteLog(L"ReleaseReference: processing action '%s' with product code '%s'.",
           GetActionName().c_str(), m_productCode.c_str());
  WriteLog(L"Releasing reference for suite %s in action %s.", suite.c_str(), GetActionName().c_str());
  return GuardReferenceOperation(
      L"   Failed to release reference for product %s with product code %s.",
      [&](IRefCounting& counter) { counter.ReleaseReference(suite, m_productCode, false); });
}

DWORD CInstallAction::ReleaseAllReferences() {
  if (!m_runsProductPackage) return ERROR_SUCCESS;
  if (m_productCode.empty()) {
    WriteLog(L"ReleaseAllReferences: action '%s' has no product code, reference counting is not "
             L"possible.",
             GetActionName().c_str());
    return ERROR_SUCCESS;
  }
  WriteLog(L"ReleaseAllReferences: processing action '%s' with product code '%s'.",
           GetActionName().c_str(), m_productCode.c_str());
  WriteLog(L"Releasing all references in action '%s'.", GetActionName().c_str());
  return GuardReferenceOperation(
      L"   Failed to release the references of product %s with product code %s.",
      [&](IRefCounting& counter) {
        std::vector<std::wstring> users;
        size_t count = static_cast<size_t>(counter.ReadUsers(m_productCode, &users));
        for (size_t i = 0; i < count && i < users.size(); ++i) {
          counter.ReleaseReference(users[i], m_productCode, false);
        }
      });
}

DWORD CInstallAction::RecordReplacedProducts(const std::vector<std::wstring>& codes) {
  if (!m_runsProductPackage || m_productCode.empty() || codes.empty()) return ERROR_SUCCESS;
  return GuardReferenceOperation(
      L"   Failed to record the products that product %s with product code %s replaced.",
      [&](IRefCounting&) { CRefCounter::RecordReplacedProducts(m_productCode, codes); });
}
