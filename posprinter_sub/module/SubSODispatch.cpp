// The ID tables of the sub-module interface: one row per method, service and callback ID.
// Block sizes come from the argument blocks of PrinterSubArgs.h.
#include "SubSO.h"

#define WORDS(T) static_cast<int>(sizeof(T) / 4)

const CSubSO::MethodRow CSubSO::kMethods[] = {
    {PRN_METHOD_CHECK_HEALTH, "CheckHealth", WORDS(PrnPreLevelArgs), WORDS(PrnExecLevelArgs), &CSubSO::preCheckHealth, &CSubSO::executeCheckHealth},
    {PRN_METHOD_DIRECT_IO, "DirectIO", WORDS(PrnPreDirectIOArgs), WORDS(PrnExecDirectIOArgs), &CSubSO::preDirectIO, &CSubSO::executeDirectIO},
    {PRN_METHOD_CLEAR_OUTPUT, "ClearOutput", WORDS(PrnPreNoArgs), WORDS(PrnExecNoArgs), &CSubSO::preClearOutput, &CSubSO::executeClearOutput},
    {PRN_METHOD_COMPARE_FIRMWARE_VERSION, "CompareFirmwareVersion", WORDS(PrnPreCompareFirmwareArgs), WORDS(PrnExecCompareFirmwareArgs), &CSubSO::refuseUnsupported, &CSubSO::refuseUnsupported},
    {PRN_METHOD_RESET_STATISTICS, "ResetStatistics", WORDS(PrnPreTextArgs), WORDS(PrnExecTextArgs), &CSubSO::preResetStatistics, &CSubSO::executeResetStatistics},
    {PRN_METHOD_RETRIEVE_STATISTICS, "RetrieveStatistics", WORDS(PrnPreRetrieveStatisticsArgs), WORDS(PrnExecRetrieveStatisticsArgs), &CSubSO::preRetrieveStatistics, &CSubSO::executeRetrieveStatistics},
    {PRN_METHOD_UPDATE_FIRMWARE, "UpdateFirmware", WORDS(PrnPreTextArgs), WORDS(PrnExecTextArgs), &CSubSO::refuseUnsupported, &CSubSO::refuseUnsupported},
    {PRN_METHOD_UPDATE_STATISTICS, "UpdateStatistics", WORDS(PrnPreTextArgs), WORDS(PrnExecTextArgs), &CSubSO::refuseUnsupported, &CSubSO::refuseUnsupported},
    {PRN_METHOD_BEGIN_INSERTION, "BeginInsertion", WORDS(PrnPreValueArgs), WORDS(PrnExecValueArgs), &CSubSO::refuseUnsupported, &CSubSO::refuseUnsupported},
    {PRN_METHOD_BEGIN_REMOVAL, "BeginRemoval", WORDS(PrnPreValueArgs), WORDS(PrnExecValueArgs), &CSubSO::refuseUnsupported, &CSubSO::refuseUnsupported},
    {PRN_METHOD_END_INSERTION, "EndInsertion", WORDS(PrnPreNoArgs), WORDS(PrnExecNoArgs), &CSubSO::refuseUnsupported, &CSubSO::refuseUnsupported},
    {PRN_METHOD_END_REMOVAL, "EndRemoval", WORDS(PrnPreNoArgs), WORDS(PrnExecNoArgs), &CSubSO::refuseUnsupported, &CSubSO::refuseUnsupported},
    {PRN_METHOD_CUT_PAPER, "CutPaper", WORDS(PrnPreValueArgs), WORDS(PrnExecValueArgs), &CSubSO::preCutPaper, &CSubSO::executeCutPaper},
    {PRN_METHOD_PRINT_BAR_CODE, "PrintBarCode", WORDS(PrnPrePrintBarCodeArgs), WORDS(PrnExecPrintBarCodeArgs), &CSubSO::prePrintBarCode, &CSubSO::executePrintBarCode},
    {PRN_METHOD_PRINT_BITMAP, "PrintBitmap", WORDS(PrnPrePrintBitmapArgs), WORDS(PrnExecPrintBitmapArgs), &CSubSO::prePrintBitmap, &CSubSO::executePrintBitmap},
    {PRN_METHOD_PRINT_IMMEDIATE, "PrintImmediate", WORDS(PrnPreStationTextArgs), WORDS(PrnExecStationTextArgs), &CSubSO::prePrintText, &CSubSO::executePrintText},
    {PRN_METHOD_PRINT_NORMAL, "PrintNormal", WORDS(PrnPreStationTextArgs), WORDS(PrnExecStationTextArgs), &CSubSO::prePrintText, &CSubSO::executePrintText},
    {PRN_METHOD_PRINT_TWO_NORMAL, "PrintTwoNormal", WORDS(PrnPrePrintTwoNormalArgs), WORDS(PrnExecPrintTwoNormalArgs), &CSubSO::refusePrintTwoNormal, &CSubSO::refusePrintTwoNormal},
    {PRN_METHOD_ROTATE_PRINT, "RotatePrint", WORDS(PrnPreStationValueArgs), WORDS(PrnExecStationValueArgs), &CSubSO::preRotatePrint, &CSubSO::executeRotatePrint},
    {PRN_METHOD_SET_BITMAP, "SetBitmap", WORDS(PrnPreSetBitmapArgs), WORDS(PrnExecSetBitmapArgs), &CSubSO::preSetBitmap, &CSubSO::executeSetBitmap},
    {PRN_METHOD_SET_LOGO, "SetLogo", WORDS(PrnPreStationTextArgs), WORDS(PrnExecStationTextArgs), &CSubSO::preSetLogo, &CSubSO::executeSetLogo},
    {PRN_METHOD_TRANSACTION_PRINT, "TransactionPrint", WORDS(PrnPreStationValueArgs), WORDS(PrnExecStationValueArgs), &CSubSO::preTransactionPrint, &CSubSO::executeTransactionPrint},
    {PRN_METHOD_VALIDATE_DATA, "ValidateData", WORDS(PrnPreStationTextArgs), WORDS(PrnExecStationTextArgs), &CSubSO::preValidateData, &CSubSO::executeValidateData},
    {PRN_METHOD_CHANGE_PRINT_SIDE, "ChangePrintSide", WORDS(PrnPreValueArgs), WORDS(PrnExecValueArgs), &CSubSO::refuseUnsupported, &CSubSO::refuseUnsupported},
    {PRN_METHOD_MARK_FEED, "MarkFeed", WORDS(PrnPreValueArgs), WORDS(PrnExecValueArgs), &CSubSO::preMarkFeed, &CSubSO::executeMarkFeed},
    {PRN_METHOD_CLEAR_PRINT_AREA, "ClearPrintArea", WORDS(PrnPreNoArgs), WORDS(PrnExecNoArgs), &CSubSO::preClearPrintArea, &CSubSO::executeClearPrintArea},
    {PRN_METHOD_PAGE_MODE_PRINT, "PageModePrint", WORDS(PrnPreValueArgs), WORDS(PrnExecValueArgs), &CSubSO::prePageModePrint, &CSubSO::executePageModePrint},
    {PRN_METHOD_DRAW_RULED_LINE, "DrawRuledLine", WORDS(PrnPreDrawRuledLineArgs), WORDS(PrnExecDrawRuledLineArgs), &CSubSO::preDrawRuledLine, &CSubSO::executeDrawRuledLine},
    {PRN_METHOD_PRINT_MEMORY_BITMAP, "PrintMemoryBitmap", WORDS(PrnPrePrintMemoryBitmapArgs), WORDS(PrnExecPrintMemoryBitmapArgs), &CSubSO::prePrintMemoryBitmap, &CSubSO::executePrintMemoryBitmap},
};

