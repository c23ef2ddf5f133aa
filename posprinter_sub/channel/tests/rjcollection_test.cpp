// The printer status store: status words to flags, StatusUpdate codes and the status record,
// power changes, the error gate, the reset cause and the error table.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "Log.h"
#include "LogContext.h"
#include "RJCollection.h"
#include "SubSOSettings.h"
#include "channel_log_capture.h"

namespace {

using chantest::LogCapture;
using RecordWord = long PrnStatusRecord::*;

// An online word with no condition bits (the simulated printer's ready bit).
constexpr DWORD R = 0x100;

struct Call {
  bool withRecord;
  long code;
  PrnStatusRecord record;
};

// The core's status function: records every call in the recorder its context names.
long WINAPI RecordStatus(PrnStatusRecord* record, long code, void* context) {
  Call call{record != nullptr, code, {}};
  if (record) call.record = *record;
  static_cast<std::vector<Call>*>(context)->push_back(call);
  return 0;
}

PrnStatusRecord PresetRecord() {
  PrnStatusRecord record;
  FillMemory(&record, sizeof record, 0xFF);  // the core presets every word to -1
  return record;
}

class StoreTest : public ::testing::Test {
 protected:
  StoreTest() {
    log_.Configure("Store", 256, 1, -1, "");
    store_.SetCoreContext(&calls_);
  }
  // Feeds one word the way the status path does; the calls it caused are in calls_.
  long Feed(DWORD word) {
    calls_.clear();
    record_ = PresetRecord();
    const long result = store_.StatusUpdateReceiveAction(word, &record_, &RecordStatus, nullptr);
    return result;
  }
  long Power(DWORD word) {
    calls_.clear();
    record_ = PresetRecord();
    return store_.PowerStatusRecieveAction(word, &record_, &RecordStatus, nullptr);
  }

