// render_bench: how fast the command builder renders a realistic receipt through the render
// entry of service 1010 (CRJDevice::ConvertTokens). Each receipt is a fresh copy of the
// tokens the tokenizer would have made: 60 lines of mixed attributes and alignments, a feed
// and cut, and the response-id token. Only the rendering is timed.
//
// Usage: render_bench [receipts]   (default 20000)
#include "CommandToken.h"
#include "RJDevice.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Add(PrnTokenList* list, long code, long parameter = -1, const std::string& text = "") {
  (void)AddCommandToken(list, code, text.data(), static_cast<long>(text.size()), parameter);
}

// The tokens of one receipt as the execute phase and service 1022 leave them.
PrnTokenList* MakeReceipt(CRJDevice& device) {
  PrnTokenList* list = device.CreateTokenList(2);
  Add(list, 401, 30);
  Add(list, 602, 0);
  device.AddCharsetStateToken(list);
  Add(list, 153, 0);
  Add(list, 114);
  Add(list, 113);
  Add(list, 101, -1, "KVR MARKET");
  Add(list, 157);
  Add(list, 110);
  Add(list, 101, -1, "12 Harbour Road, Springfield");
  Add(list, 157);
  for (int i = 0; i < 56; ++i) {
    switch (i % 4) {
      case 0: Add(list, 107); break;
      case 1: Add(list, 109); break;
      case 2: Add(list, 114); break;
      default: Add(list, 107); Add(list, 104); break;
    }
    if (i % 7 == 0) Add(list, 124, 1);
    if (i % 9 == 0) Add(list, 112);
    char line[64];
    std::snprintf(line, sizeof line, "Item %02d  Organic produce %3d x %5.2f  %7.2f", i,
                  i % 5 + 1, 1.25 * (i % 13 + 1), 1.25 * (i % 13 + 1) * (i % 5 + 1));
    Add(list, 101, -1, line);
    if (i % 9 == 0) Add(list, 110);
    if (i % 7 == 0) Add(list, 131);
    if (i % 4 == 3) Add(list, 128);
    Add(list, 157);
  }
  Add(list, 107);
  Add(list, 104);
  Add(list, 101, -1, "TOTAL                               123.45");
  Add(list, 128);
  Add(list, 157);
  Add(list, 115);
  Add(list, 117, -1);
  device.AddDc2qToken(3, list);
  return list;
}

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER freq) {
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(freq.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
  const long receipts = argc > 1 ? std::atol(argv[1]) : 20000;
  constexpr long kBatch = 500;

  PrnCapabilityBlock caps = {};
  caps.capRecPapercut = 1;
  PrnInputProperty input = {};
  input.recLineSpacing = 30;
  input.recLineWidth = 576;
  input.recLinesToPaperCut = 5;
  PrnStationState state = {};
  CRJDevice device(nullptr, nullptr, &caps);
  device.SelectCodeTable(1252);

  PrnTokenList* model = MakeReceipt(device);
  const long tokensPerReceipt = CommandTokenCount(model);

  LARGE_INTEGER freq;
  QueryPerformanceFrequency(&freq);
  double rendering = 0;
  long long bytes = 0;
  std::vector<PrnTokenList*> batch;
  for (long done = 0; done < receipts;) {
    batch.clear();
    for (long i = 0; i < kBatch && done + i < receipts; ++i) {
      PrnTokenList* copy = device.CreateTokenList(2);
      (void)device.CopyTokenList(model, copy);
      batch.push_back(copy);
    }
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    for (PrnTokenList* list : batch) (void)device.ConvertTokens(&input, &state, list, 0);
    QueryPerformanceCounter(&t1);
    rendering += Seconds(t0, t1, freq);
    for (PrnTokenList* list : batch) {
      bytes += list->totalBytes;
      device.FreeTokenList(list);
    }
    done += static_cast<long>(batch.size());
  }
  device.FreeTokenList(model);

  const double perReceiptUs = rendering / receipts * 1e6;
  std::printf("receipts rendered: %ld (%ld tokens, %lld bytes each)\n", receipts,
              tokensPerReceipt, bytes / receipts);
  std::printf("time per receipt:  %.2f us\n", perReceiptUs);
  std::printf("tokens per second: %.0f\n", tokensPerReceipt * receipts / rendering);
  std::printf("bytes per second:  %.0f\n", bytes / rendering);
  return 0;
}
