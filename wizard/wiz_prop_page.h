#pragma once
// wiz_prop_page.h: CWizPropPage, the base of every wizard page: the fonts
// from the string table, the header band and image, the text colour, the
// page's buttons and the rule that skips a page.
#include <windows.h>

#include <map>
#include <string>

#include "platform/wizard_page.h"
#include "wizard/wiz_page_settings.h"

class CPngImage;
class CSetupSheet;
class CSetupState;

class CWizPropPage : public CWizardPage {
 public:
  explicit CWizPropPage(UINT templateId);
  ~CWizPropPage() override;

  const CWizPageSettings& GetSettings() const { return m_settings; }
  void SetSettings(const CWizPageSettings& settings) { m_settings = settings; }
  const std::wstring& GetPageName() const { return m_settings.name; }
  DWORD GetButtonFlags() const { return m_buttonFlags; }
  void SetButtonFlags(DWORD flags) { m_buttonFlags = flags; }
  // The mask from the settings; the page's help flag is cleared.
  void ApplyButtonFlags();

  // The Progress page's waiting thread has no sheet to ask: it is given
  // the state directly.
  void SetState(CSetupState* state) { m_state = state; }
  // The state through the sheet, else the one given.
  CSetupState* GetState() const;
  CSetupSheet* GetSetupSheet() const;

  // The display condition names sheet properties, none of them true.
  virtual bool IsPageSkipped();
  // The sheet's page after this one; null on the last.
  virtual CWizPropPage* GetNextPage();
  // Whether the page has a text for the View button to open; without one
  // the button stays disabled whatever the page's flags say.
  virtual bool HasViewText() const { return true; }

 protected:
  BOOL OnInitDialog() override;
  // Posts the buttons; refuses the activation of a skipped page, so the
  // sheet goes on in the direction it was going.
  bool OnSetActive() override;
  LRESULT OnWizardNext() override;
  LRESULT OnWizardBack() override;
  // Never lets the sheet close: a confirmed cancel leads to the user-exit
  // page; on the last page Cancel is the finish.
  bool OnQueryCancel() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  virtual void OnPaint();
  // The header gradients below the header control, across the page.
  void PaintHeaderBand(HDC dc);
  // The band's bottom below the header control's rectangle (page pixels).
  int HeaderBandBottom(const RECT& header) const;
  // The pages' thin grey frame just outside a control, filled first with
  // `fill` when one is given.
  void FrameControl(HDC dc, int id, HBRUSH fill = nullptr) const;
  // Text colour of the pages; the brush for the control's background.
  virtual HBRUSH OnCtlColor(HDC dc, HWND control, UINT message);

  // The picture in the static control `id`, as drawn also on a mirrored
  // page; the page keeps its bitmap until the control shows another or
  // the page goes. False when the control or the picture is missing.
  bool ShowPicture(int id, const CPngImage& image);
  // The program's PNG resource.
  bool ShowPicture(int id, UINT resourceId);

  // The string with the wizard's tokens replaced by the state's names.
  std::wstring PageString(UINT id) const;
  // The control's template text with the tokens replaced.
  void ReplaceTokensInControl(int id) const;

  HBRUSH m_whiteBrush = nullptr;
  HFONT m_titleFont = nullptr;
  HFONT m_boldFont = nullptr;
  HFONT m_mediumFont = nullptr;
  HFONT m_textFont = nullptr;
  HFONT m_bigBoldFont = nullptr;
  HFONT m_fixedFont = nullptr;
  DWORD m_buttonFlags = 0;
  CSetupState* m_state = nullptr;
  CWizPageSettings m_settings;

 private:
  void ShowHeaderImage();
  void CreateFonts();
  void DeleteFonts();
  void LayoutControls();
  void PlaceHeaderImage();

  // Each picture control's bitmap, by control id.
  std::map<int, HBITMAP> m_pictures;
};