  LogCapture capture_;
  CSubSOSettings settings_;
  CLogContext log_;
  CRJCollection store_{&settings_, &log_};
  std::vector<Call> calls_;
  PrnStatusRecord record_{};
};

struct Expect {
  long code;
  std::vector<std::pair<RecordWord, long>> words;  // words of the record at that call
};

struct WordRow {
  const char* name;
  long nearEnd, markMode;
  DWORD before, word;
  std::vector<Expect> calls;
  std::vector<const char*> logs;  // lines written for the word, in order
};

// From the store's decoding rules: one report per changed flag, cover first, then mark jam,
// Vp, autocutter, head temperature, then the paper events.
const WordRow kWordRows[] = {
    {"paper end with near end gives one empty event", 1, 0, R, R | 0x30,
     {{24, {{&PrnStatusRecord::recNearEnd, 0}, {&PrnStatusRecord::recEmpty, 1}}}},
     {"Out-of-paper error has occurred.", "NearEndSensor error has occurred."}},
    {"the same word again reports nothing", 1, 0, R | 0x30, R | 0x30, {}, {}},
    {"near end alone", 1, 0, R, R | 0x20,
     {{25, {{&PrnStatusRecord::recNearEnd, 1}, {&PrnStatusRecord::recEmpty, 0}}}},
     {"NearEndSensor error has occurred."}},
    {"near end is ignored without the sensor setting", 0, 0, R, R | 0x20, {}, {}},
    // Both paper flags recover in one word: two paper-OK events, on purpose.
    {"empty and near end both recover: two events of 26", 1, 0, R | 0x30, R,
     {{26, {{&PrnStatusRecord::recNearEnd, 0}, {&PrnStatusRecord::recEmpty, 0}}},
      {26, {{&PrnStatusRecord::recNearEnd, 0}, {&PrnStatusRecord::recEmpty, 0}}}},
     {"Out-of-paper error has recoveried.", "NearEndSensor error has recoveried."}},
    {"empty to near end", 1, 0, R | 0x30, R | 0x20,
     {{25, {{&PrnStatusRecord::recNearEnd, 1}, {&PrnStatusRecord::recEmpty, 0}}}},
     {"Out-of-paper error has recoveried."}},
    {"mark paper jam with mark mode", 0, 1, R, R | 0x40,
     {{0, {{&PrnStatusRecord::markPaperJam, 1}}}}, {"Mark paper jam error has occurred."}},
    {"mark paper jam is ignored without mark mode", 0, 0, R, R | 0x40, {}, {}},
    {"cover opens", 0, 0, R, R | 0x80, {{11, {{&PrnStatusRecord::coverOpen, 1}}}},
     {"Cover open error has occurred."}},
    {"cover closes", 0, 0, R | 0x80, R, {{12, {{&PrnStatusRecord::coverOpen, 0}}}},
     {"Cover open error has recoveried."}},
    {"every error at once reports in the fixed order", 0, 1, R, R | 0xDD,
     {{11, {{&PrnStatusRecord::coverOpen, 1}}},
      {0, {{&PrnStatusRecord::markPaperJam, 1}}},
      {0, {{&PrnStatusRecord::vpVoltageError, 1}}},
      {0, {{&PrnStatusRecord::autocutterError, 1}}},
      {0, {{&PrnStatusRecord::headTemperatureError, 1}}},
      {24, {{&PrnStatusRecord::recNearEnd, 0}, {&PrnStatusRecord::recEmpty, 1}}}},
     {"Vp voltage error has occurred.", "A auto-recoverable error has occurred.",
      "Autocutter error has occurred.", "Out-of-paper error has occurred.",
      "Mark paper jam error has occurred.", "Cover open error has occurred."}},
    {"unrecoverable error is logged, not reported", 0, 0, R, R | 0x02, {},
     {"A unrecoverable error has occurred."}},
    {"offline word 0 changes no flag", 0, 0, R | 0x80, 0x00000000, {}, {}},
    {"offline word 0x80000000 changes no flag", 0, 0, R | 0x80, 0x80000000, {}, {}},
};

TEST_F(StoreTest, StatusWordsBecomeFlagsAndUpdateCodes) {
  for (const WordRow& row : kWordRows) {
    SCOPED_TRACE(row.name);
    settings_.NearEnd = row.nearEnd;
    settings_.MarkMode = row.markMode;
    CRJCollection store(&settings_, &log_);
    store.SetCoreContext(&calls_);
    PrnStatusRecord record = PresetRecord();
    (void)store.StatusUpdateReceiveAction(row.before, &record, &RecordStatus, nullptr);
    calls_.clear();
    LogCapture::Clear();
    record = PresetRecord();
    EXPECT_EQ(0, store.StatusUpdateReceiveAction(row.word, &record, &RecordStatus, nullptr));

    ASSERT_EQ(row.calls.size(), calls_.size());
    for (size_t i = 0; i < calls_.size(); ++i) {
      EXPECT_TRUE(calls_[i].withRecord) << "call " << i;
      EXPECT_EQ(row.calls[i].code, calls_[i].code) << "call " << i;
      for (const auto& word : row.calls[i].words) {
        EXPECT_EQ(word.second, calls_[i].record.*word.first) << "call " << i;
      }
    }
    const auto lines = LogCapture::All();
    ASSERT_EQ(row.logs.size(), lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
      // Device prefix, tag, blank, text and a trailing blank.
      EXPECT_EQ(std::string("[Store] [Info    ] ") + row.logs[i] + " ", lines[i].text);
      const bool occurred = lines[i].text.find("has occurred") != std::string::npos &&
                            lines[i].text.find("NearEndSensor") == std::string::npos;
      EXPECT_EQ(occurred ? DWORD(LOG_CAT_ERROR) : DWORD(LOG_CAT_INFO), lines[i].category);
    }
  }
}

TEST_F(StoreTest, UntouchedRecordWordsStayMinusOne) {
  EXPECT_EQ(0, Feed(R | 0x80));
  EXPECT_EQ(-1, record_.powerState);
  EXPECT_EQ(-1, record_.recEmpty);
  EXPECT_EQ(-1, record_.vpVoltageError);
  EXPECT_EQ(-1, record_.errorCleared);
}

TEST_F(StoreTest, OfflineWordsKeepTheFlagsForTheGate) {
  EXPECT_EQ(0, Feed(R | 0x80));
  EXPECT_EQ(0, Feed(0));
  EXPECT_EQ(0, Feed(0x80000000));
  EXPECT_EQ(RJ_ERR_COVER_OPEN, store_.GetErrorCode());
}

TEST_F(StoreTest, ResetCauseLatchesOncePerRaisedError) {
  EXPECT_EQ(1, Feed(R | 0x401));  // Vp with reset request: latched
  EXPECT_EQ(0, Feed(R | 0x481));  // cover newly raised, already latched
  EXPECT_EQ(RJ_ERR_VP_VOLTAGE, store_.TakeResetCause());
  EXPECT_EQ(0, store_.TakeResetCause());  // taking clears it
  EXPECT_EQ(0, Feed(R | 0x481));  // nothing new: the latch clears
  EXPECT_EQ(0, Feed(R | 0x400));
  EXPECT_EQ(1, Feed(R | 0x408));  // autocutter newly raised: latched again
  EXPECT_EQ(RJ_ERR_AUTOCUTTER, store_.TakeResetCause());
}

TEST_F(StoreTest, UnrecoverableErrorCancelsTheResetRequest) {
  EXPECT_EQ(0, Feed(R | 0x403));
  EXPECT_EQ(0, store_.TakeResetCause());
}

struct GateRow {
  const char* name;
  DWORD word;
  long recovery;
  bool offline;
  long gate;
};
// The gate's order: unrecoverable, battery, head temperature, Vp, autocutter, cover, journal
// empty, receipt empty, mark jam, recovery; offline outranks all while no recovery runs.
const GateRow kGateRows[] = {
    {"nothing", R, 0, false, 0},
    {"near end never blocks", R | 0x20, 0, false, 0},
    {"cover and receipt empty", R | 0x90, 0, false, RJ_ERR_COVER_OPEN},
    {"head temperature and Vp", R | 0x05, 0, false, RJ_ERR_HEAD_TEMPERATURE},
    {"unrecoverable first", R | 0xCF, 0, false, RJ_ERR_UNRECOVERABLE},
    {"Vp before autocutter", R | 0x09, 0, false, RJ_ERR_VP_VOLTAGE},
    {"receipt empty before mark jam", R | 0x50, 0, false, RJ_ERR_RECEIPT_EMPTY},
    {"mark jam", R | 0x40, 0, false, RJ_ERR_MARK_PAPER_JAM},
    {"recovery under way", R, 1, false, RJ_ERR_FAILURE},
    {"offline with flags", R | 0x80, 0, true, RJ_ERR_OFFLINE},
    {"offline during recovery is not offline", R, 2, true, RJ_ERR_FAILURE},
};

TEST_F(StoreTest, ErrorGate) {
  for (const GateRow& row : kGateRows) {
    SCOPED_TRACE(row.name);
    settings_.MarkMode = 1;
    CRJCollection store(&settings_, &log_);
    PrnStatusRecord record = PresetRecord();
    (void)store.StatusUpdateReceiveAction(row.word, &record, nullptr, nullptr);
    store.PowerStatusRecieveAction(row.offline ? 0 : R, &record, nullptr, nullptr);
    store.SetRecoveryState(row.recovery);
    EXPECT_EQ(row.gate, store.GetErrorCode());
  }
}

TEST_F(StoreTest, PowerChangesAreReportedOnce) {
  Power(0x80000000);
  ASSERT_EQ(1u, calls_.size());
  EXPECT_EQ(2004, calls_[0].code);
  EXPECT_EQ(2004, calls_[0].record.powerState);
  Power(0);
  EXPECT_TRUE(calls_.empty());
  EXPECT_EQ(1u, LogCapture::Count("Offline detected."));
  EXPECT_EQ(DWORD(LOG_CAT_ERROR), LogCapture::CategoryOf("Offline detected."));

  Power(R);
  ASSERT_EQ(1u, calls_.size());
  EXPECT_EQ(2001, calls_[0].code);
  EXPECT_EQ(2001, calls_[0].record.powerState);
  EXPECT_EQ(DWORD(LOG_CAT_INFO), LogCapture::CategoryOf("Online detected."));
  Power(R);
  EXPECT_TRUE(calls_.empty());
  EXPECT_EQ(2001, store_.PowerState());
}

TEST_F(StoreTest, RecoveryStateFollowsThePrinterThroughAReset) {
  Power(R);
  store_.SetRecoveryState(1);
  Power(0);  // offline because of the reset: not reported
  EXPECT_TRUE(calls_.empty());
  EXPECT_EQ(2, store_.GetRecoveryState());
  Power(R);  // back online: reported, and the gate finds only the recovery itself
  ASSERT_EQ(1u, calls_.size());
  EXPECT_EQ(2001, calls_[0].code);
  EXPECT_EQ(0, store_.GetRecoveryState());
  EXPECT_EQ(0, store_.GetErrorCode());
}

TEST_F(StoreTest, RecoveryStaysWhileAnErrorRemains) {
  Power(R);
  (void)Feed(R | 0x80);
  store_.SetRecoveryState(1);
  Power(0);
  Power(R | 0x80);
  EXPECT_EQ(3, store_.GetRecoveryState());
  EXPECT_EQ(RJ_ERR_COVER_OPEN, store_.GetErrorCode());
}

struct InitialRow {
  DWORD word;
  long result;
  long power;
};
// Later tests outrank earlier ones: head temperature, paper end, mark jam, cover,
// autocutter, Vp, unrecoverable; offline only when nothing else is found.
const InitialRow kInitialRows[] = {
    {0x00000000, RJ_ERR_OFFLINE, 2004},
    {0x80000000, RJ_ERR_OFFLINE, 2004},
    {R, 0, 2001},
    {R | 0x20, 0, 2001},
    {R | 0x14, RJ_ERR_RECEIPT_EMPTY, 2001},
    {R | 0xD4, RJ_ERR_COVER_OPEN, 2001},
    {R | 0x58, RJ_ERR_AUTOCUTTER, 2001},
    {R | 0x89, RJ_ERR_VP_VOLTAGE, 2001},
    {R | 0x83, RJ_ERR_UNRECOVERABLE, 2001},
};

TEST_F(StoreTest, InitialStatusRanksConditions) {
  settings_.MarkMode = 1;
  for (const InitialRow& row : kInitialRows) {
    SCOPED_TRACE(testing::Message() << std::hex << row.word);
    CRJCollection store(&settings_, &log_);
    store.ResetStatus();
    EXPECT_EQ(row.result, store.SetInitialStatus(row.word));
    EXPECT_EQ(row.power, store.PowerState());
  }
  EXPECT_TRUE(LogCapture::All().empty());
}

TEST_F(StoreTest, ReportCurrentStatusSendsCoverPaperAndPower) {
  settings_.NearEnd = 1;
  store_.ResetStatus();
  EXPECT_EQ(RJ_ERR_COVER_OPEN, store_.SetInitialStatus(R | 0xA0));
  PrnPropertySnapshot snapshot{};
  store_.ReportCurrentStatus(&RecordStatus, &snapshot);
  ASSERT_EQ(3u, calls_.size());
  const long expected[] = {11, 25, 2001};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_FALSE(calls_[i].withRecord);
    EXPECT_EQ(expected[i], calls_[i].code);
  }
  EXPECT_EQ(1, snapshot.coverOpen);
  EXPECT_EQ(1, snapshot.recNearEnd);
  EXPECT_EQ(0, snapshot.recEmpty);
  EXPECT_EQ(0, snapshot.jrnEmpty);
  EXPECT_EQ(2001, snapshot.powerState);
}

