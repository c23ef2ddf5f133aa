#include "SimCommandStream.h"

#include <cstring>

namespace {

enum : uint8_t { kDle = 0x10, kDc2 = 0x12, kDc3 = 0x13, kEsc = 0x1B, kFs = 0x1C, kGs = 0x1D };

// Commands of fixed length: prefix byte, command letter, total length.
struct FixedCommand {
  uint8_t prefix;
  uint8_t letter;
  uint8_t length;
};
constexpr FixedCommand kFixed[] = {
    {kEsc, '@', 2},  {kEsc, 'J', 3},  {kEsc, 'j', 3},  {kEsc, 'a', 3},  {kEsc, 'E', 3},
    {kEsc, '-', 3},  {kEsc, 'M', 3},  {kEsc, ' ', 3},  {kEsc, '!', 3},  {kEsc, '3', 3},
    {kEsc, '2', 2},  {kEsc, 'R', 3},  {kEsc, 't', 3},  {kEsc, '{', 3},  {kEsc, 'T', 3},
    {kEsc, 'd', 3},  {kEsc, 'G', 3},  {kEsc, 'V', 3},  {kEsc, '$', 4},  {kEsc, 'W', 10},
    {kEsc, 'L', 2},  {kEsc, 0x0C, 2}, {kEsc, 'S', 2},  {kEsc, 'p', 5},  {kGs, '!', 3},
    {kGs, 'B', 3},   {kGs, 's', 3},   {kGs, 'w', 3},   {kGs, 'h', 3},   {kGs, 'f', 3},
    {kGs, 'H', 3},   {kGs, 'n', 3},   {kGs, 'o', 3},   {kGs, 'a', 3},   {kGs, '/', 3},
    {kGs, 'I', 3},   {kGs, 'L', 4},   {kGs, 'W', 4},   {kGs, '$', 4},   {kGs, '<', 2},
    {kGs, 0x0C, 2},  {kFs, '!', 3},   {kFs, '-', 3},   {kFs, 'C', 3},   {kFs, 'S', 4},
    {kFs, '&', 2},   {kFs, '.', 2},   {kFs, 'p', 4},   {kDc2, 'q', 3},  {kDc2, 'w', 5},
    {kDc2, 'l', 3},  {kDc2, ';', 3},  {kDc2, ':', 3},  {kDc2, 'I', 3},  {kDc3, 'C', 2},
    {kDc3, '-', 2},  {kDc3, '+', 2},  {kDc3, 'L', 6},  {kDc3, 'p', 4},  {kDc3, 'D', 4},
    {kDle, 0x04, 3}, {kDle, 0x05, 3},
};

size_t Word16(const uint8_t* p) { return p[0] | (size_t(p[1]) << 8); }

// Length of a header of headerLength bytes followed by a NUL-terminated run; 0 while the
// NUL has not arrived.
size_t UntilNul(const uint8_t* bytes, size_t available, size_t headerLength, int nulCount) {
  for (size_t i = headerLength; i < available; ++i) {
    if (bytes[i] == 0 && --nulCount == 0) return i + 1;
  }
  return 0;
}

// Lengths that depend on bytes after the command letter; need = header bytes required.
size_t VariableLength(const uint8_t* b, size_t n, bool* known) {
  *known = true;
  const uint8_t prefix = b[0], letter = b[1];
  auto need = [&](size_t header) { return n >= header; };
  if (prefix == kGs && letter == '(') return need(5) ? 5 + Word16(b + 3) : 0;
  if (prefix == kGs && letter == '8') {
    if (!need(7)) return 0;
    return 7 + (b[3] | (size_t(b[4]) << 8) | (size_t(b[5]) << 16) | (size_t(b[6]) << 24));
  }
  if (prefix == kGs && letter == 'v') return need(8) ? 8 + Word16(b + 4) * Word16(b + 6) : 0;
  if (prefix == kGs && letter == '*') return need(4) ? 4 + size_t(b[2]) * b[3] * 8 : 0;
  if (prefix == kGs && letter == 'V') return need(3) ? (b[2] == 65 || b[2] == 66 ? 4 : 3) : 0;
  if (prefix == kGs && letter == 'g') {
    if (!need(3)) return 0;
    return b[2] == '0' || b[2] == '2' ? 6 : b[2] == '1' ? 4 : 3;
  }
  if (prefix == kGs && letter == 'k') {  // barcode: m 0-6 NUL-ended, 22 two NUL-ended parts
    if (!need(3)) return 0;
    if (b[2] >= 65) return need(4) ? 4 + b[3] : 0;
    return UntilNul(b, n, 3, b[2] == 22 ? 2 : 1);
  }
  if (prefix == kGs && letter == 'p') {  // two-dimensional symbols
    if (!need(4)) return 0;
    switch (b[2]) {
      case 0: return need(9) ? 9 + Word16(b + 7) : 0;
      case 1: return need(9) ? 9 + Word16(b + 7) + 1 : 0;
      case 4:
        if (b[3] == 0) return need(5) ? 5 + b[4] + 1 : 0;
        return need(6) ? 6 + b[5] + 1 : 0;
      case 5: return need(8) ? 8 + Word16(b + 6) + 1 : 0;
      default: return 4;
    }
  }
  if (prefix == kEsc && letter == '*') {
    if (!need(5)) return 0;
    return 5 + Word16(b + 3) * (b[2] < 2 ? 1 : 3);
  }
  if (prefix == kDc2 && letter == '*') return need(3) ? (b[2] == '1' ? 4 : 3) : 0;
  if (prefix == kDle && letter == 0x14) return need(3) ? (b[2] == 1 ? 5 : 3) : 0;
  *known = false;
  return 0;
}

}  // namespace

size_t SimCommandLength(const uint8_t* bytes, size_t available) {
  if (available == 0) return 0;
  const uint8_t prefix = bytes[0];
  const bool isPrefix = prefix == kDle || prefix == kDc2 || prefix == kDc3 || prefix == kEsc ||
                        prefix == kFs || prefix == kGs;
  if (!isPrefix) return 1;
  if (available < 2) return 0;
  size_t length = 0;
  for (const FixedCommand& c : kFixed) {
    if (c.prefix == prefix && c.letter == bytes[1]) length = c.length;
  }
  if (length == 0) {
    bool known = false;
    const size_t variable = VariableLength(bytes, available, &known);
    if (!known) return 2;  // an unknown command: skip the prefix and its letter
    if (variable == 0) return 0;
    length = variable;
  }
  return length <= available ? length : 0;
}
