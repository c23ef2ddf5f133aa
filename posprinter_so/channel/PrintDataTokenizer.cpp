#include "PrintDataTokenizer.h"

#include <mbctype.h>

#include <climits>
#include <cstddef>
#include <cstring>
#include <memory>

#include "CommDevice.h"

namespace {

constexpr unsigned char kCR = 0x0D;
constexpr unsigned char kLF = 0x0A;
constexpr unsigned char kESC = 0x1B;

// Result codes written to the caller's result word.
constexpr long kMalformed = 111;  // outside the escape grammar
constexpr long kIllegal = 106;    // well formed, but its value or body can't be used

// Values the sub-module reports through service 1011 for this printer; used when the
// channel has no claim object to ask.
constexpr long kDefaultLineEndFlags = 7;
constexpr long kDefaultDotsPerInch = 203;
// Line-end flags: which CR / LF combinations end a line.
constexpr long kCrAlone = 1, kLfAlone = 2, kCrLf = 4, kLfCr = 8;

constexpr long kNumberLimit = 65536;       // numbers must stay below this ...
constexpr long kColourLimit = 255255255;   // ... except a colour "rrrgggbbb"
constexpr int kMaxDigits = 9;              // a tenth digit is refused: no 32-bit overflow

bool IsDigit(long c) { return c >= '0' && c <= '9'; }

// At least one and at most kMaxDigits digits from body[*i], below `end`.
bool ReadDigits(const unsigned char* body, long* i, long end, long* value) {
  long v = 0;
  int digits = 0;
  while (*i < end && IsDigit(body[*i])) {
    if (++digits > kMaxDigits) return false;
    v = v * 10 + (body[(*i)++] - '0');
  }
  if (digits == 0) return false;
  *value = v;
  return true;
}

}  // namespace

enum class PrefixRule {
  None,          // "!" and "*" both refused
  NegatesOff,    // "!" selects the off-token, "*" refused
  StarAllowed,   // "*" accepted, "!" refused
  StarRequired,  // "*" required, "!" refused
};

enum class Special { None, Size, Normal, HScale, Left, Right, Centre, Bitmap, PassThrough,
                     TopLogo, BottomLogo, BarCode, RuledLine };

struct CPrintDataTokenizer::Sequence {
  const char* letters;
  bool plain;     // allowed without a number
  bool numbered;  // allowed after a number
  long code;      // 0: no token of its own (see special)
  long offCode;   // the "!" form
  bool valued;    // the token carries the number (-1 when there is none)
  PrefixRule prefix;
  Special special;
};

