// A device of prennik.dll driven the way the core drives it (the fake core) against the
// simulated printer, with the device key and the Windows printer it needs.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeCore.h"
#include "PrnTokenWalk.h"
#include "ScopedHandle.h"
#include "TbxSim.h"
#include "TestPrinter.h"

namespace devicetest {

using Bytes = std::vector<BYTE>;

// Test programs run side by side and share the registry and the spooler: one that needs its
// own names defines DEVICETEST_NAME (compile definition) before this header.
#ifndef DEVICETEST_NAME
#define DEVICETEST_NAME "SvcCycle"
#endif
inline constexpr char kDevice[] = DEVICETEST_NAME "Device";
inline constexpr char kPrinter[] = DEVICETEST_NAME "Printer";
inline const std::string kDeviceKey =
    std::string("SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter\\") + kDevice;

// Bytes as the printer's command language has them.
inline const Bytes kInitialize = {0x1B, 0x40, 0x1D, 0x61, 0xFF};       // ESC @, GS a 255
inline const Bytes kSwitchQuery = {0x12, 0x6C, 0x00};                  // DC2 l 0
inline const Bytes kBufferClear = {0x13, 0x43, 0x13, 0x2D};            // DC3 C, DC3 -
inline const Bytes kDeactivate = {0x1D, 0x67, 0x31, 0x00};             // GS g 1 0

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

inline std::string Hex(const Bytes& bytes) {
  std::string s;
  char b[4];
  for (BYTE v : bytes) {
    snprintf(b, sizeof b, "%02X ", v);
    s += b;
  }
  return s;
}

inline Bytes Written() {
  return TbxSimWrittenBytes(kPrinter);
}

inline Bytes ListBytes(const PrnTokenList* list) { return PrnTokenBytes(list); }

inline bool HasStatusCode(const fakecore::FakeCore& core, long code) {
  for (const fakecore::StatusCall& c : core.statusCalls)
    if (c.code == code) return true;
  return false;
}

class DeviceCycle : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(AddTestPrinter(kPrinter, &error)) << error;
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kDeviceKey.c_str());
    SetValue("DriverName", kPrinter);
    SetValue("PaperSize", "1");
    SetValue("_NearEnd", "1");
    TbxSim_Reset(kPrinter);
    ASSERT_TRUE(core_.Load());
  }
  void TearDown() override { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kDeviceKey.c_str()); }

  void SetValue(const char* name, const char* value) {
    ScopedRegKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kDeviceKey.c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, key.receive(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                             static_cast<DWORD>(strlen(value) + 1)),
              ERROR_SUCCESS);
  }
  void SetSwitches(BYTE sw1, BYTE sw4, BYTE sw5) {
    TbxSim_SetMemorySwitch(kPrinter, 1, sw1);
    TbxSim_SetMemorySwitch(kPrinter, 4, sw4);
    TbxSim_SetMemorySwitch(kPrinter, 5, sw5);
  }

  // Open and claim as the core does; returns activation's result.
  long OpenAndClaim(fakecore::FakeCore& core) {
    EXPECT_EQ(core.Open(kDevice), 0);
    PrnRecordArgs init{&rec_.input};
    EXPECT_EQ(core.Other(PRN_SERVICE_INIT_DEVICE, &init), 0);
    EXPECT_EQ(core.exports().connectPrinter(core.slot()), 0);
    PrnRecordSnapshotArgs activate{&rec_.input, &rec_.snapshot};
    return core.Other(PRN_SERVICE_ACTIVATE_DEVICE, &activate);
  }
  long OpenAndClaim() { return OpenAndClaim(core_); }
  long Enable() {
    PrnRecordSnapshotArgs enable{&rec_.input, &rec_.snapshot};
    return core_.Other(PRN_SERVICE_ENABLED_EVENT_NOTIFY, &enable);
  }

  // The receive thread: on every status event (or poll) service 1012, until done() holds.
  template <class Done>
  bool Pump(Done done, int rounds = 500) {
    for (int round = 0; round < rounds; ++round) {
      WaitForSingleObject(core_.statusEvent(), 20);
      ResetEvent(core_.statusEvent());
      status_ = fakecore::MakeStatusRecord();
      result_ = PrnPropertySnapshot{};
      PrnProcStatusArgs block{&status_, &result_};
      EXPECT_EQ(core_.Other(PRN_SERVICE_PROC_CALLBACK_STATUS, &block), 0);
      if (done()) return true;
    }
    return false;
  }

  // PrintNormal through pre, execute, 1022, 1010; returns the rendered list's bytes.
  Bytes BuildOutput(long method, const char* data, long responseId) {
    long rce = -1;
    PrnPreStationTextArgs pre{&rec_.input, PRN_STATION_RECEIPT, data, &rce};
    EXPECT_EQ(core_.Pre(method, &pre), 0);
    EXPECT_EQ(rce, 0);
    PrnTokenList* list = nullptr;
    PrnExecStationTextArgs exec{&rec_.input, &rec_.station, PRN_STATION_RECEIPT, data, &list,
                                &rec_.snapshot};
    EXPECT_EQ(core_.Execute(method, &exec), 0);
    if (!list) return {};
    core_.Track(list);
    if (responseId >= 0) {
      PrnResponseIdArgs id{&responseId, &list};
      EXPECT_EQ(core_.Other(PRN_SERVICE_APPEND_RESPONSE_ID_TOKEN, &id), 0);
    }
    PrnRequestDeviceDataArgs render{&rec_.input, &rec_.station, list, 2};
    EXPECT_EQ(core_.Other(PRN_SERVICE_REQUEST_DEVICE_DATA, &render), 0);
    const Bytes bytes = ListBytes(list);
    EXPECT_EQ(list->totalBytes, static_cast<long>(bytes.size()));
    EXPECT_EQ(core_.HandBack(list), 0);
    return bytes;
  }

  long Write(const Bytes& bytes, long* severity, const char** text, long* rce) {
    PrnWriteArgs write{0, bytes.data(), static_cast<long>(bytes.size()), severity, text, rce};
    return core_.Other(PRN_SERVICE_WRITE_PRINTER_DATA, &write);
  }

  fakecore::FakeCore core_;
  fakecore::CoreRecords rec_;
  PrnStatusRecord status_{};
  PrnPropertySnapshot result_{};
};

// Font 2 with spacing 0 (ESC ! 0, ESC a 0, ESC M 0, ESC SP 0, GS B 0, FS ! 0, FS S 0 0).
inline const Bytes kFont2 = {0x1B, 0x21, 0x00, 0x1B, 0x61, 0x00, 0x1B, 0x4D, 0x00, 0x1B, 0x20, 0x00,
                      0x1D, 0x42, 0x00, 0x1C, 0x21, 0x00, 0x1C, 0x53, 0x00, 0x00};
// Code page 932: ESC R 8, ESC t 1, FS C 1.
inline const Bytes kCharset932 = {0x1B, 0x52, 0x08, 0x1B, 0x74, 0x01, 0x1C, 0x43, 0x01};
inline const Bytes kUpright = {0x1B, 0x7B, 0x00};  // ESC { 0

}  // namespace devicetest
