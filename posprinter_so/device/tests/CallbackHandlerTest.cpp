// An application's event handlers call the service object back: they close the device,
// clear the output, disable it, print more or drop their last reference while the event
// is still being fired. The service object runs in this process, adopted by the stand-in
// Control Object, whose handlers do what such applications do; against prennik and the
// simulated printer, or the recording sub-module where the test must make the reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CommDevice.h"
#include "DeviceClaim.h"
#include "DialogDriver.h"
#include "OPOSEvent.h"
#include "OpenedDevice.h"
#include "OposCodes.h"
#include "POSPrinterSOApp.h"
#include "PrinterSubIds.h"
#include "RecordedServiceObject.h"
#include "ScopedHandle.h"
#include "WindowMessages.h"

namespace {

using costandin::Arg;
using costandin::EventRecord;
using sotest::WaitUntil;

constexpr char kDevice[] = "SoCallbackDevice";
constexpr char kPrinter[] = "SoCallbackPrinter";
constexpr char kDialogCaption[] = "POSPrinter CheckHealth Interactive";

enum Pidx : long {
  kClaimed = 1, kDeviceEnabled = 3, kFreezeEvents = 4, kOutputId = 5, kState = 9, kAsyncMode = 8001,
  kCoverOpen = 8003, kFlagWhenIdle = 8005,
};
enum : long { kClosed = 1, kIdle = 2, kBusy = 3 };

enum class Sub { kPrennik, kRecording };

class CallbackHandler : public ::testing::Test {
 protected:
  void TearDown() override {
    co_.ClearHandlers();
    Drop();
    TbxSim_Reset(kPrinter);
    EXPECT_EQ(COPOSEvent::LiveCount(), 0) << "every event object was deleted";
  }

  // A new service object from the class factory, adopted by the Control Object, which
  // opens, claims and enables it: prennik on the simulated printer, or the recording
  // sub-module. ProcessCompletionTiming as given.
  void Open(Sub sub, const char* completionTiming = "0") {
    ASSERT_NO_FATAL_FAILURE(WriteKey(sub, completionTiming));
    so_ = sotest::NewServiceObject();
    ASSERT_NE(so_, nullptr);
    co_.Adopt(so_);
    co_.ClearEvents();
    fakelog::Clear();
    const long opened = Call(L"OpenService", {Arg::Text(L"POSPrinter"),
                                              Arg::Text(L"SoCallbackDevice"), Arg::Sink()});
    if (opened != OPOS_SUCCESS) {
      for (const auto& line : fakelog::Lines())
        if (line.category == 0x2) ADD_FAILURE() << std::string(line.text.begin(), line.text.end());
    }
    ASSERT_EQ(opened, OPOS_SUCCESS) << "OpenResult " << Call(L"GetOpenResult");
    ASSERT_EQ(Call(L"ClaimDevice", {Arg::Long(5000)}), OPOS_SUCCESS);
    ASSERT_EQ(SetNumber(kDeviceEnabled, 1), OPOS_SUCCESS);
    TbxSim_ClearWritten(kPrinter);
  }
  // The device entry alone, after dropping what is open.
  void WriteKey(Sub sub, const char* completionTiming = "0") {
    Drop();
    key_.reset();  // before the new one: it deletes the key of that name
    key_ = std::make_unique<sotest::DeviceKey>(kDevice);
    if (sub == Sub::kPrennik) {
      ASSERT_NO_FATAL_FAILURE(sotest::UseSimulatedPrinter(*key_, kPrinter));
      key_->SetString("SubSODLLPath", sotest::BinFolder() + "prennik.dll");
    } else {
      sub_.Reset();
      key_->SetString("SubSODLLPath", sotest::RecordingSubPath());
    }
    key_->SetString("ProcessCompletionTiming", completionTiming);
    key_->SetString("ReceiveTimeout", "10000");
    key_->SetString("RCVC", "20");
  }
  // Closes what is still open and drops the Control Object's reference.
  void Drop() {
    if (co_.HasObject()) {
      if (Prop(kState) != kClosed) (void)Call(L"Close");
      co_.ReleaseObject();
    }
    so_ = nullptr;
  }

  long Call(const wchar_t* name, const std::vector<Arg>& args = {}) {
    return co_.CallLong(name, args);
  }
  long Prop(long pidx) { return Call(L"GetPropertyNumber", {Arg::Long(pidx)}); }
  // A property write; its outcome is ResultCode.
  long SetNumber(long pidx, long value) {
    DISPID id = 0;
    EXPECT_EQ(co_.GetIDsOfNames(L"SetPropertyNumber", &id), S_OK);
    VARIANT none;
    VariantInit(&none);
    EXPECT_EQ(co_.Invoke(id, {Arg::Long(pidx), Arg::Long(value)}, &none), S_OK);
    VariantClear(&none);
    return Prop(6);
  }
  long PrintNormal(const wchar_t* text) {
    return Call(L"PrintNormal", {Arg::Long(2), Arg::Text(text)});
  }
  std::vector<EventRecord> Named(const wchar_t* name) const {
    std::vector<EventRecord> found;
    for (const EventRecord& event : co_.Events())
      if (event.name == name) found.push_back(event);
    return found;
  }
  static bool Logged(const wchar_t* fragment) {
    return !fakelog::LinesContaining(fragment).empty();
  }
  // The cover opened, seen by the service object and its StatusUpdateEvent fired: the property
  // can read 1 before that event is queued, and a test that freezes events next and counts the
  // queue would then find the cover's event there too.
  void OpenCover() {
    TbxSim_SetCoverOpen(kPrinter, TRUE);
    ASSERT_TRUE(WaitUntil([&] { return Prop(kCoverOpen) == 1; })) << "CoverOpen reported";
    ASSERT_TRUE(WaitUntil([&] { return Fired(11); })) << "the cover's StatusUpdateEvent";
    Flush();
  }
  // Every message posted to the Control Object's thread before now has been handled.
  void Flush() { co_.RunOnThread([] {}); }
  // Enabling reports the cover closed: that event is fired and forgotten.
  void ForgetEnablingReport() {
    ASSERT_TRUE(WaitUntil([&] { return !Named(L"SOStatusUpdate").empty(); }));
    Flush();
    co_.ClearEvents();
  }
  // The Status of each StatusUpdateEvent fired, in order.
  std::vector<long> Statuses() const {
    std::vector<long> statuses;
    for (const EventRecord& event : Named(L"SOStatusUpdate")) statuses.push_back(event.numbers.at(0));
    return statuses;
  }
  bool Fired(long status) const {
    const std::vector<long> statuses = Statuses();
    return std::find(statuses.begin(), statuses.end(), status) != statuses.end();
  }
  // How many OutputCompleteEvents were fired for this OutputID.
  size_t Completions(long outputId) const {
    size_t n = 0;
    for (const EventRecord& event : Named(L"SOOutputComplete")) n += event.numbers.at(0) == outputId;
    return n;
  }
  // The output error the send thread waits on, its event still posted to the window and not
  // yet handled: on the window's thread, while that thread does not pump.
  CErrorEvent* PostedError() const {
    MSG message;
    if (!PeekMessageA(&message, so_->Window()->Handle(), QueryRetryMessage(), QueryRetryMessage(),
                      PM_NOREMOVE))
      return nullptr;
    return static_cast<CErrorEvent*>(reinterpret_cast<COPOSEvent*>(message.lParam));
  }
  // Every message handled, then every event the event thread had left to post fired.
  void FlushEvents() {
    Flush();
    ASSERT_TRUE(WaitUntil([&] { return so_->QueuedEventCount() == 0; }));
    Flush();
  }

