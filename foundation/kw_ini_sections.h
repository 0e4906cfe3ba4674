#pragma once
// kw_ini_sections.h: the sections of one INI file, mapped by name.
#include "foundation/kw_ini_section.h"
#include "foundation/kw_mapped_list.h"

class CKwIniSections : public CKwMappedList<CKwIniSection> {
 public:
  // A new unnamed section with an empty line collection, holding one
  // reference.
  virtual CKwIniSection* CreateSection() const { return new CKwIniSection(); }
};
