// tollek.dll's nine exports as a core sees them: their stdcall arity, the refusals (-1 for a
// bad call, -2 for an unsupported method or an old core), slots, the init record and the
// capability words.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "DrawerCore.h"
#include "DrawerRegistry.h"
#include "StdcallProbe.h"
#include "TbxSim.h"

namespace {

using fenwode::DrawerCore;

class DrawerExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device_ = std::string("DrwExp.") +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
    drwtest::WriteDevice(device_, {{"DriverName", device_}});
    ASSERT_TRUE(core_.Load());
  }
  void TearDown() override { drwtest::DeleteDevice(device_); }
  const DrwEntryPoints& x() const { return core_.exports(); }

  DrawerCore core_;
  std::string device_;
};

// Each export pops exactly its own argument words (the calls below are all refused).
TEST_F(DrawerExportsTest, EveryExportIsStdcallWithItsArity) {
  const void* const* entries = reinterpret_cast<const void* const*>(&x());
  for (int i = 0; i < 9; ++i) {
    const long words = kDrwExportArgumentBytes[i] / 4;
    long args[4] = {0, 0, 0, 0};
    args[words == 4 ? 2 : words - 1] = 99;  // a slot no instance holds
    if (i == 0) args[2] = 0;                // initSubSO: null records
    const drwtest::ProbeResult r = drwtest::CallAndMeasureStack(entries[i], args, words);
    EXPECT_EQ(0, r.stackBytesLeft) << kDrwExportNames[i];
    EXPECT_EQ(DRW_E_BAD_CALL, r.result) << kDrwExportNames[i];
  }
}

TEST_F(DrawerExportsTest, RefusalsOfBadCalls) {
  ASSERT_EQ(0, core_.Open(device_.c_str()));
  const long s = core_.slot();
  DrwInitRecord init{};
  long slotOut = -5;
  DrwCapabilityBlock caps{};
  long capsBlock[1] = {reinterpret_cast<long>(&caps)}, nullWord[1] = {0};
  DrwStateRecord state{};
  DrwResultRecord result{};
  long openDrawer[2] = {reinterpret_cast<long>(&state), reinterpret_cast<long>(&result)};
  long noResult[2] = {reinterpret_cast<long>(&state), 0};
  long noState[2] = {0, reinterpret_cast<long>(&result)};
  long health4[3] = {reinterpret_cast<long>(&state), 4, reinterpret_cast<long>(&result)};
  long foreign[1] = {reinterpret_cast<long>(&init)};
  void* eventRecord[2] = {nullptr, nullptr};
  void* statusRecord[1] = {nullptr};
  const struct {
    const char* call;
    std::function<long()> run;
    long expected;
  } rows[] = {
      {"initSubSO null name", [&] { return x().initSubSO(nullptr, 1014000, &init, &slotOut); }, -1},
      {"initSubSO null record", [&] { return x().initSubSO("DrwExp.X", 1014000, nullptr, &slotOut); }, -1},
      {"initSubSO null slot word", [&] { return x().initSubSO("DrwExp.X", 1014000, &init, nullptr); }, -1},
      {"initSubSO same device again", [&] { return x().initSubSO(device_.c_str(), 1014000, &init, &slotOut); }, -1},
      {"terminateSubSO slot -1", [&] { return x().terminateSubSO(-1); }, -1},
      {"terminateSubSO slot 16", [&] { return x().terminateSubSO(16); }, -1},
      {"connectPrinter free slot", [&] { return x().connectPrinter(s + 1); }, -1},
      {"disconnectPrinter slot 16", [&] { return x().disconnectPrinter(16); }, -1},
      {"getCapability 3000", [&] { return x().getCapability(3000, capsBlock, s); }, -1},
      {"getCapability null block", [&] { return x().getCapability(3001, nullptr, s); }, -1},
      {"getCapability null block word", [&] { return x().getCapability(3001, nullWord, s); }, -1},
      {"getCapability free slot", [&] { return x().getCapability(3001, capsBlock, s + 1); }, -1},
      {"preMethod 0", [&] { return x().preMethod(0, openDrawer, s); }, -1},
      {"preMethod 10", [&] { return x().preMethod(10, openDrawer, s); }, -1},
      {"preMethod null block", [&] { return x().preMethod(8, nullptr, s); }, -1},
      {"preMethod null result record", [&] { return x().preMethod(8, noResult, s); }, -1},
      {"executeMethod null state record", [&] { return x().executeMethod(8, noState, s); }, -1},
      {"executeMethod 10", [&] { return x().executeMethod(10, openDrawer, s); }, -1},
      {"preCheckHealth level 4", [&] { return x().preMethod(1, health4, s); }, 106},
      {"otherMethod 1003", [&] { return x().otherMethod(1003, foreign, s); }, -1},
      {"otherMethod 1012 null block", [&] { return x().otherMethod(1012, nullptr, s); }, -1},
      {"otherMethod 1012 null record", [&] { return x().otherMethod(1012, nullWord, s); }, -1},
      {"otherMethod 1019 null block", [&] { return x().otherMethod(1019, nullptr, s); }, -1},
      {"otherMethod 1019 null buffer", [&] { return x().otherMethod(1019, nullWord, s); }, 0},
      {"otherMethod 1019 a buffer not handed out", [&] { return x().otherMethod(1019, foreign, s); }, -1},
      {"otherMethod 1001 free slot", [&] { return x().otherMethod(1001, nullptr, s + 1); }, -1},
      {"setCallbackFunction 2001", [&] { return x().setCallbackFunction(2001, eventRecord, s, 0); }, -1},
      {"setCallbackFunction null record", [&] { return x().setCallbackFunction(2002, nullptr, s, 0); }, -1},
      {"setCallbackFunction 2006 null handle address", [&] { return x().setCallbackFunction(2006, statusRecord, s, 0); }, -1},
      {"setCallbackFunction 2002 free slot", [&] { return x().setCallbackFunction(2002, eventRecord, s + 1, 0); }, -1},
  };
  for (const auto& row : rows) EXPECT_EQ(row.expected, row.run()) << row.call;
  EXPECT_EQ(-5, slotOut) << "no refused initSubSO writes a slot";
  EXPECT_EQ(0, caps.capPowerReporting) << "no refused getCapability writes";
}