TEST_F(StoreTest, ResetStatusClearsFlagsButNotRecovery) {
  (void)Feed(R | 0x481);
  store_.SetRecoveryState(3);
  store_.ResetStatus();
  EXPECT_EQ(2000, store_.PowerState());
  EXPECT_EQ(0, store_.TakeResetCause());
  EXPECT_EQ(3, store_.GetRecoveryState());
  store_.SetRecoveryState(0);
  EXPECT_EQ(0, store_.GetErrorCode());
}

TEST_F(StoreTest, CounterTextsCarryPaperStateAndAuxiliaryFlag) {
  (void)Feed(R | 0x2030);
  std::string text;
  store_.GetCounterText(&text, 1);
  EXPECT_EQ("3", text);
  store_.GetCounterText(&text, 4);
  EXPECT_EQ("1", text);
  store_.GetCounterText(&text, 2);
  EXPECT_EQ("0", text);
  (void)Feed(R | 0x20);
  store_.GetCounterText(&text, 1);
  EXPECT_EQ("2", text);  // regardless of the near-end setting
}

struct ErrorInfoRow {
  long code;
  long resultCode, extended, severity;
  const char* text;
};
// The error table of the sub-module: UnifiedPOS codes 107, 111, 112, 114 with the standard's
// extended codes 201-206 and the driver's own 1001-1014.
const ErrorInfoRow kErrorInfoRows[] = {
    {0, 0, 0, 1, ""},
    {1, 107, 0, 2, "Off/Offline error"},
    {2, 112, 0, 2, "Time out"},
    {3, 111, 0, 2, "Failure"},
    {12, 114, 1002, 2, "Autocutter error"},
    {15, 114, 203, 2, "Out-of-paper error"},
    {16, 114, 202, 2, "Out-of-paper error"},
    {17, 114, 201, 2, "Cover open error"},
    {18, 114, 1005, 2, "Head temperature error"},
    {19, 114, 1013, 2, "Battery error"},
    {20, 114, 1010, 3, "Unrecoverable error"},
    {21, 114, 1001, 2, "Vp voltage error"},
    {30, 114, 206, 2, ""},
    {31, 114, 1009, 2, ""},
    {32, 114, 1014, 2, "Mark paper jam error"},
    {99, 111, 0, 2, "Failure"},
    {-1, 111, 0, 2, "Failure"},
};

