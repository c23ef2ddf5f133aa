// The event queue and thread: events raised on any thread reach the Control Object on its
// own thread, in order, with their arguments, and never while events are frozen.
#include "DeviceClaim.h"
#include "EventTestFixture.h"
#include "PrinterSubRecords.h"

namespace {

using costandin::EventRecord;

TEST_F(EventFixture, QueuedEventsReachTheSinkInOrderOnTheControlObjectThread) {
  ASSERT_TRUE(so_->ClaimObject()->Register(so_, "EvtTestDeliveryPrinter", 99, 7, 203));
  ASSERT_TRUE(so_->ClaimObject()->Lock(0, so_));
  ASSERT_TRUE(so_->StartEventThread());

  long data = 42;
  wchar_t text[] = L"drawer";
  wchar_t* textAddress = text;
  PrnDirectIOEventRecord record = {7, &data, &textAddress};
  so_->ClaimObject()->QueueDirectIOEvent(&record);
  so_->DoQueueEvent(new COutputCompleteEvent(5));
  so_->DoQueueEvent(new CStatusUpdateEvent(2001));
  so_->DoQueueEvent(new COutputCompleteEvent(6));

  ASSERT_TRUE(co_.WaitForEvents(4, 10000));
  const std::vector<EventRecord> events = co_.Events();
  ASSERT_EQ(Names(events), (std::vector<std::wstring>{L"SODirectIO", L"SOOutputComplete",
                                                      L"SOStatusUpdate", L"SOOutputComplete"}));
  EXPECT_EQ(events[0].numbers, (std::vector<long>{7, 42}));
  EXPECT_EQ(events[0].text, L"drawer");
  EXPECT_EQ(events[1].numbers, std::vector<long>{5});
  EXPECT_EQ(events[2].numbers, std::vector<long>{2001});
  EXPECT_EQ(events[3].numbers, std::vector<long>{6});
  for (const EventRecord& event : events) EXPECT_EQ(event.threadId, co_.ThreadId());
  so_->ClaimObject()->Unlock(so_);
  so_->ClaimObject()->Unregister(so_);
}

// Rows: which freeze holds the events and how it is cleared.
struct FreezeRow {
  const char* name;
  std::function<void(CPOSPrinter*, long)> setFreeze;
};

TEST_F(EventFixture, FrozenEventsStayQueuedAndGoOutOldestFirstWhenTheFreezeClears) {
  const FreezeRow rows[] = {
      {"FreezeEvents",
       [](CPOSPrinter* so, long on) { so->SetPropertyNumber(/*FreezeEvents*/ 4, on); }},
      // Clearing COFreezeEvents delivers at once, not only with the next event queued.
      {"COFreezeEvents", [](CPOSPrinter* so, long on) { (void)so->COFreezeEvents(on); }},
  };
  fakelog::Clear();
  ASSERT_TRUE(so_->StartEventThread());
  ASSERT_TRUE(WaitForLog({L"Wait for event notification."}));
  for (const FreezeRow& row : rows) {
    SCOPED_TRACE(row.name);
    co_.ClearEvents();
    row.setFreeze(so_, 1);
    fakelog::Clear();
    so_->DoQueueEvent(new COutputCompleteEvent(1));
    so_->DoQueueEvent(new CStatusUpdateEvent(1001));
    so_->DoQueueEvent(new COutputCompleteEvent(2));
    ASSERT_TRUE(WaitForIdleThread());
    Flush();
    EXPECT_TRUE(co_.Events().empty());
    EXPECT_EQ(so_->QueuedEventCount(), 3u);

    row.setFreeze(so_, 0);
    ASSERT_TRUE(co_.WaitForEvents(3, 10000));
    const std::vector<EventRecord> events = co_.Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].numbers, std::vector<long>{1});
    EXPECT_EQ(events[1].name, L"SOStatusUpdate");
    EXPECT_EQ(events[2].numbers, std::vector<long>{2});
    ASSERT_TRUE(WaitForLog({L"Fire event postmessage to CO.", L"Wait for event notification."}));
  }
}

TEST_F(EventFixture, EventsQueuedBeforeTheThreadStartsWaitForIt) {
  so_->DoQueueEvent(new COutputCompleteEvent(9));
  Flush();
  EXPECT_TRUE(co_.Events().empty());
  ASSERT_TRUE(so_->StartEventThread());
  ASSERT_TRUE(co_.WaitForEvents(1, 10000));
  EXPECT_EQ(co_.Events()[0].numbers, std::vector<long>{9});
}

TEST_F(EventFixture, EndingTheThreadLogsAndAPurgeDeletesWhatIsLeft) {
  ASSERT_TRUE(so_->StartEventThread());
  fakelog::Clear();
  so_->EndEventThread();
  EXPECT_EQ(fakelog::LinesContaining(L"Wait for thread termination.").size(), 1u);
  EXPECT_EQ(fakelog::LinesContaining(L"Thread exited.").size(), 1u);
  so_->DoQueueEvent(new CStatusUpdateEvent(11));
  so_->DoQueueEvent(new CStatusUpdateEvent(12));
  EXPECT_EQ(so_->PurgeEvents(), 2u);
  EXPECT_EQ(fakelog::LinesContaining(L"Delete event queue data...").size(), 1u);
  EXPECT_EQ(COPOSEvent::LiveCount(), 0);
}

}  // namespace
