// Symbols the printer draws from its own symbol command (GS p): PDF417, QR Code and the
// stacked GS1 DataBar forms. The builder sizes each to fill the requested width.
#include "RJDevice.h"

#include "Gs1Expanded.h"
#include "LogContext.h"
#include "RJBarCode.h"
#include "RJBytes.h"

#include <utility>
#include <vector>

namespace {

constexpr char kTwoDim[] = "CRJDevice::fnTwoDimensionBarcode";

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// Shift JIS double-byte characters: lead bytes 0x81-0x9F and 0xE0-0xFC, trail bytes
// 0x40-0x7E and 0x80-0xFC.
bool SjisLead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool SjisTrail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

// Those pairs exist only where the character set is the Shift JIS code page; elsewhere
// every byte is a character of its own.
constexpr long kShiftJisCodePage = 932;
bool ShiftJis(const PrnInputProperty* input) {
  return input && input->characterSet == kShiftJisCodePage;
}

// The most data a QR Code holds at level M: version 40 carries 18672 data bits, which take
// 5596 digits in numeric mode (4 mode bits, 14 count bits, 1865 groups of three digits in
// 10 bits, one digit in 4). Any other mode holds fewer bytes.
constexpr long kQrMaxData = 5596;

bool DataOk(long type, const unsigned char* d, long n, bool shiftJis) {
  switch (type) {
    case RJ_BC_PDF417: return n >= 1 && n <= 499;
    case RJ_BC_QRCODE:
      if (n < 1 || n > kQrMaxData) return false;
      if (!shiftJis) return true;
      for (long i = 0; i < n; ++i) {
        if (!SjisLead(d[i])) continue;
        if (i + 1 >= n || !SjisTrail(d[i + 1])) return false;
        ++i;
      }
      return true;
    case RJ_BC_DATABAR_STACKED:
    case RJ_BC_DATABAR_STACKED_OMNI:
      if (n != 13) return false;
      for (long i = 0; i < n; ++i)
        if (!IsDigit(d[i])) return false;
      return true;
    case RJ_BC_DATABAR_EXPANDED_STACKED:
      if (n < 2 || n > 255) return false;
      for (long i = 0; i < n; ++i)
        if (!RJExpandedChar(d[i])) return false;
      return true;
    default: return false;
  }
}

// ---- PDF417 ------------------------------------------------------------------------------

struct Pdf417Size {
  long rows, columns, module, rowHeight;
};

// Codewords: byte compaction packs 6 bytes into 5 codewords, behind the length descriptor
// and the byte compaction latch; error correction level 4 adds 32.
bool SizePdf417(long n, long requestedWidth, long height, Pdf417Size* out) {
  const long need = (n / 6) * 5 + n % 6 + 2 + 32;
  const bool columnsFirst = requestedWidth < height;
  for (long outer = 1; outer <= (columnsFirst ? 30 : 90); ++outer) {
    if (!columnsFirst && outer < 3) continue;
    for (long inner = columnsFirst ? 3 : 1; inner <= (columnsFirst ? 90 : 30); ++inner) {
      const long c = columnsFirst ? outer : inner;
      const long r = columnsFirst ? inner : outer;
      if (r * c < need) continue;
      long x = 8;
      while (x >= 2 && (17 * c + 69) * x > requestedWidth) --x;
      if (x < 2) continue;
      for (long y = 127; y >= 2; --y) {
        if (r * y <= height) {
          *out = Pdf417Size{r, c, x, y};
          return true;
        }
      }
    }
  }
  return false;
}

// ---- QR Code -----------------------------------------------------------------------------

enum QrMode { kNumeric, kAlnum, kByte, kKanji };

// Thresholds of one version group (ISO/IEC 18004 character count indicator lengths and the
// bit-stream optimisation of its annex).
struct QrGroup {
  long firstVersion, lastVersion;
  long countBits[4];        // numeric, alphanumeric, byte, kanji
  long alnumStartBeforeByte;  // an alphanumeric run shorter than this before byte data
  long numStartBeforeByte;    // a numeric run shorter than this before byte data
  long numStartBeforeAlnum;   // a numeric run shorter than this before alphanumeric data
  long byteToNum;             // in byte mode, numeric run of at least this before byte data
  long byteToAlnum;           // in byte mode, alphanumeric run of at least this
  long alnumToNum;            // in alphanumeric mode, numeric run of at least this
};
constexpr QrGroup kQrGroups[] = {
    {1, 9, {10, 9, 8, 8}, 6, 4, 7, 6, 11, 13},
    {10, 26, {12, 11, 16, 10}, 7, 4, 8, 8, 15, 15},
    {27, 40, {14, 13, 16, 12}, 8, 5, 9, 9, 16, 17},
};

// Level M data capacity in codewords, versions 1-40 (ISO/IEC 18004 Table 7).
constexpr long kQrDataCodewordsM[40] = {
    16,   28,   44,   64,   86,   108,  124,  154,  182,  216,  254,  290,  334,  365,
    415,  453,  507,  563,  627,  669,  714,  782,  860,  914,  1000, 1062, 1128, 1193,
    1267, 1373, 1455, 1541, 1631, 1725, 1812, 1914, 1992, 2102, 2216, 2334,
};

// One class per character; in Shift JIS a double-byte pair is one kanji character.
std::vector<QrMode> ClassifyQr(const unsigned char* d, long n, bool shiftJis) {
  std::vector<QrMode> classes;
  for (long i = 0; i < n; ++i) {
    const unsigned char c = d[i];
    if (shiftJis && SjisLead(c) && i + 1 < n && SjisTrail(d[i + 1])) {
      classes.push_back(kKanji);
      ++i;
    } else if (IsDigit(c)) {
      classes.push_back(kNumeric);
    } else if ((c >= 'A' && c <= 'Z') || c == ' ' || c == '$' || c == '%' || c == '*' ||
               c == '+' || c == '-' || c == '.' || c == '/' || c == ':') {
      classes.push_back(kAlnum);
    } else {
      classes.push_back(kByte);
    }
  }
  return classes;
}

// The characters with their runs: where the run of equal classes through each character
// ends, found in one pass from the back so that sizing stays linear in the data.
struct QrText {
  std::vector<QrMode> classes;
  std::vector<size_t> runEnd;
  explicit QrText(std::vector<QrMode> c) : classes(std::move(c)), runEnd(classes.size()) {
    for (size_t i = classes.size(); i-- > 0;)
      runEnd[i] = i + 1 < classes.size() && classes[i + 1] == classes[i] ? runEnd[i + 1] : i + 1;
  }
};

// Length of the run of the class at i, and what follows it (-1: the run reaches the end).
struct Run {
  long length;
  int next;
};
Run RunAt(const QrText& t, size_t i) {
  const size_t end = t.runEnd[i];
  return Run{static_cast<long>(end - i),
             end < t.classes.size() ? static_cast<int>(t.classes[end]) : -1};
}

long SegmentBits(QrMode mode, long k, const QrGroup& g) {
  long bits = 4 + g.countBits[mode];
  switch (mode) {
    case kNumeric: return bits + 10 * (k / 3) + (k % 3 == 1 ? 4 : k % 3 == 2 ? 7 : 0);
    case kAlnum: return bits + 11 * (k / 2) + (k % 2 ? 6 : 0);
    case kByte: return bits + 8 * k;
    default: return bits + 13 * k;
  }
}

long QrBits(const QrText& t, const QrGroup& g) {
  const std::vector<QrMode>& c = t.classes;
  QrMode mode;
  const Run first = RunAt(t, 0);
  switch (c[0]) {
    case kAlnum:
      mode = first.next == kByte && first.length < g.alnumStartBeforeByte ? kByte : kAlnum;
      break;
    case kNumeric:
      if (first.next == kByte && first.length < g.numStartBeforeByte) mode = kByte;
      else if (first.next == -1 || first.length >= g.numStartBeforeAlnum || first.next != kAlnum)
        mode = kNumeric;
      else mode = kAlnum;
      break;
    default: mode = c[0];
  }
  long total = 0, k = 1;
  for (size_t i = 1; i < c.size(); ++i) {
    QrMode next = mode;
    const QrMode cls = c[i];
    if (mode == kNumeric || mode == kKanji) {
      next = cls;
    } else if (mode == kByte) {
      if (cls == kKanji) {
        next = kKanji;
      } else if (cls == kNumeric || cls == kAlnum) {
        const Run run = RunAt(t, i);
        const long threshold = cls == kNumeric ? g.byteToNum : g.byteToAlnum;
        if (run.next == kByte && run.length >= threshold) next = cls;
      }
    } else {  // alphanumeric
      if (cls == kByte || cls == kKanji) {
        next = cls;
      } else if (cls == kNumeric) {
        const Run run = RunAt(t, i);
        if (run.next == kAlnum && run.length >= g.alnumToNum) next = kNumeric;
      }
    }
    if (next == mode) {
      ++k;
    } else {
      total += SegmentBits(mode, k, g);
      mode = next;
      k = 1;
    }
  }
  return total + SegmentBits(mode, k, g);
}

bool SizeQr(const unsigned char* d, long n, bool shiftJis, long requestedWidth, long* version,
            long* module) {
  const QrText text(ClassifyQr(d, n, shiftJis));
  long v = -1;
  for (const QrGroup& g : kQrGroups) {
    const long candidate = CRJDevice::GetQRVersion(QrBits(text, g));
    if (candidate >= g.firstVersion && candidate <= g.lastVersion) {
      v = candidate;
      break;
    }
  }
  if (v < 0) return false;
  for (long m = 16; m >= 2; --m) {
    if ((4 * v + 17) * m <= requestedWidth) {
      *version = v;
      *module = m;
      return true;
    }
  }
  return false;
}

}  // namespace

