#pragma once
// ini_exception.h: what the page-sequence loaders throw when the sequence a
// suite configures cannot be read. It carries a text only (its code is 0);
// the sheet catches it and uses a built-in sequence instead.
#include <string>

#include "foundation/error.h"

class CIniException : public CError {
 public:
  explicit CIniException(const std::wstring& message) : CError(message) {}
};
