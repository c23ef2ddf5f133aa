// Status words from the SDK's callback through the slot's queue into drawer and power state
// and the core's events; callbacks that arrive when no instance holds the slot.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DrawerRegistry.h"
#include "ScopedHandle.h"
#include "StatusTables.h"
#include "StdcallProbe.h"
#include "SubSO.h"

namespace {

using tollek::CStatusTables;
using tollek::CSubSO;

std::vector<long> g_events;

long SUBAPI_CALL RecordEvent(DrwStateWords*, long code, long) {
  g_events.push_back(code);
  return 0;
}

// The SDK calls the slot's thunk with one word, stdcall.
long Deliver(long slot, DWORD word) {
  const long args[] = {long(word)};
  const drwtest::ProbeResult r =
      drwtest::CallAndMeasureStack(reinterpret_cast<const void*>(CStatusTables::Thunk(slot)),
                                   args, 1);
  EXPECT_EQ(0, r.stackBytesLeft) << "thunk of slot " << slot;
  return r.result;
}

struct StatusRow {
  const char* why;
  bool invert;
  std::vector<DWORD> words;
  std::vector<std::vector<long>> events;  // per word
  DrwStateWords final;
};

TEST(DrawerStatusTest, WordsBecomeStateAndEvents) {
  const StatusRow rows[] = {
      {"closed then offline", false, {0x8000, 0x0}, {{2001, 0}, {2004}}, {2004, 0, 1}},
      {"offline first: nothing raised", false, {0x80000000}, {{}}, {2004, -1, 0}},
      {"same word twice", false, {0x8100, 0x8100}, {{2001, 0}, {}}, {2001, 0, 1}},
      {"open, closed, back online after offline", false, {0x0100, 0x8100, 0x80000000, 0x8100},
       {{2001, 1}, {0}, {2004}, {2001}}, {2001, 0, 1}},
      {"inverted sensor", true, {0x1, 0x8001}, {{2001, 0}, {1}}, {2001, 1, 1}},
  };
  const std::string device = "DrwCoreStatus";
  for (const StatusRow& row : rows) {
    SCOPED_TRACE(row.why);
    ASSERT_EQ(row.words.size(), row.events.size());
    drwtest::WriteDevice(device, {{"InvertDrawerStatus", row.invert ? "T" : "F"}});
    CSubSO instance(5);
    DrwInitRecord init{};
    ASSERT_EQ(0, instance.initSubSODet(device.c_str(), 1014000, &init));
    instance.setEventFunction(&RecordEvent, nullptr, 0);
    for (size_t i = 0; i < row.words.size(); ++i) {
      EXPECT_EQ(0, Deliver(5, row.words[i]));
      g_events.clear();
      DrwStateWords record{-9, -9, -9};
      EXPECT_EQ(0, instance.processStatus(&record));
      EXPECT_EQ(row.events[i], g_events) << "word " << i;
      EXPECT_EQ(instance.state().powerState, record.powerState);
      EXPECT_EQ(instance.state().drawerOpened, record.drawerOpened);
    }
    EXPECT_EQ(row.final.powerState, instance.state().powerState);
    EXPECT_EQ(row.final.drawerOpened, instance.state().drawerOpened);
    EXPECT_EQ(row.final.statusSeen, instance.state().statusSeen);
    DrwStateWords untouched{-9, -9, -9};
    EXPECT_EQ(0, instance.processStatus(&untouched)) << "empty queue";
    EXPECT_EQ(-9, untouched.powerState);
    for (char* text : {init.description, init.deviceDescription, init.shortDescription})
      (void)CSubSO::releaseBuffer(text);
  }
  drwtest::DeleteDevice(device);
}

TEST(DrawerStatusTest, EveryThunkQueuesForItsOwnSlotAndSignalsTheCoreEvent) {
  ScopedHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  HANDLE eventWord = event.get();
  for (long slot = 0; slot < DRW_SLOT_COUNT; ++slot) {
    SCOPED_TRACE(slot);
    CSubSO instance(slot);
    ResetEvent(event.get());
    EXPECT_EQ(0, Deliver(slot, 0x8100)) << "no event registered yet: queued only";
    EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForSingleObject(event.get(), 0));
    EXPECT_EQ(0, instance.setStatusEventHandle(&eventWord));
    EXPECT_EQ(0, Deliver(slot, 0x0100));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(event.get(), 0));
    DWORD word = 0;
    ASSERT_TRUE(CStatusTables::Instance().Take(slot, &word));
    EXPECT_EQ(0x8100u, word) << "first in, first out";
    ASSERT_TRUE(CStatusTables::Instance().Take(slot, &word));
    EXPECT_EQ(0x0100u, word);
  }
}

// A status the SDK delivers after the slot's instance ended is dropped: it neither reaches
// the next instance of the slot nor signals an event that belonged to the old one.
TEST(DrawerStatusTest, CallbackAfterTheInstanceEndedIsDropped) {
  ScopedHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  HANDLE eventWord = event.get();
  {
    CSubSO instance(9);
    (void)instance.setStatusEventHandle(&eventWord);
  }
  EXPECT_EQ(0, Deliver(9, 0x8100));
  EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForSingleObject(event.get(), 0));
  CSubSO next(9);
  DWORD word = 0;
  EXPECT_FALSE(CStatusTables::Instance().Take(9, &word));
  EXPECT_EQ(nullptr, CStatusTables::Thunk(16));
  EXPECT_EQ(0, tollek::postCallbackStatus(-1, 0x8100));
}

}  // namespace
