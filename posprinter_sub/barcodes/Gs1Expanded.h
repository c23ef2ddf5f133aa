// GS1 DataBar Expanded encoder: from an element string to the module pattern, as ISO/IEC
// 24724 defines the symbol. The printer draws the symbol itself (GS k 78, GS p 4 2); the
// barcode builders run the encoder only to learn its width and row count beforehand.
#pragma once

// Error codes the encoder reports through the parameter record.
enum Gs1ExpandedError : long {
  kGs1Ok = 0,
  kGs1CheckDigit = 21001,     // the GTIN's check digit does not match
  kGs1DateMonth = 21630,      // a month outside 1..12 in a weight-and-date method
  kGs1Character = 21631,      // a character outside the general-purpose set, or a lone "{"
  kGs1TooLong = 22101,        // more than 22 symbol characters would be needed
  kGs1Pattern = 25001,        // building the module pattern failed
};

// Symbol type of the parameter record: the only one the system requests.
inline constexpr long kGs1SymbolExpanded = 2;

struct Gs1DataBarParams {
  long symbolType;              // kGs1SymbolExpanded
  short stacked;                // 0 single row, 1 stacked
  short segmentsPerRow;         // stacked: symbol characters per row, even, 2..20
  short checkDigitOmitted;      // 0: the GTIN carries its check digit, which is verified
  short linkage;                // 1: composite linkage bit (0x800) in the first value
  const unsigned char* data;    // element string; "{1" is FNC1
  long length;
  long checkDigit;              // out: the GTIN check digit computed
  short characterCount;         // out (single row): symbol characters, check included
  short singleRow;              // out: 1 with a single-row result
  long errorCode;               // out: kGs1Ok or a Gs1ExpandedError
};

// The symbol as a new[] array the caller frees with delete[]: element 0 the row count (1,
// or 4R - 3 for R stacked rows with three separator rows between each pair), element 1 the
// row width in modules, then every row's modules (0 light, 1 dark). NULL on refusal, with
// the record's error code set (0 for data shorter than 3 bytes that begins with "01").
[[nodiscard]] unsigned short* EncodeGS1DataBar(Gs1DataBarParams* params);

// The eight element widths (odd and even elements interleaved, 17 modules) of the symbol
// character with 12-bit value `value` (0-4095).
void Gs1CharacterWidths(int value, int widths[8]);
