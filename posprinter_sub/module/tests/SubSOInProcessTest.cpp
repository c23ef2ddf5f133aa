// The sub-module's instance in this process (exports linked in): initialisation log lines,
// the Windows printer lookup's effect on the snapshot, and the DirectIO single-token lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "Exports.h"
#include "LogContext.h"
#include "PrennikApp.h"
#include "ScopedHandle.h"
#include "StatusQueue.h"
#include "SubSO.h"
#include "SubSOSettings.h"
#include "TbxSim.h"

namespace {

std::vector<std::string>& Texts() {
  static std::vector<std::string> texts;
  return texts;
}
std::vector<std::string>& Functions() {
  static std::vector<std::string> functions;
  return functions;
}
void Record(DWORD, const char* function, const char* line) {
  Texts().push_back(line);
  Functions().push_back(function ? function : "");
}
// The lines one function wrote since the last clear.
std::vector<std::string> LinesOf(const char* function) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < Texts().size(); ++i)
    if (Functions()[i] == function) lines.push_back(Texts()[i]);
  return lines;
}
void ClearLines() {
  Texts().clear();
  Functions().clear();
}

class InProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    key_ = std::string(kPosPrinterClassKey) + "\\SvcInProcessDevice";
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, key_.c_str());
    CLogContext::SetLineObserver(&Record);
    ClearLines();
  }
  void TearDown() override {
    TheApp().ReleaseAllSlots();
    CLogContext::SetLineObserver(nullptr);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, key_.c_str());
  }
  void SetValue(const char* name, const char* value) {
    ScopedRegKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.receive(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                             static_cast<DWORD>(strlen(value) + 1)),
              ERROR_SUCCESS);
  }
  std::string key_;
  PrnPropertySnapshot snapshot_{};
};

TEST_F(InProcess, InitialisationLinesAndMissingWindowsPrinter) {
  SetValue("DriverName", "SvcNoSuchWindowsPrinter");
  SetValue("PaperSize", "0");
  long slot = -1;
  ASSERT_EQ(initSubSO("SvcInProcessDevice", 1014000, &snapshot_, &slot, nullptr), 0);
  const std::vector<std::string> expected = {
      "[SvcInProcessDevice] [Enter   ] initSubSO ",
      "[SvcInProcessDevice] [Param   ] DeviceName SvcInProcessDevice",
      "[SvcInProcessDevice] [Info    ] Version: 1.14.1.3",
      "[SvcInProcessDevice] [Result  ] 0 ",
      "[SvcInProcessDevice] [Exit    ] initSubSO ",
  };
  EXPECT_EQ(Texts(), expected);
  EXPECT_EQ(snapshot_.serviceObjectVersion, 1014001);
  EXPECT_EQ(snapshot_.resultCode, 0);
  // No Windows printer: no description texts, the rest of initialisation goes on.
  EXPECT_EQ(snapshot_.deviceDescription, nullptr);
  EXPECT_EQ(snapshot_.serviceObjectDescription, nullptr);
  EXPECT_EQ(snapshot_.deviceName, nullptr);
  ASSERT_NE(snapshot_.recLineCharsList, nullptr);
  EXPECT_STREQ(snapshot_.recLineCharsList, "18,20,22,24,28,32,36");
  const CSubSO* instance = TheApp().Instance(slot);
  ASSERT_NE(instance, nullptr);
  EXPECT_EQ(instance->settings().PortName, "");
  EXPECT_EQ(instance->settings().ModelText, "");
  EXPECT_EQ(instance->settings().PaperSize, 0);
  PrnSnapshotArgs release{&snapshot_};
  EXPECT_EQ(otherMethod(PRN_SERVICE_FREE_RESULT_RECORD, reinterpret_cast<long*>(&release), slot),
            0);
}

TEST_F(InProcess, VersionRule) {
  const struct {
    long core;
    long result;
  } rows[] = {{1013999, 106}, {1014000, 0}, {1014999, 0}, {2000000, 0}, {0, 106}};
  for (const auto& row : rows) {
    PrnPropertySnapshot snapshot{};
    snapshot.serviceObjectVersion = -3;
    long slot = -1;
    EXPECT_EQ(initSubSO("SvcInProcessDevice", row.core, &snapshot, &slot, nullptr), row.result)
        << row.core;
    EXPECT_EQ(snapshot.serviceObjectVersion, row.result == 0 ? 1014001 : -3) << row.core;
    PrnSnapshotArgs release{&snapshot};
    (void)otherMethod(PRN_SERVICE_FREE_RESULT_RECORD, reinterpret_cast<long*>(&release), slot);
    (void)terminateSubSO(slot);
  }
}

