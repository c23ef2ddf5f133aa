// Barcodes: the dispatch by internal symbol type, positioning, the module choice and the
// one-dimensional symbologies the printer draws from GS k.
#include "RJDevice.h"

#include "CommandToken.h"
#include "Gs1Expanded.h"
#include "LogContext.h"
#include "RJBarCode.h"
#include "RJBytes.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr char kOneDim[] = "CRJDevice::fnOneDimensionBarcode";

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// What the width formulas read: coded length n, Codabar wide count k.
struct Coded {
  long length = 0;
  long wideCount = 0;
};

// ---- Character sets of the symbologies (byte values as the printer's GS k takes them).
bool Code39Char(unsigned char c) {  // Code 39 (ISO/IEC 16388): digits, A-Z, space, $ % + - . /
  return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c && std::strchr(" $%+-./", c));
}
bool CodabarChar(unsigned char c) {  // Codabar (ANSI/AIM BC3): digits, A-D, $ + : - . /
  return IsDigit(c) || (c >= 'A' && c <= 'D') || (c && std::strchr("$+:-./", c));
}
bool CodabarStartStop(unsigned char c) { return c >= 'A' && c <= 'D'; }

// UPC-E holds a UPC-A number that zero suppression can shorten (UPC-E rules of the GS1
// General Specifications): number system 0 and one of the four suppression patterns.
bool ZeroSuppressible(const unsigned char* d) {
  auto zeros = [d](int from, int to) {
    for (int i = from; i <= to; ++i)
      if (d[i] != '0') return false;
    return true;
  };
  if (d[0] != '0') return false;
  if (d[3] <= '2' && zeros(4, 7)) return true;
  if (d[3] >= '3' && zeros(4, 8)) return true;
  if (d[4] >= '1' && zeros(5, 9)) return true;
  return d[5] >= '1' && zeros(6, 9) && d[10] >= '5';
}

// ---- Length rules.
bool LengthIn(long n, std::initializer_list<long> allowed) {
  for (long a : allowed)
    if (n == a) return true;
  return false;
}

bool LengthOk(long type, long n) {
  switch (type) {
    case RJ_BC_UPCA:
    case RJ_BC_UPCE: return LengthIn(n, {11, 12});
    case RJ_BC_EAN13: return LengthIn(n, {12, 13});
    case RJ_BC_EAN8: return LengthIn(n, {7, 8});
    case RJ_BC_CODE39:
    case RJ_BC_CODE93: return n >= 1 && n <= 150;
    case RJ_BC_ITF: return n >= 1 && n <= 150 && n % 2 == 0;
    case RJ_BC_CODABAR:
    case RJ_BC_CODE128_PARSED: return n >= 3 && n <= 150;
    case RJ_BC_CODE128: return n >= 2 && n <= 150;
    case RJ_BC_EAN13_ADDON: return LengthIn(n, {14, 15, 17, 18});
    case RJ_BC_DATABAR:
    case RJ_BC_DATABAR_LIMITED:
    case RJ_BC_DATABAR_TRUNCATED: return n == 13;
    case RJ_BC_DATABAR_EXPANDED: return n >= 2 && n <= 255;
    default: return false;
  }
}

// The wide element of Code 39, ITF and Codabar by ratio index (2:1, 2.5:1 rounded up, 3:1)
// and module width x = 2..6.
constexpr long kWideElement[3][5] = {
    {4, 6, 8, 10, 12},
    {5, 8, 10, 13, 15},
    {6, 9, 12, 15, 18},
};

