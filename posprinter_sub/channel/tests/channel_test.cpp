// The printer channel against the simulated printer (TbxQdApi.dll): loading, connect and
// close with the printer mutex, writes and write-reads through the error gate, the raw reads,
// the framed queries, printer ID and counters, reset and the status callback.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "CommPrinterDriver.h"
#include "Log.h"
#include "LogContext.h"
#include "RJCollection.h"
#include "SubSOSettings.h"
#include "TbxSim.h"
#include "channel_log_capture.h"

namespace {

using Bytes = std::vector<BYTE>;
using chantest::LogCapture;

constexpr char kSdk[] = "TbxQdApi.dll";
constexpr DWORD kReadyWord = TBXQD_ST_READY | TBXQD_ST_DRAWER_CLOSED;  // 0x00008100
constexpr DWORD kCoverOpenWord = 0x180;  // ready bit and cover open, as the store decodes it

std::string MutexName(const std::string& printer) {
  return std::string("KVR_OPOS_PRINTERDRIVERMUTEX.") + printer;
}

bool MutexExists(const std::string& printer) {
  HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, MutexName(printer).c_str());
  if (!mutex) return false;
  CloseHandle(mutex);
  return true;
}

class ChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // One printer per test: the simulated printers live as long as the process.
    name_ = std::string("ChanTest.") +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
    TbxSim_Reset(name_.c_str());
    log_.Configure("ChanDev", 256, 1, -1, "");
    ASSERT_TRUE(channel_.LoadPrinterDriverDLL(kSdk));
  }
  long Connect(DWORD readTimeoutMs = 1000) {
    return channel_.ConnectPrinter("", name_.c_str(), readTimeoutMs);
  }
  Bytes Written() {
    return TbxSimWrittenBytes(name_.c_str());
  }
  LONG Calls(const char* entry) { return TbxSim_GetCallCount(name_.c_str(), entry); }
  void FailNext(const char* entry, LONG result) {
    TbxSim_FailNext(name_.c_str(), entry, result, 1);
  }
  void Script(const Bytes& reply) {
    TbxSim_ScriptReply(name_.c_str(), reply.data(), DWORD(reply.size()));
  }
  // The store learns of an open cover: the gate answers 17 from now on.
  void CloseGate() {
    PrnStatusRecord record;
    FillMemory(&record, sizeof record, 0xFF);
    (void)store_.StatusUpdateReceiveAction(kCoverOpenWord, &record, nullptr, nullptr);
    ASSERT_EQ(RJ_ERR_COVER_OPEN, store_.GetErrorCode());
  }
  long Write(const Bytes& bytes, BOOL skipGate = FALSE) {
    return channel_.WritePrinterData(skipGate, bytes.data(), DWORD(bytes.size()), 1000);
  }
  long WriteRead(const Bytes& bytes) {
    return channel_.WriteReadPrinterData(FALSE, bytes.data(), DWORD(bytes.size()), 1000);
  }

  LogCapture capture_;
  std::string name_;
  CSubSOSettings settings_;
  CLogContext log_;
  CRJCollection store_{&settings_, &log_};
  CCommPrinterDriver channel_{store_, log_};
};

// ---- Loading ------------------------------------------------------------------------------

TEST_F(ChannelTest, LoadRefusesALibraryWithoutEveryEntryPoint) {
  struct Row {
    const char* library;
    BOOL loaded;
    const char* logged;
  };
  const Row rows[] = {
      {"channel_sdk_no31.dll", FALSE, "GetProcAddress failed. #31"},
      {"channel_sdk_nodirectio.dll", FALSE, "GetProcAddress failed. DirectIO"},
      {"channel_no_such_sdk.dll", FALSE, "LoadLibrary failed."},
      {kSdk, TRUE, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.library);
    LogCapture::Clear();
    CCommPrinterDriver channel(store_, log_);
    EXPECT_EQ(row.loaded, channel.LoadPrinterDriverDLL(row.library));
    if (!row.loaded) {
      EXPECT_EQ(nullptr, GetModuleHandleA(row.library));  // let go again
      EXPECT_TRUE(LogCapture::Has(row.logged));
    }
  }
}

TEST_F(ChannelTest, UnloadClosesAPrinterStillOpen) {
  ASSERT_EQ(0, Connect());
  EXPECT_TRUE(channel_.UnloadPrinterDriverDLL());
  EXPECT_EQ(0, TbxSim_GetOpenHandleCount(name_.c_str()));
  EXPECT_FALSE(MutexExists(name_));
  EXPECT_TRUE(channel_.UnloadPrinterDriverDLL());  // nothing held: 1
}

// ---- Connect and close --------------------------------------------------------------------

