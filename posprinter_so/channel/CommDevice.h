// The device channel of one service object: binds the printer sub-module, keeps its slot
// and is the only way from the service object into it. The sub-module gets this object
// back as the context of every callback.
#pragma once
#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "OutputRequest.h"
#include "PrinterSubApi.h"
#include "ScopedHandle.h"
#include "Win.h"

class CLogContext;

class CCommDevice {
 public:
  CCommDevice(const CPrinterParameters* owner, CLogContext* logContext);
  ~CCommDevice();
  CCommDevice(const CCommDevice&) = delete;
  CCommDevice& operator=(const CCommDevice&) = delete;

  // The module's current channel: set by construction and by every callback.
  static CCommDevice* Current();
  static void MakeCurrent(CCommDevice* channel) { s_current.store(channel); }

  // ---- binding and lifetime of the sub-module ----
  // 1 when the DLL loaded and all nine exports were found; otherwise 0 with the DLL freed.
  [[nodiscard]] BOOL LoadSubSODLL(const char* path);
  // 1, or 0 when freeing failed (handle and entry points are then kept).
  [[nodiscard]] BOOL UnloadSubSODLL();
  // initSubSO, then the five callbacks. 0; a positive result unchanged; 106 for a negative
  // one or without a bound sub-module. A failed initialisation that took a slot has that
  // slot ended again with terminateSubSO, so it does not stay taken in the sub-module.
  [[nodiscard]] long InitializeSubSO(const char* deviceName, long serviceObjectVersion,
                                     PrnPropertySnapshot* snapshot);
  // 1 when terminateSubSO returned 0; the slot is forgotten either way.
  [[nodiscard]] BOOL TerminateSubSO();
  [[nodiscard]] long ConnectPrinter();  // negative results become 106
  [[nodiscard]] long ClosePrinter();    // negative results become 106
  // 1 when getCapability(3001) returned 0.
  [[nodiscard]] BOOL GetCapability(PrnCapabilityBlock* block);

  bool IsBound() const { return m_module.valid(); }
  long Slot() const { return m_slot; }
  const PrnEntryPoints& EntryPoints() const { return m_entry; }
  const CPrinterParameters* Owner() const { return m_owner; }
  // Address registered with callback ID 2005; the handle is created by Claim.
  HANDLE* StatusEventAddress() { return &m_statusEvent; }

  // ---- service calls (otherMethod); the export's result unless said otherwise ----
  [[nodiscard]] long OtherMethod1001(PrnInputProperty* record, PrnPropertySnapshot* snapshot);
  [[nodiscard]] long OtherMethod1002();
  [[nodiscard]] long ReleaseSubSOData(void* data);
  [[nodiscard]] long OtherMethod1005();
  [[nodiscard]] long OtherMethod1006(PrnInputProperty* record, PrnStationState* stationState,
                                     PrnTokenList* list, long position1, long position2,
                                     PrnTokenList* pageModeList);
  [[nodiscard]] long OtherMethod1007(PrnTokenList* target, PrnTokenList* source);
  [[nodiscard]] long OtherMethod1008(long characterSet);
  [[nodiscard]] long OtherMethod1009(PrnTokenList* list);
  [[nodiscard]] long BuildRequestData(PrnInputProperty* record, PrnStationState* stationState,
                                      PrnTokenList* list, long queue);
  [[nodiscard]] long OtherMethod1011(long* cutDistance, long* lineEndFlags, long* resolution);
  [[nodiscard]] long SendEscapeToken(long tokenCode, const unsigned char* data, long length,
                                     long value, PrnTokenList* list,
                                     PrnCommandToken** newToken);
  [[nodiscard]] long AppendCommandTokens(PrnTokenList* logo, PrnTokenList* list);
  [[nodiscard]] long OtherMethod1015(PrnPropertySnapshot* snapshot);
  [[nodiscard]] long OtherMethod1016(PrnInputProperty* record);
  // The new list of service 1018 (null when none came back), not the export's result.
  [[nodiscard]] PrnTokenList* OtherMethod1018(long station);
  [[nodiscard]] long OtherMethod1019(PrnTokenList* source, PrnTokenList** target);
  [[nodiscard]] long OtherMethod1020(long station, long requestedChars, long lineWidth,
                                     const char* lineCharsList, long* chosenChars,
                                     long* charWidth, long* charSpacing);
  [[nodiscard]] long OtherMethod1021(PrnInputProperty* record, PrnPropertySnapshot* snapshot);
  [[nodiscard]] long SetResponseIdToken(long* responseId, PrnTokenList** list);
  [[nodiscard]] long OtherMethod1024(PrnInputProperty* record, PrnPropertySnapshot* snapshot);

