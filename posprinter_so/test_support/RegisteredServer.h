// vasselin.dll loaded from the bin folder and registered, as its installer would.
#pragma once
#include <gtest/gtest.h>

#include "TestSupport.h"

namespace sotest {

// The module stays loaded in *module for the caller to free.
inline void LoadAndRegisterServer(HMODULE* module) {
  *module = LoadLibraryA((BinFolder() + "vasselin.dll").c_str());
  ASSERT_NE(*module, nullptr);
  auto registerServer = reinterpret_cast<HRESULT(WINAPI*)()>(
      reinterpret_cast<void*>(GetProcAddress(*module, "DllRegisterServer")));
  ASSERT_NE(registerServer, nullptr);
  ASSERT_EQ(registerServer(), S_OK);
}

}  // namespace sotest
