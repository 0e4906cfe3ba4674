#pragma once
// resource_ids.h: numeric ids of the program's string table entries.

#define IDS_INTERNAL_ERROR_CODE 222
#define IDS_INTERNAL_ERROR_CAPTION 223
