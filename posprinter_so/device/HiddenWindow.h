// CRJDevice: the service object's hidden message window. It belongs to the Control Object's
// thread, so whatever a worker thread posts to it (a finished output, the idle notice, an
// event to fire, an output error to ask about) is handled on that thread.
#pragma once
#include <atomic>
#include <string>

#include "Win.h"
#include "WindowMessages.h"  // the messages the window handles

class CCommDevice;
class COPOSEvent;
class CPOSPrinter;
struct PrnInputProperty;
struct PrnPropertySnapshot;
struct PrnStationState;
struct PrnStatusRecord;
struct PrnTokenList;

class CRJDevice {
 public:
  static const char kWindowName[];  // "POSPrinter:CRJDevice:KVRCORE:20100314"

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

  // ---- station buffers (StationBuffers.cpp) ----
  // The nine mode words, in the order of the station state record.
  struct CStationModes {
    long receiptTransaction = 0;
    long journalTransaction = 0;
    long pageMode = 0;
    long rotatedDirection = 0;  // 1 left 90, 0 right 90
    long rotatedPrint = 0;
    long upsideDown = 0;
    long bitmapDirectionLeft = 0;
    long bitmapsRotated180 = 0;
    long bitmapsRotated90 = 0;
  };
  CStationModes& Modes() { return m_modes; }
  // A new station state record (new): the mode words, `rotation`, the station's lists and
  // the settings-changed word.
  PrnStationState* NewOutputRequest(long station, long rotation);
  // Service 1009 on a list about to be queued.
  long ScanCommandTokens(PrnTokenList* list);
  // 0 after opening the station's transaction list, 1 when it (or for the receipt a page)
  // is open already, 2 when no list could be made.
  long BeginTransaction(long station);
  // Moves the list's tokens into the station's open transaction and frees the list; the
  // move's result (nonzero: the print did not join).
  long AppendToTransaction(long station, PrnTokenList* list);
  // Ends the station's transaction: printed (send) through SendAndWait or dropped. Takes
  // the record and the station state record over (either may be null). -1 when no
  // transaction was open, 0 after dropping, else the send's result.
  long EndStationBuffer(PrnInputProperty* record, PrnStationState* stationState, long station,
                        bool send, bool asynchronous, long queue, long* result, long* extended);
  // Receipt only: opens the page list and runs PageModePrint's execute phase (control 1)
  // on it. The records stay the caller's. 0, 1 already open, 2 no list.
  long BeginPageMode(PrnInputProperty* record, PrnStationState* stationState,
                     PrnPropertySnapshot* snapshot, long station, long control);
  // Service 1006 for the output's page position, then its tokens into the page; the move's
  // result.
  long AppendPositionedToBuffer(PrnInputProperty* record, PrnStationState* stationState,
                                PrnTokenList* list, long position1, long position2);
  // Ends or prints the page (control 2 print a copy and stay, 3 print and end, 4 drop and
  // end). Takes the three records over. -1 when no page is open, dropped or empty.
  long FlushStation(PrnInputProperty* record, PrnStationState* stationState,
                    PrnPropertySnapshot* snapshot, long station, long control,
                    bool asynchronous, long queue, long* result, long* extended);
  // Receipt only: opens the rotated-print list with RotatePrint's execute phase and sets
  // the rotated print and direction words. The records stay the caller's. 0, 1, 2.
  long BeginRotatePrint(PrnInputProperty* record, PrnStationState* stationState,
                        PrnPropertySnapshot* snapshot, long station, long rotation,
                        long direction);
  // Receipt: the list's tokens into the rotated-print list. The list is freed always; the
  // move's result.
  long AppendToStationBuffer(long station, PrnTokenList* list);
  // Ends the rotated print: printed (RotatePrint's execute phase closes it first) into the
  // open receipt transaction or as one output, or dropped. Takes the records over.
  long SendStation(PrnInputProperty* record, PrnStationState* stationState,
                   PrnPropertySnapshot* snapshot, long station, long rotation, bool print,
                   bool asynchronous, long queue, long* result, long* extended);
  // Frees every open list; the mode words stay as they are.
  void ResetStationModes();
  // True while a station list holds output that has not gone to the queues.
  PrnTokenList* TransactionList(long station) const;
  PrnTokenList* PageModeList() const { return m_pageModeList; }
  PrnTokenList* RotationList() const { return m_rotationList; }

  // Hands a token list (and the two records) to the device channel's queue `queue` (2
  // normal, 0 immediate). Asynchronous: completion comes back as DataSendComplete; the
  // OutputID goes to `result`, 0 to `extended`, and 0 is returned. Synchronous: waits for
  // the request's result (the thread that writes it sets an event), which is returned and
  // written to `result` with its extended code. With no worker thread left to take the
  // request the queues are cleared, which answers it 111, instead of waiting for good.
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
  // Fires one event through the owner by its kind.
  static void FireEvent(CPOSPrinter* owner, COPOSEvent* event);

  CPOSPrinter* m_owner;
  CCommDevice* m_channel;
  std::atomic<HWND> m_hwnd{nullptr};
  DWORD m_threadId = 0;
  std::atomic<long> m_settingsChanged{0};
  // Station buffers: Control Object's thread only.
  CStationModes m_modes;
  PrnTokenList* m_receiptTransaction = nullptr;
  PrnTokenList* m_journalTransaction = nullptr;
  PrnTokenList* m_pageModeList = nullptr;
  PrnTokenList* m_rotationList = nullptr;
  // Frees what the station buffer operations took over; null pointers are skipped.
  void FreeRecords(PrnInputProperty* record, PrnStationState* stationState,
                   PrnPropertySnapshot* snapshot);
  // A finished buffer list: into the open receipt transaction, or scanned and sent.
  long PrintBuffer(PrnInputProperty* record, PrnStationState* stationState, PrnTokenList* list,
                   bool asynchronous, long queue, long* result, long* extended);
};
