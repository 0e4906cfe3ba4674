#pragma once
// setup_type_dlg.h: CSetupTypeDlg, the setup type page: one picture button
// per choice (Custom and Complete on a first install, Repair and Remove on
// an installed suite). A click records the type, sets every product's
// choices for it and moves on at once.
#include <windows.h>

#include <vector>

#include "wizard/wiz_prop_page.h"

class CSetupTypeDlg : public CWizPropPage {
 public:
  CSetupTypeDlg();
  ~CSetupTypeDlg() override;

 protected:
  BOOL OnInitDialog() override;
  bool OnSetActive() override;
  bool OnCommand(int id, int code) override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;

 private:
  bool IsMaintenance() const;
  void SetButtonIcon(int buttonId, UINT iconId);
  // Records the type, applies its choices and presses Next.
  void Choose(bool first);

  // The icons the buttons show, loaded at the size that fits them.
  std::vector<HICON> m_icons;
};
