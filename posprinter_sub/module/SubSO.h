// One open printer device behind a sub-module slot: the common frame of every pre and
// execute handler, the dispatch tables of method, service and callback IDs, and the
// command-token list services.
#pragma once
#include "Win.h"

#include "DataConverter.h"
#include "LogContext.h"
#include "MemorySwitches.h"
#include "PrinterSubApi.h"
#include "SubSOProperties.h"
#include "SubSOSettings.h"

#include <atomic>
#include <string>
#include <vector>

class CRJCollection;       // status store
class CCommPrinterDriver;  // printer channel
class CRJDevice;           // command builder (created by initSubSODet)
class CStatusQueue;        // the slot's status words

class CSubSO {
 public:
  using Handler = long (CSubSO::*)(long* args);
  using CallbackHandler = long (CSubSO::*)(void** record);

  // One row per method ID: the bare name ("PrintNormal"), the block sizes in words and
  // the two handlers.
  struct MethodRow {
    long id;
    const char* name;
    int preWords;
    int executeWords;
    Handler pre;
    Handler execute;
  };
  struct ServiceRow {
    long id;
    const char* name;
    int words;             // 0: the service reads no block
    bool nullBlockAllowed;
    Handler handler;
  };
  struct CallbackRow {
    long id;
    int words;
    CallbackHandler handler;
  };

  static const MethodRow* FindMethod(long methodId);
  static const ServiceRow* FindService(long serviceId);
  static const CallbackRow* FindCallback(long callbackId);

  explicit CSubSO(long slot);
  ~CSubSO();
  CSubSO(const CSubSO&) = delete;
  CSubSO& operator=(const CSubSO&) = delete;

  // Workers behind the exports (the export has checked slot, block and ID).
  [[nodiscard]] long initSubSODet(const char* deviceName, long coreVersion,
                                  PrnPropertySnapshot* snapshot, void* callbackContext);
  [[nodiscard]] long terminateSubSODet();
  [[nodiscard]] long initPrinterDLL();
  [[nodiscard]] long terminatePrinterDLL();
  [[nodiscard]] long getCapabilityDet(PrnCapabilityArgs* args);
  [[nodiscard]] long RunPre(const MethodRow& row, long* args);
  [[nodiscard]] long RunExecute(const MethodRow& row, long* args);
  [[nodiscard]] long RunService(const ServiceRow& row, long* args);
  [[nodiscard]] long RunCallback(const CallbackRow& row, void** record);

  // major*1000000 + minor*1000 + build of this module's file version; 0, or -1 when the
  // version resource cannot be read.
  [[nodiscard]] static long getModuleVersion(long* version);

  long slot() const { return m_slot; }
  bool initialised() const { return m_fInitialised != 0; }
  const CLogContext& logContext() const { return *m_pLogContext; }
  const PrnCapabilityBlock& capabilities() const { return *m_pCapabilities; }
  const CSubSOSettings& settings() const { return m_settings; }

  // The single-token lists of DirectIO commands 201 (ESC R n) and 2 (DC2 q n), built into the
  // execute block [record, state, Command, pData, pString, flags, list out, snapshot].
  [[nodiscard]] long makeDirectIOTokenA(PrnExecDirectIOArgs* block);
  [[nodiscard]] long makeDirectIOTokenB(PrnExecDirectIOArgs* block);

 private:
  // Command-token list services.
  long freeCommandList(long* args);        // 1003
  long pageModeArea(long* args);           // 1006
  long moveCommandTokens(long* args);      // 1007
  long setCharacterSet(long* args);        // 1008
  long scanCommandTokens(long* args);      // 1009
  long requestDeviceData(long* args);      // 1010
  long getFixedParameters(long* args);     // 1011
  long addCommandToken(long* args);        // 1013
  long appendCommandTokens(long* args);    // 1014
  long freeResultRecord(long* args);       // 1015
  long createCommandList(long* args);      // 1018
  long cloneCommandTokens(long* args);     // 1019
  long SelectLineCharsFont(long* args);    // 1020
  long calcCharPitch(long* args);          // 1021
  long appendDirectIOTokenB(long* args);   // 1022
  long makeDirectIOToken(PrnExecDirectIOArgs* block, bool characterSet);

