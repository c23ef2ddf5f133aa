// prennik.dll driven the way the core drives it, against the simulated printer: open, claim
// (memory switches), enable, print, status changes, disable, release and close.
#include "DeviceFixture.h"

namespace devicetest {
namespace {

TEST_F(DeviceCycle, OpenClaimEnablePrintDisableReleaseClose) {
  // Open: capability block and fixed parameters.
  SetSwitches(0x04, 0xC8, 0x04);  // already as the settings want them
  ASSERT_EQ(OpenAndClaim(), 0);
  EXPECT_EQ(rec_.snapshot.resultCode, 0);
  const PrnPropertySnapshot& opened = core_.openSnapshot();
  ASSERT_NE(opened.deviceDescription, nullptr);
  EXPECT_STREQ(opened.deviceDescription, "KVR TBX910QD/911QD POS Printer");
  EXPECT_STREQ(opened.deviceName, "TBX910QD/911QD POS Printer");
  EXPECT_STREQ(opened.recLineCharsList, "27,30,33,36,43,48,54");  // PaperSize 1
  EXPECT_EQ(opened.serviceObjectVersion, 1014001);
  PrnCapabilityBlock caps{};
  ASSERT_EQ(core_.Capability(&caps), 0);
  EXPECT_EQ(caps.capRecPresent, 1);
  EXPECT_EQ(caps.capRecRuledLine, 3);
  EXPECT_EQ(caps.capRecNearEndSensor, 1);  // _NearEnd "1"
  EXPECT_EQ(caps.capRecMarkFeed, 0);
  long v1 = 0, v2 = 0, v3 = 0;
  PrnFixedParametersArgs fixed{&v1, &v2, &v3};
  ASSERT_EQ(core_.Other(PRN_SERVICE_GET_FIXED_PARAMETERS, &fixed), 0);
  EXPECT_EQ(std::vector<long>({v1, v2, v3}), std::vector<long>({99, 7, 203}));
  EXPECT_EQ(Hex(Written()), Hex(Cat({kInitialize, kSwitchQuery})));

  // Enable: the initial status is reported, the printer's buffer cleared once.
  TbxSim_ClearWritten(kPrinter);
  ASSERT_EQ(Enable(), 0);
  EXPECT_EQ(Hex(Written()), Hex(kBufferClear));
  ASSERT_EQ(core_.statusCalls.size(), 3u);
  EXPECT_EQ(core_.statusCalls[0].code, 12);    // cover closed
  EXPECT_EQ(core_.statusCalls[1].code, 26);    // receipt paper OK
  EXPECT_EQ(core_.statusCalls[2].code, 2001);  // online
  EXPECT_EQ(rec_.snapshot.characterSet, 932);
  EXPECT_EQ(rec_.snapshot.recLineChars, 36);
  EXPECT_EQ(rec_.snapshot.recLineWidth, 432);
  EXPECT_EQ(rec_.snapshot.carryWord, 2400);
  TbxSim_ClearWritten(kPrinter);
  ASSERT_EQ(Enable(), 0);
  EXPECT_EQ(Hex(Written()), "") << "the buffer is cleared at the first enable only";

  // PrintNormal with response id 12, written through 1004; the printer answers 0x8C.
  const Bytes output = BuildOutput(PRN_METHOD_PRINT_NORMAL, "AB\n", 12);
  const Bytes expected = Cat({{0x1B, 0x33, 30}, kFont2, kCharset932, kUpright, {'A', 'B'},
                              {0x0A}, {0x12, 0x71, 0x8C}});
  EXPECT_EQ(Hex(output), Hex(expected));
  long severity = 0, rce = -1;
  const char* text = nullptr;
  ASSERT_EQ(Write(output, &severity, &text, &rce), 0);
  EXPECT_EQ(severity, 1);
  EXPECT_EQ(rce, 0);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "");
  EXPECT_EQ(Hex(Written()), Hex(expected));
  ASSERT_TRUE(Pump([&] { return !core_.responseIds.empty(); }));
  EXPECT_EQ(core_.responseIds, std::vector<long>({12}));

  // PrintImmediate builds the same tokens.
  EXPECT_EQ(Hex(BuildOutput(PRN_METHOD_PRINT_IMMEDIATE, "AB\n", 12)), Hex(expected));

