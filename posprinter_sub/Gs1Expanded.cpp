// GS1 DataBar Expanded: encodation method, general-purpose compaction, symbol characters,
// check character and module pattern. Section numbers and tables are those of ISO/IEC
// 24724 (GS1 DataBar).
#include "Gs1Expanded.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------------------
// Bit string of the encodation (7.2.5): every symbol character carries 12 bits.

class Bits {
 public:
  void Put(unsigned long value, int count) {
    for (int i = count - 1; i >= 0; --i) bits_.push_back(static_cast<unsigned char>((value >> i) & 1));
  }
  size_t Size() const { return bits_.size(); }
  void Set(size_t at, unsigned char bit) { bits_[at] = bit; }
  // The 12-bit value of symbol character i.
  int Value(size_t i) const {
    int v = 0;
    for (size_t b = 0; b < 12; ++b) v = (v << 1) | bits_[i * 12 + b];
    return v;
  }

 private:
  std::vector<unsigned char> bits_;
};

// FNC1 inside the working copy of the element string ("{1" in the caller's text).
constexpr char kFnc1 = 0x1D;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// General-purpose compaction sets (7.2.5.5): the alphanumeric set adds these to digits and
// A-Z (values 58-62, 6 bits); the ISO/IEC 646 set adds these to digits, A-Z and a-z
// (values 232-252, 8 bits).
constexpr char kAlphaPunct[] = "*,-./";
constexpr char kIsoPunct[] = "!\"%&'()*+,-./:;<=>?_ ";

enum class Kind { kNone, kNumeric, kAlpha, kIso };

Kind KindOf(char c) {
  if (c == kFnc1 || IsDigit(c)) return Kind::kNumeric;
  if (c == '\0') return Kind::kNone;
  if ((c >= 'A' && c <= 'Z') || std::strchr(kAlphaPunct, c)) return Kind::kAlpha;
  if ((c >= 'a' && c <= 'z') || std::strchr(kIsoPunct, c)) return Kind::kIso;
  return Kind::kNone;
}

// The next n characters from i are all of kind a (or b).
bool NextAre(const std::string& s, size_t i, size_t n, Kind a, Kind b = Kind::kNone) {
  if (i + n > s.size()) return false;
  for (size_t k = i; k < i + n; ++k) {
    const Kind kind = KindOf(s[k]);
    if (kind != a && kind != b) return false;
  }
  return true;
}

// None of the next n characters (or as many as remain) is of kind a.
bool NoneOf(const std::string& s, size_t i, size_t n, Kind a) {
  for (size_t k = i; k < s.size() && k < i + n; ++k)
    if (KindOf(s[k]) == a) return false;
  return true;
}

// Four or five numeric characters end the data.
bool NumericToEnd(const std::string& s, size_t i) {
  const size_t left = s.size() - i;
  return left >= 4 && left <= 5 && NextAre(s, i, left, Kind::kNumeric);
}

int DigitValue(char c) { return c == kFnc1 ? 10 : c - '0'; }

struct Compaction {
  Kind mode = Kind::kNumeric;
  int lastDigit = -1;  // a single digit left at the end, encoded once the size is known
};

void PutAlpha(Bits* bits, char c) {
  if (IsDigit(c)) bits->Put(static_cast<unsigned long>(c - '0' + 5), 5);
  else if (c >= 'A' && c <= 'Z') bits->Put(static_cast<unsigned long>(c - 'A' + 32), 6);
  else bits->Put(static_cast<unsigned long>(std::strchr(kAlphaPunct, c) - kAlphaPunct + 58), 6);
}

void PutIso(Bits* bits, char c) {
  if (IsDigit(c)) bits->Put(static_cast<unsigned long>(c - '0' + 5), 5);
  else if (c >= 'A' && c <= 'Z') bits->Put(static_cast<unsigned long>(c - 'A' + 64), 7);
  else if (c >= 'a' && c <= 'z') bits->Put(static_cast<unsigned long>(c - 'a' + 90), 7);
  else bits->Put(static_cast<unsigned long>(std::strchr(kIsoPunct, c) - kIsoPunct + 232), 8);
}