  // Connection, activation and the printer services of the send threads.
  long activateDevice(long* args);         // 1001
  long deactivateDevice(long* args);       // 1002
  long WritePrinterData(long* args);       // 1004
  long restorePrinterService(long* args);  // 1005
  long initDevice(long* args);             // 1016
  long terminateDevice(long* args);        // 1017
  long enabledEventNotify(long* args);     // 1024
  long restorePrinter(PrnStatusRecord* record);
  long SyncMemorySwitches();
  void ConvertRegDataToBinaryData(BYTE wanted[kSwitchBytes]) const;
  void CancelStatusCallback();
  // Maps an internal code into the snapshot's ResultCode and ResultCodeExtended (when there
  // is a snapshot); returns the ResultCode.
  long MapErrorToSnapshot(long code, PrnPropertySnapshot* snapshot);

  // Status path (1012).
  long procCallbackStatus(long* args);
  void NotifyCompletionResponses();
  void ProcessStatusWord(DWORD word, PrnStatusRecord* status, PrnPropertySnapshot* result);

  // Buffered modes, ValidateData/SetLogo/PrintTwoNormal, CutPaper/MarkFeed, DrawRuledLine.
  long preTransactionPrint(long* args);
  long executeTransactionPrint(long* args);
  long preRotatePrint(long* args);
  long executeRotatePrint(long* args);
  long prePageModePrint(long* args);
  long executePageModePrint(long* args);
  long preClearPrintArea(long* args);
  long executeClearPrintArea(long* args);
  long preValidateData(long* args);
  long executeValidateData(long* args);
  long preSetLogo(long* args);
  long executeSetLogo(long* args);
  long refusePrintTwoNormal(long* args);
  long preCutPaper(long* args);
  long executeCutPaper(long* args);
  long preMarkFeed(long* args);
  long executeMarkFeed(long* args);
  long executePaperHandling(long* args, void (CRJDevice::*addTokens)(PrnTokenList*, long));
  long preDrawRuledLine(long* args);
  long executeDrawRuledLine(long* args);
  // Decodes Data by BinaryConversion and has the core's tokenizer fill a new list for
  // `station`: 0, 106 for data that does not decode, 111 when no list could be made.
  long tokenizeText(const PrnExecStationTextArgs& block, long station, long* error,
                    PrnTokenList** list);
  // Left edges of the open vertical ruled lines (an RJPositionList), kept until a vertical
  // call replaces or closes them.
  std::vector<long> m_ruledVerticals;

  // PrintBarCode (SubSOBarCode.cpp).
  long prePrintBarCode(long* args);
  long executePrintBarCode(long* args);

  // PrintNormal and PrintImmediate: the same steps under their own names.
  long prePrintText(long* args);
  long executePrintText(long* args);

  // ClearOutput, the refused methods, DirectIO, statistics and CheckHealth.
  long preClearOutput(long* args);
  long executeClearOutput(long* args);
  long refuseUnsupported(long* args);
  long preDirectIO(long* args);
  long executeDirectIO(long* args);
  long preRetrieveStatistics(long* args);
  long executeRetrieveStatistics(long* args);
  long preResetStatistics(long* args);
  long executeResetStatistics(long* args);
  long preCheckHealth(long* args);
  long executeCheckHealth(long* args);
  long checkHealthInternal(PrnPropertySnapshot* snapshot);
  long checkHealthPrint(const char* word, const PrnExecLevelArgs& block);
  long checkHealthInteractive(const PrnExecLevelArgs& block);
  std::string BuildStatisticsDocument(const std::string& selection);
  std::string GetStatisticValue(const std::string& name);
  std::string GetPrinterCounterText(BYTE index);
  // "%02X" of identification byte `index`; "" when the query fails, with the mapped codes in
  // the outputs that are given.
  std::string GetPrinterIdText(BYTE index, long* resultCode = nullptr,
                               long* resultCodeExtended = nullptr);
  long ResetStatistic(const std::string& name);
  // ResultCode and ResultCodeExtended into the snapshot, when there is one.
  static void SetResultCodes(PrnPropertySnapshot* snapshot, long resultCode,
                             long resultCodeExtended) {
    if (!snapshot) return;
    snapshot->resultCode = resultCode;
    snapshot->resultCodeExtended = resultCodeExtended;
  }