  // ---- pre-phase and execute-phase wrappers (CommDeviceWrappers.cpp) ----
  // Each packs its parameters, in order, into the method's argument block and calls
  // preMethod or executeMethod; a negative answer becomes 106, any other is returned as
  // it is. R input property record, S station state record, E the caller's
  // ResultCodeExtended, L the caller's list pointer, P the property snapshot.
  using Rec = PrnInputProperty*;
  using Sta = PrnStationState*;
  using Lst = PrnTokenList**;
  using Snp = PrnPropertySnapshot*;
  using Txt = const char*;
  [[nodiscard]] long preCheckHealth(Rec r, long level, long* e);
  [[nodiscard]] long preDirectIO(Rec r, long command, long* data, PrnBstr* text, long* e);
  [[nodiscard]] long preClearOutput(Rec r, long* e);
  [[nodiscard]] long preCompareFirmwareVersion(Rec r, Txt fileName, long* result, long* e);
  [[nodiscard]] long preResetStatistics(Rec r, Txt buffer, long* e);
  [[nodiscard]] long preRetrieveStatistics(Rec r, PrnBstr* buffer, long* e);
  [[nodiscard]] long preUpdateFirmware(Rec r, Txt fileName, long* e);
  [[nodiscard]] long preUpdateStatistics(Rec r, Txt buffer, long* e);
  [[nodiscard]] long preBeginInsertion(Rec r, long timeout, long* e);
  [[nodiscard]] long preBeginRemoval(Rec r, long timeout, long* e);
  [[nodiscard]] long preEndInsertion(Rec r, long* e);
  [[nodiscard]] long preEndRemoval(Rec r, long* e);
  [[nodiscard]] long preCutPaper(Rec r, long percentage, long* e);
  [[nodiscard]] long prePrintBarCode(Rec r, long station, Txt data, long symbology, long height,
                                     long width, long alignment, long textPosition, long* e);
  [[nodiscard]] long prePrintBitmap(Rec r, long station, Txt fileName, long width,
                                    long alignment, long* e);
  [[nodiscard]] long prePrintImmediate(Rec r, long station, Txt data, long* e);
  [[nodiscard]] long prePrintNormal(Rec r, long station, Txt data, long* e);
  [[nodiscard]] long prePrintTwoNormal(Rec r, long stations, Txt data1, Txt data2, long* e);
  [[nodiscard]] long preRotatePrint(Rec r, long station, long rotation, long* e);
  [[nodiscard]] long preSetBitmap(Rec r, long bitmapNumber, long station, Txt fileName,
                                  long width, long alignment, long* e);
  [[nodiscard]] long preSetLogo(Rec r, long location, Txt data, long* e);
  [[nodiscard]] long preTransactionPrint(Rec r, long station, long control, long* e);
  [[nodiscard]] long preValidateData(Rec r, long station, Txt data, long* e);
  [[nodiscard]] long preChangePrintSide(Rec r, long side, long* e);
  [[nodiscard]] long preMarkFeed(Rec r, long type, long* e);
  [[nodiscard]] long preClearPrintArea(Rec r, long* e);
  [[nodiscard]] long prePageModePrint(Rec r, long control, long* e);
  [[nodiscard]] long preDrawRuledLine(Rec r, long station, Txt positionList, long direction,
                                      long lineWidth, long lineStyle, long lineColor, long* e);
  [[nodiscard]] long prePrintMemoryBitmap(Rec r, long station, Txt data, long type, long width,
                                          long alignment, long* e);
  [[nodiscard]] long executeCheckHealth(Rec r, Sta s, long level, Lst l, Snp p);
  [[nodiscard]] long executeDirectIO(Rec r, Sta s, long command, long* data, PrnBstr* text,
                                     PrnDirectIOFlags* flags, Lst l, Snp p);
  [[nodiscard]] long executeClearOutput(Rec r, Sta s, Lst l, Snp p);
  [[nodiscard]] long executeCompareFirmwareVersion(Rec r, Sta s, Txt fileName, long* result,
                                                   Lst l, Snp p);
  [[nodiscard]] long executeResetStatistics(Rec r, Sta s, Txt buffer, Lst l, Snp p);
  [[nodiscard]] long executeRetrieveStatistics(Rec r, Sta s, PrnBstr* buffer, Lst l, Snp p);
  [[nodiscard]] long executeUpdateFirmware(Rec r, Sta s, Txt fileName, Lst l, Snp p);
  [[nodiscard]] long executeUpdateStatistics(Rec r, Sta s, Txt buffer, Lst l, Snp p);
  [[nodiscard]] long executeBeginInsertion(Rec r, Sta s, long timeout, Lst l, Snp p);
  [[nodiscard]] long executeBeginRemoval(Rec r, Sta s, long timeout, Lst l, Snp p);
  [[nodiscard]] long executeEndInsertion(Rec r, Sta s, Lst l, Snp p);
  [[nodiscard]] long executeEndRemoval(Rec r, Sta s, Lst l, Snp p);
  [[nodiscard]] long executeCutPaper(Rec r, Sta s, long percentage, Lst l, Snp p);
  // The flag word goes out 0: the data is the method's own, not an escape sequence's.
  [[nodiscard]] long executePrintBarCode(Rec r, Sta s, long station, Txt data, long symbology,
                                         long height, long width, long alignment,
                                         long textPosition, Lst l, Snp p);
  [[nodiscard]] long executePrintBitmap(Rec r, Sta s, long station, Txt fileName, long width,
                                        long alignment, Lst l, Snp p);
  [[nodiscard]] long executePrintImmediate(Rec r, Sta s, long station, Txt data, Lst l, Snp p);
  [[nodiscard]] long executePrintNormal(Rec r, Sta s, long station, Txt data, Lst l, Snp p);
  [[nodiscard]] long executePrintTwoNormal(Rec r, Sta s, long stations, Txt data1, Txt data2,
                                           Lst l, Snp p);
  [[nodiscard]] long executeRotatePrint(Rec r, Sta s, long station, long rotation, Lst l, Snp p);
  [[nodiscard]] long executeSetBitmap(Rec r, Sta s, long bitmapNumber, long station,
                                      Txt fileName, long width, long alignment, Lst l, Snp p);
  [[nodiscard]] long executeSetLogo(Rec r, Sta s, long location, Txt data, Lst l, Snp p);
  [[nodiscard]] long executeTransactionPrint(Rec r, Sta s, long station, long control, Lst l,
                                             Snp p);
  [[nodiscard]] long executeValidateData(Rec r, Sta s, long station, Txt data, Lst l, Snp p);
  [[nodiscard]] long executeChangePrintSide(Rec r, Sta s, long side, Lst l, Snp p);
  [[nodiscard]] long executeMarkFeed(Rec r, Sta s, long type, Lst l, Snp p);
  [[nodiscard]] long executeClearPrintArea(Rec r, Sta s, Lst l, Snp p);
  [[nodiscard]] long executePageModePrint(Rec r, Sta s, long control, Lst l, Snp p);
  // The positions are the list already converted to dots (CheckRuledLinePositions).
  [[nodiscard]] long executeDrawRuledLine(Rec r, Sta s, long station,
                                          const PrnPositionArray* positions, long direction,
                                          long lineWidth, long lineStyle, long lineColor, Lst l,
                                          Snp p);
  [[nodiscard]] long executePrintMemoryBitmap(Rec r, Sta s, long station, Txt data, long type,
                                              long width, long alignment, Lst l, Snp p);