const CSubSO::ServiceRow CSubSO::kServices[] = {
    {PRN_SERVICE_ACTIVATE_DEVICE, "activateDevice", WORDS(PrnRecordSnapshotArgs), false, &CSubSO::activateDevice},
    {PRN_SERVICE_DEACTIVATE_DEVICE, "deactivateDevice", 0, true, &CSubSO::deactivateDevice},
    {PRN_SERVICE_FREE_COMMAND_LIST, "freeCommandList", WORDS(PrnListArgs), false, &CSubSO::freeCommandList},
    {PRN_SERVICE_WRITE_PRINTER_DATA, "WritePrinterData", WORDS(PrnWriteArgs), false, &CSubSO::WritePrinterData},
    {PRN_SERVICE_RESTORE_PRINTER, "restorePrinter", 1, false, &CSubSO::restorePrinterService},
    {PRN_SERVICE_PAGE_MODE_AREA, "pageModeArea", WORDS(PrnPageModeAreaArgs), false, &CSubSO::pageModeArea},
    {PRN_SERVICE_MOVE_COMMAND_TOKENS, "moveCommandTokens", WORDS(PrnMoveTokensArgs), false, &CSubSO::moveCommandTokens},
    {PRN_SERVICE_SET_CHARACTER_SET, "setCharacterSet", WORDS(PrnCodePageArgs), false, &CSubSO::setCharacterSet},
    {PRN_SERVICE_SCAN_COMMAND_TOKENS, "scanCommandTokens", WORDS(PrnListArgs), false, &CSubSO::scanCommandTokens},
    {PRN_SERVICE_REQUEST_DEVICE_DATA, "requestDeviceData", WORDS(PrnRequestDeviceDataArgs), false, &CSubSO::requestDeviceData},
    {PRN_SERVICE_GET_FIXED_PARAMETERS, "getFixedParameters", WORDS(PrnFixedParametersArgs), false, &CSubSO::getFixedParameters},
    {PRN_SERVICE_PROC_CALLBACK_STATUS, "procCallbackStatus", WORDS(PrnProcStatusArgs), false, &CSubSO::procCallbackStatus},
    {PRN_SERVICE_ADD_COMMAND_TOKEN, "addCommandToken", WORDS(PrnAddTokenArgs), false, &CSubSO::addCommandToken},
    {PRN_SERVICE_APPEND_COMMAND_TOKENS, "appendCommandTokens", WORDS(PrnCopyTokensArgs), false, &CSubSO::appendCommandTokens},
    {PRN_SERVICE_FREE_RESULT_RECORD, "freeResultRecord", WORDS(PrnSnapshotArgs), false, &CSubSO::freeResultRecord},
    {PRN_SERVICE_INIT_DEVICE, "initDevice", WORDS(PrnRecordArgs), false, &CSubSO::initDevice},
    {PRN_SERVICE_TERMINATE_DEVICE, "terminateDevice", 0, true, &CSubSO::terminateDevice},
    {PRN_SERVICE_CREATE_COMMAND_LIST, "createCommandList", WORDS(PrnCreateListArgs), false, &CSubSO::createCommandList},
    {PRN_SERVICE_CLONE_COMMAND_TOKENS, "cloneCommandTokens", WORDS(PrnCloneTokensArgs), false, &CSubSO::cloneCommandTokens},
    {PRN_SERVICE_SELECT_LINE_CHARS_FONT, "SelectLineCharsFont", WORDS(PrnSelectLineCharsFontArgs), false, &CSubSO::SelectLineCharsFont},
    {PRN_SERVICE_CHARACTER_PITCH, "CalcCharPitchValue", WORDS(PrnRecordSnapshotArgs), false, &CSubSO::calcCharPitch},
    {PRN_SERVICE_APPEND_RESPONSE_ID_TOKEN, "appendDirectIOTokenB", WORDS(PrnResponseIdArgs), false, &CSubSO::appendDirectIOTokenB},
    {PRN_SERVICE_ENABLED_EVENT_NOTIFY, "enabledEventNotify", WORDS(PrnRecordSnapshotArgs), false, &CSubSO::enabledEventNotify},
    // 1023 is deliberately absent: it answers 106 as an unknown ID.
};

