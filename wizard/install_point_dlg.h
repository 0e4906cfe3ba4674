#pragma once
// install_point_dlg.h: CInstallPointDlg, the install location page: the
// user edits the base folder, sees the suite's folder below it, and Next
// makes the checked folder the run's install folder.
#include <windows.h>

#include <string>

#include "wizard/wiz_prop_page.h"

class CInstallGroupInfo;

class CInstallPointDlg : public CWizPropPage {
 public:
  CInstallPointDlg();

  bool IsPageSkipped() override;

 protected:
  BOOL OnInitDialog() override;
  bool OnSetActive() override;
  LRESULT OnWizardNext() override;
  LRESULT OnWizardBack() override;
  bool OnCommand(int id, int code) override;
  HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;
  void OnPaint() override;

 private:
  CInstallGroupInfo* Group() const;
  const std::wstring& SubFolder() const;
  // The resulting path is shown when the suite has a folder of its own.
  bool ShowsInstallPath() const;
  void ReadControls();
  void ShowFields();
  void RebuildInstallPath();
  void Browse();
  void Reset();
  // The system's box with the page's title; [2] is `argument`.
  void ShowProblem(UINT messageId, const std::wstring& argument);

  std::wstring m_baseFolder;
  std::wstring m_installPath;
  // The group's base folder when the page opened, for Back.
  std::wstring m_workingFolder;
  // Where the run would install without the page, for Reset and for the
  // types that take no folder.
  std::wstring m_initialBaseFolder;
  std::wstring m_initialInstallFolder;
  bool m_initialCaptured = false;
  bool m_startActivationSeen = false;
  bool m_filling = false;
};