  // Releases the top and then the bottom logo list (service 1003) where set; the result
  // of the second release, 0 when there was no bottom logo.
  [[nodiscard]] long ReleaseImageHandles();
  void SetLogos(PrnTokenList* top, PrnTokenList* bottom) {
    m_topLogo = top;
    m_bottomLogo = bottom;
  }

  // ---- units of measure and argument lists (MeasureUnits.cpp; pure functions) ----
  // MapMode 1 dots, 2 twips (1440/inch), 3 English (1000/inch), 4 metric (2540/inch).
  // To dots: floor, a nonzero value never becomes 0; from dots: ceiling. Any other MapMode,
  // or no resolution yet (dotsPerInch <= 0), passes the value unchanged.
  static long ConvertToDots(long mapMode, long value, long dotsPerInch);
  static long ConvertFromDots(long mapMode, long dots, long dotsPerInch);
  static long CountCommas(const char* text);
  static long CountSemicolons(const char* text);
  // Fields trimmed of white space into fields[0..capacity-1]; returns separators + 1.
  static long SplitByComma(const char* text, std::string* fields, long capacity);
  static long SplitBySemicolon(const char* text, std::string* fields, long capacity);

  // ---- print-data tokenizer (PrintDataTokenizer.cpp) ----
  // One run of the tokenizer callback on this channel; errorWord gets 106/111, never 0.
  void TokenizePrintData(PrnInputProperty* record, PrnStationState* stationState,
                         const char* data, long length, long charWidth, long charSpacing,
                         PrnTokenList* list, long* errorWord);
  PrnTokenList* TopLogo() const { return m_topLogo; }
  PrnTokenList* BottomLogo() const { return m_bottomLogo; }
  // Value of the first run of digits in bytes[0, count); -1 without one.
  [[nodiscard]] static long ParseLeadingNumber(const unsigned char* bytes, long count);
  // A ruled line's position list into dots: 0, or 106 for a malformed list. An empty list
  // gives the one value -1.
  [[nodiscard]] static long CheckRuledLinePositions(const char* positionList,
                                                    std::vector<long>* out, long direction,
                                                    long mapMode, long dotsPerInch);