  std::unique_ptr<sotest::DeviceKey> key_;
  RecordingSubModule sub_{sotest::RecordingSubPath().c_str()};
  costandin::ControlObject co_;
  CPOSPrinter* so_ = nullptr;  // valid while the Control Object holds it
};

// Index of the first log line with `fragment`, or -1.
long LineIndex(const std::vector<fakelog::Line>& lines, const std::wstring& fragment) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].text.find(fragment) != std::wstring::npos) return static_cast<long>(i);
  return -1;
}

// ---- the Control Object as the tests see it -------------------------------------------

// The stand-in treats opening and closing as the standard Control Object does: an event fired
// on another thread than its own waits in its window and is delivered only between a
// successful open or claim and the next release or Close; Close discards what still waits and
// gives back the reference it took for the open device once, leaving the object to whoever
// still holds it.
TEST_F(CallbackHandler, TheControlObjectTakesEventsFromOtherThreadsOnlyWhileLegal) {
  ASSERT_NO_FATAL_FAILURE(Open(Sub::kRecording));
  auto fireElsewhere = [&](long status) {
    std::thread([&] { (void)so_->Driver().SOStatusUpdate(status); }).join();
  };
  fireElsewhere(21);
  ASSERT_EQ(Call(L"ReleaseDevice"), OPOS_SUCCESS);
  fireElsewhere(22);
  ASSERT_EQ(Call(L"ClaimDevice", {Arg::Long(5000)}), OPOS_SUCCESS);
  fireElsewhere(23);
  co_.RunOnThread([&] {
    fireElsewhere(24);  // waits behind this call, then Close discards it
    EXPECT_EQ(Call(L"Close"), OPOS_SUCCESS);
  });
  Flush();
  EXPECT_EQ(Statuses(), (std::vector<long>{21, 23}));
  for (const EventRecord& event : co_.Events())
    EXPECT_NE(event.threadId, co_.ThreadId()) << "recorded with the thread that fired it";
  EXPECT_EQ(CPOSPrinterSOApp::ObjectCount(), 1) << "the Control Object's own reference";
  co_.ReleaseObject();
  so_ = nullptr;
  EXPECT_EQ(CPOSPrinterSOApp::ObjectCount(), 0);
}

// ---- the firing outlives the handler ------------------------------------------------

// The handler drops the Control Object's last reference without Close: the object is
// destroyed (and closed) only once the firing that called the handler is done.
TEST_F(CallbackHandler, TheLastReferenceDroppedInAHandlerOutlivesTheFiring) {
  const struct {
    const wchar_t* name;
    std::function<COPOSEvent*()> make;
  } rows[] = {
      {L"SOOutputComplete", [] { return new COutputCompleteEvent(7); }},
      {L"SOStatusUpdate", [] { return new CStatusUpdateEvent(1001); }},
      {L"SODirectIO", [] { return new CDirectIOEvent(5, 6, L"text"); }},
      {L"SOError", [] { return new CErrorEventExt(111, 0, 1, 11, nullptr, 2, 2, "Failure"); }},
  };
  for (const auto& row : rows) {
    ASSERT_NO_FATAL_FAILURE(Open(Sub::kRecording));
    long alive = -1;
    co_.SetHandler(row.name, [&](const EventRecord&, long*) {
      co_.ReleaseObject();
      alive = CPOSPrinterSOApp::ObjectCount();
    });
    fakelog::Clear();
    so_->DoQueueEvent(row.make());
    ASSERT_TRUE(co_.WaitForEvents(1, 30000)) << row.name;
    Flush();
    co_.ClearHandlers();
    so_ = nullptr;
    EXPECT_FALSE(co_.HasObject());
    EXPECT_EQ(alive, 1) << row.name << ": the object is there while its event is fired";
    const std::vector<fakelog::Line> lines = fakelog::Lines();
    const long fired = LineIndex(lines, std::wstring(L"[Exit    ] ") + row.name);
    const long closed = LineIndex(lines, L"[Enter   ] Close");
    EXPECT_NE(fired, -1) << row.name;
    EXPECT_NE(closed, -1) << row.name << ": closed on the way";
    EXPECT_LT(fired, closed) << row.name << ": the object went while it was firing";
    EXPECT_EQ(CPOSPrinterSOApp::ObjectCount(), 0) << row.name;
    EXPECT_EQ(sub_.TakenSlots(), 0) << row.name;
  }
}

// Dropped without Close while the next event is already posted to its window: the object
// ends its device, but the Control Object it was dropped by is not called back.
TEST_F(CallbackHandler, AnObjectDroppedWithEventsPostedDoesNotCallBack) {
  ASSERT_NO_FATAL_FAILURE(Open(Sub::kPrennik));
  ASSERT_NO_FATAL_FAILURE(ForgetEnablingReport());
  const HWND window = so_->Window()->Handle();
  bool posted = false;
  co_.SetHandler(L"SOStatusUpdate", [&](const EventRecord& event, long*) {
    if (event.numbers != std::vector<long>{11}) return;
    TbxSim_SetCoverOpen(kPrinter, FALSE);
    // The cover-closed event waits in the window's queue while this handler runs.
    posted = WaitUntil([&] {
      MSG message;
      return PeekMessageA(&message, window, COFireEventNotifyMessage(),
                          COFireEventNotifyMessage(), PM_NOREMOVE) != 0;
    });
    co_.ReleaseObject();
  });
  TbxSim_SetCoverOpen(kPrinter, TRUE);
  ASSERT_TRUE(WaitUntil([&] { return !co_.HasObject(); }));
  Flush();
  so_ = nullptr;
  EXPECT_TRUE(posted) << "the cover-closed event was posted";
  std::vector<std::vector<long>> fired;
  for (const EventRecord& event : Named(L"SOStatusUpdate")) fired.push_back(event.numbers);
  EXPECT_EQ(fired, (std::vector<std::vector<long>>{{11}})) << "nothing after the drop";
  EXPECT_EQ(CPOSPrinterSOApp::ObjectCount(), 0);
  EXPECT_EQ(TbxSim_GetOpenHandleCount(kPrinter), 0) << "the device was closed";
}