// The six common methods the drawer does not have: -2 in the pre phase, 106 if executed.
TEST_F(DrawerExportsTest, UnsupportedMethods) {
  ASSERT_EQ(0, core_.Open(device_.c_str()));
  DrwStateRecord state{};
  for (long id = 2; id <= 7; ++id) {
    const int words = id == 2 ? 4 : id == 3 ? 5 : 3;
    DrwResultRecord result{};
    long block[5] = {reinterpret_cast<long>(&state), 0, 0, 0, 0};
    block[words - 1] = reinterpret_cast<long>(&result);
    EXPECT_EQ(DRW_E_UNSUPPORTED, x().preMethod(id, block, core_.slot())) << id;
    EXPECT_EQ(106, x().executeMethod(id, block, core_.slot())) << id;
    EXPECT_EQ(106, result.resultCode) << id;
  }
}

// A core too old leaves an uninitialised instance in its slot until it is terminated.
TEST_F(DrawerExportsTest, OldCoreIsRefusedAndKeepsTheSlotUninitialised) {
  EXPECT_EQ(DRW_E_UNSUPPORTED, core_.Open(device_.c_str(), 1013999));
  EXPECT_EQ(nullptr, core_.initRecord().description);
  EXPECT_EQ(0, core_.initRecord().subModuleVersion);
  const long s = core_.slot();
  ASSERT_GE(s, 0);
  DrwStateRecord state{};
  DrwResultRecord result{};
  long block[3] = {reinterpret_cast<long>(&state), 0, reinterpret_cast<long>(&result)};
  DrwCapabilityBlock caps{};
  long capsBlock[1] = {reinterpret_cast<long>(&caps)};
  EXPECT_EQ(-1, x().preMethod(4, block, s));
  EXPECT_EQ(106, x().executeMethod(4, block, s));
  EXPECT_EQ(-1, x().getCapability(3001, capsBlock, s));
  EXPECT_EQ(-1, x().connectPrinter(s));
  EXPECT_EQ(-1, x().otherMethod(1001, nullptr, s));
  EXPECT_EQ(-1, core_.Close()) << "terminate answers -1 and frees the slot";
  EXPECT_EQ(-1, x().terminateSubSO(s));
}

TEST_F(DrawerExportsTest, InitRecordTextsVersionAndCapabilities) {
  ASSERT_EQ(0, core_.Open(device_.c_str()));
  const DrwInitRecord& init = core_.initRecord();
  EXPECT_EQ(1014001, init.subModuleVersion);
  EXPECT_STREQ("KVR TBX911QD Cash Drawer Service Object, Copyright (C) KVR. All rights reserved.",
               init.description);
  EXPECT_STREQ("KVR TBX911QD Cash Drawer", init.deviceDescription);
  EXPECT_STREQ("TBX911QD Cash Drawer", init.shortDescription);
  EXPECT_EQ(0, init.reserved);
  EXPECT_EQ(0, init.coreWords[0]);

  DrwCapabilityBlock caps;
  std::memset(&caps, 0x5A, sizeof caps);
  long capsBlock[1] = {reinterpret_cast<long>(&caps)};
  ASSERT_EQ(0, x().getCapability(3001, capsBlock, core_.slot()));
  const long expected[7] = {0, 1, 0, 0, 0, 1, 0};
  EXPECT_EQ(0, std::memcmp(expected, &caps, sizeof caps));

  char* text = init.deviceDescription;
  EXPECT_EQ(0, core_.ReleaseText(text));
  EXPECT_EQ(-1, core_.ReleaseText(text)) << "a text given back twice is not freed twice";
}

