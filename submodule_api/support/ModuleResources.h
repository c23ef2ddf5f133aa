// A sub-module's own resources: its file version and its string table, read from the
// module this code is linked into (the DLL, or a test program that carries the same
// resources).
#pragma once
#include <string>

namespace subsupport {

// major * 1000000 + minor * 1000 + build of the module's file version (the fourth field is
// not used); false when the module file or its version resource cannot be read.
[[nodiscard]] bool GetModuleVersionNumber(long* version);

// A string of the module's string table; empty when it is missing.
[[nodiscard]] std::string LoadModuleString(unsigned id);

}  // namespace subsupport
