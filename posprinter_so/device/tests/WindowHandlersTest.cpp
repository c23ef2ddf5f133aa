// The hidden window: its messages handled on the Control Object's thread, the error query
// with the Control Object's ErrorResponse, status filtering and the window's own life.
#include <thread>

#include "CommDevice.h"
#include "DeviceClaim.h"
#include "EventTestFixture.h"
#include "PrinterSubRecords.h"

namespace {

using costandin::EventRecord;

TEST_F(EventFixture, RegisteredMessagesCarryTheirNames) {
  const struct {
    UINT id;
    const char* name;
  } rows[] = {
      {CheckHealthQuitMessage(), "SG_POSPrinterCheckHealthQuit20081001"},
      {WhenIdleMessage(), "POSPrinterCoreWhenIdle20100314"},
      {COFireEventNotifyMessage(), "POSPrinterCoreCOFireEventNotify20100314"},
      {QueryRetryMessage(), "POSPrinterCoreQueryRetry20100314"},
      {DataSendCompleteMessage(), "POSPrinterCoreDataSendComplete20100314"},
  };
  for (const auto& row : rows) {
    EXPECT_NE(row.id, 0u) << row.name;
    EXPECT_EQ(row.id, RegisterWindowMessageA(row.name)) << row.name;
  }
  char text[64] = {};
  GetWindowTextA(Window(), text, sizeof(text));
  EXPECT_STREQ(text, "POSPrinter:CRJDevice:KVRCORE:20100314");
  EXPECT_EQ(GetWindowThreadProcessId(Window(), nullptr), co_.ThreadId());
  EXPECT_FALSE(IsWindowVisible(Window()));
}

TEST_F(EventFixture, DataSendCompleteClearsTheErrorPropertiesAndCompletesTheOutput) {
  ASSERT_TRUE(so_->StartEventThread());
  so_->DoQueueEvent(new CErrorEventExt(114, 203, 1, 11, nullptr, 2, 2, "Paper empty"));
  ASSERT_TRUE(co_.WaitForEvents(1, 10000));
  EXPECT_EQ(so_->Properties().ErrorStation, 2);
  EXPECT_EQ(so_->Properties().ErrorString, "Paper empty");
  EXPECT_EQ(so_->GetState(), 4);

  Post(DataSendCompleteMessage(), 0, 77);
  ASSERT_TRUE(co_.WaitForEvents(2, 10000));
  const EventRecord done = co_.Events()[1];
  EXPECT_EQ(done.name, L"SOOutputComplete");
  EXPECT_EQ(done.numbers, std::vector<long>{77});
  EXPECT_EQ(so_->Properties().ErrorLevel, 1);
  EXPECT_EQ(so_->Properties().ErrorStation, 0);
  EXPECT_EQ(so_->Properties().ErrorString, "");
}

TEST_F(EventFixture, OnlyTheFirstWhenIdleAfterFlagWhenIdleReportsIdle) {
  ASSERT_TRUE(so_->StartEventThread());
  so_->SetPropertyNumber(/*FlagWhenIdle*/ 8005, 1);  // not enabled: kept
  so_->SetState(3);
  Post(WhenIdleMessage(), 0, 0);
  Post(WhenIdleMessage(), 0, 0);
  Post(DataSendCompleteMessage(), 0, 3);
  ASSERT_TRUE(co_.WaitForEvents(2, 10000));
  Flush();
  const std::vector<EventRecord> events = co_.Events();
  ASSERT_EQ(Names(events), (std::vector<std::wstring>{L"SOStatusUpdate", L"SOOutputComplete"}));
  EXPECT_EQ(events[0].numbers, std::vector<long>{1001});
  EXPECT_EQ(so_->GetState(), 2);
  EXPECT_EQ(so_->Properties().FlagWhenIdle, 0);
}

TEST_F(EventFixture, FlagWhenIdleWrittenWhileEnabledAndIdleReportsAtOnce) {
  ASSERT_TRUE(so_->StartEventThread());
  so_->MutableProperties().DeviceEnabled = 1;
  so_->SetState(2);
  so_->SetPropertyNumber(/*FlagWhenIdle*/ 8005, 1);
  ASSERT_TRUE(co_.WaitForEvents(1, 10000));
  EXPECT_EQ(co_.Events()[0].name, L"SOStatusUpdate");
  EXPECT_EQ(co_.Events()[0].numbers, std::vector<long>{1001});
  so_->MutableProperties().DeviceEnabled = 0;
}

// Rows: the Control Object's answer to SOError and what the waiting send path is told.
TEST_F(EventFixture, ErrorQueryReturnsTheControlObjectsAnswer) {
  const struct {
    const char* name;
    bool enabled;
    bool answers;
    long response;
    bool retry;
  } rows[] = {
      {"unchanged 11 retries", true, false, 0, true},
      {"12 clears", true, true, 12, false},
      {"11 retries", true, true, 11, true},
      {"another value retries", true, true, 13, true},
      {"disabled: no event, cleared", false, false, 0, false},
  };
  ASSERT_TRUE(so_->StartEventThread());
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    co_.ClearEvents();
    if (row.answers) {
      co_.SetErrorResponse(row.response);
    } else {
      co_.ClearErrorResponse();
    }
    so_->ClaimObject()->SetEnabled(row.enabled);
    so_->SetState(3);
    const bool retry =
        so_->ClaimObject()->PostErrorAndWait(2, 2, "Cover open", 114, 201, Window());
    EXPECT_EQ(retry, row.retry);
    Flush();
    const std::vector<EventRecord> events = co_.Events();
    if (!row.enabled) {
      EXPECT_TRUE(events.empty());
      continue;
    }
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].name, L"SOError");
    // ErrorLocus 1 (output), ErrorResponse preset 11 (retry).
    EXPECT_EQ(events[0].numbers, (std::vector<long>{114, 201, 1, 11}));
    EXPECT_EQ(events[0].threadId, co_.ThreadId());
    EXPECT_EQ(so_->GetState(), 3) << "answered: busy again";
    EXPECT_EQ(so_->Properties().ErrorLevel, 2);
    EXPECT_EQ(so_->Properties().ErrorString, "Cover open");
  }
  co_.ClearErrorResponse();
}