// The encodation rules of 7.2.5.5.1 to 7.2.5.5.3. False on a character outside the sets.
bool CompactGeneral(const std::string& s, Bits* bits, Compaction* state) {
  Kind mode = Kind::kNumeric;
  size_t i = 0;
  while (i < s.size()) {
    const Kind kind = KindOf(s[i]);
    if (kind == Kind::kNone) return false;
    switch (mode) {
      case Kind::kNumeric:
        if (i + 1 < s.size()) {
          const bool pair = kind == Kind::kNumeric && KindOf(s[i + 1]) == Kind::kNumeric &&
                            !(s[i] == kFnc1 && s[i + 1] == kFnc1);
          if (!pair) {
            bits->Put(0, 4);  // latch to alphanumeric
            mode = Kind::kAlpha;
          } else {
            bits->Put(static_cast<unsigned long>(11 * DigitValue(s[i]) + DigitValue(s[i + 1]) + 8), 7);
            i += 2;
          }
        } else if (IsDigit(s[i])) {
          state->lastDigit = s[i] - '0';
          ++i;
        } else {
          bits->Put(0, 4);
          mode = Kind::kAlpha;
        }
        break;
      case Kind::kAlpha:
        if (s[i] == kFnc1) {
          bits->Put(0x0F, 5);  // FNC1, back to numeric
          mode = Kind::kNumeric;
          ++i;
        } else if (kind == Kind::kIso) {
          bits->Put(0x04, 5);  // latch to ISO/IEC 646
          mode = Kind::kIso;
        } else if (NextAre(s, i, 6, Kind::kNumeric) || NumericToEnd(s, i)) {
          bits->Put(0, 3);  // latch to numeric
          mode = Kind::kNumeric;
        } else {
          PutAlpha(bits, s[i++]);
        }
        break;
      default: {  // ISO/IEC 646
        if (s[i] == kFnc1) {
          bits->Put(0x0F, 5);
          mode = Kind::kNumeric;
          ++i;
          break;
        }
        const bool noIsoAhead = NoneOf(s, i, 10, Kind::kIso);
        if (noIsoAhead && NextAre(s, i, 4, Kind::kNumeric)) {
          bits->Put(0, 3);
          mode = Kind::kNumeric;
        } else if (noIsoAhead && NextAre(s, i, 5, Kind::kAlpha, Kind::kNumeric)) {
          bits->Put(0x04, 5);  // latch to alphanumeric
          mode = Kind::kAlpha;
        } else {
          PutIso(bits, s[i++]);
        }
        break;
      }
    }
  }
  state->mode = mode;
  return true;
}

// ---------------------------------------------------------------------------------------
// Encodation method (7.2.5.4, Table 10): the method field and the compressed fields.

struct Field {
  unsigned long value;
  int bits;
};

struct Encodation {
  unsigned long method = 0;  // the method field's value
  int methodBits = 2;
  bool lengthField = true;   // carries the 2-bit variable-length symbol field
  std::vector<Field> fields;
  std::string general;       // the rest, for general-purpose compaction
};

// GTIN check digit: modulo 10 with weights 3 and 1, 3 on the digit next to the check digit.
int GtinCheckDigit(const std::string& body13) {
  int sum = 0;
  for (size_t i = 0; i < body13.size(); ++i) sum += (body13[i] - '0') * (i % 2 == 0 ? 3 : 1);
  return (10 - sum % 10) % 10;
}

bool AllDigits(const std::string& s, size_t from, size_t count) {
  if (from + count > s.size()) return false;
  for (size_t i = from; i < from + count; ++i)
    if (!IsDigit(s[i])) return false;
  return true;
}

unsigned long Number(const std::string& s, size_t from, size_t count) {
  unsigned long v = 0;
  for (size_t i = from; i < from + count; ++i) v = v * 10 + static_cast<unsigned long>(s[i] - '0');
  return v;
}

// The twelve GTIN digits after the first, in four groups of three (10 bits each).
void PutGtinGroups(const std::string& body, Encodation* e) {
  for (size_t g = 0; g < 4; ++g) e->fields.push_back({Number(body, 1 + 3 * g, 3), 10});
}

void UseMethod(Encodation* e, unsigned long method, int bits, bool lengthField) {
  e->method = method;
  e->methodBits = bits;
  e->lengthField = lengthField;
}

// Weight without a date: 16-bit date field 38400 means "no date".
constexpr unsigned long kNoDate = 38400;