  // PrintBitmap, PrintMemoryBitmap and SetBitmap (SubSOBitmap.cpp).
  long prePrintBitmap(long* args);
  long executePrintBitmap(long* args);
  long prePrintMemoryBitmap(long* args);
  long executePrintMemoryBitmap(long* args);
  long preSetBitmap(long* args);
  long executeSetBitmap(long* args);
  // What PrintBitmap and PrintMemoryBitmap share: the room, the width, reading the image
  // (the file when `bytes` is NULL), the raster and the list.
  long printImage(const char* function, PrnInputProperty* record, PrnStationState* state,
                  const char* fileName, const BYTE* bytes, long length, long width,
                  long alignment, PrnTokenList** list, PrnPropertySnapshot* snapshot);

  // Initialisation.
  long ReadRegistrySettings(const char* deviceKey, PrnPropertySnapshot* snapshot);
  std::string GetModelFromPrinter(const char* driverName, PrnPropertySnapshot* snapshot);
  void setInitProperty(PrnPropertySnapshot* snapshot);
  void DeleteDevice();
  DWORD SendTimeout() const { return static_cast<DWORD>(m_settings.SendTimeout); }

  // Callback registrations.
  long setConvertFunction(void** record);        // 2001
  long setEventFunction(void** record);          // 2002
  long setResponseCodeFunction(void** record);   // 2003
  long setErrorFunction(void** record);          // 2004
  long setStatusEvent(void** record);            // 2005

  // Frame log lines: "[Result  ]" with the result and "[Exit    ]" with the name, error
  // category unless the result is 0.
  // Each line carries its caller's source line (GCC's __builtin_LINE at the call site).
  void LogEnter(const char* function, const char* name, int line = __builtin_LINE()) const;
  void LogResultExit(const char* function, const char* name, long result,
                     int line = __builtin_LINE()) const;
  void LogLine(DWORD category, const char* function, const char* tag, const char* text,
               const char* detail = "", int line = __builtin_LINE()) const;
  void LogEnter(const std::string& function, const std::string& name,
                int line = __builtin_LINE()) const {
    LogEnter(function.c_str(), name.c_str(), line);
  }
  void LogResultExit(const std::string& function, const std::string& name, long result,
                     int line = __builtin_LINE()) const {
    LogResultExit(function.c_str(), name.c_str(), result, line);
  }
  void LogLine(DWORD category, const std::string& function, const char* tag, const char* text,
               const char* detail = "", int line = __builtin_LINE()) const {
    LogLine(category, function.c_str(), tag, text, detail, line);
  }
  // "[Enter   ]" of "CSubSO::<name>"; Leave writes "[Result  ]" and "[Exit    ]" for it and
  // returns the result.
  void Enter(const char* name, int line = __builtin_LINE()) const;
  long Leave(const char* name, long result, int line = __builtin_LINE()) const;

  static const MethodRow kMethods[];
  static const ServiceRow kServices[];
  static const CallbackRow kCallbacks[];

  long m_fFirstEnable = 0;
  long m_fInitialised = 0;
  long m_fActivated = 0;
  CSubSOSettings m_settings;
  long m_slot;
  CLogContext* m_pLogContext = nullptr;
  CRJCollection* m_pCollection = nullptr;
  CCommPrinterDriver* m_pDriver = nullptr;
  CRJDevice* m_pDevice = nullptr;  // from a successful initSubSODet on
  CDataConverter m_converter;
  PrnCapabilityBlock* m_pCapabilities = nullptr;
  CSnapshotTexts m_snapshotTexts;  // heap texts attached to the core's snapshots
  PrnStatusFunctionSet m_statusFunctions = {};
  long m_lPitch = 0;
  // Set by every write (send threads), taken by the status path (receive thread).
  std::atomic<long> m_fErrorRecovery{0};
  CStatusQueue* m_pStatusQueue;    // the slot's, open from construction to destruction
  long m_fCallbackRegistered = 0;  // the SDK calls the slot's status callback
};
