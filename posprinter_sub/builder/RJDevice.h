// CRJDevice: the command builder of one printer slot. It builds command tokens for the
// execute handlers, renders a token list into the printer's command bytes when the core
// sends it (service 1010), and calls back into the core.
//
// Files: RJDevice.cpp (callbacks, settings, lists, text tokens, code pages, small tokens),
// RJDeviceDispatch.cpp (the render and validation tables), RJDeviceText.cpp (character and
// line commands, cut and mark feed), RJDevicePage.cpp (page mode, rotated print, measuring,
// sideways characters), RJDeviceFeed.cpp (line-feed adjustment, positioned and data
// tokens), RJDeviceRuled.cpp (ruled lines), RJDeviceDirect.cpp (writes to the printer),
// RJDeviceBitmap.cpp (bitmaps).
#pragma once
#include "Win.h"

#include "DataConverter.h"
#include "DibImage.h"
#include "PrinterSubCallbacks.h"
#include "PrinterSubIds.h"
#include "PrinterSubRecords.h"
#include "CommandTokenCodes.h"

#include <memory>
#include <string>
#include <vector>

class CCommPrinterDriver;
class CLogContext;
class RJBytes;
struct RJBarCodeRequest;
struct RJBarCodeResult;

// Working state of one render pass over a list (set up by ConvertTokens, handed to every
// rendering operation). All words signed 32-bit.
struct RJConvState {
  long station;
  long font;          // 1, 2 or 3
  long lineSpacing;   // dots
  long lineStart;     // the next byte starts a new line
  long pageMode;      // a page mode is open in this list
  long rotatedPage;   // a rotated print is open in this list
  long upsideDown;
  long bold;
  long underline;     // 0-2 dots
  long reverse;
  long doubleWidth;
  long doubleHeight;
  long hScale;        // 1-8
  long vScale;        // 1-8
  long cancel;        // the sequence carried "!"
};

// One horizontal ruled-line segment: first and last dot.
struct RJRuledSegment {
  long first;
  long last;
};
// Ruled-line state that the slot keeps between DrawRuledLine calls.
using RJSegmentList = std::vector<RJRuledSegment>;  // horizontal segments being built
using RJPositionList = std::vector<long>;           // left edges of open vertical lines

// A receipt font chosen from RecLineCharsList by its position in the list.
struct RJLineCharsFont {
  long font;       // 1 (16-dot) or 2 (24-dot)
  long charWidth;  // dots
  long spacing;    // dots
};

class CRJDevice {
 public:
  // The three pointers are the slot's; none is owned.
  CRJDevice(CLogContext* log, CCommPrinterDriver* channel, const PrnCapabilityBlock* caps);
  ~CRJDevice();
  CRJDevice(const CRJDevice&) = delete;
  CRJDevice& operator=(const CRJDevice&) = delete;

  [[nodiscard]] int Initialize() { return 1; }
  void ClearOutput() {}

  // ---- Callbacks into the core (2001, 2003, 2004) and the context passed back to them.
  void SetConvertFunction(PrnPrintDataTokenizerFn fn) { m_tokenizer = fn; }
  void SetResponseCodeFunction(PrnResponseCodeFn fn) { m_responseCode = fn; }
  void SetErrorFunction(PrnErrorNoticeFn fn) { m_errorNotice = fn; }
  void SetCallbackContext(void* context) { m_context = context; }
  long NotifyResponseCode(long responseId);
  void SetErrorNoticeToCore(long resultCode, long resultCodeExtended, long flag,
                            const char* text);

  // ---- Persisting settings.
  // Service 1008: code page -> ESC t table and ESC R character set.
  void SelectCodeTable(long codePage);
  long CodeTable() const { return m_codeTable; }
  long InternationalCharset() const { return m_charset; }
  // Service 1020: the station's font (1-3) and right-side spacing in dots.
  void SetStationFont(long station, long font, long spacing);
  long StationFont(long station) const;
  long StationSpacing(long station) const;
  // PageModePrint control 1: where line-feed adjustment starts.
  void SetPageStart(long charHeight, long lineSpacing);
  long PageCharHeight() const { return m_pageCharHeight; }
  long PageLineSpacing() const { return m_pageLineSpacing; }
  long CutDone() const { return m_cutDone; }
  long RuledLineWidth() const { return m_ruledWidth; }
  // Size of a bitmap registered under number n (1-20) for measuring; width 0 = none.
  // The bitmap registration keeps it in step with the images it stores.
  void SetRegisteredBitmapSize(long n, long widthBytes, long heightDots);

  // ---- Lists (services 1003, 1018, 1019 and the builders).
  [[nodiscard]] PrnTokenList* CreateTokenList(long station);
  void FreeTokenList(PrnTokenList* list);
  // Deep copy of every token, walking the source tail to head and adding each copy at the
  // target's head; lengths added to the target's total. False when memory ran out.
  [[nodiscard]] bool CopyTokenList(const PrnTokenList* from, PrnTokenList* to);
  void RemoveModeTokens(PrnTokenList* list);  // 153, 511, 512, 601-604