TEST_F(ChannelTest, ConnectCreatesThePrinterMutexAndCloseRemovesIt) {
  ASSERT_EQ(0, Connect());
  EXPECT_TRUE(channel_.IsConnected());
  EXPECT_TRUE(MutexExists(name_));
  EXPECT_EQ(1, TbxSim_GetOpenHandleCount(name_.c_str()));
  for (const char* line : {"szName = ", "PFN_OPEN_PRINTER Execution", "i_hdl = ",
                           "PFN_OPEN_PRINTER Success", "Online detected.",
                           "Status = 0x00008100"}) {
    EXPECT_TRUE(LogCapture::Has(line)) << line;
  }
  EXPECT_TRUE(LogCapture::Has("[ChanDev] [Info    ] szName = " + name_));

  EXPECT_TRUE(channel_.ClosePrinter());
  EXPECT_FALSE(channel_.IsConnected());
  EXPECT_FALSE(MutexExists(name_));
  EXPECT_EQ(0, TbxSim_GetOpenHandleCount(name_.c_str()));
  EXPECT_TRUE(LogCapture::Has("PFN_CLOSE_PRINTER Success"));
  EXPECT_TRUE(channel_.ClosePrinter());  // nothing open: nothing to refuse
  EXPECT_EQ(1, Calls("CloseMonPrinter"));
}

TEST_F(ChannelTest, CloseReportsTheSdkRefusingAndStillLetsGo) {
  ASSERT_EQ(0, Connect());
  FailNext("CloseMonPrinter", TBXQD_ERR_FAILURE);
  EXPECT_FALSE(channel_.ClosePrinter());
  EXPECT_TRUE(LogCapture::Has("PFN_CLOSE_PRINTER DRIVER_ERROR_CODE = -1"));
  EXPECT_FALSE(MutexExists(name_));
  EXPECT_FALSE(channel_.IsConnected());
}

TEST_F(ChannelTest, ConnectAnswersFromTheStatusWord) {
  struct Row {
    DWORD word;
    long result;
    const char* logged;
  };
  const Row rows[] = {
      {0x80000000, OPOS_E_NOHARDWARE, "Offline detected."},
      {0x00000000, OPOS_E_NOHARDWARE, "Offline detected."},
      {0x00000012, OPOS_SUCCESS, "Status = 0x00000012"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << std::hex << row.word);
    LogCapture::Clear();
    TbxSim_OverrideStatus(name_.c_str(), TRUE, row.word);
    {
      CCommPrinterDriver channel(store_, log_);
      ASSERT_TRUE(channel.LoadPrinterDriverDLL(kSdk));
      EXPECT_EQ(row.result, channel.ConnectPrinter("", name_.c_str(), 1000));
      EXPECT_TRUE(LogCapture::Has(row.logged));
      EXPECT_EQ(row.result == 0, MutexExists(name_));
      EXPECT_EQ(1, TbxSim_GetOpenHandleCount(name_.c_str()));  // offline keeps the handle
    }
    // The channel's end lets go of whatever the connect left open.
    EXPECT_EQ(0, TbxSim_GetOpenHandleCount(name_.c_str()));
    EXPECT_FALSE(MutexExists(name_));
  }
}

TEST_F(ChannelTest, FailedStatusQueryReadsAsOffline) {
  FailNext("GetStatus", TBXQD_ERR_FAILURE);
  EXPECT_EQ(OPOS_E_NOHARDWARE, Connect());
  EXPECT_TRUE(LogCapture::Has("Offline detected."));
  EXPECT_FALSE(MutexExists(name_));
}

TEST_F(ChannelTest, StatusQueryFailureLeavesTheOutputAlone) {
  ASSERT_EQ(0, Connect());
  FailNext("GetStatus", TBXQD_ERR_TIMEOUT);
  DWORD status = 0xCCCCCCCC;
  EXPECT_EQ(OPOS_E_NOHARDWARE, channel_.GetPrinterASB(&status));  // no word was written
  EXPECT_EQ(0xCCCCCCCC, status);
  EXPECT_EQ(OPOS_SUCCESS, channel_.GetPrinterASB(&status));
  EXPECT_EQ(kReadyWord, status);
}

TEST_F(ChannelTest, OpenFailureAnswers111) {
  FailNext("OpenMonPrinterA", TBXQD_ERR_FAILURE);
  EXPECT_EQ(OPOS_E_FAILURE, Connect());
  EXPECT_TRUE(LogCapture::Has("PFN_OPEN_PRINTER DRIVER_ERROR_CODE = -1"));
  EXPECT_FALSE(channel_.IsConnected());
  EXPECT_EQ(0, TbxSim_GetOpenHandleCount(name_.c_str()));
}

TEST_F(ChannelTest, ReconnectReplacesHandleAndMutex) {
  const std::string other = name_ + ".Other";
  ASSERT_EQ(0, Connect());
  ASSERT_EQ(0, channel_.ConnectPrinter("", other.c_str(), 1000));
  EXPECT_EQ(0, TbxSim_GetOpenHandleCount(name_.c_str()));
  EXPECT_FALSE(MutexExists(name_));
  EXPECT_EQ(1, TbxSim_GetOpenHandleCount(other.c_str()));
  EXPECT_TRUE(MutexExists(other));
  ASSERT_EQ(0, channel_.ConnectPrinter("", other.c_str(), 1000));
  EXPECT_EQ(1, TbxSim_GetOpenHandleCount(other.c_str()));
}

