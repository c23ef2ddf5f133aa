#include "DataConverter.h"

#include <cstring>

namespace {

// Decimal value of the leading digits of `text` (up to `count` characters), mod 256.
unsigned char DecimalByte(const char* text, size_t count) {
  unsigned value = 0;
  for (size_t i = 0; i < count && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
  return static_cast<unsigned char>(value & 0xFF);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string Trimmed(const char* begin, const char* end) {
  while (end > begin && IsBlank(end[-1])) --end;
  while (begin < end && IsBlank(*begin)) ++begin;
  return std::string(begin, end);
}

}  // namespace

int CDataConverter::ConvertBinary(const char* source, unsigned char** buffer, long* length,
                                  long mode) const {
  if (!source) source = "";
  const size_t n = std::strlen(source);
  *buffer = nullptr;
  *length = 0;
  size_t bytes = n;
  if (mode == kNibble) {
    if (n % 2 != 0) return 0;
    bytes = n / 2;
  } else if (mode == kDecimal) {
    if (n % 3 != 0) return 0;
    bytes = n / 3;
  }
  // Four spare zero bytes let callers treat the result as a NUL-terminated string.
  unsigned char* out = new unsigned char[bytes + 4]();
  for (size_t i = 0; i < bytes; ++i) {
    if (mode == kNibble) {
      // The low four bits of each character, taken as they are: "0"-"9" and ":"-"?" give
      // the nibbles 0-15.
      out[i] = static_cast<unsigned char>(((source[2 * i] & 0x0F) << 4) |
                                          (source[2 * i + 1] & 0x0F));
    } else if (mode == kDecimal) {
      out[i] = DecimalByte(source + 3 * i, 3);
    } else {
      out[i] = static_cast<unsigned char>(source[i]);
    }
  }
  *buffer = out;
  *length = static_cast<long>(bytes);
  return 1;
}

void CDataConverter::CopyToBuffer(char** buffer, const char* text) const {
  if (!text) text = "";
  const size_t n = std::strlen(text);
  char* copy = new char[n + 1];
  std::memcpy(copy, text, n + 1);
  *buffer = copy;
}

long CDataConverter::CountCommas(const char* text) const {
  long count = 0;
  for (const char* p = text; p && *p; ++p)
    if (*p == ',') ++count;
  return count;
}

long CDataConverter::SplitCommaList(const char* text, std::string* fields,
                                    long capacity) const {
  if (!text) text = "";
  long count = 0;
  const char* start = text;
  for (const char* p = text;; ++p) {
    if (*p == ',' || *p == '\0') {
      if (count < capacity && fields) fields[count] = Trimmed(start, p);
      ++count;
      if (*p == '\0') break;
      start = p + 1;
    }
  }
  return count;
}
