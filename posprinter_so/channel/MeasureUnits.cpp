// Length conversions between the MapMode units and printer dots, and the comma- and
// semicolon-separated argument lists. Exact 64-bit arithmetic: a double product such as
// dots * 25.4 * 100 can land a hair above a whole number and round up one unit too far.
#include <climits>
#include <cstdint>
#include <cstring>

#include "CommDevice.h"

namespace {

// Units per inch of MapMode 2, 3 and 4; 0 for dots and unknown modes.
int64_t UnitsPerInch(long mapMode) {
  switch (mapMode) {
    case 2: return 1440;  // twips
    case 3: return 1000;  // thousandths of an inch
    case 4: return 2540;  // hundredths of a millimetre
    default: return 0;
  }
}

int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }

// A length beyond the 32-bit range is held at its end rather than wrapped.
long Clamp(int64_t v) {
  if (v > LONG_MAX) return LONG_MAX;
  if (v < LONG_MIN) return LONG_MIN;
  return static_cast<long>(v);
}

long CountByte(const char* text, char separator) {
  long n = 0;
  for (const char* p = text; p && *p; ++p) n += (*p == separator);
  return n;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string Trimmed(const char* begin, const char* end) {
  while (begin < end && IsBlank(*begin)) ++begin;
  while (end > begin && IsBlank(end[-1])) --end;
  return std::string(begin, end);
}

long SplitBy(const char* text, char separator, std::string* fields, long capacity) {
  if (!text) text = "";
  long index = 0;
  const char* start = text;
  for (const char* p = text;; ++p) {
    if (*p != separator && *p != '\0') continue;
    if (fields && index < capacity) fields[index] = Trimmed(start, p);
    ++index;
    if (*p == '\0') break;
    start = p + 1;
  }
  return index;
}

}  // namespace

long CCommDevice::ConvertToDots(long mapMode, long value, long dotsPerInch) {
  const int64_t k = UnitsPerInch(mapMode);
  if (k == 0 || dotsPerInch <= 0) return value;
  const long dots = Clamp(FloorDiv(static_cast<int64_t>(value) * dotsPerInch, k));
  return (value != 0 && dots == 0) ? 1 : dots;
}

long CCommDevice::ConvertFromDots(long mapMode, long dots, long dotsPerInch) {
  const int64_t k = UnitsPerInch(mapMode);
  if (k == 0 || dotsPerInch <= 0) return dots;
  return Clamp(CeilDiv(static_cast<int64_t>(dots) * k, dotsPerInch));
}

long CCommDevice::CountCommas(const char* text) { return CountByte(text, ','); }

long CCommDevice::CountSemicolons(const char* text) { return CountByte(text, ';'); }

long CCommDevice::SplitByComma(const char* text, std::string* fields, long capacity) {
  return SplitBy(text, ',', fields, capacity);
}

long CCommDevice::SplitBySemicolon(const char* text, std::string* fields, long capacity) {
  return SplitBy(text, ';', fields, capacity);
}