TEST_F(ChannelTest, NameTheKernelRefusesForAMutexFailsTheConnect) {
  // A backslash makes the name a path the object namespace does not have; the name is
  // used as given, since other processes key the same printer by it.
  const std::string shared = "ChanTest\\Shared";
  TbxSim_Reset(shared.c_str());
  EXPECT_EQ(OPOS_E_FAILURE, channel_.ConnectPrinter("", shared.c_str(), 1000));
  EXPECT_EQ(1, TbxSim_GetCallCount(shared.c_str(), "OpenMonPrinterA"));
  EXPECT_TRUE(LogCapture::Has("The printer mutex KVR_OPOS_PRINTERDRIVERMUTEX.ChanTest\\Shared "
                              "could not be created."));
  EXPECT_EQ(0, TbxSim_GetOpenHandleCount(shared.c_str()));

  const Bytes data = {0x1B, 0x40};
  EXPECT_EQ(RJ_ERR_FAILURE, channel_.WritePrinterData(TRUE, data.data(), 2, 1000));
  EXPECT_EQ(RJ_ERR_FAILURE, channel_.WriteReadPrinterData(TRUE, data.data(), 2, 1000));
  EXPECT_TRUE(LogCapture::Has("The printer mutex does not exist."));
  EXPECT_EQ(0u, TbxSim_GetWritten(shared.c_str(), nullptr, 0));
}

TEST_F(ChannelTest, NothingIsWrittenBeforeConnect) {
  EXPECT_EQ(RJ_ERR_FAILURE, Write({0x0A}));
  EXPECT_EQ(0, Calls("DirectIOEx"));
}

// ---- Writes -------------------------------------------------------------------------------

TEST_F(ChannelTest, WriteSendsTheBytesAsGiven) {
  ASSERT_EQ(0, Connect());
  const Bytes data = {0x1B, 0x40, 'A', 0x0A};
  EXPECT_EQ(0, Write(data));
  EXPECT_EQ(data, Written());
  EXPECT_TRUE(LogCapture::Has("PFN_SET_PRINTER_DATA Execution"));
  EXPECT_TRUE(LogCapture::Has("Send data."));

  EXPECT_EQ(0, channel_.WritePrinterData(FALSE, data.data(), 0, 1000));
  EXPECT_EQ(0, channel_.WritePrinterData(FALSE, nullptr, 4, 1000));
  EXPECT_EQ(1, Calls("DirectIOEx"));
}

TEST_F(ChannelTest, WrittenBytesAlsoReachTheOutputFile) {
  char folder[MAX_PATH];
  ASSERT_NE(0u, GetTempPathA(MAX_PATH, folder));
  const std::string path = std::string(folder) + "chantest_output_" +
                           std::to_string(GetCurrentProcessId()) + ".bin";
  DeleteFileA(path.c_str());
  ASSERT_TRUE(SetEnvironmentVariableA("TBXQD_SIM_OUTPUT", path.c_str()));
  ASSERT_EQ(0, Connect());
  EXPECT_EQ(0, Write({'A', 0x0A}));
  EXPECT_EQ(0, Write({0x1D, 0x56, 0x00}));
  SetEnvironmentVariableA("TBXQD_SIM_OUTPUT", nullptr);
  EXPECT_EQ(0, Write({'B'}));  // no longer copied

  ScopedFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(file.valid());
  BYTE content[16];
  DWORD read = 0;
  ASSERT_TRUE(ReadFile(file.get(), content, sizeof content, &read, nullptr));
  EXPECT_EQ((Bytes{'A', 0x0A, 0x1D, 0x56, 0x00}), Bytes(content, content + read));
  file.reset();
  DeleteFileA(path.c_str());
}

TEST_F(ChannelTest, DrawerKickOpensTheDrawer) {
  ASSERT_EQ(0, Connect());
  DWORD status = 0;
  EXPECT_EQ(0, Write({0x10, 0x14, 0x01, 0x00, 0x01}));  // drawer 1, 100 ms
  EXPECT_EQ(0, channel_.GetPrinterASB(&status));
  EXPECT_EQ(0u, status & TBXQD_ST_DRAWER_CLOSED);
  TbxSim_SetDrawerOpen(name_.c_str(), FALSE);
  EXPECT_EQ(0, Write({0x10, 0x14, 0x01, 0x02}));  // no connector byte: a whole kick too
  EXPECT_EQ(0, channel_.GetPrinterASB(&status));
  EXPECT_EQ(0u, status & TBXQD_ST_DRAWER_CLOSED);
}