// ---- Close, disable and release from the handlers -----------------------------------

TEST_F(CallbackHandler, CloseInTheErrorHandlerLeavesTheObjectClosed) {
  ASSERT_NO_FATAL_FAILURE(Open(Sub::kPrennik));
  ASSERT_NO_FATAL_FAILURE(OpenCover());
  ASSERT_EQ(SetNumber(kAsyncMode, 1), OPOS_SUCCESS);
  long closed = -1;
  co_.SetHandler(L"SOError", [&](const EventRecord&, long*) { closed = Call(L"Close"); });
  ASSERT_EQ(PrintNormal(L"Lost\n"), OPOS_SUCCESS);
  ASSERT_TRUE(WaitUntil([&] { return closed != -1; })) << "the error was raised";
  Flush();
  EXPECT_EQ(closed, OPOS_SUCCESS);
  EXPECT_EQ(Prop(kState), kClosed);
  fakelog::Clear();
  EXPECT_EQ(Call(L"ClaimDevice", {Arg::Long(0)}), OPOS_E_CLOSED);
  EXPECT_EQ(Call(L"ReleaseDevice"), OPOS_E_CLOSED);
  EXPECT_EQ(Call(L"Close"), OPOS_E_CLOSED);
  EXPECT_FALSE(Logged(L"Wait for state idle")) << "nothing closes twice";
  EXPECT_EQ(TbxSim_GetOpenHandleCount(kPrinter), 0);
}

// With output pending (a confirmation that never comes, or an error the application has
// not seen yet) disabling and releasing answer 113 and set State idle; the second call
// succeeds, and a waiting error is answered clear.
TEST_F(CallbackHandler, DisableAndReleaseWhileOutputIsPendingSucceedTheSecondTime) {
  const struct {
    const char* pending;
    bool release;
    bool error;
  } rows[] = {
      {"a confirmation that never comes", false, false},
      {"a confirmation that never comes", true, false},
      {"an error not yet fired", false, true},
      {"an error not yet fired", true, true},
  };
  for (const auto& row : rows) {
    const std::string name = std::string(row.pending) + (row.release ? ": Release" : ": disable");
    ASSERT_NO_FATAL_FAILURE(Open(Sub::kPrennik, "1"));
    if (row.error) {
      ASSERT_NO_FATAL_FAILURE(OpenCover());
      ASSERT_EQ(SetNumber(kFreezeEvents, 1), OPOS_SUCCESS);
    } else {
      TbxSim_SetReplyDelay(kPrinter, 3600000);  // the printer's answers never come
    }
    ASSERT_EQ(SetNumber(kAsyncMode, 1), OPOS_SUCCESS);
    ASSERT_EQ(PrintNormal(L"Pending\n"), OPOS_SUCCESS);
    if (row.error) {
      ASSERT_TRUE(WaitUntil([&] { return so_->QueuedEventCount() == 1; })) << name;
    } else {
      ASSERT_TRUE(WaitUntil([&] { return TbxSimWritten(kPrinter).find("Pending") != std::string::npos; }));
    }
    ASSERT_EQ(Prop(kState), kBusy) << name;
    auto act = [&] { return row.release ? Call(L"ReleaseDevice") : SetNumber(kDeviceEnabled, 0); };
    EXPECT_EQ(act(), OPOS_E_BUSY) << name;
    EXPECT_EQ(Prop(kState), kIdle) << name;
    EXPECT_TRUE(so_->Channel()->HasPendingOutput()) << name;
    EXPECT_EQ(act(), OPOS_SUCCESS) << name;
    EXPECT_EQ(Prop(kDeviceEnabled), 0) << name;
    EXPECT_EQ(Prop(kClaimed), row.release ? 0 : 1) << name;
    if (row.error) {
      (void)SetNumber(kFreezeEvents, 0);
      Flush();
      EXPECT_TRUE(Named(L"SOError").empty()) << name << ": answered clear, not fired";
    }
    // The error was answered clear; a release ends the threads, which drop what waits.
    if (row.error || row.release) {
      EXPECT_TRUE(WaitUntil([&] { return !so_->Channel()->HasPendingOutput(); })) << name;
    }
  }
}

// ---- ClearOutput, the recovery call --------------------------------------------------

// The application answers an output error with clear and recovers with ClearOutput, which
// blocks its thread while the printer resets: the reset takes the printer offline and
// back, and the recovery ends on the printer's reports of that. A
// printer that stays online through its reset reports no change to online: its last
// report stands, and the recovery does not wait for a report that never comes.
TEST_F(CallbackHandler, ClearOutputAfterAnErrorEndsOnThePrintersReports) {
  const struct {
    const char* completionTiming;
    DWORD resetOfflineMs;
    bool recovered;  // "Device recovery": the printer went offline and came back
  } rows[] = {
      {"0", TBXSIM_DEFAULT_RESET_OFFLINE_MS, true},
      {"1", TBXSIM_DEFAULT_RESET_OFFLINE_MS, true},
      {"1", 0, false},
  };
  for (const auto& row : rows) {
    const std::string name = std::string("mode ") + row.completionTiming + ", offline " +
                             std::to_string(row.resetOfflineMs) + " ms";
    ASSERT_NO_FATAL_FAILURE(Open(Sub::kPrennik, row.completionTiming));
    TbxSim_SetResetOfflineTime(kPrinter, row.resetOfflineMs);
    ASSERT_NO_FATAL_FAILURE(OpenCover());
    ASSERT_EQ(SetNumber(kAsyncMode, 1), OPOS_SUCCESS);
    std::atomic<bool> answered{false};
    co_.SetHandler(L"SOError", [&](const EventRecord&, long* errorResponse) {
      TbxSim_SetCoverOpen(kPrinter, FALSE);
      *errorResponse = 12;
      answered = true;
    });
    ASSERT_EQ(PrintNormal(L"Dropped\n"), OPOS_SUCCESS);
    ASSERT_TRUE(WaitUntil([&] { return answered.load(); })) << name;
    Flush();
    co_.ClearHandlers();
    fakelog::Clear();
    EXPECT_EQ(Call(L"ClearOutput"), OPOS_SUCCESS) << name;
    EXPECT_EQ(TbxSim_GetCallCount(kPrinter, "Reset"), 1) << name;
    EXPECT_FALSE(Logged(L"RestorePrinter error(Online)")) << name;
    EXPECT_EQ(Logged(L"RestorePrinter error(Offline)"), !row.recovered) << name;
    EXPECT_EQ(Logged(L"Device recovery"), row.recovered) << name;
    ASSERT_TRUE(WaitUntil([&] { return Prop(kState) == kIdle; })) << name;
    ASSERT_EQ(SetNumber(kAsyncMode, 0), OPOS_SUCCESS);
    EXPECT_EQ(PrintNormal(L"Next\n"), OPOS_SUCCESS) << name << ": the printer is back";
    const std::string written = TbxSimWritten(kPrinter);
    EXPECT_EQ(written.find("Dropped"), std::string::npos) << name;
  }
}