  // ---- settings handed over by OpenService ----
  void SetResponseIdMode(long mode) { m_responseIdMode = mode; }
  long GetResponseIdMode() const { return m_responseIdMode; }
  // A zero or negative time-out or poll interval is read as its default: neither an
  // instant 112 nor a busy or endless wait.
  void SetResponseTimeout(long ms) { m_responseTimeout = ms > 0 ? ms : kDefaultResponseTimeoutMs; }
  long GetResponseTimeout() const { return m_responseTimeout; }
  void SetDataRegistrationTimeout(long ms) { m_registrationTimeout = ms; }
  long GetDataRegistrationTimeout() const { return m_registrationTimeout; }
  void SetStatusPollInterval(long ms) {
    m_statusPollInterval = ms > 0 ? ms : kDefaultStatusPollIntervalMs;
  }
  static constexpr long kDefaultResponseTimeoutMs = 10000;   // ReceiveTimeout's default
  static constexpr long kDefaultStatusPollIntervalMs = 100;  // RCVC's default
  long GetStatusPollInterval() const { return m_statusPollInterval; }

  // ---- callbacks registered with the sub-module (context = this channel) ----
  static long SUBAPI_CALL ConvertPrintData(PrnInputProperty* record,
                                           PrnStationState* stationState, char* data,
                                           long length, long charWidth, long charSpacing,
                                           PrnTokenList* list, long* errorWord, void* context);
  static long SUBAPI_CALL OnStatusNotify(PrnStatusRecord* record, long code, void* context);
  static long SUBAPI_CALL OnStatusReserved1(PrnStatusRecord* record, long code, void* context);
  static long SUBAPI_CALL OnDirectIONotify(PrnDirectIOEventRecord* record, void* context);
  static long SUBAPI_CALL OnStatusReserved2(PrnStatusRecord* record, long code, void* context);
  static long SUBAPI_CALL OnResponseCode(long responseId, void* context);
  static long SUBAPI_CALL OnErrorNotify(long resultCode, long resultCodeExtended,
                                        long severity, const char* errorText, void* context);

