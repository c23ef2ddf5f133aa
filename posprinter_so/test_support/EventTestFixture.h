// A service object whose hidden window lives on the Control Object stand-in's apartment
// thread, with the stand-in's sink attached as the Control Object: what the window fires
// is recorded there with the thread it arrived on.
#pragma once
#include <gtest/gtest.h>

#include <functional>

#include "ControlObjectStandIn.h"
#include "FakeLog.h"
#include "OPOSEvent.h"
#include "POSPrinter.h"
#include "TestSupport.h"

class EventFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    so_ = sotest::NewServiceObject();
    ASSERT_NE(so_, nullptr);
    so_->Driver().Attach(co_.Sink());
    ASSERT_EQ(so_->Driver().LookUpEventIds(), S_OK);
    bool created = false;
    co_.RunOnThread([&] { created = so_->CreateHiddenWindow(); });
    ASSERT_TRUE(created);
  }
  void TearDown() override {
    if (!so_) return;
    co_.RunOnThread([&] {
      so_->EndEventThread();
      so_->DestroyHiddenWindow();
    });
    // Error events leave State error or busy, for which the final Close waits 3 s.
    so_->SetState(2);
    so_->Release();
    EXPECT_EQ(COPOSEvent::LiveCount(), 0) << "every event object was deleted";
  }

  HWND Window() const { return so_->Window()->Handle(); }
  void Post(UINT message, WPARAM wParam, LPARAM lParam) {
    ASSERT_TRUE(PostMessageA(Window(), message, wParam, lParam));
  }
  // Every message posted before this call has been handled on the window's thread.
  void Flush() { co_.RunOnThread([] {}); }

  // Waits until lines with these fragments were logged, in this order, since the last
  // fakelog::Clear.
  static bool WaitForLog(const std::vector<std::wstring>& fragments) {
    for (int i = 0; i < 5000; ++i) {
      size_t found = 0;
      for (const fakelog::Line& line : fakelog::Lines()) {
        if (found < fragments.size() && line.text.find(fragments[found]) != std::wstring::npos) {
          ++found;
        }
      }
      if (found == fragments.size()) return true;
      Sleep(1);
    }
    return false;
  }
  // The event thread has gone back to waiting after a wake-up: it has seen the queue and
  // found nothing it may deliver.
  static bool WaitForIdleThread() {
    return WaitForLog({L"Event notification!", L"Wait for event notification."});
  }

  static std::vector<std::wstring> Names(const std::vector<costandin::EventRecord>& events) {
    std::vector<std::wstring> names;
    for (const auto& event : events) names.push_back(event.name);
    return names;
  }

  costandin::ControlObject co_;
  CPOSPrinter* so_ = nullptr;
};