// Method 1: all fourteen GTIN digits, then general-purpose data.
long UseGtinAndGeneral(const std::string& body, const std::string& rest, Encodation* e) {
  UseMethod(e, 1, 1, true);
  e->fields.push_back({Number(body, 0, 1), 4});
  PutGtinGroups(body, e);
  e->general = rest;
  return kGs1Ok;
}

// The compressed methods after a GTIN, or method 1. Returns an error code.
long ChooseAfterGtin(const std::string& body, const std::string& rest, Encodation* e) {
  // The compressed methods carry only the twelve digits after the indicator digit, which
  // the reader restores as 9 (a variable measure item); any other GTIN takes method 1.
  if (body[0] != '9') return UseGtinAndGeneral(body, rest, e);
  const bool weightOnly = rest.size() == 10 && AllDigits(rest, 0, 10);
  if (weightOnly && rest.compare(0, 4, "3103") == 0 && Number(rest, 4, 6) <= 99999) {
    const unsigned long weight = Number(rest, 4, 6);
    PutGtinGroups(body, e);
    if (weight <= 32767) {
      UseMethod(e, 4, 4, false);
      e->fields.push_back({weight, 15});
    } else {
      UseMethod(e, 56, 7, false);
      e->fields.push_back({3 * 100000 + weight, 20});
      e->fields.push_back({kNoDate, 16});
    }
    return kGs1Ok;
  }
  if (weightOnly && (rest.compare(0, 4, "3202") == 0 || rest.compare(0, 4, "3203") == 0) &&
      Number(rest, 4, 6) <= 99999) {
    const unsigned long weight = Number(rest, 4, 6);
    const bool thousandths = rest[3] == '3';
    PutGtinGroups(body, e);
    if ((!thousandths && weight < 10000) || (thousandths && weight <= 22767)) {
      UseMethod(e, 5, 4, false);
      e->fields.push_back({thousandths ? weight + 10000 : weight, 15});
    } else {
      UseMethod(e, 57, 7, false);
      e->fields.push_back({static_cast<unsigned long>(rest[3] - '0') * 100000 + weight, 20});
      e->fields.push_back({kNoDate, 16});
    }
    return kGs1Ok;
  }
  // 310x or 320x weight, then a date AI 11, 13, 15 or 17 with YYMMDD.
  if (rest.size() == 18 && AllDigits(rest, 0, 18) &&
      (rest.compare(0, 3, "310") == 0 || rest.compare(0, 3, "320") == 0) && rest[10] == '1' &&
      (rest[11] == '1' || rest[11] == '3' || rest[11] == '5' || rest[11] == '7') &&
      Number(rest, 4, 6) <= 99999) {
    const unsigned long month = Number(rest, 14, 2);
    if (month < 1 || month > 12) return kGs1DateMonth;
    const unsigned long dateAi = Number(rest, 10, 2);
    UseMethod(e, 56 + (dateAi - 11) + (rest[1] == '2' ? 1 : 0), 7, false);
    PutGtinGroups(body, e);
    e->fields.push_back({static_cast<unsigned long>(rest[3] - '0') * 100000 + Number(rest, 4, 6), 20});
    e->fields.push_back({Number(rest, 12, 2) * 384 + (month - 1) * 32 + Number(rest, 16, 2), 16});
    return kGs1Ok;
  }
  if (rest.size() >= 4 && rest.compare(0, 3, "392") == 0 && rest[3] >= '0' && rest[3] <= '3') {
    UseMethod(e, 12, 5, true);
    PutGtinGroups(body, e);
    e->fields.push_back({static_cast<unsigned long>(rest[3] - '0'), 2});
    e->general = rest.substr(4);
    return kGs1Ok;
  }
  if (rest.size() >= 7 && rest.compare(0, 3, "393") == 0 && rest[3] >= '0' && rest[3] <= '3' &&
      AllDigits(rest, 4, 3)) {
    UseMethod(e, 13, 5, true);
    PutGtinGroups(body, e);
    e->fields.push_back({static_cast<unsigned long>(rest[3] - '0'), 2});
    e->fields.push_back({Number(rest, 4, 3), 10});
    e->general = rest.substr(7);
    return kGs1Ok;
  }
  return UseGtinAndGeneral(body, rest, e);
}