  // ---- output path: queues, print-wait list, worker threads (OutputRequest.h) ----
  // The service object side of the threads and callbacks; null drops errors and status.
  void SetChannelOwner(IChannelOwner* owner) { m_channelOwner = owner; }
  IChannelOwner* ChannelOwner() const { return m_channelOwner; }
  // Takes over the records and the list; returns the request's OutputID, or kOutputRefused
  // when the sub-module could not add the response-id token (nothing queued, all freed).
  static constexpr long kOutputRefused = -1;
  long Output(PrnInputProperty* record, PrnStationState* stationState, PrnTokenList* list,
              long queueSelector, long completionKind, const COutputCompletion& target);
  [[nodiscard]] COutputRequest* GetSendQueue(long queue);
  long NextOutputID(long queueSelector, long completionKind);
  // The asynchronous OutputID after `current`: 1..2147483646, then 1 again.
  static long FollowingOutputID(long current) {
    return (current >= 2147483646 || current < 0) ? 1 : current + 1;
  }
  void ResetOutputID();
  long NextAsyncResponseId();
  long NextSyncResponseId();
  long NextImmediateResponseId();
  void AppendPrintWait(const COutputRequest* request);
  // After the write of a request that AppendPrintWait entered: taken by the printer, its
  // entry counts as written (and completes if its answer already came); refused, the answer
  // it would have owed is forgotten. False when a clear took the entry meanwhile.
  bool MarkPrintWaitWritten(const COutputRequest* request, bool accepted);
  bool HasPrintWait();
  void MarkOldestPrintWaitFailed();
  HWND GetOldestPrintWaitWindow();
  long GetOldestPrintWaitStation();
  void RetryPrintReprintQueue();
  void ClearAllQueues();
  void FreeRequestData(COutputRequest* request);
  size_t PrintWaitCount();
  size_t QueuedCount(long queue);  // 0 immediate, 2 normal, any other value the prior queue
  // True while any queue or the print-wait list holds output, or the send thread holds a
  // request (writing it, or waiting for the answer to its error).
  bool HasPendingOutput();
  // The printer reported itself off or offline: every written output it has not answered
  // may be lost with its buffer, so each is reported as a refused write is.
  void NotePrinterOffline();
  // Answers the printer still owes, of outputs pending or gone.
  size_t OwedAnswerCount();
  // The printer was reset: no answer it owed for a write already made can come any more. A
  // write still under way may reach it after the reset, so its answer stays owed.
  void DropOwedAnswers();
  // Creates the queue and status events when missing, then starts the four threads.
  [[nodiscard]] BOOL StartAllThreads();
  BOOL StopAllThreads();
  [[nodiscard]] BOOL StartSendThread();
  [[nodiscard]] BOOL StartRecvThread();
  [[nodiscard]] BOOL StartImmediateThread();
  [[nodiscard]] BOOL StartWatchResponseThread();
  BOOL StopSendThread();
  BOOL StopRecvThread();
  BOOL StopImmediateThread();
  BOOL StopWatchResponseThread();
  bool IsAnyThreadRunning() const;
  // Creates the normal-queue, status and immediate-queue events (Claim); false, with none
  // left, when one can't be made.
  [[nodiscard]] BOOL CreateQueueEvents();
  // Closes the queue and status events (Release, after the printer is disconnected).
  void CloseQueueEvents();
  // Stops the threads and drops what is queued; the destructor's first step.
  void ShutDownOutput();
  [[nodiscard]] BOOL CheckResponseCode(long responseId, long requestId);
  [[nodiscard]] BOOL CompletePrintWait(long responseId);
  void SetCutPending(bool pending) { m_cutPending.store(pending ? 1 : 0); }
  // What the callbacks left for the threads.
  void GetResultCodes(long* resultCode, long* resultCodeExtended);
  void TakeNotifiedResultCodes(long* resultCode, long* resultCodeExtended);
  void TakeErrorNotice(long* errorLevel, std::string* text);
  long PopImmediateResponseId();
  long PopSyncResponseId();
  long PopAsyncResponseId();
  bool HasAsyncResponseId();
  void SetImmediateWaitFlag(bool waiting) { m_immediateWait.store(waiting ? 1 : 0); }
  bool GetImmediateWaitFlag() const { return m_immediateWait.load() != 0; }
  // Test hook: the thread of this index (0 send, 1 receive, 2 immediate, 3 watch) fails to start.
  void FailThreadStartForTest(int index) { m_failThreadStart = index; }
  // Test hook: CreateQueueEvents fails to make its event of this index (0 normal, 1 status,
  // 2 immediate).
  void FailEventCreationForTest(int index) { m_failEventCreation = index; }

