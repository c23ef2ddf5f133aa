// The pre-phase and execute-phase wrappers: one per OPOS method and phase. Each lays its
// parameters out as the method's argument block (PrinterSubArgs.h) and hands it to the
// sub-module; they keep no state and decide nothing but the 106 for a negative answer.
#include <algorithm>
#include <cstring>

#include "CommDevice.h"
#include "LogContext.h"

long CCommDevice::CallPhase(bool execute, long methodId, const char* name, void* block) {
  // "CCommDevice::" and the wrapper's name, on the stack: every call passes the function.
  static const char kClass[] = "CCommDevice::";
  char function[64];
  const size_t length = std::min(std::strlen(name), sizeof function - sizeof kClass);
  std::memcpy(function, kClass, sizeof kClass - 1);
  std::memcpy(function + sizeof kClass - 1, name, length);
  function[sizeof kClass - 1 + length] = '\0';
  LogF(LOG_INFO, function, __LINE__, TAG_ENTER, "%s method execution", name);
  const auto entry = execute ? m_entry.executeMethod : m_entry.preMethod;
  const long result = entry(methodId, static_cast<long*>(block), m_slot);
  if (result < 0) return NegativeTo106(result, function, name);
  LogF(LOG_INFO, function, __LINE__, TAG_EXIT, "%s method end.", name);
  return result;
}

#define PRE(ID, NAME, TYPE, ...)           \
  TYPE block{__VA_ARGS__};                 \
  return CallPhase(false, ID, NAME, &block)
#define EXEC(ID, NAME, TYPE, ...)          \
  TYPE block{__VA_ARGS__};                 \
  return CallPhase(true, ID, NAME, &block)