namespace {

using Sequence = CPrintDataTokenizer::Sequence;
using P = PrefixRule;
using S = Special;

// The UnifiedPOS escape sequences after ESC "|" and the tokens they become.
const Sequence kSequences[] = {
    // letters plain  numbered code                  offCode                valued prefix
    {"bC",  true,  false, RJ_TOKEN_BOLD,           RJ_TOKEN_BOLD_OFF,        false, P::NegatesOff,  S::None},
    {"sL",  true,  false, RJ_TOKEN_STAMP,          0,                     false, P::None,        S::None},
    {"iC",  true,  false, RJ_TOKEN_ITALIC,         RJ_TOKEN_ITALIC_OFF,      false, P::NegatesOff,  S::None},
    {"rvC", true,  false, RJ_TOKEN_REVERSE,        RJ_TOKEN_REVERSE_OFF,     false, P::NegatesOff,  S::None},
    {"rA",  true,  false, RJ_TOKEN_RIGHT,          0,                     false, P::None,        S::Right},
    {"lA",  true,  false, RJ_TOKEN_LEFT,           0,                     false, P::None,        S::Left},
    {"C",   false, true,  0,                    0,                     false, P::None,        S::Size},
    {"cA",  true,  false, RJ_TOKEN_CENTER,         0,                     false, P::None,        S::Centre},
    {"N",   true,  false, RJ_TOKEN_NORMAL,         0,                     false, P::None,        S::Normal},
    {"P",   true,  true,  RJ_TOKEN_CUT,            0,                     true,  P::None,        S::None},
    {"fP",  true,  true,  RJ_TOKEN_FEED_CUT,       0,                     true,  P::None,        S::None},
    {"fT",  false, true,  RJ_TOKEN_TYPEFACE,       0,                     true,  P::None,        S::None},
    {"sP",  true,  true,  RJ_TOKEN_FEED_CUT_STAMP, 0,                     true,  P::None,        S::None},
    {"sC",  true,  true,  RJ_TOKEN_SHADING,        0,                     true,  P::None,        S::None},
    {"B",   false, true,  RJ_TOKEN_BITMAP,         0,                     true,  P::None,        S::Bitmap},
    {"lF",  true,  true,  RJ_TOKEN_FEED_LINES,     0,                     true,  P::None,        S::None},
    {"uF",  true,  true,  RJ_TOKEN_FEED_UNITS,     0,                     true,  P::None,        S::None},
    {"uC",  true,  true,  RJ_TOKEN_UNDERLINE,      RJ_TOKEN_UNDERLINE_OFF,   true,  P::NegatesOff,  S::None},
    {"rF",  true,  true,  RJ_TOKEN_FEED_REVERSE,   0,                     true,  P::None,        S::None},
    {"hC",  false, true,  RJ_TOKEN_HSCALE,         0,                     true,  P::None,        S::HScale},
    {"vC",  false, true,  RJ_TOKEN_VSCALE,         0,                     true,  P::None,        S::None},
    {"stC", true,  true,  RJ_TOKEN_STRIKE,         RJ_TOKEN_STRIKE_OFF,      true,  P::NegatesOff,  S::None},
    {"rC",  true,  true,  RJ_TOKEN_ALT_COLOR,      0,                     true,  P::None,        S::None},
    {"fC",  true,  true,  RJ_TOKEN_COLOR,          0,                     true,  P::None,        S::None},
    {"tbC", true,  false, RJ_TOKEN_SUBSCRIPT,      RJ_TOKEN_SUBSCRIPT_OFF,   false, P::NegatesOff,  S::None},
    {"tpC", true,  false, RJ_TOKEN_SUPERSCRIPT,    RJ_TOKEN_SUPERSCRIPT_OFF, false, P::NegatesOff,  S::None},
    {"E",   true,  true,  0,                    0,                     false, P::StarAllowed, S::PassThrough},
    {"tL",  true,  false, 0,                    0,                     false, P::None,        S::TopLogo},
    {"bL",  true,  false, 0,                    0,                     false, P::None,        S::BottomLogo},
    {"R",   false, true,  0,                    0,                     false, P::StarAllowed, S::BarCode},
    {"dL",  false, true,  0,                    0,                     false, P::StarRequired, S::RuledLine},
};

// "#C": the size token and the horizontal magnification it leaves.
struct SizeRow {
  long code;
  long widthFactor;
};
const SizeRow kSizes[] = {{RJ_TOKEN_SINGLE_SIZE, 1}, {RJ_TOKEN_DOUBLE_WIDE, 2},
                          {RJ_TOKEN_DOUBLE_HIGH, 1}, {RJ_TOKEN_DOUBLE_SIZE, 2}};

bool PrefixAccepted(PrefixRule rule, bool negate, bool star) {
  switch (rule) {
    case P::NegatesOff: return !star;
    case P::StarAllowed: return !negate;
    case P::StarRequired: return star;
    case P::None: return !negate && !star;
  }
  return false;
}

// The field of a "x,y,width,height" print area, or 0 when it is missing.
long AreaField(const char* area, int index) {
  std::string fields[4];
  (void)CCommDevice::SplitByComma(area ? area : "", fields, 4);
  return std::strtol(fields[index].c_str(), nullptr, 10);
}

}  // namespace