 private:
  struct CWorker {
    std::thread thread;
    std::atomic<long> stop{0};
  };
  enum { kSend, kRecv, kImmediate, kWatch, kWorkers };
  [[nodiscard]] BOOL StartWorker(int index);
  BOOL StopWorker(int index);
  bool StopRequested(int index) const { return m_workers[index].stop.load() != 0; }
  HANDLE StopEvent(int index) const;
  void DoSendThread();
  void DoImmediateThread();
  void DoRecvThread();
  void DoWatchResponseThread();
  [[nodiscard]] long WriteRequest(const COutputRequest* request, long* errorLevel,
                                  std::string* errorText, long* resultCodeExtended,
                                  const char* thread);
  [[nodiscard]] long WaitSyncAnswer(const COutputRequest* request, bool immediate,
                                    long* resultCodeExtended);
  void CompleteRequest(const COutputRequest* request, long result, long resultCodeExtended);
  void DropFailedPrintWait();
  void PostSendError(long station, long errorLevel, const std::string& text, long result,
                     long resultCodeExtended, HWND window);
  void ClearPrintWait();
  // The answers the printer owes, all under the print-wait lock, oldest write first. Every
  // write (asynchronous, resent, synchronous, immediate) owes one answer with its response id
  // from just before the write until the printer answers it, answers a later write of the
  // same thread (it answers in order: the earlier bytes are gone) or is reset. Nothing else
  // frees an id: a give-up, a clear or a release only make the answer stand for no output.
  // A write takes an id of its range that is not owed, and the last free one only while no
  // owed answer of the range stands for an output: the answer to that write, or those
  // before it, then end every wait, so that no answer can ever stand for two writes.
  static constexpr long kNoOutput = -1;
  struct COwedAnswer {
    long responseId;
    long outputId;           // the asynchronous output whose copy owes it, or kNoOutput
    CPrintWaitEntry* entry;  // the entry waiting on this very copy; null once none does
    bool pending;            // the write is still under way
    bool awaited;            // a synchronous or immediate caller waits for it
  };
  enum class WriteEntry { kWrite, kCleared, kNoId };
  // Under the print-wait lock: gives the request a free response id of its range (written
  // into its DC2 q bytes), enters its owed answer and, for an asynchronous one, its
  // print-wait entry. kCleared when ClearAllQueues ran since the send thread took it.
  WriteEntry EnterWrite(COutputRequest* request, bool async, long takenClears);
  // A free response id for the request, -1 while none may be taken.
  long UsableResponseId(const COutputRequest* request) const;
  // After a synchronous or immediate write: refused, its answer is not owed; taken, the
  // answer is still awaited. StopAwaiting: its caller no longer waits (time-out, error).
  void NoteSyncWriteReturned(const COutputRequest* request, bool accepted);
  void StopAwaiting(const COutputRequest* request);
  // The printer's answer, in the order it sent them (receive thread): the oldest owed answer
  // with this id; every older one of the same thread was lost. Marks what it stands for.
  void TakeAnswer(long responseId);
  // An owed answer still stands for an output that waits on it.
  bool AnswerAwaitedForOutput() const;
  // No answer came for the response timeout while the next request had no free id: the
  // printer is reset, so that it owes nothing.
  void ResetForResponseIds();
  // Answers owed for this output's copies stand for no output any more.
  void ForgetOwedAnswers(const CPrintWaitEntry* entry);
  CPrintWaitEntry* FindPrintWait(long outputId, bool written) const;
  CPrintWaitEntry* FindPrintWait(long outputId) const;
  void RemovePrintWait(CPrintWaitEntry* entry);
  int CompleteAnsweredPrintWait();
  // An output that is not answered yet and whose answer cannot come any more.
  void MarkLost(CPrintWaitEntry* entry, long resultCode);
  // The oldest request of the prior and normal queues may be written now: it waits while
  // no response id of its range may be taken.
  bool NextRequestWritable();
  // No answer came for the response timeout: the outputs that waited for one are lost; the
  // answers stay owed, for no output.
  void GiveUpOwedAnswers();
  // The ResultCode of the error to raise for lost output, 0 when none is lost.
  long LostOutputCode();
  // The send thread's wait while the printer owes answers or the next request waits for
  // one; raises the errors of lost output and of the printer's error notices.
  void WaitForAnswers(bool idWaits);
  // The immediate thread: enters the request's write once one of its ids is free, for at
  // most the response timeout.
  bool WaitForImmediateId(COutputRequest* request);
  [[nodiscard]] long WaitForCut(long result, long* resultCodeExtended);
  void RaiseOutputError(long errorLevel, const std::string& text, long resultCode,
                        long resultCodeExtended, bool markFailed);
  void ClearQueue(std::mutex& lock, std::deque<COutputRequest*>& queue);
  void FreeCleared(std::deque<COutputRequest*>& requests);
  void AppendPrintWaitLocked(const COutputRequest* request);
  // While an output thread waits for the printer's answer (or a cut's status) the receive
  // thread polls at once and then every millisecond; the wait is counted for its lifetime.
  class CAnswerWait {
   public:
    explicit CAnswerWait(CCommDevice* channel);
    ~CAnswerWait();
    CAnswerWait(const CAnswerWait&) = delete;
    CAnswerWait& operator=(const CAnswerWait&) = delete;

