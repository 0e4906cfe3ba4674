#pragma once
// text_file_view.h: the View button of the licence and experience pages: a
// read-only copy of the page's text file beside the setup program (or in the
// temporary folder when that cannot be written), opened by the system's
// viewer through the command processor.
#include <windows.h>

#include <string>

// "<cmd> /C ""<file>""": the file's path stays one quoted argument whatever
// blanks, "&" or "|" it holds (cmd.exe strips the outer pair of quotes).
// Empty for a path that quoting cannot protect: one holding a quote or a
// "%", which the command processor would still expand.
std::wstring ViewCommandLine(const std::wstring& commandProcessor, const std::wstring& file);

// Copies `source` as `viewName` into `folder` without overwriting a copy
// already there, else into the temporary folder; the copy is made
// read-only. The copy's path, empty when none could be made.
std::wstring CopyForView(const std::wstring& source, const std::wstring& folder, const std::wstring& viewName);

// The copy opened by the system's viewer, the command processor hidden.
// False (logged) when the copy or the start failed.
bool ViewTextFile(const std::wstring& source, const std::wstring& setupFolder, const std::wstring& viewName);