CPrintDataTokenizer::CPrintDataTokenizer(CCommDevice& channel, PrnInputProperty* record,
                                         PrnStationState* stationState,
                                         const unsigned char* data, long length,
                                         long charWidth, long charSpacing, PrnTokenList* list,
                                         long* errorWord)
    : m_channel(channel),
      m_record(record),
      m_stationState(stationState),
      m_data(data),
      m_length(data && length > 0 ? length : 0),
      m_charWidth(charWidth),
      m_charSpacing(charSpacing),
      m_list(list),
      m_errorWord(errorWord) {
  const CPrinterParameters* claim = channel.Owner();
  m_lineEndFlags = claim ? claim->LineEndFlags() : kDefaultLineEndFlags;
  m_dpi = claim && claim->Resolution() > 0 ? claim->Resolution() : kDefaultDotsPerInch;
}

void CPrintDataTokenizer::Run() {
  m_pageMode = m_stationState && m_stationState->pageMode != 0;
  if (m_pageMode) {
    // Across the paper for directions 1 and 3 (left-right, right-left), else down it.
    const long direction = m_record->pageModePrintDirection;
    m_lineWidth = AreaField(m_record->pageModePrintArea, direction == 1 || direction == 3 ? 2 : 3);
    ConvertEscapeToken(RJ_TOKEN_WRAP_START, -1);
  }
  while (m_pos < m_length) {
    const unsigned char c = m_data[m_pos];
    if (c == kCR || c == kLF || c == kESC) {
      FlushText();
      if (c == kESC)
        ConvertSequence();
      else
        ConvertLineEnd();
    } else if (!m_pageMode) {
      ++m_pos;
    } else {
      PlaceInPageMode();
    }
  }
  m_pos = m_length;
  FlushText();
}

void CPrintDataTokenizer::FlushText() {
  if (m_pos - m_start >= 1) {
    PrnCommandToken* token = nullptr;
    (void)m_channel.SendEscapeToken(RJ_TOKEN_TEXT, m_data + m_start, m_pos - m_start, -1, m_list,
                                    &token);
  }
  m_start = m_pos;
}

void CPrintDataTokenizer::ConvertEscapeToken(long code, long value) {
  if (code == RJ_TOKEN_FEED_UNITS) value = CCommDevice::ConvertToDots(m_record->mapMode, value, m_dpi);
  if (code == RJ_TOKEN_CUT || code == RJ_TOKEN_FEED_CUT) m_channel.SetCutPending(true);
  PrnCommandToken* token = nullptr;
  (void)m_channel.SendEscapeToken(code, nullptr, 0, value, m_list, &token);
}

void CPrintDataTokenizer::PlaceInPageMode() {
  if (!m_linePlaced) {
    m_column = (m_centred || m_rightAligned) ? 0 : m_record->pageModeHorizontalPosition;
    m_linePlaced = true;
  }
  // A lead byte is one character of two bytes, unless its trail byte is missing or is a
  // control byte that starts something else.
  const long next = Byte(m_pos + 1);
  const long bytes =
      (_ismbblead(m_data[m_pos]) && next >= 0 && next != kCR && next != kLF && next != kESC) ? 2
                                                                                            : 1;
  const long long width =
      static_cast<long long>(m_charWidth / 2 + m_charSpacing) * m_widthFactor * bytes;
  if (m_column + width <= m_lineWidth) {
    m_column += width;
    m_pos += bytes;
    return;
  }
  FlushText();
  if (width > m_lineWidth) {  // never fits: dropped
    m_pos += bytes;
    m_start = m_pos;
    return;
  }
  ConvertEscapeToken(RJ_TOKEN_LINE_FEED, -1);
  m_column = 0;
  m_start = m_pos;
}

void CPrintDataTokenizer::ConvertLineEnd() {
  const long c = Byte(m_pos);
  const long next = Byte(m_pos + 1);
  long skip = 1;
  bool feed;
  if (c == kCR && next == kLF && (m_lineEndFlags & kCrLf)) {
    skip = 2;
    feed = true;
  } else if (c == kLF && next == kCR && (m_lineEndFlags & kLfCr)) {
    skip = 2;
    feed = true;
  } else {
    feed = (m_lineEndFlags & (c == kCR ? kCrAlone : kLfAlone)) != 0;
  }
  if (feed) ConvertEscapeToken(RJ_TOKEN_LINE_FEED, -1);
  m_pos += skip;
  m_column = 0;
  m_start = m_pos;
}