  // ---- Rendering (service 1010) and validation (ValidateData).
  // Renders every token from tail to head and recomputes the list's byte total. Returns 0.
  long ConvertTokens(const PrnInputProperty* input, const PrnStationState* state,
                     PrnTokenList* list, long ignored);
  // Worst result over the list: 0 valid, 1 illegal parameter, 2 not supported.
  long ValidateTokens(const PrnCapabilityBlock* caps, const PrnInputProperty* input,
                      const PrnStationState* state, long station, const PrnTokenList* list,
                      const long* tokenizerResult);

  // ---- Token builders shared by the execute handlers.
  // A new list for `station` with the text's tokens (the core's tokenizer adds them);
  // NULL when memory runs out.
  [[nodiscard]] PrnTokenList* AddTextTokens(PrnInputProperty* input, PrnStationState* state,
                                            long station, const unsigned char* data,
                                            long length, long* errorCode, long skip);
  void AddCharsetStateToken(PrnTokenList* list);                // 100 at the head
  void AddToken900(PrnTokenList* list, bool atTail);            // empty flush marker
  void AddModeToken132(long value, PrnTokenList* list, long skip);  // GS s at the tail
  void AddDc2qToken(long responseId, PrnTokenList* list);       // 710 at the head
  void AddCharsetToken(long n, PrnTokenList* list);             // 717 at the head
  void AddCutToken(PrnTokenList* list, long percentage);        // CutPaper
  void AddMarkFeedToken(PrnTokenList* list, long type);         // MarkFeed

  // ---- Page mode, rotated print (PageModePrint, ClearPrintArea, RotatePrint, 1006).
  void AddPageModeStartToken(PrnTokenList* list);
  void AddPageModeEndToken(long type, PrnTokenList* list);
  void AddPageModeAreaToken(const char* area, long direction, long vertical, long horizontal,
                            PrnTokenList* list);
  void AddClearPrintAreaToken(PrnTokenList* list, const char* area);
  void AddRotateTokens(long left, PrnTokenList* list);
  void AddFormFeedToken(PrnTokenList* list);
  // Service 1009: page height of each rotated page = its longest line (at most
  // lengthLimit) + 1, written into the 154/155 and 156 tokens. Returns 0.
  long MeasureTokens(PrnTokenList* list, long lengthLimit);
  // Service 1021: sideways characters per line into snapshot word +216 from the pitch
  // (sideways length in dots); left unchanged when RecLineChars has no font.
  void CalcCharPitchValue(const PrnInputProperty* input, PrnPropertySnapshot* snapshot,
                          long pitch);
  // Turns the line ends of a buffered page or rotated print into exact feeds and drops
  // what does not fit the page. Returns 0.
  long AdjustLineFeedWidth(const PrnInputProperty* input, const PrnStationState* state,
                           PrnTokenList* list, long lengthLimit);
  // The font of RecLineCharsList entry k (0-based; 0-6), false beyond.
  static bool LineCharsFont(long k, RJLineCharsFont* out);

  // ---- Positioned and data tokens (barcode builders).
  void AddPositionedToken(const unsigned char* data, long parameter, long height,
                          long length, PrnTokenList* list, const PrnStationState* state,
                          long further);
  void AddDataToken(const unsigned char* data, long parameter, long length,
                    PrnTokenList* list);

  // ---- Ruled lines (DrawRuledLine).
  // Checks the positions against the width limit w and, only when every value passes,
  // appends them to the segment list (horizontal) or the position list (vertical).
  // 1 on success, 0 on the first bad value or an empty position array.
  [[nodiscard]] int ParseRuledLinePositions(const PrnPositionArray* positions, long lineWidth,
                                            bool vertical, RJSegmentList* segments,
                                            RJPositionList* verticals, long w);
  // A new list holding one token 161 with the ruled-line bytes; NULL for a horizontal end
  // or a missing list.
  [[nodiscard]] PrnTokenList* BuildRuledLineTokens(RJSegmentList* segments,
                                                   RJPositionList* verticals, long station,
                                                   long lineWidth, bool vertical, bool end);
  // The escape-sequence path: moves every token of a built ruled-line list, oldest first, to
  // the head of the tokenizer's list as a ruled-line copy (162), adds their lengths to its
  // total and frees the built list. The tokens keep their order. False when memory ran out:
  // nothing moved or counted.
  [[nodiscard]] bool AppendRuledLineCopies(PrnTokenList* built, PrnTokenList* target);
  static void FreeSegmentList(RJSegmentList* segments) { segments->clear(); }
  static void FreePositionList(RJPositionList* verticals) { verticals->clear(); }

