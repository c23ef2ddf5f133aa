// A barcode request as PrintBarCode hands it to the command builder, the builder's answer,
// and the internal symbol types the builders know.
#pragma once
#include "PrinterSubRecords.h"

// Internal symbol types (PrintBarCode maps the OPOS symbologies onto these).
enum RJBarCodeType : long {
  RJ_BC_UPCA = 0,
  RJ_BC_UPCE = 1,
  RJ_BC_EAN13 = 2,
  RJ_BC_EAN8 = 3,
  RJ_BC_CODE39 = 4,
  RJ_BC_ITF = 5,
  RJ_BC_CODABAR = 6,
  RJ_BC_CODE93 = 7,
  RJ_BC_CODE128 = 8,
  RJ_BC_EAN13_ADDON = 9,
  RJ_BC_CODE128_PARSED = 10,
  RJ_BC_PDF417 = 11,
  RJ_BC_QRCODE = 25,
  RJ_BC_AZTEC = 27,
  RJ_BC_DATABAR = 30,
  RJ_BC_DATABAR_EXPANDED = 31,
  RJ_BC_DATABAR_LIMITED = 32,
  RJ_BC_DATABAR_TRUNCATED = 33,
  RJ_BC_DATABAR_STACKED = 34,
  RJ_BC_DATABAR_STACKED_OMNI = 35,
  RJ_BC_DATABAR_EXPANDED_STACKED = 36,
};

// Alignment codes: a value of 0 or more is the symbol's left edge in dots.
enum : long { RJ_BC_ALIGN_RIGHT = -1, RJ_BC_ALIGN_LEFT = -2, RJ_BC_ALIGN_CENTER = -3 };
// HRI position codes.
enum : long { RJ_BC_HRI_NONE = 1, RJ_BC_HRI_ABOVE = 2, RJ_BC_HRI_BELOW = 3 };
// Rotation codes.
enum : long {
  RJ_BC_ROTATE_NORMAL = 1,
  RJ_BC_ROTATE_LEFT = 2,
  RJ_BC_ROTATE_RIGHT = 3,
  RJ_BC_ROTATE_180 = 4,
};
// Error kind of a refused build.
inline constexpr long kRJBarCodeRefused = 2;

struct RJBarCodeRequest {
  const PrnInputProperty* input;
  const PrnStationState* state;
  const unsigned char* data;
  long length;
  long station;
  long availableWidth;   // dots the symbol must fit in
  long availableHeight;  // dots; -1 = no limit
  long type;             // RJBarCodeType
  long alignment;
  long height;           // 1..255 dots
  long requestedWidth;   // upper bound of the symbol width when the module is chosen
  long hri;
  long rotation;
  long printSpeed;       // device setting: non-zero leaves the GS s mode token out
  long gs1ModuleSize;    // device setting: module of the stacked GS1 DataBar forms
};

// Written only by a build that returns a list (width, height) or refuses (errorKind).
struct RJBarCodeResult {
  long errorKind;
  long width;   // dots
  long height;  // dots
};

// A byte of a GS1 DataBar Expanded element string as the printer takes it (GS k 78,
// GS p 4 2): space, "!", quotation mark, "%" to "?", A-Z, "_", a-z and "{" (FNC1 is "{1").
inline bool RJExpandedChar(unsigned char c) {
  return c == ' ' || c == '!' || c == '"' || (c >= '%' && c <= '?') || (c >= 'A' && c <= 'Z') ||
         c == '_' || (c >= 'a' && c <= 'z') || c == '{';
}
