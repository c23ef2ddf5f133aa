// CPOSPrinter: the OPOS POSPrinter service object, one per device the Control Object opens.
// A COM object reached through IDispatch; its 39 dispatch entries are the table in
// POSPrinterDispatch.cpp.
#pragma once
#include <atomic>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "CheckHealthDlg.h"
#include "ControlObjectDriver.h"
#include "DeviceSettings.h"
#include "EventQueue.h"
#include "HiddenWindow.h"
#include "PropertyCache.h"
#include "Win.h"

#include <oleauto.h>

class CCommDevice;
class CDeviceClaim;
class CLogContext;

class CPOSPrinter final : public IDispatch, public ICheckHealthOwner {
 public:
  CPOSPrinter();
  CPOSPrinter(const CPOSPrinter&) = delete;
  CPOSPrinter& operator=(const CPOSPrinter&) = delete;

  // ---- IUnknown / IDispatch ----
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  // The last reference deletes the object; an object still open is closed first. When only
  // the object's own references are left, the Control Object has let go: nothing calls it
  // back from then on.
  ULONG STDMETHODCALLTYPE Release() override;
  // A reference the object holds on itself while a call or a firing runs, so that it
  // outlives a handler that drops the Control Object's last reference.
  void AddOwnReference();
  void ReleaseOwnReference();
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argErr) override;

  // ---- dispatch entries, in DISPID order ----
  long GetPropertyNumber(long pidx);                                     // 1
  void SetPropertyNumber(long pidx, long value);                         // 2
  BSTR GetPropertyString(long pidx);                                     // 3
  void SetPropertyString(long pidx, BSTR text);                          // 4
  long OpenService(BSTR deviceClass, BSTR deviceName, IDispatch* controlObject);  // 5
  long Close();                                                          // 6
  long Claim(long timeout);                                              // 7
  long ReleaseDevice();                                                  // 8 (OPOS Release)
  long CheckHealth(long level);                                          // 9
  long DirectIO(long command, long* data, BSTR* text);                   // 10
  long COFreezeEvents(long freeze);                                      // 11
  long ClearOutput();                                                    // 12
  long BeginInsertion(long timeout);                                     // 13
  long BeginRemoval(long timeout);                                       // 14
  long EndInsertion();                                                   // 15
  long EndRemoval();                                                     // 16
  long CutPaper(long percentage);                                        // 17
  long PrintBarCode(long station, BSTR data, long symbology, long height, long width,
                    long alignment, long textPosition);                  // 18
  long PrintBitmap(long station, BSTR fileName, long width, long alignment);  // 19
  long PrintImmediate(long station, BSTR data);                          // 20
  long PrintNormal(long station, BSTR data);                             // 21
  long PrintTwoNormal(long stations, BSTR data1, BSTR data2);            // 22
  long RotatePrint(long station, long rotation);                         // 23
  long SetBitmap(long bitmapNumber, long station, BSTR fileName, long width,
                 long alignment);                                        // 24
  long SetLogo(long location, BSTR data);                                // 25
  long TransactionPrint(long station, long control);                     // 26
  long ValidateData(long station, BSTR data);                            // 27
  long GetOpenResult();                                                  // 28
  long ChangePrintSide(long side);                                       // 29
  long MarkFeed(long type);                                              // 30
  long ClearPrintArea();                                                 // 31
  long PageModePrint(long control);                                      // 32
  long CompareFirmwareVersion(BSTR firmwareFileName, long* result);      // 33
  long ResetStatistics(BSTR statisticsBuffer);                           // 34
  long RetrieveStatistics(BSTR* statisticsBuffer);                       // 35
  long UpdateFirmware(BSTR firmwareFileName);                            // 36
  long UpdateStatistics(BSTR statisticsBuffer);                          // 37
  long PrintMemoryBitmap(long station, BSTR data, long type, long width,
                         long alignment);                                // 38
  long DrawRuledLine(long station, BSTR positionList, long lineDirection, long lineWidth,
                     long lineStyle, long lineColor);                    // 39

  // ---- health check (HealthMethods.cpp) ----
  // CheckHealth level 3: shows the module's check-health dialog for this object unless it
  // is showing already, sets CheckHealthText by its run flag and ResultCode; its codes.
  long DoInteractiveCheckHealth(long* resultCodeExtended);
  // The dialog's run: the interactive execute phase with `record`, whose list is sent
  // synchronously; takes the record over.
  long ExecuteInteractiveCheckHealth(PrnInputProperty* record, long* resultCodeExtended);
  long RunInteractiveCheckHealth(long* resultCodeExtended) override;

  // ---- members other parts of the core use ----
  // Stores ResultCode and ResultCodeExtended; with a text, logs "[Result  ]" and
  // "[Exit    ]" (errors for a nonzero code). Returns the code.
  long SetResultCode(long resultCode, long resultCodeExtended, const char* text);
  long GetClaimed() const { return m_props.Claimed; }
  long GetDeviceEnabled() const { return m_props.DeviceEnabled; }
  long GetState() const;
  void SetState(long state);
  void SetPowerState(long powerState);
  void ClearErrorProperties();
  std::string GetErrorString() const;  // under the error-properties lock
  long GetCOFreezeEvents() const;

  // ---- lifecycle (POSPrinterLifecycle.cpp) ----
  // Binds and initialises the sub-module, reads its capabilities and fixed parameters.
  [[nodiscard]] BOOL LoadSubSO();
  // Enables (true) or disables the device; sets ResultCode.
  void DoDeviceEnabled(bool enable);

  // OpenService's first steps: reads the device key; FALSE when it is missing. Otherwise
  // hands the timings to the device channel and configures the log context.
  [[nodiscard]] BOOL ApplyDeviceSettings(const std::string& deviceName);

  // major * 1000000 + minor * 1000 + build of the module's file version; -1 when it can't
  // be read.
  static long GetServiceObjectVersion();

  const CPropertyCache& Properties() const { return m_props; }
  const CDeviceSettings& Settings() const { return m_settings; }
  CCommDevice* Channel() const { return m_channel; }
  CDeviceClaim* ClaimObject() const { return m_claim; }
  CLogContext* LogContext() const { return m_logContext; }
  CControlObjectDriver& Driver() { return m_driver; }

  // ---- sub-module call records (POSPrinterRecords.cpp) ----
  // A new input property record from the cache (its texts are copies it owns).
  PrnInputProperty* CreateInputProperty();
  // A new zero-filled input property record, counted as the others are.
  static PrnInputProperty* NewInputPropertyRecord();
  // Deletes a record made by either maker above, texts and all; NULL does nothing.
  static void FreePropertyRecord(PrnInputProperty* record);
  // A new zero-filled snapshot with the record's numbers, NULL text slots, the carry word
  // and the position words -1.
  PrnPropertySnapshot* BuildPropertySnapshot(const PrnInputProperty* record);
  // Writes the snapshot's numbers (not the sensor words) and non-NULL texts into the cache.
  void ApplyPropertySnapshot(const PrnPropertySnapshot* snapshot);
  // Applies the snapshot, has the sub-module free its texts (service 1015), deletes it.
  void FreePropertySnapshot(PrnPropertySnapshot* snapshot);
  // The same for the enabling call's snapshot, which also brings the sensor words and,
  // while enabled with PowerNotify 1, the power state.
  void ApplyEnableSnapshot(PrnPropertySnapshot* snapshot);
  void ApplyCapabilityBlock(const PrnCapabilityBlock* block);
  // The reported words of a status record (-1: not reported) and the offline/online flags.
  void ApplyStatusRecord(const PrnStatusRecord* record);
  // The eleven status words of a record back into the cache; no lock, no event.
  void UpdateStatusProperties(const PrnInputProperty* record);
  // A power state the printer reported (status record, status callback, enabling); any
  // other value than 2001 or 2004 is no report. Any thread.
  void NotePowerReport(long powerState);
  // `*saved` 0: saves the 54 property words into `block` and sets it to 1; otherwise
  // restores them and sets it to 0.
  void SaveRestoreProperties(long* block, long* saved);
  // Input property records and property snapshots made above and not yet freed, over every
  // service object of the module: a test reads them to see a leak or a double free.
  struct CLiveRecords {
    long inputRecords;
    long snapshots;
  };
  static CLiveRecords LiveRecordsForTest() {
    return {s_liveInputRecords.load(), s_liveSnapshots.load()};
  }

  // ---- properties (POSPrinterProperties.cpp) ----
  // The hooks property writes use to reach the lifecycle, event queue and hidden window.
  CPropertyEffects& PropertyEffects() { return m_effects; }
  // Writable cache for the parts that keep values current (snapshots, status processing).
  CPropertyCache& MutableProperties() { return m_props; }
  // Service 1011's words: cut distance, line-end flags, resolution (dots per inch).
  void SetFixedPrinterParameters(long cutDistance, long lineEndFlags, long resolution);
  // The line-characters operation's result for station 1 or 2: LineChars, LineHeight (dots),
  // and LineSpacing raised to the height when it was smaller.
  void SetLineChars(long station, long lineChars, long lineHeight);
  // The FlagWhenIdle setter, applied again on enabling; its result code (ResultCode is
  // left to the caller).
  long ApplyFlagWhenIdle(long value);

  // ---- events and hidden window (POSPrinterEvents.cpp) ----
  // Appends an event (ownership taken) and wakes the event thread. Any thread.
  void DoQueueEvent(COPOSEvent* event);
  // Enabling starts the event thread, disabling ends it; false when it can't be created.
  [[nodiscard]] bool StartEventThread();
  void EndEventThread();
  // Deletes every queued event ("Delete event queue data..."); the count.
  size_t PurgeEvents();
  size_t QueuedEventCount() const { return m_events.Count(); }
  // Disabling: the output error being fired and every queued one are answered clear, and
  // the queued ones deleted; whether any was found.
  bool ReleaseErrorWaiters();
  // ClearOutput: the same, and every queued event that is no error event is deleted too.
  bool PurgeEventQueue();
  // Deletes an event object of kind 2 to 5; any other is left alone.
  static void DeleteEvent(COPOSEvent* event);
  // OpenService creates the window on the Control Object's thread, Close destroys it there
  // (after the event thread has ended); events then go to it.
  [[nodiscard]] bool CreateHiddenWindow();
  void DestroyHiddenWindow();
  CRJDevice* Window() const { return m_window.get(); }
  // The thread, the window and the queue, in that order; the destructor's first step.
  void ShutDownEvents();
  // True once the Control Object let go, and while Close runs (an application that closes
  // expects no event, and a handler inside Close could close again): the window drops what
  // it would fire.
  bool DropsEvents() const { return m_dropEvents.load() || m_closing.load(); }
  // The window's line for an event it drops.
  void LogDroppedEvent(const COPOSEvent* event) const;
  // Fired by the window on the Control Object's thread.
  void DoFireDirectIOEventToCO(CDirectIOEvent* event);
  void DoFireErrorEventToCO(CErrorEventExt* event);
  void DoFireOutputCompleteEventToCO(COutputCompleteEvent* event);
  void DoFireStatusUpdateEventToCO(CStatusUpdateEvent* event);
  // FlagWhenIdle's value, cleared when it was set (the idle notice's StatusUpdate 1001).
  bool TakeFlagWhenIdle();
  void WakeEventThread() { m_events.Wake(); }
  // Fills the property writes' hooks into the queue and the window (the constructor's).
  void WireEventEffects();
  // Test hook: the next event thread fails to start.
  void FailNextEventThreadForTest() { m_events.FailNextStartForTest(); }
  bool IsEventThreadRunning() const { return m_events.IsRunning(); }

  // ---- method frame and output submission (MethodFrame.cpp) ----
  // The four forms of the busy/error rule.
  enum class BusyRule { kSynchronousOnly, kAlways, kErrorOnly, kNone };
  // 113 when the rule refuses the call for the record's State and AsyncMode, else 0. A
  // synchronous call of the first two forms is refused while earlier output is still
  // pending: its wait would block the thread that must answer that output's error.
  long BusyErrorRefusal(BusyRule rule, const PrnInputProperty* record);
  // The same for a call that `waits` for the printer on this thread or not, whatever
  // AsyncMode says.
  long BusyErrorRefusal(BusyRule rule, long state, bool waits);
  // Parks the list in an open station buffer, or queues it (synchronous or asynchronous by
  // the record's AsyncMode); takes the four records over on every path.
  long SubmitOutput(PrnInputProperty* record, PrnStationState* stationState, long station,
                    PrnTokenList* list, PrnPropertySnapshot* snapshot, long useTransaction,
                    long usePageMode, long useRotation, long* extended, long position1,
                    long position2);
  // Station 1 or 2: the list's tokens into that station's open transaction; the move's
  // result.
  long AppendToTransaction(long station, PrnTokenList* list);
  // 1, or the rotation RotatePrint set with the barcode bit (0x101, 0x102, 0x103).
  long CurrentRotation() const { return m_currentRotation; }
  // State idle, unless output is still pending (then the send thread's idle notice sets it).
  void SetStateIdleWhenDrained();

  // One OPOS method through the frame: what varies between the members.
  struct COutputFrame {
    COutputFrame() = default;
    COutputFrame(const char* tag, long recordStation, BusyRule busy, long submitStation,
                 long useTransaction = 0, long usePageMode = 0, long useRotation = 0)
        : tag(tag), recordStation(recordStation), busy(busy), submitStation(submitStation),
          use{useTransaction, usePageMode, useRotation} {}
    const char* tag;        // the method's name in the log and ResultCode lines
    long recordStation;     // station of the station state record
    BusyRule busy;
    std::function<long(PrnInputProperty*, long*)> pre;
    std::function<long(PrnInputProperty*, PrnStationState*, PrnTokenList**,
                       PrnPropertySnapshot*)> execute;
    long submitStation;     // -1: the first word of the list the execute phase returned
    long use[3];            // transaction, page mode, rotation
    bool positionsFromSnapshot = false;  // PrintBarCode, DrawRuledLine
    bool clearsSettingsChanged = false;
    // Replaces SubmitOutput (the methods that print nothing); takes the records over.
    std::function<long(PrnInputProperty*, PrnStationState*, PrnTokenList*,
                       PrnPropertySnapshot*, long*)> finish;
  };
  // The ResultCode of a failed execute phase: the snapshot's, or `result` when the
  // sub-module failed without writing its codes (a negative export result, a bad slot).
  static long FailedExecuteCode(const PrnPropertySnapshot* snapshot, long result) {
    return snapshot->resultCode != 0 ? snapshot->resultCode : result;
  }
  // Checks (103, 105), pre phase, busy rule, execute phase and submission; sets ResultCode.
  // The caller has logged the call and made its station and unit checks.
  long RunOutputFrame(const COutputFrame& frame);
  // "[Enter   ]" with the method's name and one "[Param   ]" line per argument.
  // The method's enter line and one line per parameter; the texts are only read.
  void LogCall(const char* tag,
               std::initializer_list<std::pair<const char*, std::string_view>> params);
  // MapMode units to dots at the printer's resolution.
  long ToDots(long value) const;
  // Alignment: -1, -2 and -3 as they are, a position to dots; 106 for any other negative
  // value or a position beyond 16 bits.
  long ConvertAlignment(long alignment, long* dots) const;
  // The end of the execute-phase paths that print nothing; frees the records (and a list).
  long FinishWithoutOutput(PrnInputProperty* r, PrnStationState* s, PrnTokenList* l,
                           PrnPropertySnapshot* p);
  // Ends the rotated print on the station (Rotation 1), or ends upside-down printing.
  long EndRotatedPrint(PrnInputProperty* record, long station, long* extended);

 private:
  ~CPOSPrinter();
  // The methods with one number argument and no station (OutputMethods.cpp).
  long SimpleOutput(const char* tag, bool able, BusyRule busy, long methodId,
                    long value, bool hasValue);
  long BitmapChecks(long station, long width, long alignment, long* widthDots, long* alignDots);
  long SubmitBitmap(PrnInputProperty* r, PrnStationState* s, long station, PrnTokenList* l,
                    PrnPropertySnapshot* p, long* e);
  // ClearOutput's printer recovery (BufferedPrint.cpp).
  void RestorePrinterAfterClear();
  // TransactionPrint's two ends; each takes the three records over.
  long BeginTransactionBuffer(PrnInputProperty* r, PrnStationState* s, PrnPropertySnapshot* p,
                              long station);
  long EndTransactionBuffer(PrnInputProperty* r, PrnStationState* s, PrnPropertySnapshot* p,
                            long station, long* extended);
  // A rotation the station's capabilities and rotation lists allow.
  bool RotationAccepted(long station, long rotation) const;
  // Every station buffer dropped, the modes back to none (bitmaps rotated 90 kept) and
  // the current rotation 1.
  void DiscardStationBuffers();
  // Claimed (103) and DeviceEnabled (105) checks of every method that reaches the printer.
  long FrameChecks() const;
  void SetCheckHealthText(const char* text);
  // ResetStatistics, UpdateStatistics and UpdateFirmware: the capability check, then the
  // frame; `prints` hands a returned list to SubmitOutput, else it is freed.
  long StatisticsMethod(const char* tag, bool capable, bool prints, const std::string& buffer,
                        long methodId);
  // The error being fired and the queued output errors answered clear and removed; with
  // `alsoOthers` every queued event that is no error event goes too.
  bool ClearOutputErrors(bool alsoOthers);
  void EnableDevice();
  void DisableDevice();
  // terminateSubSO and the unload, with their failure lines.
  void UnloadSubSO();
  // Station buffers and modes back to none; the settings-changed word 0.
  void ResetStationBuffers();
  // Fills the property writes' hooks into the lifecycle and the sub-module (the constructor's).
  void WireLifecycleEffects();
  void Log(DWORD category, const char* function, int line, const char* tag,
           std::string_view text, std::string_view detail = {}) const;
  // Deletes the snapshot record itself; its texts are the sub-module's (service 1015).
  static void DeleteSnapshot(PrnPropertySnapshot* snapshot);

  static std::atomic<long> s_liveInputRecords;
  static std::atomic<long> s_liveSnapshots;
  std::atomic<ULONG> m_refs{1};
  std::atomic<ULONG> m_ownRefs{0};  // of m_refs, those of AddOwnReference

  CPropertyCache m_props;
  CLogContext* m_logContext = nullptr;  // owned
  CDeviceSettings m_settings;
  // Fixed printer parameters of service 1011, 0 until the sub-module is initialised.
  long m_lineEndFlags = 0;
  long m_resolution = 0;
  long m_cutDistance = 0;
  CCommDevice* m_channel = nullptr;     // owned
  CDeviceClaim* m_claim = nullptr;      // owned
  CControlObjectDriver m_driver;
  mutable std::mutex m_stateLock;
  std::mutex m_powerStateLock;
  std::mutex m_freezeLock;
  mutable std::mutex m_coFreezeLock;
  mutable std::mutex m_errorPropertiesLock;
  long m_coFreezeEvents = 0;
  std::mutex m_recordLock;              // guards building the input property records
  // ---- output ----
  long m_currentRotation = 1;
  // What ClearOutput's recovery waits on, cleared before its reset: a report of power
  // offline, and one of power online that a later offline report clears again (so an
  // online report from before the reset can't end the recovery). Latched: the status
  // polls in between report no power state.
  std::atomic<long> m_offlineAfterReset{0};
  std::atomic<long> m_onlineAfterReset{0};
  // The printer's last power report (2001, 2004), -1 before the first.
  std::atomic<long> m_powerReport{-1};
  // ---- properties ----
  friend struct CPropertyTable;
  CPropertyEffects m_effects;
  // ---- events and hidden window ----
  std::unique_ptr<CRJDevice> m_window;
  CErrorEventExt* m_firingError = nullptr;  // while SOError runs, for ReleaseErrorWaiters
  std::atomic<bool> m_dropEvents{false};
  // Close is on the stack.
  std::atomic<bool> m_closing{false};
  CEventQueue m_events{CEventFreeze{m_freezeLock, m_props.FreezeEvents, m_coFreezeLock,
                                    m_coFreezeEvents},
                       m_logContext};
};
