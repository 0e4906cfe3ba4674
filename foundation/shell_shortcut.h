#pragma once
// shell_shortcut.h: shortcuts in the shell: a .lnk to a program or file, and
// a folder shortcut to a folder.
#include <windows.h>

#include <string>

// Saves a shell link at `linkPath`. An empty icon path or working folder is
// left unset. The result is the first failing HRESULT, or S_OK.
HRESULT CreateShellShortcutEx(const std::wstring& linkPath, const std::wstring& target,
                              const std::wstring& arguments, const std::wstring& description,
                              const std::wstring& iconPath, int iconIndex,
                              const std::wstring& workingFolder);

// Saves a folder shortcut to `targetFolder` at `linkPath`; `description` may
// be null. Some shells (Wine among them) offer no folder shortcut object: the
// failure comes back as the result.
HRESULT CreateShellShortcut(const std::wstring& linkPath, const std::wstring& targetFolder,
                            const wchar_t* description);

// The program or file a shell link at `linkPath` starts, as the link stores
// it. The result is the first failing HRESULT (the file is no shell link),
// or S_OK.
HRESULT ReadShellShortcutTarget(const std::wstring& linkPath, std::wstring* target);