// The waiter gives up when the device is disabled, and the queued error event goes with
// it: the application never sees an ErrorEvent for output it can no longer answer.
TEST_F(EventFixture, ErrorQueryEndsWhenTheDeviceIsDisabledAndNoStaleEventFires) {
  ASSERT_TRUE(so_->StartEventThread());
  so_->SetPropertyNumber(/*FreezeEvents*/ 4, 1);
  so_->ClaimObject()->SetEnabled(true);
  bool retry = true;
  std::thread sender([&] {
    retry = so_->ClaimObject()->PostErrorAndWait(2, 2, "Cover open", 114, 201, Window());
  });
  for (int i = 0; i < 5000 && so_->QueuedEventCount() == 0; ++i) Sleep(1);
  ASSERT_EQ(so_->QueuedEventCount(), 1u) << "the window queued the error event";
  so_->ClaimObject()->SetEnabled(false);
  EXPECT_TRUE(so_->ReleaseErrorWaiters());
  sender.join();
  EXPECT_FALSE(retry);
  EXPECT_EQ(so_->QueuedEventCount(), 0u) << "the answered error event left the queue";

  // A later event still goes out, and nothing stale goes with it.
  so_->DoQueueEvent(new CStatusUpdateEvent(2001));
  so_->SetPropertyNumber(/*FreezeEvents*/ 4, 0);
  ASSERT_TRUE(co_.WaitForEvents(1, 10000));
  Flush();
  EXPECT_EQ(Names(co_.Events()), std::vector<std::wstring>{L"SOStatusUpdate"});
}

// An error event already posted to the window when the device is disabled is dropped
// there, unfired.
TEST_F(EventFixture, AnErrorPostedBeforeTheDisableIsNotFired) {
  auto waiter = std::make_shared<CErrorWaiter>();
  so_->ClaimObject()->SetEnabled(false);
  Post(COFireEventNotifyMessage(),
       reinterpret_cast<WPARAM>(new CErrorEventExt(114, 201, 1, 11, waiter, 2, 2, "Cover open")),
       0);
  Flush();
  EXPECT_TRUE(co_.Events().empty());
  EXPECT_EQ(waiter->Get(), CErrorWaiter::kNone);
}