TEST_F(ChannelTest, WriteReadLogsWhatThePrinterAnswers) {
  ASSERT_EQ(0, Connect());
  EXPECT_EQ(0, WriteRead({0x12, 0x6C, 0x00}));  // the function settings come back at once
  EXPECT_TRUE(LogCapture::Has("PFN_SET_PRINTER_DATA_EX Execution"));
  EXPECT_TRUE(LogCapture::Has("Received data."));
  EXPECT_EQ(0, WriteRead({0x1B, 0x40, 0x1D, 0x61, 0xFF}));  // no answer is still success
  EXPECT_TRUE(LogCapture::Has("Received data: Even 1 byte data could not be received."));
  EXPECT_EQ((Bytes{0x12, 0x6C, 0x00, 0x1B, 0x40, 0x1D, 0x61, 0xFF}), Written());
  EXPECT_EQ(2, Calls("LockPrinter"));
  EXPECT_EQ(2, Calls("UnlockPrinter"));
  EXPECT_EQ(4, LogCapture::Count("PFN_SET_PRINTER_LOCK Execution"));
}

TEST_F(ChannelTest, WriteReadUnlocksAfterAFailedLock) {
  ASSERT_EQ(0, Connect());
  FailNext("LockPrinter", TBXQD_ERR_TIMEOUT);
  EXPECT_EQ(RJ_ERR_TIMEOUT, WriteRead({0x1B, 0x40}));
  EXPECT_TRUE(LogCapture::Has("PFN_SET_PRINTER_LOCK DRIVER_ERROR_CODE = -70"));
  EXPECT_EQ(0, Calls("DirectIOEx"));
  EXPECT_EQ(1, Calls("UnlockPrinter"));
}

TEST_F(ChannelTest, EmptyWriteReadSendsNothingButStillUnlocks) {
  ASSERT_EQ(0, Connect());
  CloseGate();  // an empty request is 0 whatever the gate says
  static const BYTE kData[] = {0x1B, 0x40};
  const struct {
    const BYTE* data;
    DWORD length;
  } rows[] = {{kData, 0}, {nullptr, 2}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.length);
    LogCapture::Clear();
    const LONG unlocks = Calls("UnlockPrinter");
    EXPECT_EQ(0, channel_.WriteReadPrinterData(FALSE, row.data, row.length, 1000));
    EXPECT_EQ(unlocks + 1, Calls("UnlockPrinter"));
    EXPECT_EQ(1u, LogCapture::Count("PFN_SET_PRINTER_LOCK Execution"));
  }
  EXPECT_EQ(0, Calls("LockPrinter"));
  EXPECT_EQ(0, Calls("DirectIOEx"));
}

// Every operation that reaches the printer, and the SDK entry it goes through.
struct Operation {
  const char* name;
  const char* entry;
  std::function<long(CCommPrinterDriver&)> run;
};

std::vector<Operation> PrinterOperations() {
  static const BYTE kData[] = {0x1B, 0x40};
  return {
      {"write", "DirectIOEx",
       [](CCommPrinterDriver& c) { return c.WritePrinterData(FALSE, kData, 2, 1000); }},
      {"write-read", "DirectIOEx",
       [](CCommPrinterDriver& c) { return c.WriteReadPrinterData(FALSE, kData, 2, 1000); }},
      {"NV memory", "DirectIOEx",
       [](CCommPrinterDriver& c) {
         DWORD v;
         return c.GetRemainNVMemoryCapData(&v);
       }},
      {"user memory", "DirectIOEx",
       [](CCommPrinterDriver& c) {
         DWORD v;
         return c.GetRemainUserMemoryCapData(&v);
       }},
      {"user memory defragmented", "DirectIOEx",
       [](CCommPrinterDriver& c) {
         DWORD v;
         return c.GetRemainUserMemoryCapDefragData(&v);
       }},
      {"function settings", "DirectIOEx",
       [](CCommPrinterDriver& c) {
         BYTE v[CCommPrinterDriver::kFunctionSetBytes];
         return c.GetFunctionSetRespData(v);
       }},
      {"printer ID", "GetPrnCapability",
       [](CCommPrinterDriver& c) {
         DWORD v;
         return c.GetPrinterId(3, &v);
       }},
      {"counter", "GetCounter",
       [](CCommPrinterDriver& c) {
         DWORD v;
         return c.GetPrinterCounter(20, &v);
       }},
  };
}

TEST_F(ChannelTest, SdkResultsMapToInternalCodes) {
  ASSERT_EQ(0, Connect());
  struct Row {
    LONG sdk;
    long code;
  };
  const Row rows[] = {{TBXQD_ERR_OFFLINE, RJ_ERR_OFFLINE},
                      {TBXQD_ERR_TIMEOUT, RJ_ERR_TIMEOUT},
                      {TBXQD_ERR_FAILURE, RJ_ERR_FAILURE},
                      {-5, RJ_ERR_FAILURE}};
  for (const Operation& op : PrinterOperations()) {
    EXPECT_EQ(0, op.run(channel_)) << op.name;
    for (const Row& row : rows) {
      SCOPED_TRACE(testing::Message() << op.name << " " << row.sdk);
      LogCapture::Clear();
      FailNext(op.entry, row.sdk);
      EXPECT_EQ(row.code, op.run(channel_));
      EXPECT_TRUE(LogCapture::Has("DRIVER_ERROR_CODE = " + std::to_string(row.sdk)));
    }
  }
}