TEST_F(StoreTest, ErrorTable) {
  for (const ErrorInfoRow& row : kErrorInfoRows) {
    SCOPED_TRACE(row.code);
    long rc = -5, ext = -5, severity = -5;
    std::string text = "sentinel";
    EXPECT_EQ(0, store_.GetErrorInfo(row.code, &rc, &ext, 1, &severity, &text));
    EXPECT_EQ(row.resultCode, rc);
    EXPECT_EQ(row.extended, ext);
    EXPECT_EQ(row.severity, severity);
    EXPECT_EQ(row.text, text);
  }
}

TEST_F(StoreTest, ErrorInfoWithoutTextLeavesSeverityAndText) {
  long rc = -5, ext = -5, severity = -5;
  std::string text = "sentinel";
  EXPECT_EQ(0, store_.GetErrorInfo(20, &rc, &ext, 0, &severity, &text));
  EXPECT_EQ(114, rc);
  EXPECT_EQ(1010, ext);
  EXPECT_EQ(-5, severity);
  EXPECT_EQ("sentinel", text);
}

// The status function runs while the store holds a lock; a core that asks the store back from
// inside it must not deadlock.
long WINAPI AskTheGate(PrnStatusRecord*, long, void* context) {
  return static_cast<CRJCollection*>(context)->GetErrorCode();
}

TEST_F(StoreTest, StatusFunctionMayAskTheStoreBack) {
  store_.SetCoreContext(&store_);
  PrnStatusRecord record = PresetRecord();
  (void)store_.StatusUpdateReceiveAction(R | 0x80, &record, &AskTheGate, nullptr);
  store_.PowerStatusRecieveAction(0, &record, &AskTheGate, nullptr);
  EXPECT_EQ(RJ_ERR_OFFLINE, store_.GetErrorCode());
}

}  // namespace