// Method and fields for the whole element string. Returns an error code; *none is set for
// data too short to hold a GTIN.
long ChooseEncodation(const std::string& s, const Gs1DataBarParams& p, Encodation* e,
                      long* checkDigit, bool* none) {
  *none = false;
  if (s.size() < 2 || s[0] != '0' || s[1] != '1') {
    e->general = s;  // method 0, the "00" field
    return kGs1Ok;
  }
  if (s.size() < 3) {
    *none = true;
    return kGs1Ok;
  }
  std::string body;
  char given = 0;
  size_t restAt;
  if (p.checkDigitOmitted) {
    restAt = s.size() < 15 ? s.size() : 15;
    body = s.substr(2, restAt - 2);
  } else if (s.size() >= 16) {
    body = s.substr(2, 13);
    given = s[15];
    restAt = 16;
  } else {
    body = s.substr(2, s.size() - 3);
    given = s.back();
    restAt = s.size();
  }
  body.insert(0, 13 - body.size(), '0');
  if (!AllDigits(body, 0, 13)) {
    e->general = s;
    return kGs1Ok;
  }
  const int computed = GtinCheckDigit(body);
  *checkDigit = computed;
  if (!p.checkDigitOmitted && given != '0' + computed) return kGs1CheckDigit;
  return ChooseAfterGtin(body, s.substr(restAt), e);
}

// ---------------------------------------------------------------------------------------
// Symbol characters (7.2.4, Table 4): value range, modules and widest element of the odd
// and even element sets, and the number of even-set combinations.

struct CharGroup {
  int first;        // smallest value of the group
  int evenCombos;   // T even
  int oddModules;
  int evenModules;
  int oddWidest;
  int evenWidest;
};
constexpr CharGroup kGroups[] = {
    {0, 4, 12, 5, 7, 2},      {348, 20, 10, 7, 5, 4},  {1388, 52, 8, 9, 4, 5},
    {2948, 104, 6, 11, 3, 6}, {3988, 204, 4, 13, 1, 8},
};

// Number of combinations of r out of n.
int Combinations(int n, int r) {
  if (r < 0 || r > n) return 0;
  if (r > n - r) r = n - r;
  long long v = 1;
  for (int i = 1; i <= r; ++i) v = v * (n - r + i) / i;
  return static_cast<int>(v);
}

// The element widths of value `value` in a set of 4 elements over n modules, no element
// wider than maxWidth; without noNarrow at least one element is one module wide. The
// combinatorial rule of the standard's annex (the RSS width algorithm).
void ElementWidths(int value, int n, int maxWidth, bool noNarrow, int widths[4]) {
  constexpr int kElements = 4;
  int narrowMask = 0;
  int bar = 0;
  for (; bar < kElements - 1; ++bar) {
    int width = 1;
    int sub = 0;
    narrowMask |= 1 << bar;
    for (;; ++width, narrowMask &= ~(1 << bar)) {
      sub = Combinations(n - width - 1, kElements - bar - 2);
      if (!noNarrow && !narrowMask &&
          n - width - (kElements - bar - 1) >= kElements - bar - 1)
        sub -= Combinations(n - width - (kElements - bar), kElements - bar - 2);
      if (kElements - bar - 1 > 1) {
        int less = 0;
        for (int widest = n - width - (kElements - bar - 2); widest > maxWidth; --widest)
          less += Combinations(n - width - widest - 1, kElements - bar - 3);
        sub -= less * (kElements - 1 - bar);
      } else if (n - width > maxWidth) {
        --sub;
      }
      value -= sub;
      if (value < 0) break;
    }
    value += sub;
    n -= width;
    widths[bar] = width;
  }
  widths[bar] = n;
}

// The eight element widths of a symbol character, odd and even elements interleaved.
void CharacterWidths(int value, int out[8]) {
  int g = 4;
  while (g > 0 && value < kGroups[g].first) --g;
  const CharGroup& group = kGroups[g];
  const int odd = (value - group.first) / group.evenCombos;
  const int even = (value - group.first) % group.evenCombos;
  int w[4];
  ElementWidths(odd, group.oddModules, group.oddWidest, false, w);
  for (int i = 0; i < 4; ++i) out[2 * i] = w[i];
  ElementWidths(even, group.evenModules, group.evenWidest, true, w);
  for (int i = 0; i < 4; ++i) out[2 * i + 1] = w[i];
}