// ---- pre phase ----
long CCommDevice::preCheckHealth(Rec r, long level, long* e) {
  PRE(PRN_METHOD_CHECK_HEALTH, "preCheckHealth", PrnPreLevelArgs, r, level, e);
}
long CCommDevice::preDirectIO(Rec r, long command, long* data, PrnBstr* text, long* e) {
  PRE(PRN_METHOD_DIRECT_IO, "preDirectIO", PrnPreDirectIOArgs, r, command, data, text, e);
}
long CCommDevice::preClearOutput(Rec r, long* e) {
  PRE(PRN_METHOD_CLEAR_OUTPUT, "preClearOutput", PrnPreNoArgs, r, e);
}
long CCommDevice::preCompareFirmwareVersion(Rec r, Txt fileName, long* result, long* e) {
  PRE(PRN_METHOD_COMPARE_FIRMWARE_VERSION, "preCompareFirmwareVersion",
      PrnPreCompareFirmwareArgs, r, fileName, result, e);
}
long CCommDevice::preResetStatistics(Rec r, Txt buffer, long* e) {
  PRE(PRN_METHOD_RESET_STATISTICS, "preResetStatistics", PrnPreTextArgs, r, buffer, e);
}
long CCommDevice::preRetrieveStatistics(Rec r, PrnBstr* buffer, long* e) {
  PRE(PRN_METHOD_RETRIEVE_STATISTICS, "preRetrieveStatistics", PrnPreRetrieveStatisticsArgs, r,
      buffer, e);
}
long CCommDevice::preUpdateFirmware(Rec r, Txt fileName, long* e) {
  PRE(PRN_METHOD_UPDATE_FIRMWARE, "preUpdateFirmware", PrnPreTextArgs, r, fileName, e);
}
long CCommDevice::preUpdateStatistics(Rec r, Txt buffer, long* e) {
  PRE(PRN_METHOD_UPDATE_STATISTICS, "preUpdateStatistics", PrnPreTextArgs, r, buffer, e);
}
long CCommDevice::preBeginInsertion(Rec r, long timeout, long* e) {
  PRE(PRN_METHOD_BEGIN_INSERTION, "preBeginInsertion", PrnPreValueArgs, r, timeout, e);
}
long CCommDevice::preBeginRemoval(Rec r, long timeout, long* e) {
  PRE(PRN_METHOD_BEGIN_REMOVAL, "preBeginRemoval", PrnPreValueArgs, r, timeout, e);
}
long CCommDevice::preEndInsertion(Rec r, long* e) {
  PRE(PRN_METHOD_END_INSERTION, "preEndInsertion", PrnPreNoArgs, r, e);
}
long CCommDevice::preEndRemoval(Rec r, long* e) {
  PRE(PRN_METHOD_END_REMOVAL, "preEndRemoval", PrnPreNoArgs, r, e);
}
long CCommDevice::preCutPaper(Rec r, long percentage, long* e) {
  PRE(PRN_METHOD_CUT_PAPER, "preCutPaper", PrnPreValueArgs, r, percentage, e);
}
long CCommDevice::prePrintBarCode(Rec r, long station, Txt data, long symbology, long height,
                                  long width, long alignment, long textPosition, long* e) {
  PRE(PRN_METHOD_PRINT_BAR_CODE, "prePrintBarCode", PrnPrePrintBarCodeArgs, r, station, data,
      symbology, height, width, alignment, textPosition, e);
}
long CCommDevice::prePrintBitmap(Rec r, long station, Txt fileName, long width, long alignment,
                                 long* e) {
  PRE(PRN_METHOD_PRINT_BITMAP, "prePrintBitmap", PrnPrePrintBitmapArgs, r, station, fileName,
      width, alignment, e);
}
long CCommDevice::prePrintImmediate(Rec r, long station, Txt data, long* e) {
  PRE(PRN_METHOD_PRINT_IMMEDIATE, "prePrintImmediate", PrnPreStationTextArgs, r, station, data,
      e);
}
long CCommDevice::prePrintNormal(Rec r, long station, Txt data, long* e) {
  PRE(PRN_METHOD_PRINT_NORMAL, "prePrintNormal", PrnPreStationTextArgs, r, station, data, e);
}
long CCommDevice::prePrintTwoNormal(Rec r, long stations, Txt data1, Txt data2, long* e) {
  PRE(PRN_METHOD_PRINT_TWO_NORMAL, "prePrintTwoNormal", PrnPrePrintTwoNormalArgs, r, stations,
      data1, data2, e);
}
long CCommDevice::preRotatePrint(Rec r, long station, long rotation, long* e) {
  PRE(PRN_METHOD_ROTATE_PRINT, "preRotatePrint", PrnPreStationValueArgs, r, station, rotation,
      e);
}
long CCommDevice::preSetBitmap(Rec r, long bitmapNumber, long station, Txt fileName, long width,
                               long alignment, long* e) {
  PRE(PRN_METHOD_SET_BITMAP, "preSetBitmap", PrnPreSetBitmapArgs, r, bitmapNumber, station,
      fileName, width, alignment, e);
}
long CCommDevice::preSetLogo(Rec r, long location, Txt data, long* e) {
  PRE(PRN_METHOD_SET_LOGO, "preSetLogo", PrnPreStationTextArgs, r, location, data, e);
}
long CCommDevice::preTransactionPrint(Rec r, long station, long control, long* e) {
  PRE(PRN_METHOD_TRANSACTION_PRINT, "preTransactionPrint", PrnPreStationValueArgs, r, station,
      control, e);
}
long CCommDevice::preValidateData(Rec r, long station, Txt data, long* e) {
  PRE(PRN_METHOD_VALIDATE_DATA, "preValidateData", PrnPreStationTextArgs, r, station, data, e);
}
long CCommDevice::preChangePrintSide(Rec r, long side, long* e) {
  PRE(PRN_METHOD_CHANGE_PRINT_SIDE, "preChangePrintSide", PrnPreValueArgs, r, side, e);
}
long CCommDevice::preMarkFeed(Rec r, long type, long* e) {
  PRE(PRN_METHOD_MARK_FEED, "preMarkFeed", PrnPreValueArgs, r, type, e);
}
long CCommDevice::preClearPrintArea(Rec r, long* e) {
  PRE(PRN_METHOD_CLEAR_PRINT_AREA, "preClearPrintArea", PrnPreNoArgs, r, e);
}
long CCommDevice::prePageModePrint(Rec r, long control, long* e) {
  PRE(PRN_METHOD_PAGE_MODE_PRINT, "prePageModePrint", PrnPreValueArgs, r, control, e);
}
long CCommDevice::preDrawRuledLine(Rec r, long station, Txt positionList, long direction,
                                   long lineWidth, long lineStyle, long lineColor, long* e) {
  PRE(PRN_METHOD_DRAW_RULED_LINE, "preDrawRuledLine", PrnPreDrawRuledLineArgs, r, station,
      positionList, direction, lineWidth, lineStyle, lineColor, e);
}
long CCommDevice::prePrintMemoryBitmap(Rec r, long station, Txt data, long type, long width,
                                       long alignment, long* e) {
  PRE(PRN_METHOD_PRINT_MEMORY_BITMAP, "prePrintMemoryBitmap", PrnPrePrintMemoryBitmapArgs, r,
      station, data, type, width, alignment, e);
}

