// One run of the print-data tokenizer: splits the text of a print method into text runs and
// UnifiedPOS escape sequences (ESC "|" ...) and hands each as a command token back to the
// sub-module (service 1013), or has the sub-module add logos (1014), barcodes (method 106)
// and ruled lines (method 120) to the same list. All scanner state lives for one call.
#pragma once
#include <string>
#include <vector>

#include "CommandTokenCodes.h"
#include "PrinterSubApi.h"

class CCommDevice;

class CPrintDataTokenizer {
 public:
  CPrintDataTokenizer(CCommDevice& channel, PrnInputProperty* record,
                      PrnStationState* stationState, const unsigned char* data, long length,
                      long charWidth, long charSpacing, PrnTokenList* list, long* errorWord);
  CPrintDataTokenizer(const CPrintDataTokenizer&) = delete;
  CPrintDataTokenizer& operator=(const CPrintDataTokenizer&) = delete;

  // Scans the whole data; every token found is in the list afterwards.
  void Run();

  // What the letters after ESC "|" (prefix and number) resolved to.
  struct Sequence;

 private:
  void ScanText();
  void PlaceInPageMode();
  void ConvertLineEnd();
  void ConvertSequence();
  void Accept(const Sequence& seq, long number, bool negate);
  void ConvertPassThrough(long number);
  void ConvertLogo(bool top);
  void ConvertBodySequence(bool barcode, long number);
  [[nodiscard]] bool ConvertBarCodeSequence(long bodyStart, long bodyLength);
  [[nodiscard]] bool ConvertRuledLineSequence(long bodyStart, long bodyLength);

  void FlushText();
  void ConvertEscapeToken(long code, long value);
  void Reject(long code) { *m_errorWord = code; }
  [[nodiscard]] long ToDots(long value) const;
  [[nodiscard]] PrnPropertySnapshot* NewSnapshot() const;
  void FreeSnapshot(PrnPropertySnapshot* snapshot) const;
  [[nodiscard]] long Byte(long at) const { return at < m_length ? m_data[at] : -1; }

  CCommDevice& m_channel;
  PrnInputProperty* m_record;
  PrnStationState* m_stationState;
  const unsigned char* m_data;
  long m_length;
  long m_charWidth;
  long m_charSpacing;
  PrnTokenList* m_list;
  long* m_errorWord;
  long m_lineEndFlags;
  long m_dpi;

  long m_start = 0;  // first byte of the pending text run
  long m_pos = 0;    // byte being examined

  // Line wrapping, page mode only.
  bool m_pageMode = false;
  long m_lineWidth = 0;
  long m_column = 0;
  bool m_linePlaced = false;
  bool m_centred = false;
  bool m_rightAligned = false;
  long m_widthFactor = 1;
};

// Parsed fields of a barcode body "s<sym>h<height>w<width>a<align>t-<pos>d<data>e".
struct BarCodeBody {
  long symbology = 0;
  long height = 0;
  long width = 0;
  long alignment = 0;
  long textPosition = 0;
  std::string data;
};
// Parsed fields of a ruled-line body "p<positions>d<dir>w<width>s1c<colour>".
struct RuledLineBody {
  std::string positions;
  long direction = 0;
  long width = 0;
  long style = 0;
  long colour = 0;
};
[[nodiscard]] bool ParseBarCodeBody(const unsigned char* body, long count, BarCodeBody* out);
[[nodiscard]] bool ParseRuledLineBody(const unsigned char* body, long count,
                                      RuledLineBody* out);
