// The registry entries of vasselin's COM class under HKEY_CLASSES_ROOT.
#pragma once
#include "Win.h"

// Writes every entry of the registration table; the first failure's HRESULT.
[[nodiscard]] HRESULT RegisterServer(HMODULE module);
// Removes the class's CLSID key and the ProgID key the CLSID names; S_OK when the class is
// not registered; E_FAIL when a key can't be removed.
[[nodiscard]] HRESULT UnregisterServer();
