#pragma once
// zip_compatibility.h: the systems whose attribute conventions an entry may
// follow (the high byte of "version made by") and the conversions of
// external attributes between them, always through the MS-DOS form.
#include <cstdint>

namespace ZipCompatibility {

// NTFS is 11, as Info-ZIP and 7-Zip read it. Entries this library marked
// before with 10 (which they read as TOPS-20) still read as NTFS here.
enum ZipSystem { zcDosFat = 0, zcUnix = 3, zcOs2Hpfs = 6, zcMacintosh = 7, zcOldNtfs = 10, zcNtfs = 11 };
// The system whose attributes the file system hands us.
constexpr int kHostSystem = zcDosFat;

bool IsSystemSupported(int system);
// The system a new or copied entry of an archive of `archiveSystem` is
// marked with. MS-DOS and NTFS share their attributes, so there the mark
// says what the name holds: a name in the OEM code page is MS-DOS, a UTF-8
// one NTFS (Info-ZIP reads an MS-DOS name as OEM text whatever its flag).
int EntrySystem(int archiveSystem, bool utf8Name);
// Whether other readers take a name without the UTF-8 flag in an entry of
// `system` as code-page text of ours. Only MS-DOS and NTFS entries: Unix
// readers take such bytes as their own locale's, zipfile as code page 437.
bool ReadsCodePageNames(int system);
// Raises CZipException 115 when either system has no converter. Into Unix
// the MS-DOS bits stay in the low half, as Info-ZIP and 7-Zip write them,
// so a reader on Windows still sees a read-only or hidden file as one.
uint32_t ConvertAttributes(uint32_t attributes, int fromSystem, int toSystem);
// The Unix permission and type bits (high half) for MS-DOS attributes.
uint32_t DosToUnix(uint32_t attributes);

}  // namespace ZipCompatibility
