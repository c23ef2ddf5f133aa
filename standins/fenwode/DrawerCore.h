// A stand-in for the cash drawer core service object: loads tollek.dll, binds the nine
// exports, builds the core's records with the layouts of DrawerSubApi.h, registers its
// event function (2002) and status event (2006), and processes status on a thread of its
// own whenever the drawer signals the event, recording every event it receives.
//
//   fenwode::DrawerCore core;
//   ASSERT_TRUE(core.Load());
//   ASSERT_EQ(0, core.Open("MyDrawer"));   // initSubSO + callbacks
//   core.Claim(); core.Enable();           // connectPrinter; status thread + 1001
//   core.OpenDrawer();                     // pre + execute 8
//   core.WaitForEvent(1);                  // drawer open reported
//   core.Disable(); core.Release(); core.Close();
#pragma once
#include "Win.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DrawerSubApi.h"
#include "ScopedHandle.h"

namespace fenwode {

// The core's own version as it passes it to initSubSO (1.14.0).
inline constexpr long kCoreVersion = 1014000;

struct Event {
  long code;            // 2001 online, 2004 offline, 1 open, 0 closed
  DrwStateWords state;  // the drawer's state words at the call
};

// A method's result record, state flag and ResultCode as one call left them.
struct MethodCall {
  long preResult = 0;
  long result = 0;
  DrwResultRecord record{};
};

class DrawerCore {
 public:
  DrawerCore();
  // Disables, releases and closes whatever is still open, frees the DLL.
  ~DrawerCore();
  DrawerCore(const DrawerCore&) = delete;
  DrawerCore& operator=(const DrawerCore&) = delete;

  [[nodiscard]] bool Load(const char* path = "tollek.dll");
  const DrwEntryPoints& exports() const { return exports_; }

  // initSubSO; on success the event function and the status event are registered.
  [[nodiscard]] long Open(const char* deviceName, long coreVersion = kCoreVersion);
  [[nodiscard]] long Claim();    // connectPrinter
  [[nodiscard]] long Enable();   // starts the status thread, then otherMethod 1001
  [[nodiscard]] long Disable();  // otherMethod 1002, then ends the status thread
  [[nodiscard]] long Release();  // disconnectPrinter
  // Gives the init record's texts back (1019) and terminates the slot.
  long Close();
  // A core that ends without disabling or releasing: its status thread stops, then Close.
  long CloseWithoutDisable();

  // Pre, then (when it accepts) execute; a non-zero pre result is the call's result.
  MethodCall OpenDrawer();
  MethodCall WaitForDrawerClose();
  // Calls inside the execute export now: a test that changes the printer under a waiting
  // call first waits for the call to get there.
  long ExecutesRunning() const { return executing_; }
  MethodCall CheckHealth(long level, bool allowed);
  // Gives a text of a result record back (1019).
  long ReleaseText(char* text);

  long slot() const { return slot_; }
  const DrwInitRecord& initRecord() const { return init_; }

  std::vector<Event> Events() const;
  void ClearEvents();
  // Waits until an event with this code has been received (bounded); false if none came.
  [[nodiscard]] bool WaitForEvent(long code, DWORD timeoutMs = 10000);

 private:
  static long SUBAPI_CALL OnEvent(DrwStateWords* state, long code, long userWord);
  void StatusLoop();
  void StopStatusThread();
  MethodCall Call(long methodId, long* block, int words);

  ScopedModule module_;
  DrwEntryPoints exports_;
  DrwInitRecord init_{};
  long slot_ = -1;
  bool open_ = false, claimed_ = false, enabled_ = false;
  ScopedHandle statusEvent_;
  HANDLE statusEventWord_ = nullptr;  // the drawer reads the handle through this address
  ScopedHandle stopEvent_;
  std::thread statusThread_;
  DrwStateRecord state_{};
  std::atomic<long> executing_{0};

  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::vector<Event> events_;
};

}  // namespace fenwode