TEST_F(ChannelTest, ClosedGateMeansNoPrinterTraffic) {
  ASSERT_EQ(0, Connect());
  CloseGate();
  for (const Operation& op : PrinterOperations()) {
    EXPECT_EQ(RJ_ERR_COVER_OPEN, op.run(channel_)) << op.name;
  }
  EXPECT_TRUE(Written().empty());
  for (const char* entry : {"DirectIOEx", "LockPrinter", "GetPrnCapability", "GetCounter"}) {
    EXPECT_EQ(0, Calls(entry)) << entry;
  }
  // Offline outranks the cover in the gate.
  PrnStatusRecord record;
  FillMemory(&record, sizeof record, 0xFF);
  store_.PowerStatusRecieveAction(0x80000000, &record, nullptr, nullptr);
  for (const Operation& op : PrinterOperations()) {
    EXPECT_EQ(RJ_ERR_OFFLINE, op.run(channel_)) << op.name;
  }
  EXPECT_TRUE(Written().empty());
}

TEST_F(ChannelTest, ForcedWritePassesTheClosedGate) {
  ASSERT_EQ(0, Connect());
  CloseGate();
  TbxSim_SetCoverOpen(name_.c_str(), TRUE);
  EXPECT_EQ(0, Write({0x12, 0x71, 0x80}, /*skipGate=*/TRUE));
  EXPECT_EQ((Bytes{0x12, 0x71, 0x80}), Written());
}

// ---- Framed queries -----------------------------------------------------------------------

TEST_F(ChannelTest, QueriesSendTheirCommandAndDecodeTheReply) {
  ASSERT_EQ(0, Connect());
  TbxSim_SetMemory(name_.c_str(), 0x87654321, 0x00012345, 0x00023456);
  struct Row {
    const char* valueName;
    std::function<long(DWORD*)> query;
    Bytes command;
    DWORD value;
  };
  const Row rows[] = {
      {"REMAIN_NV_MEMORY_CAP", [&](DWORD* v) { return channel_.GetRemainNVMemoryCapData(v); },
       {0x1D, 0x28, 0x4C, 0x02, 0x00, 0x30, 0x03}, 0x87654321},
      {"REMAIN_USER_MEMORY_CAP",
       [&](DWORD* v) { return channel_.GetRemainUserMemoryCapData(v); }, {0x12, 0x2A, 0x32},
       0x00012345},
      {"REMAIN_USER_MEMORY_CAP_DEFRAG",
       [&](DWORD* v) { return channel_.GetRemainUserMemoryCapDefragData(v); },
       {0x12, 0x2A, 0x36}, 0x00023456},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.valueName);
    TbxSim_ClearWritten(name_.c_str());
    LogCapture::Clear();
    DWORD value = 0xCCCCCCCC;
    EXPECT_EQ(0, row.query(&value));
    EXPECT_EQ(row.value, value);
    EXPECT_EQ(row.command, Written());
    EXPECT_TRUE(LogCapture::Has(std::string("ValueName = ") + row.valueName));
    EXPECT_TRUE(LogCapture::Has("PFN_GET_PRINTER_DATA Execution"));
  }
}

TEST_F(ChannelTest, FunctionSettingsDecodeEveryMemorySwitch) {
  ASSERT_EQ(0, Connect());
  const BYTE values[] = {0x04, 0x00, 0x00, 0xC8, 0x07};
  for (int sw = 1; sw <= 5; ++sw) TbxSim_SetMemorySwitch(name_.c_str(), sw, values[sw - 1]);
  TbxSim_SetMemorySwitch(name_.c_str(), 40, 0xA5);
  BYTE switches[CCommPrinterDriver::kFunctionSetBytes];
  EXPECT_EQ(0, channel_.GetFunctionSetRespData(switches));
  EXPECT_EQ((Bytes{0x12, 0x6C, 0x00}), Written());
  for (int i = 0; i < 5; ++i) EXPECT_EQ(values[i], switches[i]) << "switch " << i + 1;
  EXPECT_EQ(0xA5, switches[39]);

  // A memory switch write and the defragment command change what the queries answer.
  EXPECT_EQ(0, Write({0x12, 0x77, 0x81, 0x00, 0x00}));
  EXPECT_EQ(0, channel_.GetFunctionSetRespData(switches));
  EXPECT_EQ(0x00, switches[0]);
  TbxSim_SetMemory(name_.c_str(), 1000, 2000, 5000);
  EXPECT_EQ(0, Write({0x12, 0x2A, 0x31, 0x00}));
  DWORD nv = 0, user = 0;
  EXPECT_EQ(0, channel_.GetRemainNVMemoryCapData(&nv));
  EXPECT_EQ(0, channel_.GetRemainUserMemoryCapData(&user));
  EXPECT_EQ(4000u, nv);
  EXPECT_EQ(5000u, user);
}