TEST_F(InProcess, SecondInitialisationOfAnInstanceFails) {
  long slot = -1;
  ASSERT_EQ(initSubSO("SvcInProcessDevice", 1014000, &snapshot_, &slot, nullptr), 0);
  CSubSO* instance = TheApp().Instance(slot);
  ASSERT_NE(instance, nullptr);
  ClearLines();
  PrnPropertySnapshot again{};
  again.serviceObjectVersion = -3;
  EXPECT_EQ(instance->initSubSODet("SvcInProcessDevice", 1014000, &again, nullptr), 111);
  EXPECT_EQ(again.resultCode, 111);
  EXPECT_EQ(again.serviceObjectVersion, -3) << "nothing is read again";
  EXPECT_EQ(again.recLineCharsList, nullptr);
  const std::vector<std::string> expected = {"[SvcInProcessDevice] [Result  ] 111 ",
                                             "[SvcInProcessDevice] [Exit    ] initSubSO "};
  EXPECT_EQ(Texts(), expected);
  EXPECT_TRUE(instance->initialised());
  PrnSnapshotArgs release{&snapshot_};
  EXPECT_EQ(otherMethod(PRN_SERVICE_FREE_RESULT_RECORD, reinterpret_cast<long*>(&release), slot),
            0);
}

struct DirectIORow {
  bool characterSet;
  long data;
  long type;
  std::vector<BYTE> bytes;
};

TEST_F(InProcess, DirectIOSingleTokenLists) {
  long slot = -1;
  ASSERT_EQ(initSubSO("SvcInProcessDevice", 1014000, &snapshot_, &slot, nullptr), 0);
  CSubSO* instance = TheApp().Instance(slot);
  const DirectIORow rows[] = {{true, 0x108, 717, {0x1B, 0x52, 0x08}},  // ESC R n, low byte
                              {false, 5, 710, {0x12, 0x71, 0x85}}};    // DC2 q (n | 0x80)
  for (const DirectIORow& row : rows) {
    long data = row.data;
    PrnDirectIOFlags flags{0, 0, 0};
    PrnTokenList* list = nullptr;
    PrnPropertySnapshot snapshot{};
    snapshot.resultCode = snapshot.resultCodeExtended = 99;
    PrnExecDirectIOArgs block{nullptr, nullptr, row.characterSet ? 201 : 2, &data, nullptr,
                              &flags, &list, &snapshot};
    ASSERT_EQ(row.characterSet ? instance->makeDirectIOTokenA(&block)
                               : instance->makeDirectIOTokenB(&block),
              0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->station, 2);
    const PrnTokenNode* node = PrnOldestToken(list);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(PrnNewerToken(node), nullptr) << "one token";
    EXPECT_EQ(node->token->type, row.type);
    EXPECT_EQ(std::vector<BYTE>(node->token->data, node->token->data + node->token->length),
              row.bytes);
    EXPECT_EQ(flags.useTransaction + flags.usePageMode + flags.useRotation, 3);
    EXPECT_EQ(snapshot.resultCode, 0);
    EXPECT_EQ(snapshot.resultCodeExtended, 0);
    PrnListArgs free{list};
    EXPECT_EQ(otherMethod(PRN_SERVICE_FREE_COMMAND_LIST, reinterpret_cast<long*>(&free), slot), 0);
  }
  PrnSnapshotArgs release{&snapshot_};
  EXPECT_EQ(otherMethod(PRN_SERVICE_FREE_RESULT_RECORD, reinterpret_cast<long*>(&release), slot),
            0);
}

// What a core records from the callbacks of one device.
struct Recorded {
  std::vector<long> statusCodes;
  std::vector<long> responseIds;
  struct Notice {
    long resultCode, resultCodeExtended, severity;
    std::string text;
  };
  std::vector<Notice> notices;
};
long SUBAPI_CALL OnStatus(PrnStatusRecord*, long code, void* context) {
  static_cast<Recorded*>(context)->statusCodes.push_back(code);
  return 0;
}
long SUBAPI_CALL OnResponse(long id, void* context) {
  static_cast<Recorded*>(context)->responseIds.push_back(id);
  return 0;
}
long SUBAPI_CALL OnError(long resultCode, long resultCodeExtended, long severity,
                         const char* text, void* context) {
  static_cast<Recorded*>(context)->notices.push_back(
      {resultCode, resultCodeExtended, severity, text ? text : "<null>"});
  return 0;
}

constexpr char kSimPrinter[] = "SvcInProcessSim";

