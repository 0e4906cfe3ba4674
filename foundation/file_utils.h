#pragma once
// file_utils.h: file and folder helpers: folder trees, checked deletes,
// copies, temporary work folders, full paths and the shell launch.
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Creates the folder and its missing parents. False with last error 87 for an
// empty path, 183 when the folder exists (callers accept that), 15 when no
// parent is left to create.
BOOL CreateDirectoryTree(const std::wstring& path, LPSECURITY_ATTRIBUTES security);

// True for an existing file; false for a folder or nothing.
bool FileExists(const std::wstring& path);

// True for an existing folder; false for a file or nothing.
bool FolderExists(const std::wstring& path);

// True when the folder part of the path (drive and file name split off) holds
// none of : / * ? " < > | and no double backslash.
BOOL IsValidFolderPath(const std::wstring& path);

// True for a name that, joined to a folder, stays a file or folder of that
// folder: not empty, no separator, drive, wildcard, control character or
// "..", not only dots and blanks, and no device name (CON, NUL, COM1 ...,
// with any extension).
bool IsPlainFileName(const std::wstring& name);

// Depth first through the tree under `folder`: the full path of the first file
// matching `pattern` (a name or a FindFirstFileW pattern).
BOOL FindFileRecursive(const std::wstring& folder, const std::wstring& pattern,
                       std::wstring* foundPath);

// Copies the tree under `source` into `target`, creating folders as needed
// and overwriting read-only files. Stops at the first failure.
BOOL CopyFolderTree(const std::wstring& source, const std::wstring& target);

// CopyFileW that may overwrite a read-only target.
BOOL CopyFileClearReadOnly(const std::wstring& source, const std::wstring& target,
                           BOOL failIfExists);

// The user's temporary folder with its backslash; empty when Windows
// cannot give it.
std::wstring GetTempFolderPath();

// The machine's temporary folder (the Windows folder's Temp), outside every
// user's profile, with its backslash; empty when Windows cannot give it.
std::wstring GetMachineTempFolderPath();

// Creates a fresh, empty "<temp>ZOLMxxxx\" folder; `path` gets it with the
// backslash.
// `claim`, when given, is asked for each name first (the path without its
// backslash): a name it refuses is passed over, so nothing else takes the
// folder between its creation and the claim.
// `machineWide`: in the machine's temporary folder, made new with
// permissions that let only administrators and SYSTEM change it; false,
// with the system's error, when such a folder cannot be made.
BOOL CreateTempWorkFolder(std::wstring* path,
                          const std::function<bool(const std::wstring& candidate)>& claim = nullptr,
                          bool machineWide = false);

// True for a link, junction or other reparse point, whatever it leads to.
bool IsLinkPath(const std::wstring& path);

// The last error of OpenPlainFile when something other than a plain file
// stands at the name.
const DWORD kNotPlainFileError = ERROR_CANT_ACCESS_FILE;

// True when the open file (`path` names it) is only itself: no folder, no
// link or other reparse point, one name (a second hard link names another
// owner's file too), and found where `path` says, not through a link.
bool IsPlainFile(HANDLE file, const std::wstring& path);

// The file system's index of the open file on its volume (the number
// GetFileInformationByHandle also gives), without asking the volume.
bool FileIndexOf(HANDLE file, uint64_t* index);

// The path the open file ends at, links resolved; empty where the system
// cannot tell.
std::wstring FinalPathOfOpenFile(HANDLE file);

// Where the file or folder named `path` lies when its last step is no link:
// its folder's final path and its own name, spelt out; empty where the
// system cannot tell.
std::wstring FinalPathOfName(const std::wstring& path);

// Opens the plain folder at `path` (with FILE_READ_ATTRIBUTES added to
// `access`): an invalid handle with kNotPlainFileError when a link, a file
// or a folder lying elsewhere than its name says stands there.
HANDLE OpenPlainFolder(const std::wstring& path, DWORD access);

// Opens the plain file at `path`; with `create`, makes it when nothing
// stands there (never through a link that appears meanwhile). An invalid
// handle with kNotPlainFileError when anything else stands there, a folder
// or a folder link included.
HANDLE OpenPlainFile(const std::wstring& path, DWORD access, DWORD shareMode, bool create);

// Opens again the plain file OpenPlainFile opened at `path`, whose final
// path was `finalPath` then: cheaper, for a file opened for every write. An
// invalid handle when the name no longer leads there as a plain file (then
// OpenPlainFile tells what stands there).
HANDLE ReopenPlainFile(const std::wstring& path, const std::wstring& finalPath, DWORD access, DWORD shareMode);

// "name (2).ext" beside "name.ext" for `number` 2 and up; the path itself
// for 1.
std::wstring NumberedName(const std::wstring& path, int number);

// The first of the path and its numbered names where a plain file stands or
// can be made (made empty when none stood there); `path` itself when none
// can, or when the folder refuses for another reason.
std::wstring ClaimPlainFile(const std::wstring& path);

// The path made absolute and its "." and ".." resolved, however long; empty
// when the system cannot resolve it.
std::wstring GetFullPath(const std::wstring& path);

// Full path of the running program, however long.
std::wstring GetModuleFilePath();

// CreateFileW on the whole path, whatever its length ("\\?\" paths may pass
// 260 characters); never a shortened copy of it.
HANDLE SafeCreateFile(const wchar_t* path, DWORD access, DWORD shareMode,
                      LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                      HANDLE templateFile);

// ShellExecuteExW from the system folder's shell32.
BOOL SafeShellExecuteEx(SHELLEXECUTEINFOW* info);

// The names (not paths) of the files, or with `folders` the folders, in
// `folder` that match a FindFirstFileW pattern; "." and ".." never.
std::vector<std::wstring> ListFolderEntries(const std::wstring& folder, const std::wstring& pattern,
                                            bool folders);
