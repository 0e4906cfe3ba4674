#pragma once
// setup_sheet.h: CSetupSheet, the setup wizard: one modal property sheet in
// wizard mode that owns a page object for every page name, shows the page
// sequence of the run and keeps the user's choices in its property map and
// the shared setup state.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "engine/setup_wizard_entry.h"
#include "platform/png_image.h"
#include "platform/string_map.h"
#include "platform/wizard_sheet.h"

class CCommandOptions;
class CInstallGroupInfo;
class CSetupState;
class CWizPropPage;
class ISetupHost;

// The pages by kind, in the order of the page names.
enum EWizardPageKind {
  kPageWelcome,
  kPageUpsell,
  kPageProductInformation,
  kPageEula,
  kPageExperienceImprovement,
  kPageInstallMode,
  kPageInstallPoint,
  kPageCustomize,
  kPageGoogleToolbar,
  kPageGoogleChrome,
  kPageRemovePrevious,
  kPageVerify,
  kPageProgress,
  kPageFinish,
  kPageUserExit,
  kPageKindCount
};

// The page name as sequences write it ("Welcome"); null for no kind.
const wchar_t* PageKindName(int kind);
// Case-blind; -1 for an unknown name.
int PageKindFromName(const std::wstring& name);

class CSetupSheet : public CWizardSheet {
 public:
  // The control id of the sheet's View button.
  static const int kViewButtonId = 60000;

  explicit CSetupSheet(const CSetupWizardContext& context);
  ~CSetupSheet() override;

  CSetupState* GetState() const { return m_state; }
  CInstallGroupInfo* GetDefaultGroupInfo() const { return m_defaultGroupInfo; }
  const CCommandOptions* GetCommandOptions() const { return m_commandOptions; }
  // Whether the finish page asks for a restart the run leaves pending.
  bool FinishAsksForRestart() const { return m_finishAsksForRestart; }
  // {Name} macros of the run; the text itself when the run has none.
  std::wstring ExpandMacros(const std::wstring& text) const;

  // The sheet's property map (display conditions test it).
  CMapStringToString& Properties() { return m_properties; }
  const CMapStringToString& Properties() const { return m_properties; }
  void SetProperty(const std::wstring& name, const std::wstring& value) { m_properties[name] = value; }
  // Empty when missing.
  std::wstring GetProperty(const std::wstring& name) const;

  // The DPI the pages are laid out for: the screen's, or a lower one when
  // the sheet would not fit the screen at its own.
  int GetDpi() const { return m_dpi; }
  int GetUiLevel() const { return m_uiLevel; }
  bool ShowHeaders() const { return m_showHeaders; }
  const CPngImage& GetHeaderImage() const { return m_headerImage; }
  HFONT GetSheetFont() const { return m_sheetFont; }
  // 1 when the last move was forward (Next), 0 when back.
  LONG GetLastMove() const { return m_lastMove; }
  void SetLastMove(LONG move) { m_lastMove = move; }

  // Every page object, whether the sequence shows it or not.
  CWizPropPage* GetPageByKind(int kind) const;
  CWizPropPage* GetPageByName(const std::wstring& name) const;
  // Nothing when the sequence has no such page.
  void SetActivePageByKind(int kind);
  // Applies the page's button flags from its settings, then adds it; a
  // null page is ignored.
  void AddWizardPage(CWizPropPage* page);
  // The pages of the run's sequence, added in their order.
  void LoadUiSequence();
  // The run shows the Customize page: its tree holds the user's own choice
  // of what to install, keep or remove.
  bool IsSelectionChosenOnCustomize() const;

  // The View button follows bit 16 of the flags; nothing without a button.
  void EnableViewButton(DWORD flags) const;
  void SetNextButtonText(UINT id) const;
  void SetBackButtonText(UINT id) const;
  void SetFinishButtonText(UINT id) const;
  void SetCancelButtonText(UINT id) const;

  // Stores the setup type and sets the *Install properties and
  // AllowOnlineAccess.
  void SetInstallMode(int type);
  void ComputeRequiredSpace();
  // False (logged, the value kept) when the free space cannot be measured.
  bool ComputeAvailableSpace();
  double GetRequiredSpace() const { return m_requiredSpace; }
  double GetAvailableSpace() const { return m_availableSpace; }
  const std::wstring& GetInstallRoot() const { return m_installRoot; }

 protected:
  void OnInitialized() override;
  bool OnSheetMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
  void CreateViewButton(UINT captionId);
  void SetButtonText(int buttonId, UINT stringId) const;

 private:
  void LoadRichEditLibrary();
  void FitLayoutToScreen();
  void LoadHeaderImage();

  std::unique_ptr<CWizPropPage> m_pages[kPageKindCount];
  CSetupState* m_state;
  CInstallGroupInfo* m_defaultGroupInfo;
  const CCommandOptions* m_commandOptions;
  ISetupHost* m_host;
  bool m_finishAsksForRestart;
  std::function<std::wstring(const std::wstring&)> m_expandMacros;
  CMapStringToString m_properties;
  double m_requiredSpace = 0;
  double m_availableSpace = 0;
  std::wstring m_installRoot;
  LONG m_lastMove = 1;
  CPngImage m_headerImage;
  HFONT m_sheetFont = nullptr;
  HDC m_screenDc = nullptr;
  int m_dpi = 96;
  int m_uiLevel = 0;
  bool m_showHeaders = true;
  HMODULE m_richEdit = nullptr;
};

// The interface thread's wizard: runs the sheet over the run's state.
// ERROR_SUCCESS, or 13 when the wizard could not run.
DWORD RunSetupWizard(const CSetupWizardContext& context);

// The progress display's callback on the run's threads: moves the
// published bar, shows the text and pulses the state's progress event.
void UpdateInstallProgress(CSetupState* state, DWORD done, DWORD total, const wchar_t* text,
                           bool rollback);