// An online report from before the reset, handled after ClearOutput began, must not end
// the recovery: the printer's offline report clears it, and the recovery waits for the
// printer to come back. The recording sub-module lets the test make each report.
TEST_F(CallbackHandler, AnOnlineReportFromBeforeTheResetDoesNotEndTheRecovery) {
  ASSERT_NO_FATAL_FAILURE(Open(Sub::kRecording));
  auto status = reinterpret_cast<PrnStatusFn>(
      sub_.GetCallbackWord(PRN_CALLBACK_STATUS_FUNCTION_SET, 0));
  void* context = nullptr;
  for (const RecSubCall& call : sub_.Calls())
    if (call.exportId == RECSUB_INIT_SUBSO) context = call.callbackContext;
  ASSERT_TRUE(status && context);
  auto report = [&](long power) {
    PrnStatusRecord record;
    std::memset(&record, 0xFF, sizeof record);
    record.powerState = power;
    status(&record, power, context);
  };
  auto resets = [&] {
    long count = 0;
    for (const RecSubCall& call : sub_.Calls())
      count += call.exportId == RECSUB_OTHER_METHOD && call.id == PRN_SERVICE_RESTORE_PRINTER;
    return count;
  };
  fakelog::Clear();
  auto clear = std::async(std::launch::async, [&] { return Call(L"ClearOutput"); });
  ASSERT_TRUE(WaitUntil([&] { return resets() == 1; }));
  report(2001);  // from before the reset, handled late
  report(2004);  // the reset
  // A recovery ended by the old report ends within a step of the offline one.
  EXPECT_EQ(clear.wait_for(std::chrono::seconds(3)), std::future_status::timeout)
      << "the recovery ended while the printer was still offline";
  report(2001);  // back online
  ASSERT_EQ(clear.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  EXPECT_EQ(clear.get(), OPOS_SUCCESS);
  EXPECT_TRUE(Logged(L"Device recovery"));
  EXPECT_FALSE(Logged(L"RestorePrinter error"));
}

// The send thread has not taken the request yet (here it is not running at all) when
// ClearOutput drops it: no idle notice will come, and nothing is pending any more.
TEST_F(CallbackHandler, ClearOutputOfARequestNotTakenYetLeavesStateIdle) {
  ASSERT_NO_FATAL_FAILURE(Open(Sub::kPrennik));
  ASSERT_TRUE(so_->Channel()->StopSendThread());
  ASSERT_EQ(SetNumber(kAsyncMode, 1), OPOS_SUCCESS);
  ASSERT_EQ(PrintNormal(L"Never sent\n"), OPOS_SUCCESS);
  ASSERT_EQ(Prop(kState), kBusy);
  EXPECT_EQ(Call(L"ClearOutput"), OPOS_SUCCESS);
  EXPECT_FALSE(so_->Channel()->HasPendingOutput());
  EXPECT_EQ(Prop(kState), kIdle);
  ASSERT_TRUE(so_->Channel()->StartSendThread());
  EXPECT_EQ(TbxSimWritten(kPrinter).find("Never sent"), std::string::npos);
}

// ---- the interactive check's button ---------------------------------------------------

// While the dialog is up, a handler closes the device, or queues output that waits on an
// error only this thread can answer: the button refuses instead of using what is gone or
// waiting behind that output for good.
TEST_F(CallbackHandler, TheCheckHealthButtonRefusesWhatAHandlerLeftBehind) {
  const struct {
    const char* handler;
    std::function<void()> act;
    std::function<bool(CPOSPrinter*)> ready;  // the operator's wait before the press
    const char* shown;
    long result;
  } rows[] = {
      {"closes the device",
       [this] { EXPECT_EQ(Call(L"Close"), OPOS_SUCCESS); },
       [](CPOSPrinter* so) { return WaitUntil([&] { return so->GetState() == kClosed; }); },
       "101", OPOS_E_CLOSED},
      {"prints behind an error",
       [this] {
         EXPECT_EQ(SetNumber(kFreezeEvents, 1), OPOS_SUCCESS);
         EXPECT_EQ(PrintNormal(L"Behind\n"), OPOS_SUCCESS);
       },
       [](CPOSPrinter* so) {
         if (!WaitUntil([&] { return so->QueuedEventCount() == 1; })) return false;
         // The cover closes again, so the check itself could print; the output ahead of
         // it still waits for the answer to its error.
         TbxSim_SetCoverOpen(kPrinter, FALSE);
         return WaitUntil([&] { return so->Properties().CoverOpen == 0; });
       },
       "113", OPOS_E_BUSY},
  };
  for (const auto& row : rows) {
    ASSERT_NO_FATAL_FAILURE(Open(Sub::kPrennik));
    ASSERT_EQ(SetNumber(kAsyncMode, 1), OPOS_SUCCESS);
    std::atomic<bool> acted{false};
    co_.SetHandler(L"SOStatusUpdate", [&](const EventRecord& event, long*) {
      if (event.numbers != std::vector<long>{11} || acted) return;
      row.act();
      acted = true;
    });
    std::string shown;
    bool deadlocked = false;
    CPOSPrinter* so = so_;
    std::thread operatorThread([&] {
      HWND dialog = sotest::WaitForShown([] { return FindWindowA(nullptr, kDialogCaption); });
      if (!dialog) return;
      TbxSim_SetCoverOpen(kPrinter, TRUE);  // the handler runs in the dialog's loop
      if (WaitUntil([&] { return acted.load(); }) && row.ready(so)) sotest::Click(dialog, IDOK);
      DWORD_PTR ignored = 0;
      if (!SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, sotest::kDialogSafetyMs,
                               &ignored)) {
        deadlocked = true;
        so->ClaimObject()->SetEnabled(false);  // ends the send thread's wait
      }
      shown = sotest::ItemText(dialog, 18001);
      sotest::Click(dialog, IDCANCEL);
    });
    const long result = Call(L"CheckHealth", {Arg::Long(3)});
    operatorThread.join();
    co_.ClearHandlers();
    EXPECT_TRUE(acted) << row.handler;
    EXPECT_FALSE(deadlocked) << row.handler;
    EXPECT_EQ(shown, row.shown) << row.handler;
    EXPECT_EQ(result, row.result) << row.handler;
    EXPECT_EQ(TbxSimWritten(kPrinter).find("Interactive HCheck"), std::string::npos)
        << row.handler << ": nothing was printed";
    TbxSim_SetCoverOpen(kPrinter, FALSE);
    co_.SetErrorResponse(12);
    if (Prop(kState) != kClosed) (void)SetNumber(kFreezeEvents, 0);
    Drop();
    co_.ClearErrorResponse();
  }
}