   private:
    CCommDevice* m_channel;
  };
  // A request whose answer is awaited was written: the receive thread polls at once.
  void PollNow();
  // How long the receive thread waits before its next status poll in response-id mode.
  DWORD NextPollWait(DWORD interval);
  static long PopId(std::mutex& lock, std::deque<long>& ids);

  IChannelOwner* m_channelOwner = nullptr;
  std::mutex m_normalLock, m_immediateLock, m_priorLock, m_printWaitLock, m_outputIdLock;
  std::deque<COutputRequest*> m_normalQueue, m_immediateQueue, m_priorQueue;  // back newest
  std::deque<CPrintWaitEntry*> m_printWait;                                   // front oldest
  std::deque<COwedAnswer> m_owedAnswers;                                      // front oldest
  long m_outputId = 1;  // 0 only after ResetOutputID
  std::mutex m_asyncIdLock, m_syncIdLock, m_immediateIdLock;
  long m_asyncIdCounter = -1, m_syncIdCounter = 11, m_immediateIdCounter = 13;
  std::mutex m_asyncIdsLock, m_syncIdsLock, m_immediateIdsLock;
  std::deque<long> m_asyncIds, m_syncIds, m_immediateIds;  // back newest
  std::mutex m_resultLock;
  long m_resultCode = 0, m_resultCodeExtended = 0;
  long m_notifiedResultCode = 0, m_notifiedResultCodeExtended = 0;
  long m_noticeErrorLevel = 1;  // 1: no error
  std::string m_noticeText;
  std::atomic<long> m_immediateWait{0}, m_cutPending{0}, m_statusRequest{0};
  std::atomic<long> m_sendHolding{0};
  long m_heldLogged = -1;  // the held output last logged (send thread only)
  // Power reports since the send thread reset the printer: 1 offline, then 2 online again.
  static constexpr long kOfflineReported = 1, kOnlineAfterOffline = 2;
  static constexpr DWORD kResetReportMs = 1000;  // the offline report of a reset comes by then
  std::atomic<long> m_powerReports{0};
  // Counts ClearAllQueues: an error answered clear whose queues the answering thread already
  // cleared is not cleared again, so output queued after the answer stays.
  std::atomic<long> m_clears{0};
  long m_takenClears = 0;  // m_clears when the send thread took its last request
  void ClearUnlessClearedSince(long clears);