// Claimed (1016, connectPrinter, 1001) against the simulated printer, not enabled: status
// words are posted to the slot's queue by the test itself, so each 1012 sees exactly them.
class InProcessDevice : public InProcess {
 protected:
  void SetUp() override {
    InProcess::SetUp();
    TbxSim_Reset(kSimPrinter);
    SetValue("DriverName", kSimPrinter);
    SetValue("MarkMode", "1");
    SetValue("PaperSize", "1");
    SetValue("PrintSpeed", "0");
    ASSERT_EQ(initSubSO("SvcInProcessDevice", 1014000, &snapshot_, &slot_, &recorded_), 0);
    PrnStatusFunctionSet functions{&OnStatus, nullptr, nullptr, nullptr};
    PrnResponseCodeRecord response{&OnResponse};
    PrnErrorNoticeRecord error{&OnError};
    event_.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    eventHandle_ = event_.get();
    PrnStatusEventRecord event{&eventHandle_};
    ASSERT_EQ(setCallbackFunction(PRN_CALLBACK_STATUS_FUNCTION_SET,
                                  reinterpret_cast<void**>(&functions), slot_), 0);
    ASSERT_EQ(setCallbackFunction(PRN_CALLBACK_RESPONSE_CODE,
                                  reinterpret_cast<void**>(&response), slot_), 0);
    ASSERT_EQ(setCallbackFunction(PRN_CALLBACK_ERROR_NOTICE, reinterpret_cast<void**>(&error),
                                  slot_), 0);
    ASSERT_EQ(setCallbackFunction(PRN_CALLBACK_STATUS_EVENT, reinterpret_cast<void**>(&event),
                                  slot_), 0);
    PrnRecordArgs init{&input_};
    ASSERT_EQ(Other(PRN_SERVICE_INIT_DEVICE, &init), 0);
    ASSERT_EQ(connectPrinter(slot_), 0);
  }
  void TearDown() override {
    PrnSnapshotArgs release{&snapshot_};
    (void)Other(PRN_SERVICE_FREE_RESULT_RECORD, &release);
    (void)disconnectPrinter(slot_);
    (void)terminateSubSO(slot_);
    InProcess::TearDown();
  }
  long Other(long service, void* block) {
    return otherMethod(service, static_cast<long*>(block), slot_);
  }
  long Activate() {
    PrnRecordSnapshotArgs block{&input_, &snapshot_};
    return Other(PRN_SERVICE_ACTIVATE_DEVICE, &block);
  }
  // Service 1012 once, as the core's receive thread calls it.
  long ProcessStatus() {
    status_ = PrnStatusRecord{};
    std::memset(&status_, 0xFF, sizeof status_);
    result_ = PrnPropertySnapshot{};
    PrnProcStatusArgs block{&status_, &result_};
    return Other(PRN_SERVICE_PROC_CALLBACK_STATUS, &block);
  }
  long Write(const std::vector<BYTE>& bytes, long force = 0) {
    PrnWriteArgs block{force, bytes.data(), static_cast<long>(bytes.size()), &severity_, &text_,
                       &rce_};
    return Other(PRN_SERVICE_WRITE_PRINTER_DATA, &block);
  }

  long slot_ = -1;
  Recorded recorded_;
  PrnInputProperty input_{};
  ScopedHandle event_;
  HANDLE eventHandle_ = nullptr;
  PrnStatusRecord status_{};
  PrnPropertySnapshot result_{};
  long severity_ = 0, rce_ = -1;
  const char* text_ = nullptr;
};

TEST_F(InProcessDevice, ActivationLogsTheWantedSwitchBytes) {
  ClearLines();
  ASSERT_EQ(Activate(), 0);
  // MarkMode 1, PaperSize 1, PrintSpeed 0.
  const std::vector<std::string> expected = {
      "[SvcInProcessDevice] [Info    ] SWDIP1 = 0x00\n ",
      "[SvcInProcessDevice] [Info    ] SWDIP4 = 0xC8\n ",
      "[SvcInProcessDevice] [Info    ] SWDIP5 = 0x04\n ",
  };
  EXPECT_EQ(LinesOf("CSubSO::ConvertRegDataToBinaryData"), expected);
}

