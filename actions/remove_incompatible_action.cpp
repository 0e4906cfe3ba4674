// remove_incompatible_action.cpp: the texts and the silent answer of an
// incompatible product's removal.
#include "actions/remove_incompatible_action.h"

#include <windows.h>

#include "actions/uninstall_entry.h"
#include "foundation/resource_strings.h"
#include "platform/wide_string.h"
#include "resources/resource_ids.h"

namespace {

const wchar_t kProductNameField[] = L"_PRODUCT_NAME_";

}  // namespace

CRemoveIncompatibleAction::CRemoveIncompatibleAction(int sequence, const std::wstring& name,
                                                     const std::wstring& uninstallKey)
    : CRemoveAction(sequence, name, uninstallKey) {}

std::wstring CRemoveIncompatibleAction::GetProductName() {
  std::wstring name;
  std::wstring command;
  if (ReadUninstallNameAndCommand(GetUninstallKey(), &name, &command) || !name.empty()) return name;
  return LoadResourceString(IDS_UNKNOWN_PRODUCT);
}

std::wstring CRemoveIncompatibleAction::GetPromptText() {
  UINT id = GetRefusal() == kIgnore ? IDS_REMOVE_INCOMPATIBLE_OPTIONAL : IDS_REMOVE_INCOMPATIBLE;
  return ExpandText(LoadResourceString(id));
}

std::wstring CRemoveIncompatibleAction::ExpandText(const std::wstring& text) {
  if (text.find(kProductNameField) == std::wstring::npos) return text;
  return ReplaceAll(text, kProductNameField, GetProductName());
}

std::wstring CRemoveIncompatibleAction::GetTitleText() {
  return LoadResourceString(IDS_WARNING_CAPTION);
}

int CRemoveIncompatibleAction::GetRemovalKind() { return IDNO; }