// ---- execute phase ----
long CCommDevice::executeCheckHealth(Rec r, Sta s, long level, Lst l, Snp p) {
  EXEC(PRN_METHOD_CHECK_HEALTH, "executeCheckHealth", PrnExecLevelArgs, r, s, level, l, p);
}
long CCommDevice::executeDirectIO(Rec r, Sta s, long command, long* data, PrnBstr* text,
                                  PrnDirectIOFlags* flags, Lst l, Snp p) {
  EXEC(PRN_METHOD_DIRECT_IO, "executeDirectIO", PrnExecDirectIOArgs, r, s, command, data, text,
       flags, l, p);
}
long CCommDevice::executeClearOutput(Rec r, Sta s, Lst l, Snp p) {
  EXEC(PRN_METHOD_CLEAR_OUTPUT, "executeClearOutput", PrnExecNoArgs, r, s, l, p);
}
long CCommDevice::executeCompareFirmwareVersion(Rec r, Sta s, Txt fileName, long* result, Lst l,
                                                Snp p) {
  EXEC(PRN_METHOD_COMPARE_FIRMWARE_VERSION, "executeCompareFirmwareVersion",
       PrnExecCompareFirmwareArgs, r, s, fileName, result, l, p);
}
long CCommDevice::executeResetStatistics(Rec r, Sta s, Txt buffer, Lst l, Snp p) {
  EXEC(PRN_METHOD_RESET_STATISTICS, "executeResetStatistics", PrnExecTextArgs, r, s, buffer, l,
       p);
}
long CCommDevice::executeRetrieveStatistics(Rec r, Sta s, PrnBstr* buffer, Lst l, Snp p) {
  EXEC(PRN_METHOD_RETRIEVE_STATISTICS, "executeRetrieveStatistics",
       PrnExecRetrieveStatisticsArgs, r, s, buffer, l, p);
}
long CCommDevice::executeUpdateFirmware(Rec r, Sta s, Txt fileName, Lst l, Snp p) {
  EXEC(PRN_METHOD_UPDATE_FIRMWARE, "executeUpdateFirmware", PrnExecTextArgs, r, s, fileName, l,
       p);
}
long CCommDevice::executeUpdateStatistics(Rec r, Sta s, Txt buffer, Lst l, Snp p) {
  EXEC(PRN_METHOD_UPDATE_STATISTICS, "executeUpdateStatistics", PrnExecTextArgs, r, s, buffer,
       l, p);
}
long CCommDevice::executeBeginInsertion(Rec r, Sta s, long timeout, Lst l, Snp p) {
  EXEC(PRN_METHOD_BEGIN_INSERTION, "executeBeginInsertion", PrnExecValueArgs, r, s, timeout, l,
       p);
}
long CCommDevice::executeBeginRemoval(Rec r, Sta s, long timeout, Lst l, Snp p) {
  EXEC(PRN_METHOD_BEGIN_REMOVAL, "executeBeginRemoval", PrnExecValueArgs, r, s, timeout, l, p);
}
long CCommDevice::executeEndInsertion(Rec r, Sta s, Lst l, Snp p) {
  EXEC(PRN_METHOD_END_INSERTION, "executeEndInsertion", PrnExecNoArgs, r, s, l, p);
}
long CCommDevice::executeEndRemoval(Rec r, Sta s, Lst l, Snp p) {
  EXEC(PRN_METHOD_END_REMOVAL, "executeEndRemoval", PrnExecNoArgs, r, s, l, p);
}
long CCommDevice::executeCutPaper(Rec r, Sta s, long percentage, Lst l, Snp p) {
  EXEC(PRN_METHOD_CUT_PAPER, "executeCutPaper", PrnExecValueArgs, r, s, percentage, l, p);
}
long CCommDevice::executePrintBarCode(Rec r, Sta s, long station, Txt data, long symbology,
                                      long height, long width, long alignment,
                                      long textPosition, Lst l, Snp p) {
  EXEC(PRN_METHOD_PRINT_BAR_CODE, "executePrintBarCode", PrnExecPrintBarCodeArgs, r, s, station,
       data, symbology, height, width, alignment, textPosition, /*flag=*/0, l, p);
}
long CCommDevice::executePrintBitmap(Rec r, Sta s, long station, Txt fileName, long width,
                                     long alignment, Lst l, Snp p) {
  EXEC(PRN_METHOD_PRINT_BITMAP, "executePrintBitmap", PrnExecPrintBitmapArgs, r, s, station,
       fileName, width, alignment, l, p);
}
long CCommDevice::executePrintImmediate(Rec r, Sta s, long station, Txt data, Lst l, Snp p) {
  EXEC(PRN_METHOD_PRINT_IMMEDIATE, "executePrintImmediate", PrnExecStationTextArgs, r, s,
       station, data, l, p);
}
long CCommDevice::executePrintNormal(Rec r, Sta s, long station, Txt data, Lst l, Snp p) {
  EXEC(PRN_METHOD_PRINT_NORMAL, "executePrintNormal", PrnExecStationTextArgs, r, s, station,
       data, l, p);
}
long CCommDevice::executePrintTwoNormal(Rec r, Sta s, long stations, Txt data1, Txt data2,
                                        Lst l, Snp p) {
  EXEC(PRN_METHOD_PRINT_TWO_NORMAL, "executePrintTwoNormal", PrnExecPrintTwoNormalArgs, r, s,
       stations, data1, data2, l, p);
}
long CCommDevice::executeRotatePrint(Rec r, Sta s, long station, long rotation, Lst l, Snp p) {
  EXEC(PRN_METHOD_ROTATE_PRINT, "executeRotatePrint", PrnExecStationValueArgs, r, s, station,
       rotation, l, p);
}
long CCommDevice::executeSetBitmap(Rec r, Sta s, long bitmapNumber, long station, Txt fileName,
                                   long width, long alignment, Lst l, Snp p) {
  EXEC(PRN_METHOD_SET_BITMAP, "executeSetBitmap", PrnExecSetBitmapArgs, r, s, bitmapNumber,
       station, fileName, width, alignment, l, p);
}
long CCommDevice::executeSetLogo(Rec r, Sta s, long location, Txt data, Lst l, Snp p) {
  EXEC(PRN_METHOD_SET_LOGO, "executeSetLogo", PrnExecStationTextArgs, r, s, location, data, l,
       p);
}
long CCommDevice::executeTransactionPrint(Rec r, Sta s, long station, long control, Lst l,
                                          Snp p) {
  EXEC(PRN_METHOD_TRANSACTION_PRINT, "executeTransactionPrint", PrnExecStationValueArgs, r, s,
       station, control, l, p);
}
long CCommDevice::executeValidateData(Rec r, Sta s, long station, Txt data, Lst l, Snp p) {
  EXEC(PRN_METHOD_VALIDATE_DATA, "executeValidateData", PrnExecStationTextArgs, r, s, station,
       data, l, p);
}
long CCommDevice::executeChangePrintSide(Rec r, Sta s, long side, Lst l, Snp p) {
  EXEC(PRN_METHOD_CHANGE_PRINT_SIDE, "executeChangePrintSide", PrnExecValueArgs, r, s, side, l,
       p);
}
long CCommDevice::executeMarkFeed(Rec r, Sta s, long type, Lst l, Snp p) {
  EXEC(PRN_METHOD_MARK_FEED, "executeMarkFeed", PrnExecValueArgs, r, s, type, l, p);
}
long CCommDevice::executeClearPrintArea(Rec r, Sta s, Lst l, Snp p) {
  EXEC(PRN_METHOD_CLEAR_PRINT_AREA, "executeClearPrintArea", PrnExecNoArgs, r, s, l, p);
}
long CCommDevice::executePageModePrint(Rec r, Sta s, long control, Lst l, Snp p) {
  EXEC(PRN_METHOD_PAGE_MODE_PRINT, "executePageModePrint", PrnExecValueArgs, r, s, control, l,
       p);
}
long CCommDevice::executeDrawRuledLine(Rec r, Sta s, long station,
                                       const PrnPositionArray* positions, long direction,
                                       long lineWidth, long lineStyle, long lineColor, Lst l,
                                       Snp p) {
  EXEC(PRN_METHOD_DRAW_RULED_LINE, "executeDrawRuledLine", PrnExecDrawRuledLineArgs, r, s,
       station, positions, direction, lineWidth, lineStyle, lineColor, /*flag=*/0, l, p);
}
long CCommDevice::executePrintMemoryBitmap(Rec r, Sta s, long station, Txt data, long type,
                                           long width, long alignment, Lst l, Snp p) {
  EXEC(PRN_METHOD_PRINT_MEMORY_BITMAP, "executePrintMemoryBitmap", PrnExecPrintMemoryBitmapArgs,
       r, s, station, data, type, width, alignment, l, p);
}

#undef PRE
#undef EXEC