const CSubSO::CallbackRow CSubSO::kCallbacks[] = {
    {PRN_CALLBACK_PRINT_DATA_TOKENIZER, WORDS(PrnTokenizerRecord), &CSubSO::setConvertFunction},
    {PRN_CALLBACK_STATUS_FUNCTION_SET, WORDS(PrnStatusFunctionSet), &CSubSO::setEventFunction},
    {PRN_CALLBACK_RESPONSE_CODE, WORDS(PrnResponseCodeRecord), &CSubSO::setResponseCodeFunction},
    {PRN_CALLBACK_ERROR_NOTICE, WORDS(PrnErrorNoticeRecord), &CSubSO::setErrorFunction},
    {PRN_CALLBACK_STATUS_EVENT, WORDS(PrnStatusEventRecord), &CSubSO::setStatusEvent},
};

namespace {
template <class Row, size_t N>
const Row* Find(const Row (&rows)[N], long id) {
  for (const Row& row : rows)
    if (row.id == id) return &row;
  return nullptr;
}
}  // namespace

const CSubSO::MethodRow* CSubSO::FindMethod(long methodId) { return Find(kMethods, methodId); }
const CSubSO::ServiceRow* CSubSO::FindService(long serviceId) { return Find(kServices, serviceId); }
const CSubSO::CallbackRow* CSubSO::FindCallback(long callbackId) { return Find(kCallbacks, callbackId); }
