// qr_bench: how long the command builder takes to size and build a QR Code from the data
// the sizing looks ahead over most: the largest numeric symbol, a run of digits to the end
// in byte mode, and data longer than any symbol holds (refused before sizing).
//
// Usage: qr_bench [builds per case]   (default 20)
#include "CommandToken.h"
#include "RJBarCode.h"
#include "RJDevice.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  const long builds = argc > 1 ? std::atol(argv[1]) : 20;
  PrnCapabilityBlock caps = {};
  PrnInputProperty input = {};
  input.recLineWidth = 576;
  input.characterSet = 1252;
  PrnStationState state = {};
  state.rotation = 1;
  CRJDevice device(nullptr, nullptr, &caps);

  const struct {
    const char* name;
    std::string data;
  } cases[] = {
      {"5596 digits (version 40)", std::string(5596, '7')},
      {"a byte, then 2330 digits", "a" + std::string(2330, '7')},
      {"80000 digits (refused)", std::string(80000, '7')},
  };
  LARGE_INTEGER freq;
  QueryPerformanceFrequency(&freq);
  for (const auto& c : cases) {
    const RJBarCodeRequest request = {
        &input, &state, reinterpret_cast<const unsigned char*>(c.data.data()),
        static_cast<long>(c.data.size()), PRN_STATION_RECEIPT, /*availableWidth=*/576,
        /*availableHeight=*/-1, RJ_BC_QRCODE, RJ_BC_ALIGN_LEFT, /*height=*/100,
        /*requestedWidth=*/576, RJ_BC_HRI_NONE, RJ_BC_ROTATE_NORMAL, /*printSpeed=*/0,
        /*gs1ModuleSize=*/2};
    LARGE_INTEGER t0, t1;
    bool built = false;
    QueryPerformanceCounter(&t0);
    for (long i = 0; i < builds; ++i) {
      RJBarCodeResult result = {0, 0, 0};
      PrnTokenList* list = device.GetBarCodeData(request, &result);
      built = list != nullptr;
      if (list) device.FreeTokenList(list);
    }
    QueryPerformanceCounter(&t1);
    const double us = static_cast<double>(t1.QuadPart - t0.QuadPart) /
                      static_cast<double>(freq.QuadPart) / static_cast<double>(builds) * 1e6;
    std::printf("%-28s %s  %10.1f us per build\n", c.name, built ? "built  " : "refused", us);
  }
  return 0;
}