TEST_F(ChannelTest, FramedReadKeepsOneFrame) {
  ASSERT_EQ(0, Connect());
  struct Row {
    Bytes reply;
    Bytes frame;
  };
  const Row rows[] = {
      {{0x41, 0x0E, 0xE1, 0xE2, 0xF3, 0x00}, {0x0E, 0xE1, 0xE2, 0xF3, 0x00}},
      {{0x0E, 0xE1, 0x0E, 0xE5, 0x00}, {0x0E, 0xE5, 0x00}},         // a start byte restarts
      {{0x0E, 0x85, 0xE1, 0x41, 0x00, 0xE2}, {0x0E, 0xE1, 0x00}},  // other bytes skipped
  };
  const BYTE command[] = {0x12, 0x2A, 0x32};
  for (const Row& row : rows) {
    Script(row.reply);
    BYTE frame[1024];
    DWORD length = sizeof frame;
    ASSERT_EQ(0, channel_.fnGetPrinterDataEx(3, command, &length, frame, 1000));
    EXPECT_EQ(row.frame, Bytes(frame, frame + length));
  }
}

TEST_F(ChannelTest, FramedReadNeverStoresPastItsRoom) {
  ASSERT_EQ(0, Connect());
  Bytes reply = {0x0E};
  for (int i = 0; i < 18; ++i) reply.push_back(0xE0 | (i & 0x0F));
  reply.push_back(0x00);
  Script(reply);
  BYTE area[16];
  FillMemory(area, sizeof area, 0xCC);
  DWORD length = 10;
  const BYTE command[] = {0x12, 0x2A, 0x32};
  ASSERT_EQ(0, channel_.fnGetPrinterDataEx(3, command, &length, area, 1000));
  EXPECT_EQ(20u, length);  // the whole frame is counted
  EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 10), Bytes(area, area + 10));
  for (int i = 10; i < 16; ++i) EXPECT_EQ(0xCC, area[i]) << i;

  // The query that meets such a frame rejects it.
  Script(reply);
  DWORD value = 0xCCCCCCCC;
  EXPECT_EQ(RJ_ERR_FAILURE, channel_.GetRemainUserMemoryCapData(&value));
  EXPECT_EQ(0u, value);
  EXPECT_TRUE(LogCapture::Has(
      "The reception result of the remaining memory capacity response is invalid\t."));
}

TEST_F(ChannelTest, BadRepliesAreInvalid) {
  ASSERT_EQ(0, Connect());
  Script({0x0E, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0x00});
  DWORD value = 0;
  EXPECT_EQ(0, channel_.GetRemainNVMemoryCapData(&value));
  EXPECT_EQ(0x87654321u, value);

  Script({0x0E, 0xE1, 0xE2, 0x00});  // four bytes where ten belong
  EXPECT_EQ(RJ_ERR_FAILURE, channel_.GetRemainNVMemoryCapData(&value));
  EXPECT_TRUE(LogCapture::Has(
      "The reception result of the NV graphic memory capacity response is invalid."));

  Bytes shortSettings(81, 0xE0);  // 81 bytes: one pair short
  shortSettings.front() = 0x0E;
  shortSettings.back() = 0x00;
  Script(shortSettings);
  BYTE switches[CCommPrinterDriver::kFunctionSetBytes];
  EXPECT_EQ(RJ_ERR_FAILURE, channel_.GetFunctionSetRespData(switches));
  EXPECT_TRUE(
      LogCapture::Has("The reception result of the function setting response is invalid."));

  Bytes longSettings(90, 0xE0);
  longSettings.front() = 0x0E;
  longSettings.back() = 0x00;
  Script(longSettings);
  LogCapture::Clear();
  EXPECT_EQ(RJ_ERR_FAILURE, channel_.GetFunctionSetRespData(switches));
  EXPECT_TRUE(
      LogCapture::Has("The reception result of the function setting response is invalid."));
}

TEST_F(ChannelTest, SplitAndDelayedRepliesAreCollected) {
  ASSERT_EQ(0, Connect());
  TbxSim_SetMemory(name_.c_str(), 0x0BADCAFE, 0, 0);
  TbxSim_SetReplySplit(name_.c_str(), 3);
  DWORD value = 0;
  EXPECT_EQ(0, channel_.GetRemainNVMemoryCapData(&value));
  EXPECT_EQ(0x0BADCAFEu, value);
  EXPECT_GT(Calls("DirectIOEx"), 3);
  TbxSim_SetReplySplit(name_.c_str(), 0);
  TbxSim_SetReplyDelay(name_.c_str(), 50);
  EXPECT_EQ(0, channel_.GetRemainNVMemoryCapData(&value));
  EXPECT_EQ(0x0BADCAFEu, value);
}

