// The claim object: its semaphore, within one process and across two.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "DeviceClaim.h"
#include "ScopedHandle.h"
#include "TestSupport.h"

namespace {

CPOSPrinter* const kFirst = reinterpret_cast<CPOSPrinter*>(0x1000);
CPOSPrinter* const kSecond = reinterpret_cast<CPOSPrinter*>(0x2000);

TEST(DeviceClaim, WithoutRegistrationThereIsNothingToWaitOn) {
  CDeviceClaim claim(nullptr);
  EXPECT_FALSE(claim.IsRegistered());
  EXPECT_FALSE(claim.Lock(0, kFirst));
  EXPECT_FALSE(claim.Lock(-1, kFirst)) << "no semaphore: no wait for ever";
  EXPECT_FALSE(claim.IsClaimed());
  EXPECT_EQ(claim.GetOwner(), nullptr);
}

TEST(DeviceClaim, ASemaphoreThatCannotBeCreatedFailsRegistration) {
  CDeviceClaim claim(nullptr);
  // A name with a backslash outside a namespace is no valid object name.
  EXPECT_FALSE(claim.Register(kFirst, "Bad\\Device\\Name", 99, 7, 203));
  EXPECT_FALSE(claim.IsRegistered());
  EXPECT_FALSE(claim.Lock(0, kFirst));
}

TEST(DeviceClaim, LockUnlockAndOwner) {
  CDeviceClaim claim(nullptr);
  ASSERT_TRUE(claim.Register(kFirst, "SoClaimTestLockUnlock", 99, 7, 203));
  EXPECT_EQ(claim.CutDistance(), 99);
  EXPECT_EQ(claim.LineEndFlags(), 7);
  EXPECT_EQ(claim.Resolution(), 203);
  EXPECT_FALSE(claim.Lock(-2, kFirst)) << "a timeout below -1 waits for nothing";
  ASSERT_TRUE(claim.Lock(0, kFirst));
  EXPECT_TRUE(claim.IsClaimed());
  EXPECT_EQ(claim.GetOwner(), kFirst);
  claim.Unlock(kSecond);
  EXPECT_EQ(claim.GetOwner(), kFirst) << "only the claimer releases";
  claim.Unlock(kFirst);
  EXPECT_EQ(claim.GetOwner(), nullptr);
  EXPECT_TRUE(claim.Lock(0, kFirst)) << "free again";
  claim.Unlock(kFirst);
}

TEST(DeviceClaim, TheSemaphoreIsNamedByTheBareDeviceNameWithOneCount) {
  CDeviceClaim claim(nullptr);
  ASSERT_TRUE(claim.Register(kFirst, "SoClaimTestBareName", 99, 7, 203));
  ScopedHandle opened(OpenSemaphoreA(SYNCHRONIZE | SEMAPHORE_MODIFY_STATE, FALSE,
                                     "SoClaimTestBareName"));
  ASSERT_TRUE(opened.valid()) << "no prefix, no suffix";
  EXPECT_FALSE(ReleaseSemaphore(opened.get(), 1, nullptr)) << "maximum count 1";
  ASSERT_EQ(WaitForSingleObject(opened.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0))
      << "initial count 1";
  EXPECT_FALSE(claim.Lock(0, kFirst)) << "its one count is taken";
  ASSERT_TRUE(ReleaseSemaphore(opened.get(), 1, nullptr));
  EXPECT_TRUE(claim.Lock(0, kFirst));
  claim.Unregister(kFirst);
}

TEST(DeviceClaim, TwoServiceObjectsOfOneProcessExcludeEachOther) {
  CDeviceClaim first(nullptr);
  CDeviceClaim second(nullptr);
  ASSERT_TRUE(first.Register(kFirst, "SoClaimTestSameProcess", 99, 7, 203));
  ASSERT_TRUE(second.Register(kSecond, "SoClaimTestSameProcess", 99, 7, 203));
  ASSERT_TRUE(first.Lock(0, kFirst));
  EXPECT_FALSE(second.Lock(0, kSecond));
  EXPECT_FALSE(second.Lock(20, kSecond));
  // Unregistering the claimer gives the claim back instead of stranding it.
  first.Unregister(kFirst);
  EXPECT_TRUE(second.Lock(0, kSecond));
  second.Unlock(kSecond);
}

class NamedEvent {
 public:
  explicit NamedEvent(const std::string& name)
      : name_(name), handle_(CreateEventA(nullptr, TRUE, FALSE, name.c_str())) {}
  const std::string& Name() const { return name_; }
  HANDLE Get() const { return handle_.get(); }
  bool IsSet() const { return WaitForSingleObject(handle_.get(), 0) == WAIT_OBJECT_0; }

 private:
  std::string name_;
  ScopedHandle handle_;
};

TEST(DeviceClaim, AnotherProcessHoldsTheClaimUntilItReleases) {
  const std::string device = "SoClaimTestTwoProcesses";
  const std::string tag = std::to_string(GetCurrentProcessId());
  NamedEvent ready("SoClaimTestReady" + tag);
  NamedEvent release("SoClaimTestRelease" + tag);
  NamedEvent releasing("SoClaimTestReleasing" + tag);
  std::string command = "\"" + sotest::BinFolder() + "claim_holder.exe\" " + device + " " +
                        ready.Name() + " " + release.Name() + " " + releasing.Name();
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  ScopedHandle processHandle(process.hProcess);
  ScopedHandle threadHandle(process.hThread);
  HANDLE waits[] = {ready.Get(), process.hProcess};
  ASSERT_EQ(WaitForMultipleObjects(2, waits, FALSE, INFINITE), WAIT_OBJECT_0)
      << "the holder claimed the device";

  CDeviceClaim claim(nullptr);
  ASSERT_TRUE(claim.Register(kFirst, device, 99, 7, 203));
  EXPECT_FALSE(claim.Lock(0, kFirst)) << "timeout 0 answers at once";
  EXPECT_FALSE(claim.Lock(30, kFirst)) << "a short timeout expires";
  EXPECT_FALSE(claim.IsClaimed());

  std::atomic<int> locked{-1};
  std::atomic<bool> releasingFirst{false};
  std::thread waiter([&] {
    locked = claim.Lock(-1, kFirst);
    releasingFirst = releasing.IsSet();
  });
  SetEvent(release.Get());
  waiter.join();
  EXPECT_EQ(locked.load(), 1) << "timeout -1 waits until the holder releases";
  EXPECT_TRUE(releasingFirst.load()) << "the claim came only once the holder let go";
  EXPECT_EQ(claim.GetOwner(), kFirst);
  claim.Unlock(kFirst);

  ASSERT_EQ(WaitForSingleObject(process.hProcess, INFINITE), WAIT_OBJECT_0);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.hProcess, &exitCode);
  EXPECT_EQ(exitCode, 0u);
}

}  // namespace