TEST_F(InProcessDevice, QueuedWordsInOrderOfflineOnlyToThePowerPath) {
  ASSERT_EQ(Activate(), 0);
  ASSERT_EQ(ProcessStatus(), 0);  // nothing queued: no lines
  ClearLines();
  const DWORD ready = TBXQD_ST_READY;
  for (DWORD word : {ready, DWORD{0x80000000}, ready | TBXQD_ST_COVER_OPEN})
    ASSERT_EQ(postCallbackStatus(slot_, word), 0);
  EXPECT_EQ(WaitForSingleObject(event_.get(), 0), WAIT_OBJECT_0) << "each word signals";
  ASSERT_EQ(ProcessStatus(), 0);
  const std::string there =
      "[SvcInProcessDevice] [Info    ] procCallbackStatus There is data in the callback status "
      "queue.";
  const std::vector<std::string> expected = {
      there, "[SvcInProcessDevice] [Info    ] ASB Data Callback = 0x00000100 ",
      there, "[SvcInProcessDevice] [Info    ] ASB Data Callback = 0x80000000 ",
      there, "[SvcInProcessDevice] [Info    ] ASB Data Callback = 0x00000180 ",
      "[SvcInProcessDevice] [Info    ] procCallbackStatus exit"};
  EXPECT_EQ(LinesOf("CSubSO::procCallbackStatus"), expected);
  // Online, offline (the offline word changes no error flag), cover open, online again.
  EXPECT_EQ(recorded_.statusCodes, std::vector<long>({2001, 2004, 11, 2001}));
  ASSERT_EQ(recorded_.notices.size(), 1u);
  EXPECT_EQ(recorded_.notices[0].resultCode, 114);
  EXPECT_EQ(recorded_.notices[0].resultCodeExtended, 201);
  EXPECT_EQ(recorded_.notices[0].severity, 2);
  EXPECT_EQ(recorded_.notices[0].text, "Cover open error");
  EXPECT_EQ(result_.resultCode, 114);
  EXPECT_EQ(result_.resultCodeExtended, 201);
  EXPECT_EQ(result_.errorLevel, 2);
}

TEST_F(InProcessDevice, CompletionBytesOnlyFrom80To8F) {
  ASSERT_EQ(Activate(), 0);
  // DC2 q 0x90 is answered with 0x90, DC2 q 5 with 0x85.
  ASSERT_EQ(Write({0x12, 0x71, 0x90, 0x12, 0x71, 0x85}), 0);
  ClearLines();
  for (int i = 0; i < 200 && recorded_.responseIds.empty(); ++i) {
    Sleep(10);
    ASSERT_EQ(ProcessStatus(), 0);
  }
  EXPECT_EQ(recorded_.responseIds, std::vector<long>({5}));
  const std::vector<std::string> expected = {
      "[SvcInProcessDevice] [Info    ] Received data. ",
      "[SvcInProcessDevice] [Info    ] Execution response reception data  85"};
  EXPECT_EQ(LinesOf("CSubSO::procCallbackStatus"), expected);
}

TEST_F(InProcessDevice, FailedWriteLooksForAResetCause) {
  ASSERT_EQ(Activate(), 0);
  TbxSim_FailNext(kSimPrinter, "DirectIOEx", TBXQD_ERR_FAILURE, 1);
  ClearLines();
  EXPECT_EQ(Write({0x0A}), 111);
  EXPECT_EQ(rce_, 0);
  EXPECT_EQ(severity_, 2);
  ASSERT_NE(text_, nullptr);
  EXPECT_STREQ(text_, "Failure");
  const std::vector<std::string> lines = LinesOf("CSubSO::WritePrinterData");
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "[SvcInProcessDevice] [Info    ] ResetCouse = 0 "),
            lines.end());
}

TEST_F(InProcessDevice, ResetForErrorRecoveryOncePerWrite) {
  ASSERT_EQ(Activate(), 0);
  ASSERT_EQ(postCallbackStatus(slot_, TBXQD_ST_READY), 0);
  ASSERT_EQ(ProcessStatus(), 0);
  ASSERT_EQ(Write({0x0A}), 0);
  const LONG resets = TbxSim_GetCallCount(kSimPrinter, "Reset");
  ClearLines();
  // A Vp voltage error with the printer's reset request, newly raised after a write.
  ASSERT_EQ(postCallbackStatus(slot_, TBXQD_ST_READY | TBXQD_ST_VP_VOLTAGE |
                                          TBXQD_ST_RESET_REQUEST),
            0);
  ASSERT_EQ(ProcessStatus(), 0);
  EXPECT_EQ(TbxSim_GetCallCount(kSimPrinter, "Reset"), resets + 1);
  const std::vector<std::string> lines = LinesOf("CSubSO::procCallbackStatus");
  const std::vector<std::string> reset = {
      "[SvcInProcessDevice] [Info    ] Printer reset processing starts for error recovery. ",
      "[SvcInProcessDevice] [Info    ] Printer reset processing finished because error "
      "recoveried. = 0 "};
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.begin() + 4), reset);
  ASSERT_FALSE(recorded_.notices.empty());
  EXPECT_EQ(recorded_.notices.back().resultCodeExtended, 1001);
  EXPECT_EQ(recorded_.notices.back().text, "Vp voltage error");
  // Another newly raised error with a reset request but no write in between: no reset.
  ASSERT_EQ(postCallbackStatus(slot_, TBXQD_ST_READY | TBXQD_ST_VP_VOLTAGE |
                                          TBXQD_ST_COVER_OPEN | TBXQD_ST_RESET_REQUEST),
            0);
  ASSERT_EQ(ProcessStatus(), 0);
  EXPECT_EQ(TbxSim_GetCallCount(kSimPrinter, "Reset"), resets + 1);
}

}  // namespace