// m_pos is at the ESC and m_start with it. A refused sequence leaves m_start there, so its
// bytes end up in the next text token, and scanning goes on at the byte that refused it.
void CPrintDataTokenizer::ConvertSequence() {
  long p = m_pos + 1;
  if (Byte(p) != '|') {
    Reject(kMalformed);
    m_pos = p;
    return;
  }
  ++p;
  bool negate = false, star = false;
  if (Byte(p) == '!' || Byte(p) == '*') {
    negate = Byte(p) == '!';
    star = !negate;
    ++p;
    if (Byte(p) == '!' || Byte(p) == '*') {
      Reject(kMalformed);
      m_pos = p;
      return;
    }
  }
  long number = 0;
  int digits = 0;
  for (; IsDigit(Byte(p)); ++p) {
    if (++digits > kMaxDigits) {
      Reject(kMalformed);
      m_pos = p;
      return;
    }
    number = number * 10 + (Byte(p) - '0');
  }
  const bool numbered = digits > 0;
  std::string letters;
  for (;; ++p) {
    const long c = Byte(p);
    if (c < 0) {
      Reject(kMalformed);
      m_pos = p;
      return;
    }
    letters += static_cast<char>(c);
    // The size limit is tested on the letter after the number; "f" waits one more letter,
    // as "fC" takes a colour.
    const bool tooLarge =
        numbered && ((letters.size() == 1 && c != 'f' && number >= kNumberLimit) ||
                     (letters.size() == 2 && letters[0] == 'f' &&
                      (c == 'C' ? number > kColourLimit : number >= kNumberLimit)));
    if (tooLarge) {
      Reject(c == 'E' ? kIllegal : kMalformed);
      m_pos = p;
      return;
    }
    const Sequence* match = nullptr;
    bool partial = false;
    for (const Sequence& seq : kSequences) {
      if (!(numbered ? seq.numbered : seq.plain)) continue;
      if (letters == seq.letters) match = &seq;
      else if (std::strncmp(seq.letters, letters.c_str(), letters.size()) == 0) partial = true;
    }
    if (match) {
      m_pos = p + 1;
      if (!PrefixAccepted(match->prefix, negate, star)) {
        Reject(kMalformed);
        return;
      }
      m_start = m_pos;
      Accept(*match, numbered ? number : -1, negate);
      return;
    }
    if (!partial) {
      Reject(kMalformed);
      m_pos = p;
      return;
    }
  }
}

void CPrintDataTokenizer::Accept(const Sequence& seq, long number, bool negate) {
  const bool beforeText = !m_linePlaced;
  switch (seq.special) {
    case S::Size:
      if (number < 1 || number > 4) {
        Reject(kIllegal);
        return;
      }
      ConvertEscapeToken(kSizes[number - 1].code, -1);
      m_widthFactor = kSizes[number - 1].widthFactor;
      return;
    case S::PassThrough: ConvertPassThrough(number); return;
    case S::TopLogo: ConvertLogo(true); return;
    case S::BottomLogo: ConvertLogo(false); return;
    case S::BarCode: ConvertBodySequence(true, number); return;
    case S::RuledLine: ConvertBodySequence(false, number); return;
    default: break;
  }
  ConvertEscapeToken(negate ? seq.offCode : seq.code, seq.valued ? number : -1);
  switch (seq.special) {
    case S::Normal: m_widthFactor = 1; break;
    case S::HScale: m_widthFactor = number; break;
    case S::Left:
    case S::Right:
    case S::Centre:
      if (beforeText) {
        m_rightAligned = seq.special == S::Right;
        m_centred = seq.special == S::Centre;
      }
      break;
    case S::Bitmap:
      // A bitmap in page mode or sideways printing ends its line itself.
      if (m_stationState && (m_stationState->pageMode || m_stationState->rotatedPrint))
        ConvertEscapeToken(RJ_TOKEN_LINE_FEED, -1);
      break;
    default: break;
  }
}