// Finder patterns A1 to F2 (Table 15), five elements each; the "2" forms are reversed.
constexpr unsigned char kFinders[12][5] = {
    {1, 8, 4, 1, 1}, {1, 1, 4, 8, 1}, {3, 6, 4, 1, 1}, {1, 1, 4, 6, 3},
    {3, 4, 6, 1, 1}, {1, 1, 6, 4, 3}, {3, 2, 8, 1, 1}, {1, 1, 8, 2, 3},
    {2, 6, 5, 1, 1}, {1, 1, 5, 6, 2}, {2, 2, 9, 1, 1}, {1, 1, 9, 2, 2},
};
// Finder sequences by number of finders, 2 to 11 (Table 16): 1 = A1, 2 = A2, ... 12 = F2.
constexpr unsigned char kFinderSequences[10][11] = {
    {1, 2},
    {1, 4, 3},
    {1, 6, 3, 8},
    {1, 10, 3, 8, 5},
    {1, 10, 3, 8, 7, 12},
    {1, 10, 3, 8, 9, 12, 11},
    {1, 2, 3, 4, 5, 6, 7, 8},
    {1, 2, 3, 4, 5, 6, 7, 10, 9},
    {1, 2, 3, 4, 5, 6, 7, 10, 11, 12},
    {1, 2, 3, 4, 5, 8, 7, 10, 9, 12, 11},
};

// Check character weights (7.2.6): weight row r, element j is 3^(8r + j) mod 211. Data
// character i (0-based, the one right of A1 first) uses row 0 when i is 0, otherwise row
// 2f - 3 as the left and 2f - 2 as the right character of its pair's finder f.
int CheckWeight(int row, int element) {
  int w = 1;
  for (int k = 0; k < 8 * row + element; ++k) w = w * 3 % 211;
  return w;
}

constexpr int kMaxDataChars = 21;  // 22 symbol characters with the check character

struct SymbolSize {
  int characters;  // N, check character included
  int remainder;   // bits still free in the data characters
};

SymbolSize SizeFor(size_t bits, int perRow) {
  SymbolSize size;
  size.characters = static_cast<int>((bits + 11) / 12) + 1;
  // A stacked symbol's last row holds at least two characters.
  if (perRow > 0 && size.characters % perRow == 1) ++size.characters;
  if (size.characters < 4) size.characters = 4;
  size.remainder = 12 * (size.characters - 1) - static_cast<int>(bits);
  return size;
}

// The working copy: "{1" becomes FNC1; a "{" not followed by "1" is refused.
bool TranslateFnc1(const unsigned char* data, long length, std::string* out) {
  for (long i = 0; i < length; ++i) {
    const char c = static_cast<char>(data[i]);
    if (c == '{') {
      if (i + 1 >= length || data[i + 1] != '1') return false;
      out->push_back(kFnc1);
      ++i;
    } else {
      out->push_back(c);
    }
  }
  return true;
}

// The element widths of the whole symbol: check character, finders, data characters.
std::vector<int> SymbolElements(const Bits& bits, int dataChars) {
  std::vector<std::vector<int>> widths(static_cast<size_t>(dataChars), std::vector<int>(8));
  for (int i = 0; i < dataChars; ++i) CharacterWidths(bits.Value(static_cast<size_t>(i)), widths[static_cast<size_t>(i)].data());

  const int characters = dataChars + 1;
  const int finders = (characters + 1) / 2;
  const unsigned char* sequence = kFinderSequences[finders - 2];
  int checksum = 0;
  for (int i = 0; i < dataChars; ++i) {
    const int row = i == 0 ? 0 : 2 * sequence[(i + 1) / 2] - 3 + (i % 2 == 0 ? 1 : 0);
    for (int j = 0; j < 8; ++j) checksum += CheckWeight(row, j) * widths[static_cast<size_t>(i)][static_cast<size_t>(j)];
  }
  int check[8];
  CharacterWidths(211 * (characters - 4) + checksum % 211, check);

  // Pairs of (left character, finder, right character); left characters read forwards,
  // right characters backwards.
  std::vector<int> elements;
  for (int f = 0; f < finders; ++f) {
    const int left = 2 * f;  // symbol character index; 0 is the check character
    const int* lw = left == 0 ? check : widths[static_cast<size_t>(left - 1)].data();
    elements.insert(elements.end(), lw, lw + 8);
    const unsigned char* finder = kFinders[sequence[f] - 1];
    elements.insert(elements.end(), finder, finder + 5);
    if (left + 1 < characters) {
      const std::vector<int>& rw = widths[static_cast<size_t>(left)];
      elements.insert(elements.end(), rw.rbegin(), rw.rend());
    }
  }
  return elements;
}

