#pragma once
// remove_incompatible_action.h: CRemoveIncompatibleAction, the removal of a
// product that cannot live beside this suite. A run that does not ask keeps
// it.
#include <string>

#include "actions/remove_action.h"

class CRemoveIncompatibleAction : public CRemoveAction {
 public:
  CRemoveIncompatibleAction(int sequence, const std::wstring& name, const std::wstring& uninstallKey);

  std::wstring GetProductName() override;
  std::wstring GetPromptText() override;
  std::wstring ExpandText(const std::wstring& text) override;
  std::wstring GetTitleText() override;
  int GetRemovalKind() override;
};