TEST_F(EventFixture, PurgeEventQueueKeepsOnlyErrorsThatAreNotOutputErrors) {
  auto output = std::make_shared<CErrorWaiter>();
  so_->DoQueueEvent(new COutputCompleteEvent(1));
  so_->DoQueueEvent(new CErrorEventExt(114, 201, /*locus=*/1, 11, output, 2, 2, "Cover open"));
  so_->DoQueueEvent(new CErrorEventExt(111, 0, /*locus=*/2, 11, nullptr, 0, 2, "Input"));
  so_->DoQueueEvent(new CStatusUpdateEvent(11));
  EXPECT_TRUE(so_->PurgeEventQueue());
  EXPECT_EQ(output->Get(), CErrorWaiter::kClear);
  EXPECT_EQ(so_->QueuedEventCount(), 1u);
  EXPECT_FALSE(so_->PurgeEventQueue()) << "no output error left";
  EXPECT_EQ(so_->QueuedEventCount(), 1u);
  CPOSPrinter::DeleteEvent(new CStatusUpdateEvent(1));  // LiveCount in TearDown checks it
}

TEST_F(EventFixture, StatusCodesFollowTheCapabilitiesAndPowerNotify) {
  const struct {
    bool withRecord;
    long code;
    long reportable;
  } rows[] = {
      {false, 11, 1},    // CapCoverSensor is 1
      {false, 12, 1},
      {false, 21, 0},    // CapJrnEmptySensor is 0
      {false, 22, 0},
      {false, 25, 0},    // CapRecNearEndSensor is 0
      {false, 2004, 0},  // PowerNotify is 0
      {false, 1234, 1},  // not filtered
      {true, 11, 0},     // not claimed
  };
  PrnStatusRecord record = {};
  for (const auto& row : rows) {
    EXPECT_EQ(so_->Window()->IsStatusReportable(row.withRecord ? &record : nullptr, row.code),
              row.reportable)
        << row.code;
  }
  so_->Window()->SetSettingsChanged(0);
  EXPECT_EQ(so_->Window()->IsStatusReportable(nullptr, 2001), 0);
  EXPECT_EQ(so_->Window()->SettingsChanged(), 1) << "power on marks the settings changed";
}

TEST_F(EventFixture, DestroyingTheWindowFiresWhatWasPostedToIt) {
  const HWND hwnd = Window();
  co_.RunOnThread([&] {
    PostMessageA(hwnd, COFireEventNotifyMessage(),
                 reinterpret_cast<WPARAM>(new COutputCompleteEvent(31)), 0);
    so_->DestroyHiddenWindow();
  });
  EXPECT_FALSE(IsWindow(hwnd));
  const std::vector<EventRecord> events = co_.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].numbers, std::vector<long>{31});
  EXPECT_EQ(COPOSEvent::LiveCount(), 0);
}

// From a thread other than its own the window is only detached and closed by its thread:
// what was posted to it is deleted there, unfired.
TEST_F(EventFixture, DestroyingTheWindowFromAnotherThreadLeaksNothing) {
  const HWND hwnd = Window();
  // The window's thread is held busy so that nothing posted is handled before the detach.
  HANDLE inside = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE gate = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread holder([&] {
    co_.RunOnThread([&] {
      SetEvent(inside);
      WaitForSingleObject(gate, INFINITE);
    });
  });
  WaitForSingleObject(inside, INFINITE);
  Post(COFireEventNotifyMessage(),
       reinterpret_cast<WPARAM>(new COutputCompleteEvent(32)), 0);
  so_->DestroyHiddenWindow();
  SetEvent(gate);
  holder.join();
  CloseHandle(inside);
  CloseHandle(gate);
  Flush();
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_TRUE(co_.Events().empty());
  EXPECT_EQ(COPOSEvent::LiveCount(), 0);
}

// No worker thread runs (the device is not claimed): a synchronous send is answered
// failure at once instead of waiting for good.
TEST_F(EventFixture, SendAndWaitHandsOverAndNeverWaitsForAGoneSendThread) {
  long result = 0, extended = -5;
  long returned = so_->Window()->SendAndWait(new PrnInputProperty{}, new PrnStationState{},
                                             nullptr, /*asynchronous=*/false,
                                             /*queue=*/2, &result, &extended);
  EXPECT_EQ(returned, 111);
  EXPECT_EQ(result, 111);
  EXPECT_EQ(extended, 0);

  so_->Channel()->ResetOutputID();  // as OpenService does
  returned = so_->Window()->SendAndWait(new PrnInputProperty{}, new PrnStationState{}, nullptr,
                                        /*asynchronous=*/true, /*queue=*/2, &result, &extended);
  EXPECT_EQ(returned, 0);
  EXPECT_EQ(result, 1) << "the first asynchronous OutputID";
  EXPECT_EQ(extended, 0);
  EXPECT_EQ(so_->Channel()->QueuedCount(2), 1u);
}

}  // namespace
