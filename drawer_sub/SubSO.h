// CSubSO of the drawer: the device instance behind one slot of tollek's instance table.
// Lifecycle and settings (SubSO.cpp), status and activation (SubSOStatus.cpp), the OPOS
// CashDrawer methods (SubSOMethods.cpp). Its printer channel is CCommPrinterDriver.
#pragma once
#include "Win.h"

#include <string>

#include "CommPrinterDriver.h"
#include "DrawerSettings.h"
#include "DrawerSubApi.h"
#include "LogContext.h"
#include "ScopedHandle.h"

namespace tollek {

// Oldest core this module serves (1.14.0), and the SDK library it loads.
inline constexpr long kMinCoreVersion = 1014000;
inline constexpr char kPrinterSdk[] = "TbxQdApi.dll";

class CSubSO {
 public:
  // Creates the log context, the channel and the slot's status queue; state words -1. The
  // creator holds the one reference.
  explicit CSubSO(long slot);
  // Retire(), if that has not run yet.
  ~CSubSO();
  CSubSO(const CSubSO&) = delete;
  CSubSO& operator=(const CSubSO&) = delete;

  // Every call into the instance holds a reference: a WaitForDrawerClose woken by the end of
  // its instance still logs and returns through it, however late it gets to run, so the
  // instance is deleted only when the last reference goes.
  void AddRef() { InterlockedIncrement(&m_refs); }
  static void Release(CSubSO* instance);
  long References() const { return m_refs; }
  // Lets go of what belongs to the slot: wakes a WaitForDrawerClose still blocked, lets the
  // printer and the SDK library go, and removes the slot's status queue, so that a new
  // instance may take the slot while this one still waits for its last reference. Once.
  void Retire();
  // Instances not yet deleted, in this module.
  static long LiveInstances();

  // ---- lifecycle (SubSO.cpp) -----------------------------------------------------------
  // 0, -2 (core too old or own version unreadable), 111 (SDK library not loadable).
  [[nodiscard]] long initSubSODet(const char* deviceName, long coreVersion,
                                  DrwInitRecord* initRecord);
  [[nodiscard]] long terminateSubSODet();
  [[nodiscard]] long connectPrinterDet();
  [[nodiscard]] long disconnectPrinterDet();
  [[nodiscard]] long getCapabilityDet(DrwCapabilityBlock* block);
  // major*1000000 + minor*1000 + build of this module's file version: 0, or -1.
  [[nodiscard]] static long getModuleVersion(long* version);
  // Frees a text the drawer handed out: 0; -1 for one it did not hand out (or gave back
  // already). A null pointer is ignored (0).
  [[nodiscard]] static long releaseBuffer(void* buffer);

  // ---- status (SubSOStatus.cpp) --------------------------------------------------------
  void setEventFunction(DrwEventFn eventFunction, void* unused, long userWord);
  [[nodiscard]] long setStatusEventHandle(HANDLE* eventAddress);
  [[nodiscard]] long activateDevice();
  [[nodiscard]] long deactivateDevice();
  // Processes at most one queued status word; 0, record untouched when none is queued.
  [[nodiscard]] long processStatus(DrwStateWords* record);

  // ---- methods (SubSOMethods.cpp) -------------------------------------------------------
  struct MethodRow;
  [[nodiscard]] static const MethodRow* FindMethod(long methodId);
  // -1 when the block's state or result record is null; else the row's handler.
  [[nodiscard]] long RunPre(const MethodRow& row, long* block);
  [[nodiscard]] long RunExecute(const MethodRow& row, long* block);

  [[nodiscard]] long preCheckHealth(DrwStateRecord* state, long level, DrwResultRecord* result);
  [[nodiscard]] long preOpenDrawer(DrwStateRecord* state, DrwResultRecord* result);
  [[nodiscard]] long preWaitForDrawerClose(DrwStateRecord* state, long beepTimeout,
                                           long beepFrequency, long beepDuration,
                                           long beepDelay, DrwResultRecord* result);
  [[nodiscard]] long executeCheckHealth(DrwStateRecord* state, long level,
                                        DrwResultRecord* result);
  [[nodiscard]] long executeOpenDrawer(DrwStateRecord* state, DrwResultRecord* result);
  [[nodiscard]] long executeWaitForDrawerClose(DrwStateRecord* state, long beepTimeout,
                                               long beepFrequency, long beepDuration,
                                               long beepDelay, DrwResultRecord* result);
  // The six common methods the drawer does not support: pre -2 (-1 uninitialised),
  // execute 106.
  [[nodiscard]] long preUnsupported(const char* name);
  [[nodiscard]] long executeUnsupported(const char* name, DrwResultRecord* result);

  // ---- read access -----------------------------------------------------------------------
  const DrawerSettings& settings() const { return m_settings; }
  DrwStateWords state() const { return m_state; }
  bool initialised() const { return m_fInitialised != 0; }
  bool activated() const { return m_activated != 0; }
  long slot() const { return m_slot; }

 private:
  void Enter(const char* operation) const;
  long Leave(const char* operation, long result) const;
  void Line(DWORD category, const char* operation, int line, const char* tag, const char* text,
            const char* detail = "") const;
  bool RequireInitialised(const char* operation) const;
  void setDeviceDescriptions(DrwInitRecord* initRecord);
  void readRegistrySettings(const char* deviceKey);
  void FireEvent(long eventCode);
  // Marks the instance not activated and wakes a WaitForDrawerClose.
  void EndActivation();
  long SendDrawerKick();
  void StoreText(DrwResultRecord* result, const char* text);

  int m_fInitialised = 0;
  CLogContext m_logContext;
  CCommPrinterDriver m_driver{m_logContext};
  DrawerSettings m_settings;
  const long m_slot;
  DrwEventFn m_eventFunction = nullptr;
  DrwStateWords m_state{-1, -1, 0};  // PowerState, DrawerOpened, status seen
  std::string m_descriptionBase;
  long m_userWord = 0;
  // One per instance: a status of this drawer wakes only this drawer's waiter, and no
  // waiter is left on a handle that another instance closed.
  ScopedHandle m_waitEvent;
  volatile LONG m_activated = 0;
  volatile LONG m_refs = 1;
  bool m_retired = false;
};

}  // namespace tollek