// Layout (7.2.7, 7.2.8). Every element pair is the left character (8 elements), the
// finder (5) and the right character (8); the last pair may lack its right character.
constexpr size_t kPairElements = 21;
constexpr size_t kFinderModules = 15;

// One row as printed: `width` modules (light past its end), the modules up to its right
// guard, and where each finder pattern starts.
struct Row {
  std::vector<unsigned short> modules;
  size_t used = 0;
  size_t shift = 0;  // light modules before the left guard
  bool reversed = false;
  std::vector<size_t> finders;
};

// Elements [from, from + count) between two guards of one module each. The colours
// alternate throughout, so each guard contrasts with the element beside it: a row whose
// first pair sits at an odd position in the symbol starts with a bar, and the right guard
// follows the last element's colour. A reversed row is the mirror image of the same row.
Row BuildRow(const std::vector<int>& elements, size_t from, size_t count,
             unsigned short firstColour, bool reversed, size_t shift, size_t width) {
  Row row;
  row.shift = shift;
  row.reversed = reversed;
  std::vector<unsigned short>& m = row.modules;
  m.assign(shift, 0);
  unsigned short colour = firstColour;
  m.push_back(colour);
  m.push_back(colour ^ 1);
  for (size_t e = 0; e < count; ++e) {
    if (e % kPairElements == 8) row.finders.push_back(m.size());
    m.insert(m.end(), static_cast<size_t>(elements[from + e]), colour);
    colour ^= 1;
  }
  m.push_back(colour);
  m.push_back(colour ^ 1);
  row.used = m.size();
  if (reversed) {
    std::reverse(m.begin(), m.end());
    for (size_t& f : row.finders) f = row.used - f - kFinderModules;
  }
  m.resize(width, 0);
  return row;
}

// A separator row beside `row`: its complement, four light modules at either end of the
// row; over a finder's light elements the modules alternate in the row's reading
// direction, so no wide bar faces them.
void PutSeparator(const Row& row, size_t width, std::vector<unsigned short>* out) {
  const size_t at = out->size();
  out->resize(at + width, 0);
  unsigned short* s = out->data() + at;
  const std::vector<unsigned short>& m = row.modules;
  for (size_t i = 4 + row.shift; i + 4 < row.used; ++i) s[i] = m[i] ^ 1;
  for (size_t f : row.finders) {
    for (size_t k = 0; k < kFinderModules; ++k) {
      const size_t i = row.reversed ? f + kFinderModules - 1 - k : f + k;
      const size_t before = row.reversed ? i + 1 : i - 1;
      if (!m[before] && !m[i] && s[before]) s[i] = 0;
    }
  }
}

// The middle separator row: alternating modules from the sixth to four before the end.
void PutAlternating(size_t width, std::vector<unsigned short>* out) {
  for (size_t m = 0; m < width; ++m) out->push_back(m >= 5 && m + 4 < width ? m % 2 : 0);
}

unsigned short* Pattern(const std::vector<int>& elements, int characters, int perRow,
                        size_t* totalOut) {
  const bool stacked = perRow > 0 && perRow < characters;
  const int rowChars = stacked ? perRow : characters;
  const size_t width = static_cast<size_t>(17 * rowChars + 15 * ((rowChars + 1) / 2) + 4);
  const size_t pairsPerRow = static_cast<size_t>(rowChars + 1) / 2;
  const size_t perRowElements = kPairElements * pairsPerRow;
  const size_t rows = (elements.size() + perRowElements - 1) / perRowElements;
  std::vector<unsigned short> out = {static_cast<unsigned short>(stacked ? 4 * rows - 3 : 1),
                                     static_cast<unsigned short>(width)};
  Row above;
  for (size_t r = 0; r < rows; ++r) {
    const size_t from = r * perRowElements;
    const size_t count = std::min(perRowElements, elements.size() - from);
    const size_t pairs = (count + kPairElements - 1) / kPairElements;
    // With an even number of pairs per row the even-numbered rows read right to left. A
    // short last row of that kind with an odd number of pairs reads left to right instead,
    // one module further right.
    bool reversed = pairsPerRow % 2 == 0 && r % 2 == 1;
    size_t shift = 0;
    if (reversed && r + 1 == rows && pairs < pairsPerRow && pairs % 2 == 1) {
      reversed = false;
      shift = 1;
    }
    const auto firstColour = static_cast<unsigned short>(r * pairsPerRow % 2);
    Row row = BuildRow(elements, from, count, firstColour, reversed, shift, width);
    if (r > 0) {
      PutSeparator(above, width, &out);
      PutAlternating(width, &out);
      PutSeparator(row, width, &out);
    }
    out.insert(out.end(), row.modules.begin(), row.modules.end());
    above = std::move(row);
  }
  unsigned short* result = new (std::nothrow) unsigned short[out.size()];
  if (result) std::memcpy(result, out.data(), out.size() * sizeof(unsigned short));
  *totalOut = out.size();
  return result;
}

}  // namespace