// ---- open twice, destroyed elsewhere, closed after output ----------------------------

// Binding the sub-module again would free it while the worker threads call it.
TEST_F(CallbackHandler, OpenServiceOnAnOpenDeviceIsRefused) {
  ASSERT_NO_FATAL_FAILURE(Open(Sub::kRecording, "1"));
  auto count = [&](long exportId) {
    long n = 0;
    for (const RecSubCall& call : sub_.Calls()) n += call.exportId == exportId;
    return n;
  };
  const long slot = so_->Channel()->Slot();
  fakelog::Clear();
  EXPECT_EQ(Call(L"OpenService", {Arg::Text(L"POSPrinter"), Arg::Text(L"SoCallbackDevice"),
                                  Arg::Sink()}),
            OPOS_E_ILLEGAL);
  const auto refused = fakelog::LinesContaining(L"[Info    ] The device is open already.");
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0].category, 0x2u);
  EXPECT_EQ(count(RECSUB_INIT_SUBSO), 1);
  EXPECT_EQ(count(RECSUB_TERMINATE_SUBSO), 0);
  EXPECT_EQ(so_->Channel()->Slot(), slot);
  EXPECT_EQ(Prop(kState), kIdle);
  EXPECT_EQ(Prop(kClaimed), 1);
  EXPECT_EQ(Prop(kDeviceEnabled), 1);
  EXPECT_EQ(Call(L"GetOpenResult"), 0);
  // The receive thread still polls the slot it was given.
  const long polls = sub_.CallCount();
  ASSERT_TRUE(WaitUntil([&] { return sub_.CallCount() > polls + 2; }));
  EXPECT_EQ(sub_.Calls().back().slot, slot);
}

// The Control Object lets go of the object on another thread than the window's: the
// window is closed by its own thread later, and until then the module stays loaded.
TEST_F(CallbackHandler, AWindowClosingOnItsOwnThreadKeepsTheModuleLoaded) {
  ASSERT_NO_FATAL_FAILURE(Open(Sub::kRecording));
  const HWND window = so_->Window()->Handle();
  CPOSPrinter* so = so_;
  so->AddRef();  // the test's own, dropped below on this thread
  co_.ReleaseObject();
  so_ = nullptr;
  // The window's thread is held busy while the object goes on this one.
  ScopedHandle inside(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  ScopedHandle gate(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  std::thread holder([&] {
    co_.RunOnThread([&] {
      SetEvent(inside.get());
      WaitForSingleObject(gate.get(), INFINITE);
    });
  });
  WaitForSingleObject(inside.get(), INFINITE);
  so->Release();
  EXPECT_EQ(CPOSPrinterSOApp::ObjectCount(), 1) << "the window is still there";
  EXPECT_TRUE(IsWindow(window));
  EXPECT_FALSE(CPOSPrinterSOApp::CanUnloadNow());
  SetEvent(gate.get());
  holder.join();
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(window); }));
  EXPECT_TRUE(CPOSPrinterSOApp::CanUnloadNow());
}

// Close right after asynchronous output, before the application's thread has handled
// the idle notice (only it could set State idle): with nothing pending Close does not wait.
TEST_F(CallbackHandler, CloseAfterAsynchronousOutputDoesNotWaitForTheIdleNotice) {
  for (const char* completionTiming : {"0", "1"}) {
    ASSERT_NO_FATAL_FAILURE(Open(Sub::kPrennik, completionTiming));
    ASSERT_EQ(SetNumber(kAsyncMode, 1), OPOS_SUCCESS);
    long state = 0, closed = -1;
    bool drained = false;
    co_.RunOnThread([&] {
      ASSERT_EQ(PrintNormal(L"Last\n"), OPOS_SUCCESS);
      drained = WaitUntil([&] { return !so_->Channel()->HasPendingOutput(); });
      state = Prop(kState);
      fakelog::Clear();
      closed = Call(L"Close");
    });
    EXPECT_TRUE(drained) << completionTiming;
    EXPECT_EQ(state, kBusy) << completionTiming << ": the idle notice waits in the queue";
    EXPECT_EQ(closed, OPOS_SUCCESS) << completionTiming;
    EXPECT_FALSE(Logged(L"Wait for state idle")) << completionTiming;
    EXPECT_FALSE(Logged(L"State busy to idle")) << completionTiming;
    EXPECT_NE(TbxSimWritten(kPrinter).find("Last"), std::string::npos) << completionTiming;
  }
}

// ---- handlers inside Close's drain and the dialog, errors answered, an idle report ----

// Two events wait in the window when Close begins. The Control Object gives its reference
// back after every Close it passed down, so a handler inside Close that closed again would
// make it give that reference back twice. Once Close has begun nothing is fired: the handler
// that would close again or drop the object never runs, and the object goes once, when the
// last reference goes (the test's own, which tells a release too many from the right end).
TEST_F(CallbackHandler, AHandlerInsideClosesDrainEndsTheFiring) {
  const struct {
    const char* handler;
    bool close;
    bool release;
  } rows[] = {
      {"closes again", true, false},
      {"closes again and drops the object", true, true},
      {"drops the object", false, true},
  };
  for (const auto& row : rows) {
    ASSERT_NO_FATAL_FAILURE(Open(Sub::kRecording));
    CPOSPrinter* so = so_;
    so->AddRef();
    long inner = -1, outer = -1;
    co_.SetHandler(L"SOStatusUpdate", [&](const EventRecord&, long*) {
      if (row.close) inner = Call(L"Close");
      if (row.release) co_.ReleaseObject();
    });
    co_.RunOnThread([&] {
      so->DoQueueEvent(new CStatusUpdateEvent(11));
      so->DoQueueEvent(new CStatusUpdateEvent(12));
      // Both posted to the window, which only Close's drain pumps now.
      ASSERT_TRUE(WaitUntil([&] { return so->QueuedEventCount() == 0; }));
      fakelog::Clear();
      outer = Call(L"Close");
    });
    Flush();
    co_.ClearHandlers();
    EXPECT_EQ(outer, OPOS_SUCCESS) << row.handler;
    EXPECT_EQ(inner, -1) << row.handler << ": no handler ran inside Close";
    EXPECT_TRUE(Statuses().empty()) << row.handler;
    EXPECT_EQ(fakelog::LinesContaining(L"Event dropped.").size(), 2u) << row.handler;
    EXPECT_EQ(sub_.TakenSlots(), 0) << row.handler;
    co_.ReleaseObject();
    so_ = nullptr;
    const long alive = CPOSPrinterSOApp::ObjectCount();
    EXPECT_EQ(alive, 1) << row.handler << ": the test's reference still holds the object";
    if (alive == 1) so->Release();
    EXPECT_EQ(CPOSPrinterSOApp::ObjectCount(), 0) << row.handler;
  }
}