void CPrintDataTokenizer::ConvertPassThrough(long number) {
  const long asked = number < 0 ? 0 : number;
  const long n = asked < m_length - m_pos ? asked : m_length - m_pos;
  if (n < 1) {
    Reject(kIllegal);
    return;
  }
  PrnCommandToken* token = nullptr;
  (void)m_channel.SendEscapeToken(RJ_TOKEN_PASS_THROUGH, m_data + m_pos, n, n, m_list, &token);
  m_pos += n;
  m_start = m_pos;
  if (n < asked) Reject(kIllegal);
}

void CPrintDataTokenizer::ConvertLogo(bool top) {
  // No logo stored: nothing to print, and the sub-module is not handed a null list.
  PrnTokenList* logo = top ? m_channel.TopLogo() : m_channel.BottomLogo();
  if (logo) (void)m_channel.AppendCommandTokens(logo, m_list);
}

void CPrintDataTokenizer::ConvertBodySequence(bool barcode, long number) {
  const long left = m_length - m_pos;
  const bool ok = number >= 1 && number <= left &&
                  (barcode ? ConvertBarCodeSequence(m_pos, number)
                           : ConvertRuledLineSequence(m_pos, number));
  if (!ok) Reject(kIllegal);
  m_pos += number < 0 ? 0 : (number < left ? number : left);
  m_start = m_pos;
}

long CPrintDataTokenizer::ToDots(long value) const {
  return CCommDevice::ConvertToDots(m_record->mapMode, value, m_dpi);
}

bool CPrintDataTokenizer::ConvertBarCodeSequence(long bodyStart, long bodyLength) {
  BarCodeBody body;
  if (!ParseBarCodeBody(m_data + bodyStart, bodyLength, &body)) return false;
  const long height = ToDots(body.height);
  const long width = ToDots(body.width);
  const long alignment = body.alignment >= 0 ? ToDots(body.alignment) : body.alignment;
  const PrnEntryPoints& entry = m_channel.EntryPoints();
  if (!entry.preMethod || !entry.executeMethod) return false;

  long resultCodeExtended = 0;
  PrnPrePrintBarCodeArgs pre{m_record, PRN_STATION_RECEIPT, body.data.c_str(), body.symbology,
                             height, width, alignment, body.textPosition, &resultCodeExtended};
  if (entry.preMethod(PRN_METHOD_PRINT_BAR_CODE, reinterpret_cast<long*>(&pre),
                      m_channel.Slot()) != OPOS_SUCCESS)
    return false;
  PrnPropertySnapshot* snapshot = NewSnapshot();
  PrnTokenList* list = m_list;
  PrnExecPrintBarCodeArgs exec{m_record, m_stationState, PRN_STATION_RECEIPT,
                               body.data.c_str(), body.symbology, height, width, alignment,
                               body.textPosition, /*flag=*/1, &list, snapshot};
  const long result = entry.executeMethod(PRN_METHOD_PRINT_BAR_CODE,
                                          reinterpret_cast<long*>(&exec), m_channel.Slot());
  FreeSnapshot(snapshot);
  return result == OPOS_SUCCESS;
}

