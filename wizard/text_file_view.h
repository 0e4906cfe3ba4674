#pragma once
// text_file_view.h: the View button of the licence and experience pages: a
// read-only copy of the page's text file in the temporary folder (never
// beside the setup program, which may be a disc or a read-only share),
// opened by the system's viewer through the command processor.
#include <windows.h>

#include <string>

// "<cmd> /C ""<file>""": the file's path stays one quoted argument whatever
// blanks, "&" or "|" it holds (cmd.exe strips the outer pair of quotes).
// Empty for a path that quoting cannot protect: one holding a quote or a
// "%", which the command processor would still expand.
std::wstring ViewCommandLine(const std::wstring& commandProcessor, const std::wstring& file);

// Copies `source` as `viewName` into `folder`, read-only. A file of that
// name is never overwritten: one with the same text is the copy, one with
// another text (another suite's) leaves the copy a numbered name
// ("license.ENU-2.rtf"). The copy's path, empty when none could be made.
std::wstring CopyForView(const std::wstring& source, const std::wstring& folder, const std::wstring& viewName);

// The copy in the temporary folder opened by the system's viewer, the
// command processor hidden. False (logged) when the copy or the start failed.
bool ViewTextFile(const std::wstring& source, const std::wstring& viewName);