TEST_F(DrawerExportsTest, SlotsAreTakenFromTheBottomAndNamesCompared) {
  DrwInitRecord init{};
  long a = -1, b = -1, again = -1;
  const std::string nameA = device_ + ".A", nameB = device_ + ".B";
  ASSERT_EQ(0, x().initSubSO(nameA.c_str(), 1014000, &init, &a));
  ASSERT_EQ(0, x().initSubSO(nameB.c_str(), 1014000, &init, &b));
  EXPECT_EQ(a + 1, b);
  EXPECT_EQ(0, x().terminateSubSO(a));
  // The freed slot lies below B's: it is found first, and B's slot is never compared.
  EXPECT_EQ(0, x().initSubSO(nameB.c_str(), 1014000, &init, &again));
  EXPECT_EQ(a, again);
  long reopened = -1;
  EXPECT_EQ(0, x().initSubSO(nameA.c_str(), 1014000, &init, &reopened)) << "A is closed";
  EXPECT_EQ(b + 1, reopened);
  EXPECT_EQ(0, x().terminateSubSO(reopened));
  EXPECT_EQ(0, x().terminateSubSO(again));
  EXPECT_EQ(0, x().terminateSubSO(b));
  EXPECT_EQ(-1, x().terminateSubSO(b)) << "already free";
}

TEST_F(DrawerExportsTest, SeventeenthOpenIsRefused) {
  DrwInitRecord init{};
  std::vector<long> slots;
  for (int i = 0; i < 16; ++i) {
    long slot = -1;
    const std::string name = device_ + "." + std::to_string(i);
    ASSERT_EQ(0, x().initSubSO(name.c_str(), 1014000, &init, &slot)) << i;
    slots.push_back(slot);
  }
  long slot = -5;
  EXPECT_EQ(-1, x().initSubSO((device_ + ".16").c_str(), 1014000, &init, &slot));
  EXPECT_EQ(-5, slot);
  for (long s : slots) EXPECT_EQ(0, x().terminateSubSO(s));
}

// A core that frees tollek.dll without terminateSubSO: nothing runs at the module's detach
// under the loader lock (no SDK call, no FreeLibrary); the module keeps itself loaded, with
// its printer and status callback, while an instance exists, until the process ends or a
// core terminates the instance.
TEST(DrawerModuleTest, FreedWithoutTerminateItStaysAndTouchesNoPrinter) {
  const std::string device = "DrwExp.FreedWithoutTerminate";
  const char* printer = device.c_str();
  drwtest::WriteDevice(device, {{"DriverName", device}});
  TbxSim_Reset(printer);
  TbxSim_SetMemorySwitch(printer, 5, 0x04);
  TbxSim_SetMemorySwitch(printer, 13, 0x04);
  ASSERT_EQ(GetModuleHandleA("tollek.dll"), nullptr) << "another user still holds it";

  auto bind = [](HMODULE module) {
    DrwEntryPoints entries;
    void** slots = reinterpret_cast<void**>(&entries);
    for (int i = 0; i < 9; ++i)
      slots[i] = reinterpret_cast<void*>(GetProcAddress(module, kDrwExportNames[i]));
    return entries;
  };
  HMODULE module = LoadLibraryA("tollek.dll");
  ASSERT_NE(module, nullptr);
  DrwEntryPoints x = bind(module);
  DrwInitRecord init{};
  long slot = -1;
  ASSERT_EQ(0, x.initSubSO(printer, 1014000, &init, &slot));
  ASSERT_EQ(0, x.connectPrinter(slot));
  ASSERT_EQ(0, x.otherMethod(DRW_SERVICE_ACTIVATE_DEVICE, nullptr, slot));
  ASSERT_EQ(1, TbxSim_GetOpenHandleCount(printer));

  ASSERT_TRUE(FreeLibrary(module));
  EXPECT_NE(GetModuleHandleA("tollek.dll"), nullptr);
  EXPECT_EQ(0, TbxSim_GetCallCount(printer, "CancelStatusBack"));
  EXPECT_EQ(0, TbxSim_GetCallCount(printer, "CloseMonPrinter"));
  EXPECT_EQ(1, TbxSim_GetOpenHandleCount(printer));

  // A core that comes back and terminates: the printer goes, and with the core's own
  // reference given back the module goes too.
  module = LoadLibraryA("tollek.dll");
  ASSERT_NE(module, nullptr);
  x = bind(module);
  for (char* text : {init.description, init.deviceDescription, init.shortDescription}) {
    long block[1] = {reinterpret_cast<long>(text)};
    EXPECT_EQ(0, x.otherMethod(DRW_SERVICE_RELEASE_BUFFER, block, slot));
  }
  EXPECT_EQ(0, x.terminateSubSO(slot));
  EXPECT_EQ(0, TbxSim_GetOpenHandleCount(printer));
  ASSERT_TRUE(FreeLibrary(module));
  EXPECT_EQ(GetModuleHandleA("tollek.dll"), nullptr);
  drwtest::DeleteDevice(device);
}

}  // namespace
