#pragma once
// pe_version_resource.h: the fixed file version of a PE image (32 or 64 bit)
// taken from its version resource, read piece by piece through the
// caller's reader, so that a file is neither mapped nor read whole. Every
// offset is checked against the image's own bounds before it is followed.
#include <cstdint>

#include "foundation/pe_image.h"

// The four parts (major, minor, build, revision) of the version resource
// VS_VERSION_INFO (its first language) of the image. False when the image
// is no PE file, has no such resource or the resource is malformed.
bool ReadPeFileVersion(const CImageReader& read, uint16_t parts[4]);