// One row per one-dimensional type: GS k m, the HRI character count rule, what is sent.
enum class Hri { kFixed, kCodedPlusStartStop, kCoded, kDataLength };
enum class Payload { kDigitsNul, kAllNul, kCounted, kAddOn, kSendBuffer, kThirteen };
struct OneDimRow {
  long type;
  unsigned char m;
  Hri hri;
  long hriFixed;    // kFixed: characters under the symbol
  Payload payload;
  long sentDigits;  // kDigitsNul: digits sent (a check digit in the data is dropped)
};
constexpr OneDimRow kOneDim1[] = {
    {RJ_BC_UPCA, 0, Hri::kFixed, 12, Payload::kDigitsNul, 11},
    {RJ_BC_UPCE, 1, Hri::kFixed, 8, Payload::kDigitsNul, 11},
    {RJ_BC_EAN13, 2, Hri::kFixed, 13, Payload::kDigitsNul, 12},
    {RJ_BC_EAN8, 3, Hri::kFixed, 8, Payload::kDigitsNul, 7},
    {RJ_BC_CODE39, 4, Hri::kCodedPlusStartStop, 0, Payload::kAllNul, 0},
    {RJ_BC_ITF, 5, Hri::kCoded, 0, Payload::kAllNul, 0},
    {RJ_BC_CODABAR, 6, Hri::kCoded, 0, Payload::kAllNul, 0},
    {RJ_BC_CODE93, 72, Hri::kCodedPlusStartStop, 0, Payload::kCounted, 0},
    {RJ_BC_CODE128, 73, Hri::kCoded, 0, Payload::kCounted, 0},
    {RJ_BC_EAN13_ADDON, 22, Hri::kDataLength, 0, Payload::kAddOn, 0},
    {RJ_BC_CODE128_PARSED, 73, Hri::kCoded, 0, Payload::kSendBuffer, 0},
    {RJ_BC_DATABAR, 75, Hri::kCoded, 0, Payload::kThirteen, 0},
    {RJ_BC_DATABAR_EXPANDED, 78, Hri::kCoded, 0, Payload::kCounted, 0},
    {RJ_BC_DATABAR_LIMITED, 77, Hri::kCoded, 0, Payload::kThirteen, 0},
    {RJ_BC_DATABAR_TRUNCATED, 76, Hri::kCoded, 0, Payload::kThirteen, 0},
};

const OneDimRow* FindOneDim(long type) {
  for (const OneDimRow& row : kOneDim1)
    if (row.type == type) return &row;
  return nullptr;
}