// The Control Object lets go of the object from a handler while the check-health dialog is
// up: the event that comes next is dropped, not fired into it.
TEST_F(CallbackHandler, AnEventAfterTheControlObjectLetGoDuringTheDialogIsDropped) {
  ASSERT_NO_FATAL_FAILURE(Open(Sub::kPrennik));
  ASSERT_NO_FATAL_FAILURE(ForgetEnablingReport());
  std::atomic<bool> released{false};
  co_.SetHandler(L"SOStatusUpdate", [&](const EventRecord& event, long*) {
    if (event.numbers != std::vector<long>{11}) return;
    co_.ReleaseObject();
    released = true;
  });
  fakelog::Clear();
  bool handled = false;
  std::thread operatorThread([&] {
    HWND dialog = sotest::WaitForShown([] { return FindWindowA(nullptr, kDialogCaption); });
    if (!dialog) return;
    TbxSim_SetCoverOpen(kPrinter, TRUE);
    if (WaitUntil([&] { return released.load(); })) {
      TbxSim_SetCoverOpen(kPrinter, FALSE);
      // Fired into the Control Object, or dropped.
      handled = WaitUntil([&] { return Statuses().size() > 1 || Logged(L"Event dropped."); });
    }
    sotest::Click(dialog, IDCANCEL);
  });
  (void)Call(L"CheckHealth", {Arg::Long(3)});
  operatorThread.join();
  co_.ClearHandlers();
  so_ = nullptr;
  EXPECT_TRUE(released);
  EXPECT_TRUE(handled);
  EXPECT_EQ(Statuses(), std::vector<long>{11});
  EXPECT_EQ(CPOSPrinterSOApp::ObjectCount(), 0);
}

// The application answers an output error and, in the same handler, disables (113) and
// releases, or closes, opens, claims and enables again: nothing is pending after that, so
// State reads idle and a synchronous print goes through.
TEST_F(CallbackHandler, AHandlerThatEndsTheOutputLeavesStateIdle) {
  const struct {
    const char* handler;
    std::function<void()> act;
    bool claimAgain;
  } rows[] = {
      {"disables (113) and releases",
       [this] {
         EXPECT_EQ(SetNumber(kDeviceEnabled, 0), OPOS_E_BUSY);
         EXPECT_EQ(Call(L"ReleaseDevice"), OPOS_SUCCESS);
       },
       true},
      {"closes, opens, claims and enables",
       [this] {
         EXPECT_EQ(Call(L"Close"), OPOS_SUCCESS);
         EXPECT_EQ(Call(L"OpenService", {Arg::Text(L"POSPrinter"),
                                         Arg::Text(L"SoCallbackDevice"), Arg::Sink()}),
                   OPOS_SUCCESS);
         EXPECT_EQ(Call(L"ClaimDevice", {Arg::Long(5000)}), OPOS_SUCCESS);
         EXPECT_EQ(SetNumber(kDeviceEnabled, 1), OPOS_SUCCESS);
       },
       false},
  };
  for (const auto& row : rows) {
    ASSERT_NO_FATAL_FAILURE(Open(Sub::kPrennik));
    ASSERT_NO_FATAL_FAILURE(OpenCover());
    ASSERT_EQ(SetNumber(kAsyncMode, 1), OPOS_SUCCESS);
    std::atomic<bool> acted{false};
    co_.SetHandler(L"SOError", [&](const EventRecord&, long* errorResponse) {
      TbxSim_SetCoverOpen(kPrinter, FALSE);
      row.act();
      *errorResponse = 12;
      acted = true;
    });
    ASSERT_EQ(PrintNormal(L"Refused\n"), OPOS_SUCCESS);
    ASSERT_TRUE(WaitUntil([&] { return acted.load(); })) << row.handler;
    Flush();
    co_.ClearHandlers();
    EXPECT_FALSE(so_->Channel()->HasPendingOutput()) << row.handler;
    EXPECT_EQ(Prop(kState), kIdle) << row.handler;
    if (row.claimAgain) {
      ASSERT_EQ(Call(L"ClaimDevice", {Arg::Long(5000)}), OPOS_SUCCESS) << row.handler;
      ASSERT_EQ(SetNumber(kDeviceEnabled, 1), OPOS_SUCCESS) << row.handler;
    }
    ASSERT_TRUE(WaitUntil([&] { return Prop(kCoverOpen) == 0; })) << row.handler;
    ASSERT_EQ(SetNumber(kAsyncMode, 0), OPOS_SUCCESS);
    EXPECT_EQ(PrintNormal(L"After\n"), OPOS_SUCCESS) << row.handler;
    EXPECT_NE(TbxSimWritten(kPrinter).find("After"), std::string::npos) << row.handler;
  }
}