TEST_F(ChannelTest, ReplyThatNeverEndsTimesOut) {
  ASSERT_EQ(0, Connect(/*readTimeoutMs=*/100));
  Script({0x0E, 0xE1});  // a frame without its end byte
  DWORD value = 0xCCCCCCCC;
  EXPECT_EQ(RJ_ERR_FAILURE, channel_.GetRemainNVMemoryCapData(&value));
  EXPECT_TRUE(LogCapture::Has("PFN_GET_PRINTER_DATA DRIVER_ERROR_CODE = 1460"));
  Script({});  // no reply at all
  BYTE frame[10];
  DWORD length = sizeof frame;
  const BYTE command[] = {0x12, 0x2A, 0x32};
  EXPECT_EQ(1460, channel_.fnGetPrinterDataEx(3, command, &length, frame, 100));
}

// ---- Printer ID, counters, reset ----------------------------------------------------------

TEST_F(ChannelTest, PrinterIdByType) {
  ASSERT_EQ(0, Connect());
  DWORD value = 0;
  EXPECT_EQ(0, channel_.GetPrinterId(3, &value));
  EXPECT_EQ(0x12u, value);
  EXPECT_TRUE(LogCapture::Has("bIndex = 3"));
  EXPECT_TRUE(LogCapture::Has("PFN_GET_PRINTER_ID Execution"));

  const char* const kInvalid =
      "The response result of the printer ID transmission command is invalid.";
  TbxSim_SetPrinterId(name_.c_str(), 7, 0, 0);
  EXPECT_EQ(RJ_ERR_FAILURE, channel_.GetPrinterId(7, &value));
  EXPECT_FALSE(LogCapture::Has(kInvalid));
  TbxSim_SetPrinterId(name_.c_str(), 7, 5, 9);
  EXPECT_EQ(RJ_ERR_FAILURE, channel_.GetPrinterId(7, &value));
  EXPECT_TRUE(LogCapture::Has(kInvalid));
  EXPECT_EQ(0u, value);
}

TEST_F(ChannelTest, CountersFollowWhatWasPrinted) {
  ASSERT_EQ(0, Connect());
  EXPECT_EQ(0, Write({'A', 0x0A, 'B', 0x0A, 0x1D, 0x56, 0x00}));
  DWORD value = 0;
  EXPECT_EQ(0, channel_.GetPrinterCounter(20, &value));
  EXPECT_EQ(2u, value);
  EXPECT_TRUE(LogCapture::Has("wIndex = 20"));
  EXPECT_TRUE(LogCapture::Has("PFN_GET_PRINTER_COUNTER Execution"));
  EXPECT_EQ(0, channel_.GetPrinterCounter(50, &value));
  EXPECT_EQ(1u, value);
  EXPECT_EQ(0, Write({0x1D, 0x67, 0x30, 0x00, 20, 0x00}));  // GS g 0: counter 20 cleared
  EXPECT_EQ(0, channel_.GetPrinterCounter(20, &value));
  EXPECT_EQ(0u, value);
  EXPECT_EQ(RJ_ERR_FAILURE, channel_.GetPrinterCounter(999, &value));  // no such counter
}

TEST_F(ChannelTest, RestorePrinterResetsUnlessARecoveryRuns) {
  ASSERT_EQ(0, Connect());
  store_.SetRecoveryState(1);
  EXPECT_EQ(RJ_ERR_FAILURE, channel_.RestorePrinter());
  EXPECT_EQ(0, Calls("Reset"));
  store_.SetRecoveryState(0);
  TbxSim_SetStatusBits(name_.c_str(), TBXQD_ST_AUTOCUTTER | TBXQD_ST_RESET_REQUEST,
                       TBXQD_ST_AUTOCUTTER | TBXQD_ST_RESET_REQUEST);
  TbxSim_SetResetOfflineTime(name_.c_str(), 0);  // the word at once, not after the reset
  EXPECT_EQ(0, channel_.RestorePrinter());
  EXPECT_TRUE(LogCapture::Has("PFN_SET_PRINTER_RESET Execution"));
  EXPECT_EQ(kReadyWord, TbxSim_GetStatusWord(name_.c_str()));  // the reset cleared both
  FailNext("Reset", TBXQD_ERR_FAILURE);
  EXPECT_EQ(RJ_ERR_FAILURE, channel_.RestorePrinter());
}

// ---- Raw reads and the status callback ----------------------------------------------------

TEST_F(ChannelTest, ImmediateReadReturnsCompletionBytes) {
  ASSERT_EQ(0, Connect());
  EXPECT_EQ(0, Write({0x12, 0x71, 0x85, 'x', 0x12, 0x71, 0x8A}));
  BYTE buffer[CCommPrinterDriver::kRawBufferSize];
  ASSERT_EQ(2u, channel_.GetRawDataImmediate(buffer));
  EXPECT_EQ(0x85, buffer[0]);
  EXPECT_EQ(0x8A, buffer[1]);
  EXPECT_TRUE(LogCapture::Has("Received data size is 2"));
  EXPECT_EQ(0u, channel_.GetRawDataImmediate(buffer));
  EXPECT_EQ(0, Write({0x12, 0x71, 0x81}));
  FailNext("#31", TBXQD_ERR_FAILURE);
  EXPECT_EQ(0u, channel_.GetRawDataImmediate(buffer));
}