void Gs1CharacterWidths(int value, int widths[8]) { CharacterWidths(value & 0xFFF, widths); }

unsigned short* EncodeGS1DataBar(Gs1DataBarParams* p) {
  if (!p) return nullptr;
  p->errorCode = kGs1Ok;
  if (p->symbolType != kGs1SymbolExpanded || !p->data || p->length < 0) {
    p->errorCode = kGs1Pattern;
    return nullptr;
  }
  std::string text;
  if (!TranslateFnc1(p->data, p->length, &text)) {
    p->errorCode = kGs1Character;
    return nullptr;
  }
  Encodation e;
  bool none = false;
  long checkDigit = p->checkDigit;
  long code = ChooseEncodation(text, *p, &e, &checkDigit, &none);
  p->checkDigit = checkDigit;
  if (none) return nullptr;
  if (code != kGs1Ok) {
    p->errorCode = code;
    return nullptr;
  }

  int perRow = 0;
  if (p->stacked) {
    perRow = p->segmentsPerRow < 2 ? 2 : p->segmentsPerRow > 20 ? 20 : p->segmentsPerRow;
    perRow &= ~1;
  }
  Bits bits;
  bits.Put(p->linkage ? 1 : 0, 1);
  bits.Put(e.method, e.methodBits);
  const size_t lengthFieldAt = bits.Size();
  if (e.lengthField) bits.Put(0, 2);
  for (const Field& f : e.fields) bits.Put(f.value, f.bits);
  Compaction compaction;
  if (!CompactGeneral(e.general, &bits, &compaction)) {
    p->errorCode = kGs1Character;
    return nullptr;
  }
  SymbolSize size = SizeFor(bits.Size(), perRow);
  if (compaction.lastDigit >= 0) {
    // A lone final digit takes 4 bits (digit + 1) when that fills the last character,
    // otherwise it pairs with FNC1 (7.2.5.5.1 c).
    if (size.remainder >= 4 && size.remainder <= 6)
      bits.Put(static_cast<unsigned long>(compaction.lastDigit + 1), 4);
    else
      bits.Put(static_cast<unsigned long>(11 * compaction.lastDigit + 10 + 8), 7);
    size = SizeFor(bits.Size(), perRow);
  }
  if (bits.Size() > 12 * kMaxDataChars || size.characters > kMaxDataChars + 1) {
    p->errorCode = kGs1TooLong;
    return nullptr;
  }
  // Padding (7.2.5.5.4): a numeric latch when numeric mode is open, then "00100" repeated.
  int pad = 0;
  for (int left = size.remainder; left > 0; --left, ++pad) {
    const bool latch = compaction.mode == Kind::kNumeric && pad < 4;
    const int k = compaction.mode == Kind::kNumeric ? pad - 4 : pad;
    bits.Put(latch ? 0 : (k % 5 == 2 ? 1 : 0), 1);
  }
  // Variable-length symbol field: parity of the character count, and more than 14.
  if (e.lengthField) {
    bits.Set(lengthFieldAt, static_cast<unsigned char>(size.characters & 1));
    bits.Set(lengthFieldAt + 1, size.characters > 14 ? 1 : 0);
  }

  const int dataChars = size.characters - 1;
  std::vector<int> elements = SymbolElements(bits, dataChars);
  size_t total = 0;
  unsigned short* result = Pattern(elements, size.characters, perRow, &total);
  if (!result) {
    p->errorCode = kGs1Pattern;
    return nullptr;
  }
  if (result[0] == 1) {
    p->characterCount = static_cast<short>(size.characters);
    p->singleRow = 1;
  }
  return result;
}
