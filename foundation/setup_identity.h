#pragma once
// setup_identity.h: whether a program from the update site is this setup
// program in a newer version. A signed setup takes its update only then:
// the publisher's other programs carry the same signature, and the version
// resource, which the signature covers, tells them apart. Pure logic.
#include <cstdint>

#include "foundation/pe_version_resource.h"

// Null when `update` is the program `own` describes, newer: its product and
// internal names are own's, which must have both, and its file version is
// the `announced` one of the update site and above own's. Otherwise why not.
const wchar_t* SetupUpdateRefusal(const CPeVersionInfo& own, const CPeVersionInfo& update,
                                  const uint16_t announced[4]);
