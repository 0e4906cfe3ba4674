#pragma once
// tree_deletion.h: every file and folder the run deletes goes through one
// walk by handle. A folder is listed through its handle; each entry is
// opened inside it without following a link, must lie where the folder's
// listing named it (its handle says where it ends up), and is deleted
// through that same handle: a link goes itself, never what it leads to,
// and one the system can only open at its target (Wine's links) is left in
// place and logged.
//
// `deleteAtRestart`: what is in use now goes at the next restart. Ask it
// only for what the run made itself in a folder only administrators may
// change (its resume copy, the suite's cache): at the restart the names are
// followed again, and whoever may change a folder on the way could point
// them elsewhere by then.
#include <windows.h>

#include <string>

// Clears read-only and deletes the file, or a link at the name itself.
// False at once for a missing file, and for a folder; a failure is logged.
BOOL DeleteFileChecked(const std::wstring& path, BOOL deleteAtRestart);

// Removes an empty folder (clearing its protective attributes), or a link
// at the name itself. A folder that still holds anything stays (logged),
// unless everything in it is deleted at the restart already and
// `deleteAtRestart` lets it follow. Its contents are never deleted.
BOOL RemoveDirectoryChecked(const std::wstring& path, BOOL deleteAtRestart);

// Removes a tree made only of folders, bottom up, the root included. False
// as soon as a file or a link is met; that part is left as it is.
BOOL RemoveEmptyFolderTree(const std::wstring& path);

// Deletes everything under `path` (the folder itself stays), clearing the
// read-only, hidden and system attributes of files with no other name.
// Nothing is deleted when `path` itself is a link. False when anything is
// left now.
BOOL DeleteFolderTree(const std::wstring& path, BOOL deleteAtRestart = FALSE);

// Deletes what stands at `relativePath` below `folder` (a file, a link
// itself, or a folder with all it holds), then the folders on the way that
// it leaves empty. Every folder on the way must be a plain folder lying
// where its name says: otherwise nothing is deleted (logged). False when
// the entry is still there.
BOOL DeleteEntryBelow(const std::wstring& folder, const std::wstring& relativePath);
