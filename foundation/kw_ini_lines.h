#pragma once
// kw_ini_lines.h: the lines of one INI section, mapped by trimmed key.
#include "foundation/kw_ini_line.h"
#include "foundation/kw_mapped_list.h"

class CKwIniLines : public CKwMappedList<CKwIniLine> {
 public:
  // A new line with empty key and text, holding one reference.
  virtual CKwIniLine* CreateLine() const { return new CKwIniLine(); }
};
