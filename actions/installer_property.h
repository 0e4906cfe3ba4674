#pragma once
// installer_property.h: one NAME="value" property of an installer command
// line, built so that its value stays one value whatever text it came from.
#include <string>

// ` NAME="value"` (with its leading blank) in *pair. False, with a log line
// and *pair empty, when the name is not a property name or the value holds a
// double quote or a control character: such a value would end early and its
// rest name properties of its own (TRANSFORMS=, REMOVE=) for the package.
bool BuildInstallerProperty(const std::wstring& name, const std::wstring& value, std::wstring* pair);
