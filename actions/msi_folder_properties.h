#pragma once
// msi_folder_properties.h: the folder properties an installer command line
// gives a package (INSTALLDIR, TARGETDIR and the package's other
// directories), so that the package's removal and repair find the folders
// its install used rather than the package's defaults.
#include <string>
#include <vector>

class CMsiExecCommandLine;

// The property words of an installer command line whose name is
// INSTALLDIR, TARGETDIR or one of `directories` (case-blind), each written
// again as NAME="value"; of a name given twice the last counts. Joined by
// one blank.
std::wstring FolderPropertiesOf(const CMsiExecCommandLine& commandLine,
                                const std::vector<std::wstring>& directories);
// The installer command line with `properties` (words as above, read back
// from the product's cached file) added at its end, each as NAME="value";
// a word that is no property, or whose value would not stay one, is left
// out. A property of the same name already on the line goes first, so the
// line says one thing.
std::wstring WithProperties(const std::wstring& commandLine, const std::wstring& properties);
// The folder properties a removal or repair of the installed product is
// given: those its install recorded with the product's entry, whichever
// suite installed it; else `fallback` (what an older suite's cached product
// file kept); else INSTALLDIR from the product's InstallLocation, when it
// is a usable folder path. Empty when none is known.
std::wstring InstalledFolderProperties(const std::wstring& productCode, const std::wstring& fallback);
// The keys of the package's Directory table; empty when it cannot be read.
std::vector<std::wstring> ReadPackageDirectories(const std::wstring& packagePath);
