#pragma once
// pe_version_resource.h: the fixed file version of a PE image (32 or 64 bit)
// taken from its version resource, and the texts of its string table, read
// piece by piece through the caller's reader, so that a file is neither
// mapped nor read whole. Every offset is checked against the image's own
// bounds before it is followed.
#include <cstdint>
#include <map>
#include <string>

#include "foundation/pe_image.h"

// The four parts (major, minor, build, revision) of the version resource
// VS_VERSION_INFO (its first language) of the image. False when the image
// is no PE file, has no such resource or the resource is malformed.
bool ReadPeFileVersion(const CImageReader& read, uint16_t parts[4]);

struct CPeVersionInfo {
  uint16_t fileVersion[4] = {};
  // Name to text ("ProductName", "InternalName" ...) of the first string
  // table; empty when the resource has none.
  std::map<std::wstring, std::wstring> strings;
};

// The fixed version and the texts of the same resource; false as above, and
// when a block of the resource runs past it.
bool ReadPeVersionInfo(const CImageReader& read, CPeVersionInfo* info);