bool CPrintDataTokenizer::ConvertRuledLineSequence(long bodyStart, long bodyLength) {
  RuledLineBody body;
  if (!ParseRuledLineBody(m_data + bodyStart, bodyLength, &body)) return false;
  const PrnEntryPoints& entry = m_channel.EntryPoints();
  if (!entry.preMethod || !entry.executeMethod) return false;

  long resultCodeExtended = 0;
  PrnPreDrawRuledLineArgs pre{m_record, PRN_STATION_RECEIPT, body.positions.c_str(),
                              body.direction, body.width, body.style, body.colour,
                              &resultCodeExtended};
  if (entry.preMethod(PRN_METHOD_DRAW_RULED_LINE, reinterpret_cast<long*>(&pre),
                      m_channel.Slot()) != OPOS_SUCCESS)
    return false;
  std::vector<long> positions;
  if (CCommDevice::CheckRuledLinePositions(body.positions.c_str(), &positions, body.direction,
                                           m_record->mapMode, m_dpi) != OPOS_SUCCESS)
    return false;
  const PrnPositionArray array{positions.data(), static_cast<long>(positions.size())};
  PrnPropertySnapshot* snapshot = NewSnapshot();
  PrnTokenList* list = m_list;
  PrnExecDrawRuledLineArgs exec{m_record,    m_stationState, PRN_STATION_RECEIPT, &array,
                                body.direction, body.width,  body.style,         body.colour,
                                /*flag=*/1,  &list,          snapshot};
  const long result = entry.executeMethod(PRN_METHOD_DRAW_RULED_LINE,
                                          reinterpret_cast<long*>(&exec), m_channel.Slot());
  FreeSnapshot(snapshot);
  return result == OPOS_SUCCESS;
}

// The snapshot an execute phase needs: the record's numbers, every text slot NULL, the
// position words -1.
PrnPropertySnapshot* CPrintDataTokenizer::NewSnapshot() const {
  // The service object's own builder also carries the sub-module's carry word.
  if (IChannelOwner* owner = m_channel.ChannelOwner()) return owner->BuildPropertySnapshot(m_record);
  auto* snapshot = new PrnPropertySnapshot{};
  snapshot->powerState = m_record->powerState;
  snapshot->serviceObjectVersion = m_record->serviceObjectVersion;
  static_assert(offsetof(PrnInputProperty, asyncMode) - offsetof(PrnPropertySnapshot, asyncMode) ==
                    16,
                "snapshot words 32..276 are the record's words 48..292");
  std::memcpy(&snapshot->asyncMode, &m_record->asyncMode,
              offsetof(PrnInputProperty, pageModeVerticalPosition) + sizeof(long) -
                  offsetof(PrnInputProperty, asyncMode));
  for (char** slot : {&snapshot->characterSetList, &snapshot->errorString,
                      &snapshot->fontTypefaceList, &snapshot->pageModeArea,
                      &snapshot->jrnLineCharsList, &snapshot->recLineCharsList,
                      &snapshot->recBarCodeRotationList, &snapshot->recBitmapRotationList,
                      &snapshot->slpLineCharsList, &snapshot->slpBarCodeRotationList,
                      &snapshot->slpBitmapRotationList, &snapshot->pageModePrintArea})
    *slot = nullptr;
  snapshot->positionWord1 = snapshot->positionWord2 = -1;
  return snapshot;
}

void CPrintDataTokenizer::FreeSnapshot(PrnPropertySnapshot* snapshot) const {
  (void)m_channel.OtherMethod1015(snapshot);
  delete snapshot;
}

// ---- bodies of the barcode and ruled-line sequences ------------------------------------

bool ParseBarCodeBody(const unsigned char* body, long count, BarCodeBody* out) {
  if (count < 1 || body[count - 1] != 'e') return false;
  const long end = count - 1;  // the closing "e"
  long i = 0;
  while (i < end) {
    long value = 0;
    switch (body[i++]) {
      case 's':
        if (!ReadDigits(body, &i, end, &out->symbology)) return false;
        break;
      case 'h':
        if (!ReadDigits(body, &i, end, &out->height)) return false;
        break;
      case 'w':
        if (!ReadDigits(body, &i, end, &out->width)) return false;
        break;
      case 'a':
        if (i < end && body[i] == '-') {  // -1, -2, -3: the standard's left, centre, right
          ++i;
          if (!ReadDigits(body, &i, end, &value)) return false;
          out->alignment = value >= 1 && value <= 3 ? -value : 0;
        } else if (!ReadDigits(body, &i, end, &out->alignment)) {
          return false;
        }
        break;
      case 't':  // -11, -12, -13: no text, above, below
        if (i >= end || body[i++] != '-' || !ReadDigits(body, &i, end, &value)) return false;
        out->textPosition = value >= 11 && value <= 13 ? -value : 0;
        break;
      case 'd':
        out->data.assign(reinterpret_cast<const char*>(body + i), end - i);
        return true;
      default:
        return false;
    }
  }
  return true;  // no "d": no data
}