  // ---- Writes straight to the printer through the channel; each returns its code.
  [[nodiscard]] long SendBufferClear(DWORD timeout);
  [[nodiscard]] long SendDeactivateCommand(DWORD timeout);
  [[nodiscard]] long ResetMaintenanceCounter(unsigned char n, DWORD timeout);
  [[nodiscard]] long SendInitializeCommand(DWORD timeout);
  // pairs: count (switch, value) byte pairs.
  [[nodiscard]] long FunctionSet_Multi(const unsigned char* pairs, long count, DWORD timeout);
  [[nodiscard]] long GetPrinterId(unsigned char index, DWORD* value);
  [[nodiscard]] long GetPrinterCounter(WORD index, DWORD* value);

  // ---- Bitmaps (RJDeviceBitmap.cpp): the temporary BMP of an image file, bitmaps stored in
  // the printer's memory (SetBitmap, token 121) and the raster token of PrintBitmap.
  // A path the image reader can take for `fileName`: the name itself, or a temporary BMP
  // converted from it (remembered until DeleteTempBitmap).
  [[nodiscard]] std::string SaveTempBitmap(const char* fileName);
  void DeleteTempBitmap();
  // Keeps `raster` (taken over; NULL clears the number) with its alignment for bitmap n
  // (1-20) and stores it in the printer, defragmenting user memory once when that makes
  // room. 0 or an internal error code (30 too big, 31 no memory, the channel's codes).
  [[nodiscard]] long RegisterBitmap(DibRaster* raster, long n, long alignment, DWORD timeout);
  const DibRaster* RegisteredBitmap(long n) const;
  long RegisteredAlignment(long n) const;
  // Adds the GS v 0 token of `raster` (not taken over) at the head of the list, positioned
  // by alignment; `position` is the room of a sideways print.
  void AddRawBitmapToken(const PrnInputProperty* input, const DibRaster* raster,
                         PrnTokenList* list, long alignment, long position,
                         const PrnStationState* state);

  // ---- Barcodes (RJDeviceBC.cpp: dispatch, position, 1D; RJDeviceBC2D.cpp: PDF417, QR Code,
  // stacked GS1 DataBar; RJDeviceBCAztec.cpp: Aztec Code). Each build returns a new list
  // [132] [900] 152 [157] or NULL with result->errorKind 2; the result's width and height
  // are written only with a list.
  [[nodiscard]] PrnTokenList* GetBarCodeData(const RJBarCodeRequest& request,
                                             RJBarCodeResult* result);
  [[nodiscard]] PrnTokenList* fnOneDimensionBarcode(const RJBarCodeRequest& request,
                                                    RJBarCodeResult* result);
  [[nodiscard]] PrnTokenList* fnTwoDimensionBarcode(const RJBarCodeRequest& request,
                                                    RJBarCodeResult* result);
  [[nodiscard]] PrnTokenList* fnAztecCode(const RJBarCodeRequest& request,
                                          RJBarCodeResult* result);
  // Appends the position bytes of a symbol; 0 when an explicit position does not fit.
  [[nodiscard]] int SetBarcodePosition(const PrnInputProperty* input,
                                       const PrnStationState* state, long availableWidth,
                                       long alignment, long rotation, long symbolWidth,
                                       long symbolHeight, bool skipLeft, RJBytes* bytes);
  // The widest symbol not above `requested`: width, module (2-6) and ratio index (0-2).
  [[nodiscard]] static int SelectBarcodeModule(const unsigned char* data, long type,
                                               long coded, long wideCount, long requested,
                                               long* width, long* module, long* ratio);
  static long CalcBarcodeWidth(const unsigned char* data, long type, long coded, long module,
                               long wide, long wideCount);
  // GS1 DataBar Expanded: modules of the single row; 0 when the encoder refuses.
  static long GetExpandedWidthModules(const unsigned char* data, long length);
  // GS1 DataBar Expanded Stacked: height in dots for `segments` per row; 0 on refusal.
  static long GetExpandedStackedWidth(const unsigned char* data, long length, long segments,
                                      long module);
  // Smallest QR Code version (level M) holding `bits`; -1 when none does.
  static long GetQRVersion(long bits);
  // Aztec Code: module size (2-16) filling the requested width, or 0.
  [[nodiscard]] long fnGetAztecParam(long dataLength, long availableWidth, long requestedWidth,
                                     long dataClass, long* layers, long* compact,
                                     long* symbolSize);
  long CodeSet() const { return m_codeSet; }

 private:
  using RenderOp = long (CRJDevice::*)(const PrnInputProperty*, const PrnStationState*,
                                       PrnCommandToken*, RJConvState*);
  struct DispatchRow;
  struct ValidateRow;
  static const DispatchRow kDispatch[];
  static const ValidateRow kValidate[];
  static const DispatchRow* FindDispatch(long code);
  static const ValidateRow* FindValidate(long code);

