#pragma once
// google_detection.h: CGoogleDetection, which asks the browser vendor's own
// compatibility checks, shipped as a DLL in each offer product's folder,
// whether its toolbar or its browser may be offered on this machine. At
// most one offer is made; an offer that may not be made leaves the run.
#include <windows.h>

#include <string>

class CSetupState;

class CGoogleDetection {
 public:
  // `setupFolder` ends with a backslash; the DLLs lie in its product folders.
  explicit CGoogleDetection(const std::wstring& setupFolder) : m_setupFolder(setupFolder) {}
  virtual ~CGoogleDetection() = default;

  // Clears both offer flags, then sets the one offer the checks allow;
  // `reducedUi` (no wizard to show it) excludes both.
  virtual void Detect(CSetupState& state, bool reducedUi);

  LONG IsToolbarCompatible() const { return m_toolbarCompatible; }
  LONG IsChromeCompatible() const { return m_chromeCompatible; }

 private:
  LONG CheckToolbar();
  LONG CheckChrome();

  std::wstring m_setupFolder;
  LONG m_toolbarCompatible = 0;
  LONG m_chromeCompatible = 0;
};
