// Stateless text services of the sub-module: BinaryConversion decoding, copying a text
// into a new buffer, counting commas and splitting comma lists. A NULL text reads as "".
#pragma once
#include <string>

class CDataConverter {
 public:
  // BinaryConversion values of OPOS.
  enum Mode : long { kNone = 0, kNibble = 1, kDecimal = 2 };

  // Decodes `source` (up to its NUL) by `mode`. 1 on success: *buffer receives a new[]
  // zero-filled array holding the bytes plus 4 zero bytes, *length the byte count. 0 on
  // bad data (odd length for nibble, a length not divisible by 3 for decimal): *buffer
  // NULL, *length 0.
  [[nodiscard]] int ConvertBinary(const char* source, unsigned char** buffer, long* length,
                                  long mode) const;

  // A new[] copy of `text` with its NUL.
  void CopyToBuffer(char** buffer, const char* text) const;

  long CountCommas(const char* text) const;

  // Number of fields (commas + 1); stores at most `capacity` of them, each trimmed of
  // leading and trailing white space.
  long SplitCommaList(const char* text, std::string* fields, long capacity) const;
};