  // Rendering operations: (input, state, token, conversion state) -> 0 unless said.
  long Keep(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*, RJConvState*);
  long Drop(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*, RJConvState*);
  long PrintText(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                 RJConvState*);
  long ESCCharacterSet(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                       RJConvState*);
  long ESCNormal(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                 RJConvState*);
  long ESCBold(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
               RJConvState*);
  long ESCReverseVideo(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                       RJConvState*);
  long ESCUnderline(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                    RJConvState*);
  long ESCLeftJustify(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                      RJConvState*);
  long ESCCenter(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                 RJConvState*);
  long ESCRightJustify(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                       RJConvState*);
  long ESCUpsideDown(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                     RJConvState*);
  long ESCSingleSize(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                     RJConvState*);
  long ESCDoubleWide(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                     RJConvState*);
  long ESCDoubleHigh(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                     RJConvState*);
  long ESCDoubleSize(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                     RJConvState*);
  long ESCHorizontalScale(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                          RJConvState*);
  long ESCVerticalScale(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                        RJConvState*);
  long SelectFont1(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                   RJConvState*);
  long SelectFont2(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                   RJConvState*);
  long SetLineSpacing(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                      RJConvState*);
  long ESCFeedLines(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                    RJConvState*);
  long ESCFeedUnits(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                    RJConvState*);
  long LineFeed(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                RJConvState*);
  long ESCPaperCut(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                   RJConvState*);
  long ESCFeedCut(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                  RJConvState*);
  long BeginPageMode(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                     RJConvState*);
  long EndPageMode(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                   RJConvState*);
  long BeginRotateLeft90(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                         RJConvState*);
  long BeginRotateRight90(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                          RJConvState*);
  long OnFormFeed(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                  RJConvState*);
  // Bitmaps (RJDeviceBitmap.cpp).
  long ESCBitmap(const PrnInputProperty*, const PrnStationState*, PrnCommandToken*,
                 RJConvState*);
  [[nodiscard]] long StoreBitmapToPrinter(const DibRaster* raster, long index, DWORD timeout);
  [[nodiscard]] long DefragmentUserMemory(DWORD timeout);
  [[nodiscard]] long EnsureBitmapMemory(long need, DWORD timeout);

  long BeginRotate(const PrnInputProperty* input, PrnCommandToken* token, RJConvState* cs,
                   bool left);
  bool CutAllowed(const PrnCommandToken* token, const RJConvState* cs) const;
  // Adds a new token at the head (or tail) of the list with a copy of the bytes, and their
  // count to the list's total. Returns the token (owned by the list) or NULL.
  PrnCommandToken* AddBytesToken(PrnTokenList* list, long code, long parameter,
                                 const RJBytes* bytes, bool atTail);
  // Barcode helpers.
  PrnTokenList* RefuseBarcode(RJBarCodeResult* result);
  PrnTokenList* BuildBarcodeTokens(const RJBarCodeRequest& request, const RJBytes& bytes,
                                   long width, long height, long hriFeed,
                                   RJBarCodeResult* result);
  bool ParseCode128(const unsigned char* data, long length, std::vector<unsigned char>* send,
                    long* coded);
  void LogError(const char* function, int line, const char* text, const char* detail = "");
  void LogInfo(const char* function, int line, const char* text, const char* detail = "");

  PrnPrintDataTokenizerFn m_tokenizer = nullptr;
  PrnResponseCodeFn m_responseCode = nullptr;
  PrnErrorNoticeFn m_errorNotice = nullptr;
  CDataConverter m_converter;
  long m_codeTable = 1;
  long m_charset = 8;
  struct BitmapSize {
    long widthBytes;
    long heightDots;
  };
  BitmapSize m_bitmapSize[20] = {};
  long m_pageCharHeight = 24;
  long m_pageLineSpacing = 30;
  long m_recFont = 2;
  long m_jrnFont = 2;
  long m_recSpacing = 0;
  long m_jrnSpacing = 0;
  void* m_context = nullptr;
  // Width of the open vertical ruled lines; 1 dot until a vertical call sets it.
  long m_ruledWidth = 1;
  long m_cutDone = 0;
  long m_codeSet = -1;  // Code 128 code set of the last barcode build (1 A, 2 B, 3 C)
  CLogContext* m_log;
  CCommPrinterDriver* m_channel;
  const PrnCapabilityBlock* m_caps;
  // Bitmaps registered by SetBitmap, per number 1-20, with their alignments.
  std::unique_ptr<DibRaster, DibRasterDeleter> m_bitmaps[20];
  long m_bitmapAlignment[20] = {};
  std::string m_tempBitmap;  // the temporary BMP file to delete, or empty
};
