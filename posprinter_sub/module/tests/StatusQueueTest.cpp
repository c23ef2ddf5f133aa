// Per-slot status queues fed by the SDK's callback thread.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "ScopedHandle.h"
#include "StatusQueue.h"

namespace {

class SlotQueue : public ::testing::Test {
 protected:
  void SetUp() override {
    queue_ = CStatusQueue::ForSlot(kSlot);
    ASSERT_NE(queue_, nullptr);
    queue_->Open();
    event_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    eventHandle_ = event_.get();
  }
  void TearDown() override { queue_->Close(); }
  bool Signalled() { return WaitForSingleObject(event_.get(), 0) == WAIT_OBJECT_0; }

  static constexpr long kSlot = 6;
  CStatusQueue* queue_ = nullptr;
  ScopedHandle event_;
  HANDLE eventHandle_ = nullptr;
};

TEST(StatusQueueSlots, OnlyEightSlots) {
  EXPECT_EQ(CStatusQueue::ForSlot(-1), nullptr);
  EXPECT_EQ(CStatusQueue::ForSlot(8), nullptr);
  EXPECT_NE(CStatusQueue::ForSlot(0), CStatusQueue::ForSlot(7));
  EXPECT_EQ(StatusCallbackForSlot(8), nullptr);
  EXPECT_EQ(StatusCallbackForSlot(-1), nullptr);
  for (long slot = 0; slot < 8; ++slot)
    for (long other = slot + 1; other < 8; ++other)
      EXPECT_NE(StatusCallbackForSlot(slot), StatusCallbackForSlot(other));
}

TEST_F(SlotQueue, CallbackQueuesInOrderAndSignals) {
  queue_->SetEventAddress(&eventHandle_);
  StatusCallbackFn callback = StatusCallbackForSlot(kSlot);
  EXPECT_EQ(callback(0x0A), 0);
  EXPECT_TRUE(Signalled());
  EXPECT_EQ(callback(0x0B), 0);
  EXPECT_EQ(callback(static_cast<long>(0x80000000)), 0);
  EXPECT_EQ(CStatusQueue::ForSlot(kSlot - 1)->Size(), 0u);
  DWORD word = 0;
  ASSERT_TRUE(queue_->PopOldest(&word));
  EXPECT_EQ(word, 0x0Au);
  ASSERT_TRUE(queue_->PauseThenPopOldest(10, &word));
  EXPECT_EQ(word, 0x0Bu);
  ASSERT_TRUE(queue_->PauseThenPopOldest(10, &word));
  EXPECT_EQ(word, 0x80000000u);
  EXPECT_FALSE(queue_->PauseThenPopOldest(10, &word));
  EXPECT_FALSE(queue_->PopOldest(&word));
}

TEST_F(SlotQueue, EventReadThroughTheAddressAtEachSignal) {
  queue_->SetEventAddress(&eventHandle_);
  eventHandle_ = nullptr;  // not created yet: queue, but nothing to signal
  EXPECT_EQ(postCallbackStatus(kSlot, 1), 0);
  EXPECT_FALSE(Signalled());
  eventHandle_ = event_.get();
  EXPECT_EQ(postCallbackStatus(kSlot, 2), 0);
  EXPECT_TRUE(Signalled());
  EXPECT_EQ(queue_->Size(), 2u);
}

TEST_F(SlotQueue, NullEventAddressStillQueues) {
  queue_->SetEventAddress(nullptr);
  EXPECT_EQ(postCallbackStatus(kSlot, 0x12), 0);
  EXPECT_EQ(queue_->Size(), 1u);
  EXPECT_FALSE(Signalled());
}

TEST_F(SlotQueue, ClosedQueueDropsLateCallbacks) {
  queue_->SetEventAddress(&eventHandle_);
  ASSERT_EQ(postCallbackStatus(kSlot, 1), 0);
  queue_->Close();
  ResetEvent(event_.get());
  EXPECT_EQ(StatusCallbackForSlot(kSlot)(2), 0);
  EXPECT_EQ(queue_->Size(), 0u);
  EXPECT_FALSE(Signalled()) << "a closed slot must not touch the core's event";
  queue_->Open();
  EXPECT_EQ(postCallbackStatus(kSlot, 3), 0);
  EXPECT_FALSE(Signalled()) << "a reopened slot has no event until one is registered";
  EXPECT_EQ(queue_->Size(), 1u);
  EXPECT_EQ(postCallbackStatus(42, 3), 0);
}

TEST_F(SlotQueue, DiscardEmpties) {
  for (DWORD w = 1; w <= 5; ++w) (void)postCallbackStatus(kSlot, w);
  queue_->Discard();
  EXPECT_EQ(queue_->Size(), 0u);
}

TEST_F(SlotQueue, ConcurrentCallbacksLoseNothing) {
  queue_->SetEventAddress(&eventHandle_);
  constexpr int kPerThread = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < kPerThread; ++i) (void)StatusCallbackForSlot(kSlot)(t * 10000 + i);
    });
  std::vector<int> lastSeen(4, -1);
  size_t taken = 0;
  DWORD word = 0;
  while (taken < 4 * kPerThread) {
    if (!queue_->PopOldest(&word)) continue;
    const int thread = static_cast<int>(word / 10000), index = static_cast<int>(word % 10000);
    EXPECT_GT(index, lastSeen[thread]) << "words of one thread keep their order";
    lastSeen[thread] = index;
    ++taken;
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(queue_->Size(), 0u);
}

}  // namespace