  // Status changes through the SDK's callback thread, the queue and 1012.
  struct Change {
    const char* what;
    void (*apply)();
    long code;
  };
  const Change changes[] = {
      {"cover open", [] { TbxSim_SetCoverOpen(kPrinter, TRUE); }, 11},
      {"cover closed", [] { TbxSim_SetCoverOpen(kPrinter, FALSE); }, 12},
      {"near end", [] { TbxSim_SetPaper(kPrinter, TBXSIM_PAPER_NEAR_END); }, 25},
      {"paper empty", [] { TbxSim_SetPaper(kPrinter, TBXSIM_PAPER_EMPTY); }, 24},
      {"paper back", [] { TbxSim_SetPaper(kPrinter, TBXSIM_PAPER_PRESENT); }, 26},
      {"offline", [] { TbxSim_SetOnline(kPrinter, FALSE); }, 2004},
      {"online", [] { TbxSim_SetOnline(kPrinter, TRUE); }, 2001},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.what);
    core_.statusCalls.clear();
    core_.errorNotices.clear();
    change.apply();
    ASSERT_TRUE(Pump([&] { return HasStatusCode(core_, change.code); }));
  }

  // Disable: buffer clear and deactivation (MCAutoSave "1"); no status afterwards.
  TbxSim_ClearWritten(kPrinter);
  ASSERT_EQ(core_.Other(PRN_SERVICE_DEACTIVATE_DEVICE, nullptr), 0);
  EXPECT_EQ(Hex(Written()), Hex(Cat({kBufferClear, kDeactivate})));
  EXPECT_FALSE(TbxSim_IsStatusThreadRunning());
  core_.statusCalls.clear();
  TbxSim_SetCoverOpen(kPrinter, TRUE);
  EXPECT_FALSE(Pump([&] { return !core_.statusCalls.empty(); }, /*rounds=*/5));

  // Release and close.
  EXPECT_EQ(core_.exports().disconnectPrinter(core_.slot()), 0);
  EXPECT_EQ(TbxSim_GetOpenHandleCount(kPrinter), 0);
  EXPECT_EQ(core_.Close(), 0);
}

TEST_F(DeviceCycle, ErrorsReachTheCoreAsNotices) {
  SetSwitches(0x04, 0xC8, 0x04);
  ASSERT_EQ(OpenAndClaim(), 0);
  ASSERT_EQ(Enable(), 0);
  ASSERT_TRUE(Pump([&] { return true; }, /*rounds=*/1));  // the registration's first word
  ResetEvent(core_.statusEvent());
  TbxSim_SetCoverOpen(kPrinter, TRUE);
  EXPECT_EQ(WaitForSingleObject(core_.statusEvent(), 5000), WAIT_OBJECT_0)
      << "a queued word signals the core's status event";
  ASSERT_TRUE(Pump([&] { return !core_.errorNotices.empty(); }));
  const fakecore::ErrorNotice notice = core_.errorNotices.back();
  EXPECT_EQ(notice.resultCode, 114);
  EXPECT_EQ(notice.resultCodeExtended, 201);
  EXPECT_EQ(notice.severity, 2);
  EXPECT_EQ(notice.text, "Cover open error");
  EXPECT_EQ(result_.resultCode, 114);
  EXPECT_EQ(result_.resultCodeExtended, 201);
  EXPECT_EQ(result_.errorLevel, 2);

  // The gate refuses writes while the cover is open: nothing reaches the printer.
  TbxSim_ClearWritten(kPrinter);
  long severity = 0, rce = 0;
  const char* text = nullptr;
  EXPECT_EQ(Write({'X'}, &severity, &text, &rce), 114);
  EXPECT_EQ(rce, 201);
  EXPECT_EQ(severity, 2);
  EXPECT_STREQ(text, "Cover open error");
  EXPECT_EQ(Hex(Written()), "");
}

TEST_F(DeviceCycle, DifferingSwitchesGetOneWrite) {
  SetSwitches(0x01, 0x42, 0x80);  // unmanaged bits set; managed bits all wrong
  ASSERT_EQ(OpenAndClaim(), 0);
  const Bytes write = {0x12, 0x77, 0x81, 0x05, 0x00, 0x12, 0x77, 0x84, 0xCA, 0x00,
                       0x12, 0x77, 0x85, 0x84, 0x00};
  EXPECT_EQ(Hex(Written()), Hex(Cat({kInitialize, kSwitchQuery, write, kSwitchQuery})));
  EXPECT_EQ(TbxSim_GetMemorySwitch(kPrinter, 1), 0x05);
  EXPECT_EQ(TbxSim_GetMemorySwitch(kPrinter, 4), 0xCA);
  EXPECT_EQ(TbxSim_GetMemorySwitch(kPrinter, 5), 0x84);
}