long CRJDevice::GetQRVersion(long bits) {
  if (bits <= 0) return -1;
  for (long v = 1; v <= 40; ++v)
    if (kQrDataCodewordsM[v - 1] * 8 >= bits) return v;
  return -1;
}

long CRJDevice::GetExpandedStackedWidth(const unsigned char* data, long length, long segments,
                                        long module) {
  Gs1DataBarParams params = {};
  params.symbolType = kGs1SymbolExpanded;
  params.stacked = 1;
  params.segmentsPerRow = static_cast<short>(segments);
  params.data = data;
  params.length = length;
  unsigned short* symbol = EncodeGS1DataBar(&params);
  if (!symbol) return 0;
  const long rows = (symbol[0] + 3) / 4;  // 4R - 3 module rows for R symbol rows
  delete[] symbol;
  return module * (37 * (rows - 1) + 34);
}

PrnTokenList* CRJDevice::fnTwoDimensionBarcode(const RJBarCodeRequest& r,
                                               RJBarCodeResult* result) {
  m_codeSet = -1;
  const bool shiftJis = ShiftJis(r.input);
  if (!r.data || !DataOk(r.type, r.data, r.length, shiftJis)) {
    LogError(kTwoDim, __LINE__, "Data error.");
    return RefuseBarcode(result);
  }
  const long n = r.length;
  const long gs1Module = r.gs1ModuleSize >= 2 && r.gs1ModuleSize <= 16 ? r.gs1ModuleSize : 2;
  long width = 0, height = 0;
  RJBytes command;
  switch (r.type) {
    case RJ_BC_PDF417: {
      Pdf417Size s;
      if (!SizePdf417(n, r.requestedWidth, r.height, &s)) {
        LogError(kTwoDim, __LINE__, "Barcode size error.");
        return RefuseBarcode(result);
      }
      width = (17 * s.columns + 69) * s.module;
      height = s.rows * s.rowHeight;
      command.Put({RJ_GS, 'n', static_cast<unsigned char>(s.module)});
      command.Put({RJ_GS, 'o', static_cast<unsigned char>(s.rowHeight)});
      command.Put({RJ_GS, 'p', 0, 0, 4, static_cast<unsigned char>(s.rows),
                   static_cast<unsigned char>(s.columns)})
          .Word(n)
          .Put(r.data, static_cast<size_t>(n));
      break;
    }
    case RJ_BC_QRCODE: {
      long v = 0, m = 0;
      if (!SizeQr(r.data, n, shiftJis, r.requestedWidth, &v, &m)) {
        LogError(kTwoDim, __LINE__, "Barcode size error.");
        return RefuseBarcode(result);
      }
      width = height = (4 * v + 17) * m;
      command.Put({RJ_DC2, ';', static_cast<unsigned char>(m)});
      command.Put({RJ_GS, 'p', 1, 2, 'M', static_cast<unsigned char>(v), 'M'})
          .Word(n)
          .Put(r.data, static_cast<size_t>(n))
          .Put(static_cast<unsigned char>(0));
      break;
    }
    case RJ_BC_DATABAR_STACKED:
    case RJ_BC_DATABAR_STACKED_OMNI: {
      const bool omni = r.type == RJ_BC_DATABAR_STACKED_OMNI;
      width = 50 * gs1Module;
      height = (omni ? 69 : 13) * gs1Module;
      command.Put({RJ_DC2, ';', static_cast<unsigned char>(gs1Module)});
      if (omni) command.Put({RJ_GS, 'p', 4, 1, 33, 13});
      else command.Put({RJ_GS, 'p', 4, 0, 13});
      command.Put(r.data, 13).Put(static_cast<unsigned char>(0));
      break;
    }
    default: {  // GS1 DataBar Expanded Stacked
      long segments = 20;
      // The widest row strictly inside the requested width (a row exactly as wide as the
      // request is not taken), two segments at the least.
      while (segments > 2 && (49 * segments / 2 + 4) * gs1Module >= r.requestedWidth)
        segments -= 2;
      width = (49 * segments / 2 + 4) * gs1Module;
      height = GetExpandedStackedWidth(r.data, n, segments, gs1Module);
      if (height == 0) {  // the encoder refused the element string
        LogError(kTwoDim, __LINE__, "Data error.");
        return RefuseBarcode(result);
      }
      command.Put({RJ_DC2, ';', static_cast<unsigned char>(gs1Module)});
      command.Put({RJ_GS, 'p', 4, 2, static_cast<unsigned char>(segments),
                   static_cast<unsigned char>(n)})
          .Put(r.data, static_cast<size_t>(n))
          .Put(static_cast<unsigned char>(0));
      break;
    }
  }
  if (width > r.availableWidth || (r.availableHeight != -1 && height > r.availableHeight)) {
    LogError(kTwoDim, __LINE__, "Barcode is larger than the print area.");
    return RefuseBarcode(result);
  }
  const PrnStationState* state = r.state;
  const bool pageMode = state && state->pageMode;
  const bool rotatedPrint = state && state->rotatedPrint;
  RJBytes bytes;
  if (!pageMode) bytes.Put({RJ_ESC, 'J', 0});
  if (!SetBarcodePosition(r.input, state, r.availableWidth, r.alignment, r.rotation, width,
                          height, /*skipLeft=*/true, &bytes)) {
    LogError(kTwoDim, __LINE__, "Barcode position error.");
    return RefuseBarcode(result);
  }
  bytes.Put(command.Data(), command.Size());
  if (!rotatedPrint && r.rotation != RJ_BC_ROTATE_NORMAL) bytes.Put(RJ_FF);
  return BuildBarcodeTokens(r, bytes, width, height, /*hriFeed=*/0, result);
}
