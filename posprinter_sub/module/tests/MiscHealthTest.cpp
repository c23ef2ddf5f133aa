// CheckHealth: internal, external and interactive levels.
#include "MiscFixture.h"

namespace devicetest {
namespace {

class CheckHealth : public MiscDevice {
 protected:
  long Execute(long level, PrnTokenList** list) {
    PrnExecLevelArgs exec{&rec_.input, &rec_.station, level, list, &rec_.snapshot};
    rec_.snapshot.resultCode = -5;
    rec_.snapshot.resultCodeExtended = -5;
    return core_.Execute(PRN_METHOD_CHECK_HEALTH, &exec);
  }
  std::string HealthText() const {
    return rec_.snapshot.checkHealthText ? rec_.snapshot.checkHealthText : "(none)";
  }
};

TEST_F(CheckHealth, PreAcceptsLevelsOneToThree) {
  ASSERT_EQ(core_.Open(kDevice), 0);
  const struct {
    long level;
    long expected;
  } rows[] = {{-1, 106}, {0, 106}, {1, 0}, {2, 0}, {3, 0}, {4, 106}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.level);
    long rce = -1;
    PrnPreLevelArgs pre{&rec_.input, row.level, &rce};
    EXPECT_EQ(core_.Pre(PRN_METHOD_CHECK_HEALTH, &pre), row.expected);
    EXPECT_EQ(rce, 0);
  }
  PrnTokenList* list = kUntouchedList;
  EXPECT_EQ(Execute(4, &list), 106) << "the execute phase refuses it again";
  EXPECT_EQ(list, kUntouchedList);
}

TEST_F(CheckHealth, InternalOnlineAsksThePrinterAndPrintsNothing) {
  ASSERT_EQ(OpenAndClaim(), 0);
  PrnTokenList* list = kUntouchedList;
  EXPECT_EQ(Execute(1, &list), 0);
  EXPECT_EQ(rec_.snapshot.resultCode, 0);
  EXPECT_EQ(rec_.snapshot.resultCodeExtended, 0);
  EXPECT_EQ(list, kUntouchedList);
  EXPECT_EQ(HealthText(), "(none)");
  EXPECT_EQ(TbxSim_GetCallCount(kPrinter, "GetPrnCapability"), 1);
}

// A printer that does not answer its identification query fails every level.
TEST_F(CheckHealth, FailedIdentificationFailsEveryLevel) {
  const struct {
    const char* what;
    long level;
    void (*apply)();
    long result;
    const char* text;
  } rows[] = {
      {"offline", 1, [] { TbxSim_SetOnline(kPrinter, FALSE); }, 107, "Internal HCheck: Failure"},
      {"offline", 2, [] { TbxSim_SetOnline(kPrinter, FALSE); }, 107, "External HCheck: Failure"},
      {"offline", 3, [] { TbxSim_SetOnline(kPrinter, FALSE); }, 107, "External HCheck: Failure"},
      {"time-out", 1, [] { TbxSim_FailNext(kPrinter, "GetPrnCapability", TBXQD_ERR_TIMEOUT, 1); },
       112, "Internal HCheck: Failure"},
      {"no such byte", 2, [] { TbxSim_SetPrinterId(kPrinter, 3, 0, 0); }, 111,
       "External HCheck: Failure"},
      {"cover open", 3, [] { TbxSim_SetCoverOpen(kPrinter, TRUE); }, 114,
       "External HCheck: Failure"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.what << ", level " << row.level);
    fakecore::FakeCore core;
    ASSERT_TRUE(core.Load());
    TbxSim_Reset(kPrinter);
    ASSERT_EQ(OpenAndClaim(core), 0);
    row.apply();
    // The cover reaches the status store (and its gate) when the device is enabled.
    PrnRecordSnapshotArgs enable{&rec_.input, &rec_.snapshot};
    ASSERT_EQ(core.Other(PRN_SERVICE_ENABLED_EVENT_NOTIFY, &enable), row.result == 107 ? 107 : 0);
    PrnTokenList* list = kUntouchedList;
    PrnExecLevelArgs exec{&rec_.input, &rec_.station, row.level, &list, &rec_.snapshot};
    EXPECT_EQ(core.Execute(PRN_METHOD_CHECK_HEALTH, &exec), row.result);
    EXPECT_EQ(rec_.snapshot.resultCode, row.result);
    EXPECT_EQ(rec_.snapshot.resultCodeExtended, row.result == 114 ? 201 : 0);
    EXPECT_EQ(HealthText(), row.text);
    EXPECT_EQ(list, kUntouchedList) << "nothing is queued";
    EXPECT_TRUE(core.tokenizedData.empty());
    PrnSnapshotArgs release{&rec_.snapshot};
    EXPECT_EQ(core.Other(PRN_SERVICE_FREE_RESULT_RECORD, &release), 0);
    rec_.snapshot.checkHealthText = nullptr;
  }
}

// The printed levels: a report on the receipt, as text tokens without the letter-quality
// token (even when requested).
TEST_F(CheckHealth, PrintedLevelsReportOnTheReceipt) {
  const struct {
    long level;
    const char* report;
  } rows[] = {
      {2,
       "External HCheck Complete.\nTBX910QD/911QD Version:\n 12\nServiceObjectVersion:\n"
       " 1014000\nDeviceName:\n MiscDevice\n\n"},
      {3,
       "Interactive HCheck Complete.\nTBX910QD/911QD Version:\n 12\nServiceObjectVersion:\n"
       " 1014000\nDeviceName:\n MiscDevice\n\n"},
  };
  ASSERT_EQ(OpenAndClaim(), 0);
  TbxSim_ClearWritten(kPrinter);
  rec_.input.deviceName = kDevice;
  rec_.station.settingsChanged = 1;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.level);
    core_.tokenizedData.clear();
    PrnTokenList* list = nullptr;
    ASSERT_EQ(Execute(row.level, &list), 0);
    ASSERT_NE(list, nullptr);
    core_.Track(list);
    EXPECT_EQ(rec_.snapshot.resultCode, 0);
    EXPECT_EQ(rec_.snapshot.resultCodeExtended, 0);
    EXPECT_EQ(HealthText(), "(none)");
    EXPECT_EQ(list->station, PRN_STATION_RECEIPT);
    ASSERT_EQ(core_.tokenizedData.size(), 1u);
    EXPECT_EQ(core_.tokenizedData[0], row.report);
    for (const PrnTokenNode* n = PrnOldestToken(list); n; n = PrnNewerToken(n))
      EXPECT_NE(n->token->type, 132);
    PrnRequestDeviceDataArgs render{&rec_.input, &rec_.station, list, 2};
    ASSERT_EQ(core_.Other(PRN_SERVICE_REQUEST_DEVICE_DATA, &render), 0);
    Bytes text;
    for (const char* c = row.report; *c; ++c) text.push_back(static_cast<BYTE>(*c));
    EXPECT_EQ(Hex(ListBytes(list)),
              Hex(Cat({{0x1B, 0x33, 30}, kFont2, kCharset932, kUpright, text})));
  }
  EXPECT_EQ(Hex(Written()), "") << "the core sends the report";
}

}  // namespace
}  // namespace devicetest