TEST_F(DeviceCycle, MarkModeSwitches) {
  SetValue("MarkMode", "1");
  SetSwitches(0x04, 0xC8, 0x04);
  ASSERT_EQ(OpenAndClaim(), 0);
  const Bytes write = {0x12, 0x77, 0x81, 0x00, 0x00, 0x12, 0x77, 0x84, 0xC8, 0x00,
                       0x12, 0x77, 0x85, 0x04, 0x00};
  EXPECT_EQ(Hex(Written()), Hex(Cat({kInitialize, kSwitchQuery, write, kSwitchQuery})));
  PrnCapabilityBlock caps{};
  ASSERT_EQ(core_.Capability(&caps), 0);
  EXPECT_EQ(caps.capRecMarkFeed, 15);
}

TEST_F(DeviceCycle, SwitchesThePrinterRefusesFailActivation) {
  SetSwitches(0x00, 0x00, 0x00);
  TbxSim_LockMemorySwitches(kPrinter, TRUE);
  EXPECT_EQ(OpenAndClaim(), 111);
  EXPECT_EQ(rec_.snapshot.resultCode, 111);
}

TEST_F(DeviceCycle, EmptyAndMissingDataPrintNoText) {
  SetSwitches(0x04, 0xC8, 0x04);
  ASSERT_EQ(OpenAndClaim(), 0);
  ASSERT_EQ(Enable(), 0);
  const Bytes leading = Cat({kCharset932, kUpright});
  EXPECT_EQ(Hex(BuildOutput(PRN_METHOD_PRINT_NORMAL, "", -1)), Hex(leading));
  EXPECT_EQ(Hex(BuildOutput(PRN_METHOD_PRINT_NORMAL, nullptr, -1)), Hex(leading));
  EXPECT_EQ(Hex(BuildOutput(PRN_METHOD_PRINT_IMMEDIATE, nullptr, -1)), Hex(leading));
}

TEST_F(DeviceCycle, PrintValidationAndDecoding) {
  SetSwitches(0x04, 0xC8, 0x04);
  ASSERT_EQ(OpenAndClaim(), 0);
  for (long station : {0L, 3L, -1L, 4L}) {
    long rce = -1;
    PrnPreStationTextArgs pre{&rec_.input, station, "x", &rce};
    EXPECT_EQ(core_.Pre(PRN_METHOD_PRINT_NORMAL, &pre), 106) << station;
    EXPECT_EQ(rce, 0);
    EXPECT_EQ(core_.Pre(PRN_METHOD_PRINT_IMMEDIATE, &pre), 106) << station;
  }
  struct Row {
    long conversion;
    const char* data;
    long result;
    const char* tokenized;
  };
  const Row rows[] = {{1, "4142", 0, "AB"}, {1, "414", 106, nullptr}, {2, "065066", 0, "AB"},
                      {2, "0650", 106, nullptr}, {0, "4142", 0, "4142"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.data);
    rec_.input.binaryConversion = row.conversion;
    core_.tokenizedData.clear();
    PrnTokenList* list = reinterpret_cast<PrnTokenList*>(0x1);  // left alone on failure
    PrnExecStationTextArgs exec{&rec_.input, &rec_.station, 2, row.data, &list, &rec_.snapshot};
    EXPECT_EQ(core_.Execute(PRN_METHOD_PRINT_NORMAL, &exec), row.result);
    EXPECT_EQ(rec_.snapshot.resultCode, row.result);
    if (row.result != 0) {
      EXPECT_EQ(list, reinterpret_cast<PrnTokenList*>(0x1));
      continue;
    }
    core_.Track(list);
    ASSERT_EQ(core_.tokenizedData.size(), 1u);
    EXPECT_EQ(core_.tokenizedData[0], row.tokenized);
  }
}

TEST_F(DeviceCycle, ClosingWhileEnabledEndsTheStatusCallback) {
  SetSwitches(0x04, 0xC8, 0x04);
  ASSERT_EQ(OpenAndClaim(), 0);
  ASSERT_EQ(Enable(), 0);
  EXPECT_TRUE(TbxSim_IsStatusThreadRunning());
  EXPECT_EQ(core_.Close(), 0);  // no disable, no release
  EXPECT_FALSE(TbxSim_IsStatusThreadRunning());
  EXPECT_EQ(TbxSim_GetOpenHandleCount(kPrinter), 0);
}

TEST_F(DeviceCycle, DefaultPaperSizeLeavesTheLineWidthOpen) {
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kDeviceKey.c_str());
  SetValue("DriverName", kPrinter);  // PaperSize missing: 3
  ASSERT_EQ(OpenAndClaim(), 0);
  EXPECT_STREQ(core_.openSnapshot().recLineCharsList, " ");
  ASSERT_EQ(Enable(), 0);
  EXPECT_EQ(rec_.snapshot.recLineChars, -2);
  EXPECT_EQ(rec_.snapshot.recLineWidth, -2);
}

