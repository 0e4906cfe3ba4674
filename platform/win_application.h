#pragma once
// win_application.h: the program's one application object. wWinMain hands
// control to its InitInstance; a false answer ends the program with 0.
#include <windows.h>

#include <string>

class CWinApplication {
 public:
  CWinApplication();
  CWinApplication(const CWinApplication&) = delete;
  CWinApplication& operator=(const CWinApplication&) = delete;
  virtual ~CWinApplication();

  virtual BOOL InitInstance() = 0;

  static CWinApplication* Current();
  void SetAppName(const std::wstring& name) { m_appName = name; }
  const std::wstring& GetAppName() const { return m_appName; }
  void SetMainWindow(HWND window) { m_mainWindow = window; }
  HWND GetMainWindow() const { return m_mainWindow; }

 private:
  std::wstring m_appName;
  HWND m_mainWindow = nullptr;
};

// What wWinMain returns: runs InitInstance of the one application object;
// an exception it throws becomes the boundary reporter's status.
int RunApplication();
