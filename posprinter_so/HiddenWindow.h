// CRJDevice: the service object's hidden message window. It belongs to the Control Object's
// thread, so whatever a worker thread posts to it (a finished output, the idle notice, an
// event to fire, an output error to ask about) is handled on that thread.
#pragma once
#include <atomic>
#include <string>

#include "Win.h"

class CCommDevice;
class CPOSPrinter;
struct PrnInputProperty;
struct PrnPropertySnapshot;
struct PrnStationState;
struct PrnStatusRecord;
struct PrnTokenList;

class CRJDevice {
 public:
  static const char kWindowName[];  // "POSPrinter:CRJDevice:KVRCORE:20100314"

  // The registered messages of the module (same name, same number in every process).
  static UINT CheckHealthQuitMessage();    // "SG_POSPrinterCheckHealthQuit20081001"
  static UINT WhenIdleMessage();           // "POSPrinterCoreWhenIdle20100314"
  static UINT COFireEventNotifyMessage();  // "POSPrinterCoreCOFireEventNotify20100314"
  static UINT QueryRetryMessage();         // "POSPrinterCoreQueryRetry20100314"
  static UINT DataSendCompleteMessage();   // "POSPrinterCoreDataSendComplete20100314"

  CRJDevice(CPOSPrinter* owner, CCommDevice* channel);
  // Destroys the window (see Destroy).
  ~CRJDevice();
  CRJDevice(const CRJDevice&) = delete;
  CRJDevice& operator=(const CRJDevice&) = delete;

  // Creates the hidden window on the calling thread, which must pump messages. false (last
  // error kept) when the window can't be created; true when it exists already.
  [[nodiscard]] bool Create();
  // On the window's thread: handles every message still posted to this window, then
  // destroys it. On another thread: detaches the window from this object and has its own
  // thread close it; what reaches it after that is deleted unhandled.
  void Destroy();
  HWND Handle() const { return m_hwnd.load(); }

  // Copied as the last word of every station state record.
  long SettingsChanged() const { return m_settingsChanged.load(); }
  void SetSettingsChanged(long value) { m_settingsChanged.store(value); }

  // Whether a status code is reported to the Control Object (capabilities, PowerNotify).
  // On a worker thread: plain 32-bit reads and, for 2001, one store.
  long IsStatusReportable(const PrnStatusRecord* record, long code);
  // Queues StatusUpdate(code).
  void QueueStatusUpdate(const PrnStatusRecord* record, long code);

  // Hands a token list (and the two records) to the device channel's queue `queue` (2
  // normal, 0 immediate). Asynchronous: completion comes back as DataSendComplete; the
  // OutputID goes to `result`, 0 to `extended`, and 0 is returned. Synchronous: waits,
  // polling every millisecond, for the request's result, which is returned and written to
  // `result` with its extended code. With no worker thread left to take the request the
  // queues are cleared, which answers it 111, instead of waiting for good.
  [[nodiscard]] long SendAndWait(PrnInputProperty* record, PrnStationState* stationState,
                                 PrnTokenList* list, bool asynchronous, long queue,
                                 long* result, long* extended);

  // ---- forwards to the device channel (HiddenWindowForwards.cpp) ----
  [[nodiscard]] BOOL LoadSubSODLL(const char* path);
  [[nodiscard]] long InitializeSubSO(const char* deviceName, long serviceObjectVersion,
                                     PrnPropertySnapshot* snapshot);
  [[nodiscard]] BOOL UnloadSubSODLL();
  [[nodiscard]] BOOL TerminateSubSO();
  [[nodiscard]] long RestorePrinter();                    // service 1005
  [[nodiscard]] long SetCharacterSet(long characterSet);  // service 1008
  // Service 1020 for station 1 or 2: on success LineChars and LineHeight of the station
  // take the chosen characters and the character width in dots, and a smaller LineSpacing
  // is raised to the new height. 0, or the service's result with nothing changed.
  [[nodiscard]] long ApplyLineChars(long station, long characters, long lineWidth,
                                    const std::string& lineCharsList);

  // Message handlers; each returns 0.
  LRESULT OnDataSendComplete(WPARAM wParam, LPARAM outputId);
  LRESULT OnCOFireEventNotify(WPARAM event, LPARAM lParam);
  LRESULT OnQueryRetry(WPARAM wParam, LPARAM errorEvent);
  LRESULT OnWhenIdle(WPARAM wParam, LPARAM lParam);

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  // A message that carries an event object but reaches no owner: the event is deleted.
  static void DropCarriedEvent(UINT message, WPARAM wParam, LPARAM lParam);

  CPOSPrinter* m_owner;
  CCommDevice* m_channel;
  std::atomic<HWND> m_hwnd{nullptr};
  DWORD m_threadId = 0;
  std::atomic<long> m_settingsChanged{0};
};
