// The instance's lifetime against the calls inside it, through the exports' own code: a
// WaitForDrawerClose woken by terminateSubSO may run late (software emulation, a busy
// machine); the instance must outlive it however late it runs.
#include <gtest/gtest.h>

#include <string>

#include "DrawerRegistry.h"
#include "Exports.h"
#include "ScopedHandle.h"
#include "SubSO.h"

namespace {

using tollek::CSubSO;

constexpr DWORD kSafetyMs = 60000;

// The waiter's result record lies on a page it may not touch yet: its first write parks the
// waiter in this handler, after it has woken and before it logs its result and leaves.
struct ParkedResult {
  BYTE* page = nullptr;
  ScopedHandle reached{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  ScopedHandle release{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
};
ParkedResult* g_parked = nullptr;

LONG CALLBACK ParkOnResult(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD* r = info->ExceptionRecord;
  if (!g_parked || r->ExceptionCode != EXCEPTION_ACCESS_VIOLATION || r->NumberParameters < 2)
    return EXCEPTION_CONTINUE_SEARCH;
  const BYTE* address = reinterpret_cast<const BYTE*>(r->ExceptionInformation[1]);
  if (address < g_parked->page || address >= g_parked->page + 4096)
    return EXCEPTION_CONTINUE_SEARCH;
  SetEvent(g_parked->reached.get());
  WaitForSingleObject(g_parked->release.get(), kSafetyMs);
  DWORD old = 0;
  VirtualProtect(g_parked->page, 4096, PAGE_READWRITE, &old);
  return EXCEPTION_CONTINUE_EXECUTION;
}

struct WaitCall {
  long slot;
  DrwStateRecord state{};
  DrwResultRecord* result;
  long answer = 0;
};

DWORD WINAPI WaitForDrawerCloseThread(void* context) {
  auto* call = static_cast<WaitCall*>(context);
  long block[6] = {reinterpret_cast<long>(&call->state), 0, 0, 0, 0,
                   reinterpret_cast<long>(call->result)};
  call->answer = executeMethod(DRW_METHOD_WAIT_FOR_DRAWER_CLOSE, block, call->slot);
  return 0;
}

TEST(DrawerLifetimeTest, ALateWaiterOutlivesTerminate) {
  const std::string device = "DrwCoreLifetime";
  drwtest::WriteDevice(device, {{"DriverName", device}});
  const long before = CSubSO::LiveInstances();
  DrwInitRecord init{};
  long slot = -1;
  ASSERT_EQ(0, initSubSO(device.c_str(), 1014000, &init, &slot));

  ParkedResult parked;
  parked.page = static_cast<BYTE*>(VirtualAlloc(nullptr, 4096, MEM_COMMIT, PAGE_NOACCESS));
  ASSERT_NE(parked.page, nullptr);
  g_parked = &parked;
  void* handler = AddVectoredExceptionHandler(1, ParkOnResult);
  ASSERT_NE(handler, nullptr);

  // Never activated: the wait ends at once with 111 and parks on writing it.
  WaitCall call{slot, {}, reinterpret_cast<DrwResultRecord*>(parked.page)};
  ScopedHandle waiter(CreateThread(nullptr, 0, WaitForDrawerCloseThread, &call, 0, nullptr));
  ASSERT_TRUE(waiter.valid());
  ASSERT_EQ(WaitForSingleObject(parked.reached.get(), kSafetyMs), WAIT_OBJECT_0);

  // The slot is given back at once, and a new instance may take it; the parked waiter's
  // instance lives on.
  EXPECT_EQ(0, terminateSubSO(slot));
  EXPECT_EQ(CSubSO::LiveInstances(), before + 1);
  EXPECT_EQ(-1, connectPrinter(slot)) << "the slot is free";

  SetEvent(parked.release.get());
  ASSERT_EQ(WaitForSingleObject(waiter.get(), kSafetyMs), WAIT_OBJECT_0);
  EXPECT_EQ(call.answer, 111);
  EXPECT_EQ(call.result->resultCode, 111);
  EXPECT_EQ(CSubSO::LiveInstances(), before) << "the last reference took it";

  RemoveVectoredExceptionHandler(handler);
  g_parked = nullptr;
  VirtualFree(parked.page, 0, MEM_RELEASE);
  for (void* text : {static_cast<void*>(init.description),
                     static_cast<void*>(init.deviceDescription),
                     static_cast<void*>(init.shortDescription)})
    EXPECT_EQ(0, CSubSO::releaseBuffer(text));
  drwtest::DeleteDevice(device);
}

}  // namespace