// The handler of an output error releases and claims again, or closes and opens again, and
// prints a line before it answers clear. The clear is for the output that failed, which the
// release or Close already ended: the line printed afterwards reaches the printer and
// completes once. The send thread is held while the handler runs, so the line still waits
// in the queue when the answer comes.
TEST_F(CallbackHandler, OutputQueuedInTheErrorHandlerAfterItEndedTheOutputIsKept) {
  const struct {
    const char* handler;
    const char* completionTiming;
    std::function<void()> act;
  } forms[] = {
      {"disables (113), releases, claims and enables",
       "0",
       [this] {
         EXPECT_EQ(SetNumber(kDeviceEnabled, 0), OPOS_E_BUSY);
         EXPECT_EQ(Call(L"ReleaseDevice"), OPOS_SUCCESS);
         EXPECT_EQ(Call(L"ClaimDevice", {Arg::Long(5000)}), OPOS_SUCCESS);
         EXPECT_EQ(SetNumber(kDeviceEnabled, 1), OPOS_SUCCESS);
       }},
      {"closes, opens, claims and enables",
       "0",
       [this] {
         EXPECT_EQ(Call(L"Close"), OPOS_SUCCESS);
         EXPECT_EQ(Call(L"OpenService", {Arg::Text(L"POSPrinter"),
                                         Arg::Text(L"SoCallbackDevice"), Arg::Sink()}),
                   OPOS_SUCCESS);
         EXPECT_EQ(Call(L"ClaimDevice", {Arg::Long(5000)}), OPOS_SUCCESS);
         EXPECT_EQ(SetNumber(kDeviceEnabled, 1), OPOS_SUCCESS);
       }},
  };
  for (const auto& form : forms) {
    for (const char* completionTiming : {"0", "1"}) {
      const std::string name = std::string(form.handler) + ", mode " + completionTiming;
      ASSERT_NO_FATAL_FAILURE(Open(Sub::kPrennik, completionTiming));
      ASSERT_NO_FATAL_FAILURE(OpenCover());
      ASSERT_EQ(SetNumber(kAsyncMode, 1), OPOS_SUCCESS);
      long printed = -1, outputId = -1;
      std::atomic<bool> acted{false};
      co_.SetHandler(L"SOError", [&](const EventRecord&, long* errorResponse) {
        if (acted) return;
        TbxSim_SetCoverOpen(kPrinter, FALSE);
        form.act();
        EXPECT_TRUE(so_->Channel()->StopSendThread()) << name;
        printed = PrintNormal(L"From the handler\n");
        outputId = Prop(kOutputId);
        *errorResponse = 12;
        acted = true;
      });
      ASSERT_EQ(PrintNormal(L"Refused\n"), OPOS_SUCCESS) << name;
      ASSERT_TRUE(WaitUntil([&] { return acted.load(); })) << name;
      Flush();
      ASSERT_TRUE(so_->Channel()->StartSendThread()) << name;
      EXPECT_EQ(printed, OPOS_SUCCESS) << name;
      EXPECT_TRUE(WaitUntil([&] { return Completions(outputId) > 0; })) << name;
      ASSERT_TRUE(WaitUntil([&] { return Prop(kState) == kIdle; })) << name;
      FlushEvents();
      co_.ClearHandlers();
      EXPECT_EQ(Completions(outputId), 1u) << name;
      const std::string written = TbxSimWritten(kPrinter);
      const size_t line = written.find("From the handler");
      EXPECT_NE(line, std::string::npos) << name;
      EXPECT_EQ(written.find("From the handler", line + 1), std::string::npos) << name;
      EXPECT_EQ(written.find("Refused"), std::string::npos) << name;
    }
  }
}

// A write fails while the application's thread is busy: the error's event waits, unhandled,
// in the window. ClearOutput, a disable or a release end that output there and then: its wait
// is answered clear at once (looked at before the send thread could give up on its own), the
// event is never fired, the cleared line is not written again (a retry would have written
// it), the synchronous print that follows goes through and State is idle after it.
TEST_F(CallbackHandler, OutputEndedWhileItsErrorIsPostedRaisesNoErrorEvent) {
  const struct {
    const char* ends;
    std::function<void()> end;
    std::function<void()> resume;
  } rows[] = {
      {"ClearOutput", [this] { EXPECT_EQ(Call(L"ClearOutput"), OPOS_SUCCESS); }, [] {}},
      {"a disable (113) and a disable",
       [this] {
         EXPECT_EQ(SetNumber(kDeviceEnabled, 0), OPOS_E_BUSY);
         EXPECT_EQ(SetNumber(kDeviceEnabled, 0), OPOS_SUCCESS);
       },
       [this] { EXPECT_EQ(SetNumber(kDeviceEnabled, 1), OPOS_SUCCESS); }},
      {"a disable (113) and a release",
       [this] {
         EXPECT_EQ(SetNumber(kDeviceEnabled, 0), OPOS_E_BUSY);
         EXPECT_EQ(Call(L"ReleaseDevice"), OPOS_SUCCESS);
       },
       [this] {
         EXPECT_EQ(Call(L"ClaimDevice", {Arg::Long(5000)}), OPOS_SUCCESS);
         EXPECT_EQ(SetNumber(kDeviceEnabled, 1), OPOS_SUCCESS);
       }},
  };
  for (const auto& row : rows) {
    for (const char* completionTiming : {"0", "1"}) {
      const std::string name = std::string(row.ends) + ", mode " + completionTiming;
      ASSERT_NO_FATAL_FAILURE(Open(Sub::kPrennik, completionTiming));
      ASSERT_NO_FATAL_FAILURE(OpenCover());
      ASSERT_EQ(SetNumber(kAsyncMode, 1), OPOS_SUCCESS);
      long answer = -1, printed = -1;
      co_.RunOnThread([&] {
        ASSERT_EQ(PrintNormal(L"Cleared\n"), OPOS_SUCCESS);
        ASSERT_TRUE(WaitUntil([&] { return PostedError() != nullptr; })) << name;
        TbxSim_SetCoverOpen(kPrinter, FALSE);
        ASSERT_TRUE(WaitUntil([&] { return Prop(kCoverOpen) == 0; })) << name;
        row.end();
        // Still posted, not yet handled: answered by what ended the output.
        CErrorEvent* posted = PostedError();
        ASSERT_NE(posted, nullptr) << name;
        answer = posted->Waiter->Get();
        row.resume();
        ASSERT_EQ(SetNumber(kAsyncMode, 0), OPOS_SUCCESS);
        printed = PrintNormal(L"Next\n");
      });
      FlushEvents();
      EXPECT_EQ(answer, CErrorWaiter::kClear) << name;
      EXPECT_EQ(printed, OPOS_SUCCESS) << name;
      EXPECT_TRUE(Named(L"SOError").empty()) << name;
      EXPECT_EQ(Prop(kState), kIdle) << name;
      const std::string written = TbxSimWritten(kPrinter);
      EXPECT_EQ(written.find("Cleared"), std::string::npos) << name;
      const size_t next = written.find("Next");
      EXPECT_NE(next, std::string::npos) << name;
      EXPECT_EQ(written.find("Next", next + 1), std::string::npos) << name;
    }
  }
}

