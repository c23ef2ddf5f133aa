// Aztec Code: the symbol size chosen from the UTF-8 data and the requested width; the
// printer encodes the symbol itself (GS p 5).
#include "RJDevice.h"

#include "BarcodeData.h"
#include "LogContext.h"
#include "RJBarCode.h"
#include "RJBytes.h"

#include <cstdio>

namespace {

constexpr char kParam[] = "CRJDevice::fnGetAztecParam";
constexpr char kAztec[] = "CRJDevice::fnAztecCode";

// Data classes: which capacity column of the symbol table applies.
enum : long { kAztecDigits = 2, kAztecCapitals = 3, kAztecBytes = 4 };

// Aztec Code symbol sizes (ISO/IEC 24778 Table 1): size in modules, data bits (kept for
// reference), capacity in digits, capital letters and bytes, layers, compact flag. Full-range
// symbols of 1 to 3 layers are not offered.
struct AztecRow {
  long size;
  long bits;
  long capacity[3];  // by class 2, 3, 4
  long layers;
  long compact;
};
constexpr AztecRow kAztecRows[] = {
    {15, 102, {13, 12, 6}, 1, 1},           {19, 240, {40, 33, 19}, 2, 1},
    {23, 408, {70, 57, 33}, 3, 1},          {27, 608, {110, 89, 53}, 4, 1},
    {31, 704, {128, 104, 62}, 4, 0},        {37, 960, {178, 144, 87}, 5, 0},
    {41, 1248, {232, 187, 114}, 6, 0},      {45, 1568, {294, 236, 145}, 7, 0},
    {49, 1920, {362, 291, 179}, 8, 0},      {53, 2300, {433, 348, 214}, 9, 0},
    {57, 2720, {516, 414, 256}, 10, 0},     {61, 3160, {601, 482, 298}, 11, 0},
    {67, 3640, {691, 554, 343}, 12, 0},     {71, 4160, {793, 636, 394}, 13, 0},
    {75, 4700, {896, 718, 446}, 14, 0},     {79, 5280, {1008, 808, 502}, 15, 0},
    {83, 5880, {1123, 900, 559}, 16, 0},    {87, 6520, {1246, 998, 621}, 17, 0},
    {91, 7200, {1378, 1104, 687}, 18, 0},   {95, 7900, {1511, 1210, 753}, 19, 0},
    {101, 8640, {1653, 1324, 824}, 20, 0},  {105, 9400, {1801, 1442, 898}, 21, 0},
    {109, 10200, {1956, 1566, 976}, 22, 0}, {113, 11040, {2116, 1694, 1056}, 23, 0},
    {117, 11904, {2281, 1826, 1138}, 24, 0}, {121, 12792, {2452, 1963, 1224}, 25, 0},
    {125, 13728, {2632, 2107, 1314}, 26, 0}, {131, 14688, {2818, 2256, 1407}, 27, 0},
    {135, 15672, {3007, 2407, 1501}, 28, 0}, {139, 16704, {3205, 2565, 1600}, 29, 0},
    {143, 17760, {3409, 2728, 1702}, 30, 0}, {147, 18840, {3616, 2894, 1806}, 31, 0},
    {151, 19968, {3832, 3067, 1914}, 32, 0},
};
constexpr long kAztecRowCount = sizeof kAztecRows / sizeof kAztecRows[0];
constexpr long kAztecMaxData = 3832;  // digits of the largest symbol
constexpr long kAztecMaxModule = 16;

long ClassOf(const unsigned char* d, long n) {
  bool digits = false, capitals = false;
  for (long i = 0; i < n; ++i) {
    if (d[i] >= '0' && d[i] <= '9') digits = true;
    else if ((d[i] >= 'A' && d[i] <= 'Z') || d[i] == ' ') capitals = true;
    else return kAztecBytes;
  }
  if (digits && capitals) return kAztecBytes;
  return digits ? kAztecDigits : kAztecCapitals;
}

}  // namespace

long CRJDevice::fnGetAztecParam(long dataLength, long /*availableWidth*/, long requestedWidth,
                                long dataClass, long* layers, long* compact, long* symbolSize) {
  if (dataClass < kAztecDigits || dataClass > kAztecBytes) dataClass = kAztecBytes;
  long row = 0;
  while (row < kAztecRowCount && kAztecRows[row].capacity[dataClass - kAztecDigits] < dataLength)
    ++row;
  if (row == kAztecRowCount) {
    LogError(kParam, __LINE__, "Layer matching error.");
    return 0;
  }
  long module = kAztecMaxModule;
  if (kAztecRows[row].size * module > requestedWidth) {
    while (module > 0 && kAztecRows[row].size * module > requestedWidth) --module;
  } else {
    // Room to spare: a larger symbol of the same module fills the width better.
    while (row + 1 < kAztecRowCount && kAztecRows[row + 1].size * module <= requestedWidth) ++row;
  }
  if (module < 2) {
    LogError(kParam, __LINE__, "Barcode size is too small.");
    return 0;
  }
  *layers = kAztecRows[row].layers;
  *compact = kAztecRows[row].compact;
  *symbolSize = kAztecRows[row].size * module;
  return module;
}

PrnTokenList* CRJDevice::fnAztecCode(const RJBarCodeRequest& r, RJBarCodeResult* result) {
  // The data up to its first NUL, as UTF-8; the length argument is not used.
  CBarcodeData text;
  text.Set(reinterpret_cast<const char*>(r.data));
  const long n = text.Length();
  if (n < 1 || n > kAztecMaxData) {
    LogError(kAztec, __LINE__, "Data length error.");
    return RefuseBarcode(result);
  }
  const long dataClass = ClassOf(text.Data(), n);
  long layers = 0, compact = 0, size = 0;
  const long module =
      fnGetAztecParam(n, r.availableWidth, r.requestedWidth, dataClass, &layers, &compact, &size);
  if (module == 0) return RefuseBarcode(result);
  char line[96];
  std::snprintf(line, sizeof line, "DataSize-%ld Type-%ld Layer-%ld Mode%ld", n, dataClass,
                layers, compact);
  LogInfo(kAztec, __LINE__, line);
  if (size > r.availableWidth || (r.availableHeight != -1 && size > r.availableHeight)) {
    LogError(kAztec, __LINE__, "Barcode is larger than the print area.");
    return RefuseBarcode(result);
  }
  const PrnStationState* state = r.state;
  RJBytes bytes;
  if (!(state && state->pageMode)) bytes.Put({RJ_ESC, 'J', 0});
  if (!SetBarcodePosition(r.input, state, r.availableWidth, r.alignment, r.rotation, size, size,
                          /*skipLeft=*/true, &bytes)) {
    LogError(kAztec, __LINE__, "Barcode position error.");
    return RefuseBarcode(result);
  }
  bytes.Put({RJ_DC2, ';', static_cast<unsigned char>(module)});
  bytes.Put({RJ_GS, 'p', 5, static_cast<unsigned char>(compact),
             static_cast<unsigned char>(layers), 0})
      .Word(n)
      .Put(text.Data(), static_cast<size_t>(n))
      .Put(static_cast<unsigned char>(0));
  if (!(state && state->rotatedPrint) && r.rotation != RJ_BC_ROTATE_NORMAL) bytes.Put(RJ_FF);
  return BuildBarcodeTokens(r, bytes, size, size, /*hriFeed=*/0, result);
}
