// zip_compatibility.cpp: attribute conversion between the systems an entry
// may follow.
#include "zip/zip_compatibility.h"

#include "zip/zip_exception.h"

namespace ZipCompatibility {
namespace {

constexpr uint32_t kReadOnly = 0x01;
constexpr uint32_t kHidden = 0x02;
constexpr uint32_t kDirectory = 0x10;
constexpr uint32_t kArchive = 0x20;
constexpr uint32_t kUnixDirectory = 0x40000000;  // S_IFDIR in the high half
constexpr uint32_t kUnixRegular = 0x80000000;    // S_IFREG
constexpr uint32_t kOwnerRead = 0x01000000;
constexpr uint32_t kOwnerWrite = 0x00800000;
constexpr uint32_t kOwnerExecute = 0x00400000;
constexpr uint32_t kDosBits = 0x37;  // read-only, hidden, system, directory, archive

uint32_t UnixToDos(uint32_t attributes) {
  uint32_t result = (attributes & kUnixDirectory) ? kDirectory : 0;
  if ((attributes & kOwnerExecute) == 0) result |= kArchive;
  if ((attributes & kOwnerWrite) == 0) result |= kReadOnly;
  if ((attributes & kOwnerRead) == 0) result |= kHidden;
  return result;
}

uint32_t ToDos(uint32_t attributes, int system) {
  switch (system) {
    case zcUnix: return UnixToDos(attributes);
    case zcMacintosh: return attributes & (kReadOnly | kDirectory);
    default: return attributes;
  }
}

uint32_t FromDos(uint32_t attributes, int system) {
  switch (system) {
    case zcUnix: return DosToUnix(attributes) | (attributes & kDosBits);
    case zcMacintosh: return attributes & (kReadOnly | kDirectory);
    default: return attributes;
  }
}

}  // namespace

bool IsSystemSupported(int system) {
  return system == zcDosFat || system == zcUnix || system == zcOs2Hpfs || system == zcMacintosh ||
         system == zcOldNtfs || system == zcNtfs;
}

int EntrySystem(int archiveSystem, bool utf8Name) {
  if (archiveSystem != zcDosFat && archiveSystem != zcOldNtfs && archiveSystem != zcNtfs) return archiveSystem;
  return utf8Name ? zcNtfs : zcDosFat;
}

uint32_t DosToUnix(uint32_t attributes) {
  bool readOnly = (attributes & kReadOnly) != 0;
  bool hidden = (attributes & kHidden) != 0;
  uint32_t result = 0;
  if (readOnly && !hidden) result = 0x01240000;        // 0444
  else if (!readOnly && !hidden) result = 0x01B40000;  // 0664
  else if (hidden && !readOnly) result = 0x00900000;   // 0220
  if (attributes & kDirectory) return result | kUnixDirectory | kDirectory;
  return result | kUnixRegular;
}

bool ReadsCodePageNames(int system) { return system == zcDosFat || system == zcOldNtfs || system == zcNtfs; }

uint32_t ConvertAttributes(uint32_t attributes, int fromSystem, int toSystem) {
  if (!IsSystemSupported(fromSystem) || !IsSystemSupported(toSystem)) {
    ThrowZipException(CZipException::kPlatformNotSupported);
  }
  if (fromSystem == toSystem) return attributes;
  return FromDos(ToDos(attributes, fromSystem), toSystem);
}

}  // namespace ZipCompatibility