// The handler disables (113) and leaves the answer at retry: the output that failed is
// written again, held here inside its write, and State reads busy meanwhile.
TEST_F(CallbackHandler, AnOutputResentAfterADisableAnswered113KeepsStateBusy) {
  for (const char* completionTiming : {"0", "1"}) {
    ASSERT_NO_FATAL_FAILURE(Open(Sub::kPrennik, completionTiming));
    ASSERT_NO_FATAL_FAILURE(OpenCover());
    ASSERT_EQ(SetNumber(kAsyncMode, 1), OPOS_SUCCESS);
    long disabled = -1;
    co_.SetHandler(L"SOError", [&](const EventRecord&, long*) {
      TbxSim_SetCoverOpen(kPrinter, FALSE);
      TbxSim_HoldWrites(kPrinter, 0);
      disabled = SetNumber(kDeviceEnabled, 0);
    });
    ASSERT_EQ(PrintNormal(L"Resent\n"), OPOS_SUCCESS);
    const bool held = WaitUntil([&] { return TbxSim_GetWaitingWrites(kPrinter) == 1; });
    const long state = Prop(kState);
    TbxSim_HoldWrites(kPrinter, -1);
    ASSERT_TRUE(held) << completionTiming << ": the resend";
    EXPECT_EQ(disabled, OPOS_E_BUSY) << completionTiming;
    EXPECT_EQ(state, kBusy) << completionTiming;
    ASSERT_TRUE(WaitUntil([&] { return !Named(L"SOOutputComplete").empty(); })) << completionTiming;
    ASSERT_TRUE(WaitUntil([&] { return Prop(kState) == kIdle; })) << completionTiming;
    co_.ClearHandlers();
  }
}

// The handler of the last OutputCompleteEvent disables and releases, as an application that
// is done does: the window fires that completion with nothing pending, in either mode.
TEST_F(CallbackHandler, TheLastCompletionsHandlerDisablesAndReleases) {
  for (const char* completionTiming : {"0", "1"}) {
    ASSERT_NO_FATAL_FAILURE(Open(Sub::kPrennik, completionTiming));
    ASSERT_EQ(SetNumber(kAsyncMode, 1), OPOS_SUCCESS);
    long lastId = -1, disabled = -1, released = -1;
    co_.SetHandler(L"SOOutputComplete", [&](const EventRecord& event, long*) {
      if (event.numbers.at(0) != lastId) return;
      disabled = SetNumber(kDeviceEnabled, 0);
      released = Call(L"ReleaseDevice");
    });
    co_.RunOnThread([&] {
      ASSERT_EQ(PrintNormal(L"First\n"), OPOS_SUCCESS);
      ASSERT_EQ(PrintNormal(L"Last\n"), OPOS_SUCCESS);
      lastId = Prop(kOutputId);
      // Each message to the window is handled as soon as it is posted (bounded).
      const HWND window = so_->Window()->Handle();
      for (int wakes = 0; wakes < 30000 && released == -1; ++wakes) {
        (void)MsgWaitForMultipleObjects(0, nullptr, FALSE, /*ms=*/10, QS_POSTMESSAGE);
        MSG message;
        while (released == -1 && PeekMessageA(&message, window, 0, 0, PM_REMOVE))
          DispatchMessageA(&message);
      }
    });
    Flush();
    co_.ClearHandlers();
    EXPECT_EQ(disabled, OPOS_SUCCESS) << completionTiming;
    EXPECT_EQ(released, OPOS_SUCCESS) << completionTiming;
  }
}

// A disable that answered 113 set State idle while the output still waits for its error's
// answer: FlagWhenIdle reports idle once that output has ended, not at once.
TEST_F(CallbackHandler, FlagWhenIdleAfterADisableAnswered113WaitsForTheOutput) {
  ASSERT_NO_FATAL_FAILURE(Open(Sub::kPrennik));
  ASSERT_NO_FATAL_FAILURE(OpenCover());
  ASSERT_EQ(SetNumber(kFreezeEvents, 1), OPOS_SUCCESS);
  ASSERT_EQ(SetNumber(kAsyncMode, 1), OPOS_SUCCESS);
  ASSERT_EQ(PrintNormal(L"Pending\n"), OPOS_SUCCESS);
  ASSERT_TRUE(WaitUntil([&] { return so_->QueuedEventCount() == 1; })) << "error queued";
  ASSERT_EQ(SetNumber(kDeviceEnabled, 0), OPOS_E_BUSY);
  ASSERT_EQ(Prop(kState), kIdle);
  EXPECT_EQ(SetNumber(kFlagWhenIdle, 1), OPOS_SUCCESS);
  EXPECT_EQ(so_->QueuedEventCount(), 1u) << "no idle report behind the error";
  EXPECT_EQ(Prop(kFlagWhenIdle), 1);
  co_.SetHandler(L"SOError", [&](const EventRecord&, long* errorResponse) {
    TbxSim_SetCoverOpen(kPrinter, FALSE);
    *errorResponse = 12;
  });
  ASSERT_EQ(SetNumber(kFreezeEvents, 0), OPOS_SUCCESS);
  ASSERT_TRUE(WaitUntil([&] { return Fired(1001); })) << "the idle report";
  Flush();
  co_.ClearHandlers();
  std::vector<std::wstring> order;
  for (const EventRecord& event : co_.Events())
    if (event.name == L"SOError" || event.numbers == std::vector<long>{1001})
      order.push_back(event.name);
  EXPECT_EQ(order, (std::vector<std::wstring>{L"SOError", L"SOStatusUpdate"}));
  EXPECT_FALSE(so_->Channel()->HasPendingOutput());
  EXPECT_EQ(Prop(kFlagWhenIdle), 0);
}

// The window's thread ended before the object goes on another thread: the window went with
// its thread, and the module can unload.
TEST_F(CallbackHandler, AnObjectWhoseWindowsThreadEndedLetsTheModuleUnload) {
  ASSERT_NO_FATAL_FAILURE(WriteKey(Sub::kRecording));
  CPOSPrinter* so = sotest::NewServiceObject();
  ASSERT_NE(so, nullptr);
  long opened = -1;
  HWND window = nullptr;
  std::thread([&] {
    sotest::Bstr deviceClass("POSPrinter"), deviceName(kDevice);
    opened = so->OpenService(deviceClass, deviceName, co_.Sink());
    if (so->Window()) window = so->Window()->Handle();
  }).join();
  EXPECT_EQ(opened, OPOS_SUCCESS);
  EXPECT_NE(window, nullptr);
  EXPECT_FALSE(IsWindow(window)) << "gone with its thread";
  so->Release();
  EXPECT_EQ(CPOSPrinterSOApp::ObjectCount(), 0);
  EXPECT_TRUE(CPOSPrinterSOApp::CanUnloadNow());
  WNDCLASSA windowClass;
  EXPECT_FALSE(GetClassInfoA(CPOSPrinterSOApp::Module(), "KVRCORE_CRJDevice", &windowClass))
      << "the window class is unregistered";
  EXPECT_EQ(sub_.TakenSlots(), 0);
}

}  // namespace