bool IsOneDim(long type) { return FindOneDim(type) != nullptr; }
bool IsTwoDim(long type) {
  return type == RJ_BC_PDF417 || type == RJ_BC_QRCODE || type == RJ_BC_DATABAR_STACKED ||
         type == RJ_BC_DATABAR_STACKED_OMNI || type == RJ_BC_DATABAR_EXPANDED_STACKED;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Dispatch.

PrnTokenList* CRJDevice::GetBarCodeData(const RJBarCodeRequest& request, RJBarCodeResult* result) {
  if (IsOneDim(request.type)) return fnOneDimensionBarcode(request, result);
  if (IsTwoDim(request.type)) return fnTwoDimensionBarcode(request, result);
  if (request.type == RJ_BC_AZTEC) return fnAztecCode(request, result);
  LogError("CRJDevice::GetBarCodeData", __LINE__, "Unknown barcode type.");
  return nullptr;
}

PrnTokenList* CRJDevice::RefuseBarcode(RJBarCodeResult* result) {
  if (result) result->errorKind = kRJBarCodeRefused;
  return nullptr;
}

PrnTokenList* CRJDevice::BuildBarcodeTokens(const RJBarCodeRequest& request,
                                            const RJBytes& bytes, long width, long height,
                                            long hriFeed, RJBarCodeResult* result) {
  const PrnStationState* state = request.state;
  const bool pageMode = state && state->pageMode;
  const bool modeToken = state && state->settingsChanged && request.printSpeed == 0;
  const bool lineFeed = state && (state->pageMode || state->rotatedPrint);
  PrnTokenList* list = CreateTokenList(request.station);
  if (!list) return RefuseBarcode(result);
  if (!pageMode) AddToken900(list, /*atTail=*/false);
  if (state && state->settingsChanged)
    AddModeToken132(request.input ? request.input->recLetterQuality : 0, list,
                    request.printSpeed);
  AddPositionedToken(bytes.Data(), width, height, static_cast<long>(bytes.Size()), list, state,
                     hriFeed);
  const long expected = (pageMode ? 0 : 1) + (modeToken ? 1 : 0) + 1 + (lineFeed ? 1 : 0);
  if (CommandTokenCount(list) != expected) {  // memory ran out on the way
    FreeTokenList(list);
    return RefuseBarcode(result);
  }
  if (result) {
    result->width = width;
    result->height = height;
  }
  return list;
}

// ---------------------------------------------------------------------------------------
// Positioning.

int CRJDevice::SetBarcodePosition(const PrnInputProperty* input, const PrnStationState* state,
                                  long availableWidth, long alignment, long rotation,
                                  long symbolWidth, long symbolHeight, bool skipLeft,
                                  RJBytes* bytes) {
  const bool pageMode = state && state->pageMode;
  const long room = availableWidth - symbolWidth;  // A
  auto position = [bytes](long p) { bytes->Put({RJ_ESC, '$'}).Word(p); };
  auto standardAlign = [&](bool upsideDown) -> int {
    switch (alignment) {
      case RJ_BC_ALIGN_CENTER: bytes->Put({RJ_ESC, 'a', 1}); return 1;
      case RJ_BC_ALIGN_LEFT: bytes->Put({RJ_ESC, 'a', 0}); return 1;
      case RJ_BC_ALIGN_RIGHT: bytes->Put({RJ_ESC, 'a', 2}); return 1;
      default: break;
    }
    if (alignment < 0 || alignment > room) return 0;
    if (!skipLeft) bytes->Put({RJ_ESC, 'a', 0});
    position(upsideDown ? room - alignment : alignment);
    return 1;
  };

  switch (rotation) {
    case RJ_BC_ROTATE_NORMAL: {
      bytes->Put({RJ_ESC, '{', 0});
      if (!pageMode) return standardAlign(false);
      const long origin = input ? input->pageModeHorizontalPosition : 0;
      switch (alignment) {
        case RJ_BC_ALIGN_LEFT: return 1;
        case RJ_BC_ALIGN_CENTER: position(room / 2 + origin); return 1;
        case RJ_BC_ALIGN_RIGHT: position(room + origin); return 1;
        default: break;
      }
      if (alignment < 0 || alignment > room) return 0;
      position(alignment + origin);
      return 1;
    }
    case RJ_BC_ROTATE_180: {
      bytes->Put({RJ_ESC, '{', 1});
      if (!pageMode) return standardAlign(true);
      switch (alignment) {
        case RJ_BC_ALIGN_CENTER: position(room / 2); return 1;
        case RJ_BC_ALIGN_LEFT: position(room); return 1;
        case RJ_BC_ALIGN_RIGHT: return 1;
        default: break;
      }
      if (alignment < 0 || alignment > room) return 0;
      position(room - alignment);
      return 1;
    }
    case RJ_BC_ROTATE_LEFT:
    case RJ_BC_ROTATE_RIGHT: {
      if (state && state->rotatedPrint) return 1;
      // A page-mode area of its own: as wide as the line, as high as the symbol is wide,
      // printed turned; the symbol starts its own height down from the area's top.
      const long lineWidth = input ? input->recLineWidth : 0;
      bytes->Put({RJ_ESC, 'L'});
      bytes->Put({RJ_ESC, 'W', 0, 0, 0, 0}).Word(lineWidth).Word(symbolWidth);
      bytes->Put({RJ_ESC, 'T', static_cast<unsigned char>(rotation == RJ_BC_ROTATE_LEFT ? 1 : 3)});
      bytes->Put({RJ_GS, '$'}).Word(symbolHeight);
      return 1;
    }
    default:
      return 1;
  }
}

// ---------------------------------------------------------------------------------------
// Widths and the module choice.

long CRJDevice::GetExpandedWidthModules(const unsigned char* data, long length) {
  Gs1DataBarParams params = {};
  params.symbolType = kGs1SymbolExpanded;
  params.data = data;
  params.length = length;
  unsigned short* symbol = EncodeGS1DataBar(&params);
  if (!symbol) return 0;
  const long modules = symbol[1];
  delete[] symbol;
  return modules;
}

long CRJDevice::CalcBarcodeWidth(const unsigned char* data, long type, long coded, long module,
                                 long wide, long wideCount) {
  const long n = coded, x = module, w = wide, k = wideCount;
  switch (type) {
    case RJ_BC_UPCA:
    case RJ_BC_EAN13: return 95 * x;
    case RJ_BC_UPCE: return 51 * x;
    case RJ_BC_EAN8: return 67 * x;
    case RJ_BC_CODE39: return (7 * x + 3 * w) * (n + 2) - x;
    case RJ_BC_ITF: return w * (2 * n + 1) + x * (3 * n + 6);
    case RJ_BC_CODABAR: return (6 * x + 2 * w) * n + (w - x) * k - x;
    case RJ_BC_CODE93: return x * (9 * n + 37);
    case RJ_BC_CODE128:
    case RJ_BC_CODE128_PARSED: return x * (11 * n + 35);
    case RJ_BC_EAN13_ADDON: return (n == 14 || n == 15 ? 122 : 149) * x;
    case RJ_BC_DATABAR:
    case RJ_BC_DATABAR_TRUNCATED: return 96 * x;
    case RJ_BC_DATABAR_EXPANDED: return x * GetExpandedWidthModules(data, n);
    case RJ_BC_DATABAR_LIMITED: return 79 * x;
    default: return 0;
  }
}

int CRJDevice::SelectBarcodeModule(const unsigned char* data, long type, long coded,
                                   long wideCount, long requested, long* width, long* module,
                                   long* ratio) {
  const bool wideRatio = type == RJ_BC_CODE39 || type == RJ_BC_ITF || type == RJ_BC_CODABAR;
  const bool atLeastTwo = type == RJ_BC_CODE128_PARSED ||
                          (type >= RJ_BC_DATABAR && type <= RJ_BC_DATABAR_TRUNCATED);
  long best = 0, bestModule = 0, bestRatio = 0;
  for (long x = 2; x <= 6; ++x) {
    for (long r = 0; r < (wideRatio ? 3 : 1); ++r) {
      const long w = wideRatio ? kWideElement[r][x - 2] : 0;
      const long candidate = CalcBarcodeWidth(data, type, coded, x, w, wideCount);
      if (atLeastTwo && x == 2 && candidate > requested) {
        // Even the narrowest module is too wide: take it, the space check decides.
        *width = candidate;
        *module = 2;
        *ratio = 0;
        return 1;
      }
      if (candidate <= requested && candidate > best) {
        best = candidate;
        bestModule = x;
        bestRatio = r;
      }
    }
  }
  if (best == 0) return 0;
  *width = best;
  *module = bestModule;
  *ratio = bestRatio;
  return 1;
}

// ---------------------------------------------------------------------------------------
// Character checks.

bool CRJDevice::ParseCode128(const unsigned char* d, long length,
                             std::vector<unsigned char>* send, long* coded) {
  if (length < 2 || d[0] != '{' || d[1] < 'A' || d[1] > 'C') return false;
  send->assign(d, d + 2);
  m_codeSet = d[1] - 'A' + 1;
  long count = 0;
  long i = 2;
  // A "{" pair: the function and shift characters each set allows, and the set switches.
  auto pair = [&](const char* functions, const char* switches) {
    if (i + 1 >= length) return false;
    const unsigned char f = d[i + 1];
    if (f && std::strchr(switches, f)) m_codeSet = f - 'A' + 1;
    else if (!f || !std::strchr(functions, f)) return false;
    send->push_back(d[i]);
    send->push_back(f);
    i += 2;
    ++count;
    return true;
  };
  while (i < length) {
    const unsigned char c = d[i];
    if (m_codeSet == 1) {  // set A: control characters, digits, capitals, punctuation
      if (c == '{') {
        if (!pair("1234S", "BC")) return false;
      } else if (c <= 0x5F) {
        send->push_back(c);
        ++i;
        ++count;
      } else {
        return false;
      }
    } else if (m_codeSet == 2) {  // set B: printable ASCII
      if (c == '{') {
        if (!pair("{1234S", "AC")) return false;
      } else if (c >= 0x20 && c <= 0x7F) {
        send->push_back(c);
        ++i;
        ++count;
      } else {
        return false;
      }
    } else {  // set C: digit pairs packed into one value each
      if (c == '{') {
        if (!pair("1", "AB")) return false;
      } else if (IsDigit(c)) {
        long end = i;
        while (end < length && IsDigit(d[end])) ++end;
        if (end < length && d[end] != '{') return false;
        if ((end - i) % 2) {
          send->push_back(static_cast<unsigned char>(d[i] - '0'));
          ++i;
          ++count;
        }
        for (; i < end; i += 2, ++count)
          send->push_back(static_cast<unsigned char>((d[i] - '0') * 10 + (d[i + 1] - '0')));
      } else {
        return false;
      }
    }
  }
  *coded = count;
  return true;
}

namespace {

// Checks the bytes of the simple symbologies; fills the coded length and Codabar's wide count.
bool CheckCharacters(long type, const unsigned char* d, long n, Coded* coded) {
  coded->length = n;
  switch (type) {
    case RJ_BC_CODE39:
      for (long i = 0; i < n; ++i)
        if (!Code39Char(d[i])) return false;
      return true;
    case RJ_BC_CODABAR:
      if (!CodabarStartStop(d[0]) || !CodabarStartStop(d[n - 1])) return false;
      coded->wideCount = 2;
      for (long i = 1; i + 1 < n; ++i) {
        if (!CodabarChar(d[i]) || CodabarStartStop(d[i])) return false;
        if (std::strchr("+:./", d[i])) ++coded->wideCount;
      }
      return true;
    case RJ_BC_CODE93:  // the printer's Code 93 command takes 7-bit bytes
      for (long i = 0; i < n; ++i)
        if (d[i] > 0x7F) return false;
      return true;
    case RJ_BC_CODE128:
      coded->length = n - 1;
      return d[0] >= 0x67 && d[0] <= 0x69;  // start character A, B or C by its value
    case RJ_BC_DATABAR_EXPANDED:
      for (long i = 0; i < n; ++i)
        if (!RJExpandedChar(d[i])) return false;
      return true;
    default:  // digits only
      for (long i = 0; i < n; ++i)
        if (!IsDigit(d[i])) return false;
      return type != RJ_BC_UPCE || ZeroSuppressible(d);
  }
}

long HriCharacters(const OneDimRow& row, long coded, long dataLength) {
  switch (row.hri) {
    case Hri::kFixed: return row.hriFixed;
    case Hri::kCodedPlusStartStop: return coded + 2;
    case Hri::kCoded: return coded;
    default: return dataLength;
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------
// One-dimensional builder.

PrnTokenList* CRJDevice::fnOneDimensionBarcode(const RJBarCodeRequest& r, RJBarCodeResult* result) {
  m_codeSet = -1;
  const OneDimRow* row = FindOneDim(r.type);
  if (!row || !r.data || !LengthOk(r.type, r.length)) {
    LogError(kOneDim, __LINE__, "Data length error.");
    return RefuseBarcode(result);
  }
  Coded coded;
  std::vector<unsigned char> sendBuffer;
  const bool charsOk = r.type == RJ_BC_CODE128_PARSED
                           ? ParseCode128(r.data, r.length, &sendBuffer, &coded.length)
                           : CheckCharacters(r.type, r.data, r.length, &coded);
  if (!charsOk) {
    LogError(kOneDim, __LINE__, "Data character error.");
    return RefuseBarcode(result);
  }
  long width = 0, module = 0, ratio = 0;
  if (!SelectBarcodeModule(r.data, r.type, coded.length, coded.wideCount, r.requestedWidth,
                           &width, &module, &ratio) ||
      width > r.availableWidth) {
    LogError(kOneDim, __LINE__, "Barcode width error.");
    return RefuseBarcode(result);
  }

  // HRI font: the one whose character pitch (8 or 12 dots) lines the text up closer to the
  // symbol's width; the small one when the large text would not fit the line.
  const long c = HriCharacters(*row, coded.length, r.length);
  const long lineWidth = r.input ? r.input->recLineWidth : 0;
  const bool small = std::labs(width - 8 * c) < std::labs(width - 12 * c) || 12 * c >= lineWidth;
  const long hriHeight = small ? 16 : 24;
  long totalHeight = r.height, hriFeed = 0;
  unsigned char hriPosition = 0;
  if (r.hri == RJ_BC_HRI_ABOVE) {
    hriPosition = 1;
    totalHeight = r.height + hriHeight + 8;
  } else if (r.hri == RJ_BC_HRI_BELOW) {
    hriPosition = 2;
    totalHeight = r.height + 8;
    hriFeed = hriHeight;
  }

  const PrnStationState* state = r.state;
  const bool pageMode = state && state->pageMode;
  const bool rotatedPrint = state && state->rotatedPrint;
  RJBytes bytes;
  if (!pageMode) bytes.Put({RJ_ESC, 'J', 0});
  bytes.Put({RJ_GS, 'w', static_cast<unsigned char>(module)});
  bytes.Put({RJ_DC2, ':', static_cast<unsigned char>(ratio)});
  bytes.Put({RJ_GS, 'h', static_cast<unsigned char>(r.height)});
  bytes.Put({RJ_GS, 'f', static_cast<unsigned char>(small ? 1 : 0)});
  bytes.Put({RJ_GS, 'H', hriPosition});
  if (!SetBarcodePosition(r.input, state, r.availableWidth, r.alignment, r.rotation, width,
                          totalHeight, /*skipLeft=*/false, &bytes)) {
    LogError(kOneDim, __LINE__, "Barcode position error.");
    return RefuseBarcode(result);
  }
  bytes.Put({RJ_GS, 'k', row->m});
  const long n = r.length;
  switch (row->payload) {
    case Payload::kDigitsNul:
      bytes.Put(r.data, static_cast<size_t>(row->sentDigits)).Put(static_cast<unsigned char>(0));
      break;
    case Payload::kAllNul:
      bytes.Put(r.data, static_cast<size_t>(n)).Put(static_cast<unsigned char>(0));
      break;
    case Payload::kCounted:
      bytes.Put(static_cast<unsigned char>(n)).Put(r.data, static_cast<size_t>(n));
      break;
    case Payload::kAddOn: {
      const long main = n <= 15 ? n - 2 : n - 5;
      bytes.Put(r.data, static_cast<size_t>(main)).Put(static_cast<unsigned char>(0));
      bytes.Put(r.data + main, static_cast<size_t>(n - main)).Put(static_cast<unsigned char>(0));
      break;
    }
    case Payload::kSendBuffer:
      bytes.Put(static_cast<unsigned char>(sendBuffer.size()))
          .Put(sendBuffer.data(), sendBuffer.size());
      break;
    case Payload::kThirteen:
      bytes.Put(static_cast<unsigned char>(13)).Put(r.data, 13);
      break;
  }
  if (pageMode || rotatedPrint) bytes.Feed(hriFeed);
  if (!rotatedPrint && r.rotation != RJ_BC_ROTATE_NORMAL) bytes.Put(RJ_FF);
  return BuildBarcodeTokens(r, bytes, width, totalHeight, hriFeed, result);
}