  CWorker m_workers[kWorkers];
  int m_failThreadStart = -1;
  int m_failEventCreation = -1;

 private:
  [[nodiscard]] long CallService(long serviceId, void* block);
  // One pre or execute call of a wrapper: the enter, failure and end lines, 106 for a
  // negative answer.
  [[nodiscard]] long CallPhase(bool execute, long methodId, const char* name, void* block);
  // A negative export result becomes 106, with the "<name> function failed." lines.
  [[nodiscard]] long NegativeTo106(long result, const char* function, const char* name) const;
  void RegisterCallbacks();
  void ClearEntryPoints() { m_entry = PrnEntryPoints(); }
  void Log(DWORD category, const char* function, int line, const char* tag,
           std::string_view text, std::string_view detail = {}) const;
  // The text formatted only when the line is written.
  void LogF(DWORD category, const char* function, int line, const char* tag, const char* format,
            const char* argument) const;

  const CPrinterParameters* m_owner;
  long m_slot = -1;
  CLogContext* m_logContext;

  // Stop events of the send, receive, immediate and watch-response threads.
  ScopedHandle m_receiveStopEvent;
  ScopedHandle m_sendStopEvent;
  ScopedHandle m_immediateStopEvent;
  ScopedHandle m_watchResponseStopEvent;

  // Normal-queue, immediate-queue and status events: created by Claim, closed by Release.
  HANDLE m_normalQueueEvent = nullptr;
  HANDLE m_immediateQueueEvent = nullptr;
  HANDLE m_statusEvent = nullptr;

  PrnEntryPoints m_entry;
  ScopedModule m_module;
  PrnTokenList* m_topLogo = nullptr;
  PrnTokenList* m_bottomLogo = nullptr;

  long m_responseIdMode = 0;
  long m_responseTimeout = 0;
  long m_registrationTimeout = 0;
  long m_statusPollInterval = 0;

  // Poll at once (set by the output threads) and a status poll has ended (set by the
  // receive thread); both auto-reset.
  ScopedHandle m_pollNowEvent;
  ScopedHandle m_statusPolledEvent;
  std::atomic<long> m_answerWaits{0};
  std::atomic<DWORD> m_answerTick{0};  // when an awaited request was written or answered

  // Response and error events of the output threads.
  ScopedHandle m_immediateResponseEvent;
  ScopedHandle m_syncResponseEvent;
  ScopedHandle m_asyncResponseEvent;
  ScopedHandle m_immediateErrorEvent;
  ScopedHandle m_sendErrorEvent;
  // Set by the watch-response thread and the power reports whenever the print-wait list or
  // the owed answers changed: the send thread looks again.
  ScopedHandle m_printWaitChangedEvent;

  static std::atomic<CCommDevice*> s_current;
};