struct EnableRow {
  const char* what;
  void (*apply)();
  long result;
  long snapshotResult;          // -5: not written
  std::vector<long> statusCodes;
  long coverOpen;
};

// What enabling answers for the printer's state at that moment: conditions the application
// learns through status events go on, an unrecoverable printer counts as offline.
TEST_F(DeviceCycle, EnableOutcomeFollowsThePrinterState) {
  const EnableRow rows[] = {
      {"ready", [] {}, 0, 0, {12, 26, 2001}, 0},
      {"cover open", [] { TbxSim_SetCoverOpen(kPrinter, TRUE); }, 0, 0, {11, 26, 2001}, 1},
      {"paper empty", [] { TbxSim_SetPaper(kPrinter, TBXSIM_PAPER_EMPTY); }, 0, 0,
       {12, 24, 2001}, 0},
      {"head temperature",
       [] { TbxSim_SetStatusBits(kPrinter, TBXQD_ST_SETTABLE, TBXQD_ST_HEAD_TEMPERATURE); }, 0,
       0, {12, 26, 2001}, 0},
      {"unrecoverable",
       [] { TbxSim_SetStatusBits(kPrinter, TBXQD_ST_SETTABLE, TBXQD_ST_UNRECOVERABLE); }, 107,
       107, {}, -5},
      {"offline", [] { TbxSim_SetOnline(kPrinter, FALSE); }, 107, -5, {}, -5},
  };
  for (const EnableRow& row : rows) {
    SCOPED_TRACE(row.what);
    TbxSim_Reset(kPrinter);
    SetSwitches(0x04, 0xC8, 0x04);
    fakecore::FakeCore core;
    ASSERT_TRUE(core.Load());
    ASSERT_EQ(OpenAndClaim(core), 0);
    row.apply();
    PrnRecordSnapshotArgs block{&rec_.input, &rec_.snapshot};
    rec_.snapshot.resultCode = -5;
    rec_.snapshot.coverOpen = -5;
    EXPECT_EQ(core.Other(PRN_SERVICE_ENABLED_EVENT_NOTIFY, &block), row.result);
    EXPECT_EQ(rec_.snapshot.resultCode, row.snapshotResult);
    EXPECT_EQ(rec_.snapshot.coverOpen, row.coverOpen);
    std::vector<long> codes;
    for (const fakecore::StatusCall& call : core.statusCalls) codes.push_back(call.code);
    EXPECT_EQ(codes, row.statusCodes);
    EXPECT_EQ(TbxSim_IsStatusThreadRunning(), row.result == 0 ? TRUE : FALSE)
        << "the status callback is registered only by a successful enable";
    (void)core.Other(PRN_SERVICE_DEACTIVATE_DEVICE, nullptr);
    EXPECT_EQ(core.exports().disconnectPrinter(core.slot()), 0);
    EXPECT_EQ(core.Close(), 0);
  }
}

// The letter-quality token (GS s n) follows a request only while PrintSpeed is 0.
TEST_F(DeviceCycle, LetterQualityTokenOnlyAtPrintSpeedZero) {
  const struct {
    const char* printSpeed;
    bool token;
  } rows[] = {{"0", true}, {"1", false}, {"2", false}};
  for (const auto& row : rows) {
    SetValue("PrintSpeed", row.printSpeed);
    fakecore::FakeCore core;
    ASSERT_TRUE(core.Load());
    ASSERT_EQ(core.Open(kDevice), 0);
    rec_.station.settingsChanged = 1;  // letter quality requested
    rec_.input.recLetterQuality = 1;
    for (long method : {PRN_METHOD_PRINT_NORMAL, PRN_METHOD_PRINT_IMMEDIATE}) {
      SCOPED_TRACE(testing::Message() << "PrintSpeed " << row.printSpeed << ", method " << method);
      PrnTokenList* list = nullptr;
      PrnExecStationTextArgs exec{&rec_.input, &rec_.station, PRN_STATION_RECEIPT, "x", &list,
                                  &rec_.snapshot};
      ASSERT_EQ(core.Execute(method, &exec), 0);
      ASSERT_NE(list, nullptr);
      core.Track(list);
      Bytes gs;
      bool found = false;
      for (const PrnTokenNode* n = PrnOldestToken(list); n; n = PrnNewerToken(n)) {
        if (n->token->type != 132) continue;
        found = true;
        gs.assign(n->token->data, n->token->data + n->token->length);
      }
      EXPECT_EQ(found, row.token);
      if (row.token) {
        EXPECT_EQ(Hex(gs), Hex({0x1D, 0x73, 0x01}));
      }
    }
    EXPECT_EQ(core.Close(), 0);
  }
}

}  // namespace
}  // namespace devicetest
