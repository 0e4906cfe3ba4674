#pragma once
// zip_compatibility.h: the systems whose attribute conventions an entry may
// follow (the high byte of "version made by") and the conversions of
// external attributes between them, always through the MS-DOS form.
#include <cstdint>

namespace ZipCompatibility {

enum ZipSystem { zcDosFat = 0, zcUnix = 3, zcOs2Hpfs = 6, zcMacintosh = 7, zcNtfs = 10 };
// The system whose attributes the file system hands us.
constexpr int kHostSystem = zcDosFat;

bool IsSystemSupported(int system);
// Raises CZipException 115 when either system has no converter.
uint32_t ConvertAttributes(uint32_t attributes, int fromSystem, int toSystem);
// The Unix permission and type bits (high half) for MS-DOS attributes.
uint32_t DosToUnix(uint32_t attributes);

}  // namespace ZipCompatibility
