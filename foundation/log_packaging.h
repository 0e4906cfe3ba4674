#pragma once
// log_packaging.h: packs log files, a folder tree or the files of one folder
// into a ZIP archive. A failure while packing is logged here; an archive
// begun by the packing is removed, one appended to still opens with the
// entries it held.
#include <windows.h>

#include <string>

// Drive roots, the folders Windows keeps for itself and for all users (both
// program folder views, the public and temporary ones), the user's roots,
// and any folder holding one of them: never packed whole.
bool IsProtectedFolder(const std::wstring& folder);

// Packs every file of the tree whose lower-cased name holds ".log" after its
// first character and no ".zip" into a new "LogFile <yy-mm-dd HH-MM>.zip" in
// the folder (numbered " (2)" on when that name is taken), under its path
// relative to the folder. Links and files with other names are left out.
// `archivePath` gets the archive's path when one was begun. With `lyingAt`
// (a final path), nothing is packed or made unless the folder lies there.
BOOL ZipLogFiles(const std::wstring& folder, std::wstring* archivePath = nullptr,
                 const std::wstring& lyingAt = std::wstring());

// Packs the whole tree into a new archive; each entry is named `base`, then
// its path below the folder with the file name in lower case.
BOOL ZipFolderTree(const std::wstring& folder, const std::wstring& base, const std::wstring& archivePath);

// Packs the files directly in the folder into a new archive (`create`) or
// appends them to an existing one, named as ZipFolderTree names them with
// `relativeNames`, else by the file name alone.
BOOL ZipFolderFiles(const std::wstring& folder, const std::wstring& base, const std::wstring& archivePath,
                    bool create, bool relativeNames);
