// A device entry on a printer of the simulated SDK. Link TbxQdApi and testprinter.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "TbxSim.h"
#include "TestPrinter.h"
#include "TestSupport.h"

namespace sotest {

// The printer in the spooler and in its power-on state, named in the entry with the paper
// size as the setup utility writes it (no terminator).
inline void UseSimulatedPrinter(DeviceKey& key, const char* printer) {
  std::string error;
  ASSERT_TRUE(AddTestPrinter(printer, &error)) << error;
  key.SetString("DriverName", printer);
  key.SetString("PaperSize", "1", /*terminated=*/false);
  TbxSim_Reset(printer);
}

}  // namespace sotest