TEST_F(ChannelTest, RawReadReturnsReplyBytes) {
  ASSERT_EQ(0, Connect(/*readTimeoutMs=*/50));
  EXPECT_EQ(0, Write({0x12, 0x2A, 0x32}));  // the reply waits to be read
  BYTE buffer[CCommPrinterDriver::kRawBufferSize];
  ASSERT_EQ(10u, channel_.GetRawData(buffer));
  EXPECT_EQ(0x0E, buffer[0]);
  EXPECT_EQ(0x00, buffer[9]);
  EXPECT_TRUE(LogCapture::Has("Received data."));
  EXPECT_EQ(0u, channel_.GetRawData(buffer));  // nothing came within the read timeout
  FailNext("DirectIOEx", TBXQD_ERR_OFFLINE);
  EXPECT_EQ(0u, channel_.GetRawData(buffer));
  EXPECT_TRUE(LogCapture::Has("PFN_GET_PRINTER_DATA DRIVER_ERROR_CODE = -110"));
}

HANDLE g_statusArrived = CreateEventA(nullptr, FALSE, FALSE, nullptr);
volatile long g_lastStatus = 0;

long WINAPI StatusCallback(long word) {
  g_lastStatus = word;
  SetEvent(g_statusArrived);
  return 0;
}

TEST_F(ChannelTest, StatusCallbackRegistration) {
  ASSERT_EQ(0, Connect());
  ASSERT_EQ(0, channel_.SetPrinterCallbackASB(&StatusCallback));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(g_statusArrived, 5000));
  EXPECT_EQ(long(kReadyWord), g_lastStatus);
  TbxSim_SetCoverOpen(name_.c_str(), TRUE);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(g_statusArrived, 5000));
  EXPECT_EQ(long(kReadyWord | TBXQD_ST_COVER_OPEN), g_lastStatus);
  EXPECT_EQ(0, channel_.CancelPrinterCallbackASB());
  EXPECT_TRUE(LogCapture::Has("PFN_SET_CALLBACK_ASB Success"));
  EXPECT_TRUE(LogCapture::Has("PFN_CANCEL_CALLBACK_ASB Success"));

  FailNext("SetStatusBackFunction", TBXQD_ERR_FAILURE);
  EXPECT_EQ(OPOS_E_FAILURE, channel_.SetPrinterCallbackASB(&StatusCallback));
  FailNext("CancelStatusBack", TBXQD_ERR_FAILURE);
  EXPECT_EQ(OPOS_E_FAILURE, channel_.CancelPrinterCallbackASB());
  EXPECT_TRUE(LogCapture::Has("PFN_CANCEL_CALLBACK_ASB DRIVER_ERROR_CODE = -1"));
}

// ---- The printer mutex across processes ---------------------------------------------------

struct WriteJob {
  CCommPrinterDriver* channel;
  long result;
};

DWORD WINAPI WriteOnThread(void* param) {
  auto* job = static_cast<WriteJob*>(param);
  static const BYTE kData[] = {'M', 0x0A};
  job->result = job->channel->WritePrinterData(FALSE, kData, sizeof kData, 1000);
  return 0;
}

TEST_F(ChannelTest, WriteWaitsForAnotherProcessHoldingTheMutex) {
  ASSERT_EQ(0, Connect());
  const std::string tag = std::to_string(GetCurrentProcessId());
  const std::string heldName = "ChanTest.Held." + tag, releaseName = "ChanTest.Release." + tag;
  ScopedHandle held(CreateEventA(nullptr, TRUE, FALSE, heldName.c_str()));
  ScopedHandle release(CreateEventA(nullptr, TRUE, FALSE, releaseName.c_str()));
  ASSERT_TRUE(held.valid() && release.valid());

  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string path(exe);
  path = path.substr(0, path.find_last_of('\\') + 1) + "channel_mutex_holder.exe";
  std::string command = "\"" + path + "\" \"" + MutexName(name_) + "\" " + heldName + " " +
                        releaseName;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessA(path.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &process));
  ScopedHandle processHandle(process.hProcess), threadHandle(process.hThread);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(held.get(), 10000));

  WriteJob job{&channel_, -1};
  ScopedHandle writer(CreateThread(nullptr, 0, &WriteOnThread, &job, 0, nullptr));
  // While the other process holds the mutex the write does not reach the printer.
  EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForSingleObject(writer.get(), 300));
  EXPECT_TRUE(Written().empty());

  SetEvent(release.get());
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(writer.get(), 10000));
  EXPECT_EQ(0, job.result);
  EXPECT_EQ((Bytes{'M', 0x0A}), Written());
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(processHandle.get(), 10000));
  DWORD exitCode = 1;
  GetExitCodeProcess(processHandle.get(), &exitCode);
  EXPECT_EQ(0u, exitCode);
}

}  // namespace