bool ParseRuledLineBody(const unsigned char* body, long count, RuledLineBody* out) {
  if (count < 1 || body[0] != 'p') return false;
  const auto* d = static_cast<const unsigned char*>(std::memchr(body + 1, 'd', count - 1));
  if (!d) return false;
  out->positions.assign(reinterpret_cast<const char*>(body + 1), d - body - 1);
  long i = d - body + 1;
  if (!ReadDigits(body, &i, count, &out->direction) ||
      (out->direction != 1 && out->direction != 2))
    return false;
  if (i >= count || body[i++] != 'w' || !ReadDigits(body, &i, count, &out->width)) return false;
  if (i >= count || body[i++] != 's' || !ReadDigits(body, &i, count, &out->style) ||
      out->style != 1)
    return false;
  if (i >= count || body[i++] != 'c' || !ReadDigits(body, &i, count, &out->colour)) return false;
  return i == count;
}

// ---- helpers of the device channel -----------------------------------------------------

long CCommDevice::ParseLeadingNumber(const unsigned char* bytes, long count) {
  long i = 0;
  while (i < count && !IsDigit(bytes[i])) ++i;
  if (i == count) return -1;
  long long value = 0;
  for (; i < count && IsDigit(bytes[i]); ++i) {
    value = value * 10 + (bytes[i] - '0');
    if (value > LONG_MAX) return LONG_MAX;  // held at the top, never wrapped
  }
  return static_cast<long>(value);
}

long CCommDevice::CheckRuledLinePositions(const char* positionList, std::vector<long>* out,
                                          long direction, long mapMode, long dotsPerInch) {
  const std::string list = positionList ? positionList : "";
  out->clear();
  if (list.empty()) {
    out->push_back(-1);
    return OPOS_SUCCESS;
  }
  const long commas = CountCommas(list.c_str());
  const long semicolons = CountSemicolons(list.c_str());
  // Horizontal: "start,length;start,length..."; vertical: "x,x,x...".
  if (direction == 1 ? commas != semicolons + 1 : direction != 2 || semicolons != 0)
    return OPOS_E_ILLEGAL;
  std::vector<std::string> fields;
  size_t from = 0;
  for (;;) {
    const size_t to = list.find_first_of(",;", from);
    fields.push_back(list.substr(from, to == std::string::npos ? to : to - from));
    if (direction == 1 && to != std::string::npos && (fields.size() % 2 == 1) != (list[to] == ','))
      return OPOS_E_ILLEGAL;  // each segment is exactly one "start,length" pair
    if (to == std::string::npos) break;
    from = to + 1;
  }
  std::vector<long> values;
  for (const std::string& field : fields) {
    if (field.empty() || field.size() > static_cast<size_t>(kMaxDigits) ||
        field.find_first_not_of("0123456789") != std::string::npos)
      return OPOS_E_ILLEGAL;
    values.push_back(ConvertToDots(mapMode, std::strtol(field.c_str(), nullptr, 10), dotsPerInch));
  }
  *out = std::move(values);
  return OPOS_SUCCESS;
}

void CCommDevice::TokenizePrintData(PrnInputProperty* record, PrnStationState* stationState,
                                    const char* data, long length, long charWidth,
                                    long charSpacing, PrnTokenList* list, long* errorWord) {
  long unused = 0;
  if (!errorWord) errorWord = &unused;
  if (!record || !list) {
    *errorWord = kIllegal;
    return;
  }
  try {
    CPrintDataTokenizer(*this, record, stationState, reinterpret_cast<const unsigned char*>(data),
                        length, charWidth, charSpacing, list, errorWord)
        .Run();
  } catch (...) {  // nothing thrown crosses back into the sub-module
    *errorWord = kMalformed;
  }
}
