// The 58 pre-phase and execute-phase wrappers as one table against the recording
// sub-module: method ID, the argument block word by word and its texts, as received.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utility>

#include "CommDevice.h"
#include "FakeLog.h"
#include "LogContext.h"
#include "RecordingSub.h"
#include "TestSupport.h"

namespace {

const std::string kRecording = sotest::BinFolder() + "recording_sub.dll";

template <class T>
T* P(long value) {
  return reinterpret_cast<T*>(value);
}
template <class T>
long W(T* pointer) {
  return static_cast<long>(reinterpret_cast<intptr_t>(pointer));
}

// Sentinel words: R record, S station state, E extended, L list, P snapshot, O DirectIO
// flags, B a BSTR address, Q a position array, N an out number.
PrnInputProperty* const R = P<PrnInputProperty>(0x1110);
PrnStationState* const S = P<PrnStationState>(0x2220);
long* const E = P<long>(0x3330);
PrnTokenList** const L = P<PrnTokenList*>(0x4440);
PrnPropertySnapshot* const Snap = P<PrnPropertySnapshot>(0x5550);
PrnDirectIOFlags* const O = P<PrnDirectIOFlags>(0x6660);
PrnBstr* const B = P<PrnBstr>(0x7770);
const PrnPositionArray* const Q = P<const PrnPositionArray>(0x8880);
long* const N = P<long>(0x9990);
const char kText1[] = "first text";
const char kText2[] = "second text";
const long T1 = W(kText1), T2 = W(kText2);

struct WrapperRow {
  const char* name;
  long exportId;
  long methodId;
  std::function<long(CCommDevice&)> call;
  std::vector<long> words;
  std::vector<std::pair<int, const char*>> texts;  // word index, text the sub-module copied
};

const long PreId = RECSUB_PRE_METHOD, ExId = RECSUB_EXECUTE_METHOD;

std::vector<WrapperRow> Rows() {
  using C = CCommDevice;
  return {
      {"preCheckHealth", PreId, 1, [](C& c) { return c.preCheckHealth(R, 2, E); },
       {W(R), 2, W(E)}, {}},
      {"preDirectIO", PreId, 2, [](C& c) { return c.preDirectIO(R, 7, N, B, E); },
       {W(R), 7, W(N), W(B), W(E)}, {}},
      {"preClearOutput", PreId, 3, [](C& c) { return c.preClearOutput(R, E); }, {W(R), W(E)}, {}},
      {"preCompareFirmwareVersion", PreId, 4,
       [](C& c) { return c.preCompareFirmwareVersion(R, kText1, N, E); },
       {W(R), T1, W(N), W(E)}, {{1, kText1}}},
      {"preResetStatistics", PreId, 5, [](C& c) { return c.preResetStatistics(R, kText1, E); },
       {W(R), T1, W(E)}, {{1, kText1}}},
      {"preRetrieveStatistics", PreId, 6, [](C& c) { return c.preRetrieveStatistics(R, B, E); },
       {W(R), W(B), W(E)}, {}},
      {"preUpdateFirmware", PreId, 7, [](C& c) { return c.preUpdateFirmware(R, kText1, E); },
       {W(R), T1, W(E)}, {{1, kText1}}},
      {"preUpdateStatistics", PreId, 8, [](C& c) { return c.preUpdateStatistics(R, kText2, E); },
       {W(R), T2, W(E)}, {{1, kText2}}},
      {"preBeginInsertion", PreId, 101, [](C& c) { return c.preBeginInsertion(R, 500, E); },
       {W(R), 500, W(E)}, {}},
      {"preBeginRemoval", PreId, 102, [](C& c) { return c.preBeginRemoval(R, 600, E); },
       {W(R), 600, W(E)}, {}},
      {"preEndInsertion", PreId, 103, [](C& c) { return c.preEndInsertion(R, E); }, {W(R), W(E)}, {}},
      {"preEndRemoval", PreId, 104, [](C& c) { return c.preEndRemoval(R, E); }, {W(R), W(E)}, {}},
      {"preCutPaper", PreId, 105, [](C& c) { return c.preCutPaper(R, 90, E); }, {W(R), 90, W(E)}, {}},
      {"prePrintBarCode", PreId, 106,
       [](C& c) { return c.prePrintBarCode(R, 2, kText1, 110, 80, 3, -2, 13, E); },
       {W(R), 2, T1, 110, 80, 3, -2, 13, W(E)}, {{2, kText1}}},
      {"prePrintBitmap", PreId, 107, [](C& c) { return c.prePrintBitmap(R, 2, kText1, -11, -1, E); },
       {W(R), 2, T1, -11, -1, W(E)}, {{2, kText1}}},
      {"prePrintImmediate", PreId, 108, [](C& c) { return c.prePrintImmediate(R, 1, kText1, E); },
       {W(R), 1, T1, W(E)}, {{2, kText1}}},
      {"prePrintNormal", PreId, 109, [](C& c) { return c.prePrintNormal(R, 2, kText2, E); },
       {W(R), 2, T2, W(E)}, {{2, kText2}}},
      {"prePrintTwoNormal", PreId, 110,
       [](C& c) { return c.prePrintTwoNormal(R, 3, kText1, kText2, E); },
       {W(R), 3, T1, T2, W(E)}, {{2, kText1}, {3, kText2}}},
      {"preRotatePrint", PreId, 111, [](C& c) { return c.preRotatePrint(R, 2, 0x103, E); },
       {W(R), 2, 0x103, W(E)}, {}},
      {"preSetBitmap", PreId, 112, [](C& c) { return c.preSetBitmap(R, 1, 2, kText1, 200, -2, E); },
       {W(R), 1, 2, T1, 200, -2, W(E)}, {{3, kText1}}},
      {"preSetLogo", PreId, 113, [](C& c) { return c.preSetLogo(R, 1, kText2, E); },
       {W(R), 1, T2, W(E)}, {{2, kText2}}},
      {"preTransactionPrint", PreId, 114, [](C& c) { return c.preTransactionPrint(R, 2, 11, E); },
       {W(R), 2, 11, W(E)}, {}},
      {"preValidateData", PreId, 115, [](C& c) { return c.preValidateData(R, 2, kText1, E); },
       {W(R), 2, T1, W(E)}, {{2, kText1}}},
      {"preChangePrintSide", PreId, 116, [](C& c) { return c.preChangePrintSide(R, 3, E); },
       {W(R), 3, W(E)}, {}},
      {"preMarkFeed", PreId, 117, [](C& c) { return c.preMarkFeed(R, 8, E); }, {W(R), 8, W(E)}, {}},
      {"preClearPrintArea", PreId, 118, [](C& c) { return c.preClearPrintArea(R, E); },
       {W(R), W(E)}, {}},
      {"prePageModePrint", PreId, 119, [](C& c) { return c.prePageModePrint(R, 1, E); },
       {W(R), 1, W(E)}, {}},
      {"preDrawRuledLine", PreId, 120,
       [](C& c) { return c.preDrawRuledLine(R, 2, kText1, 1, 4, 2, 5, E); },
       {W(R), 2, T1, 1, 4, 2, 5, W(E)}, {{2, kText1}}},
      {"prePrintMemoryBitmap", PreId, 121,
       [](C& c) { return c.prePrintMemoryBitmap(R, 2, kText2, 1, 300, -3, E); },
       {W(R), 2, T2, 1, 300, -3, W(E)}, {{2, kText2}}},

      {"executeCheckHealth", ExId, 1, [](C& c) { return c.executeCheckHealth(R, S, 2, L, Snap); },
       {W(R), W(S), 2, W(L), W(Snap)}, {}},
      {"executeDirectIO", ExId, 2, [](C& c) { return c.executeDirectIO(R, S, 7, N, B, O, L, Snap); },
       {W(R), W(S), 7, W(N), W(B), W(O), W(L), W(Snap)}, {}},
      {"executeClearOutput", ExId, 3, [](C& c) { return c.executeClearOutput(R, S, L, Snap); },
       {W(R), W(S), W(L), W(Snap)}, {}},
      {"executeCompareFirmwareVersion", ExId, 4,
       [](C& c) { return c.executeCompareFirmwareVersion(R, S, kText1, N, L, Snap); },
       {W(R), W(S), T1, W(N), W(L), W(Snap)}, {{2, kText1}}},
      {"executeResetStatistics", ExId, 5,
       [](C& c) { return c.executeResetStatistics(R, S, kText1, L, Snap); },
       {W(R), W(S), T1, W(L), W(Snap)}, {{2, kText1}}},
      {"executeRetrieveStatistics", ExId, 6,
       [](C& c) { return c.executeRetrieveStatistics(R, S, B, L, Snap); },
       {W(R), W(S), W(B), W(L), W(Snap)}, {}},
      {"executeUpdateFirmware", ExId, 7,
       [](C& c) { return c.executeUpdateFirmware(R, S, kText2, L, Snap); },
       {W(R), W(S), T2, W(L), W(Snap)}, {{2, kText2}}},
      {"executeUpdateStatistics", ExId, 8,
       [](C& c) { return c.executeUpdateStatistics(R, S, kText1, L, Snap); },
       {W(R), W(S), T1, W(L), W(Snap)}, {{2, kText1}}},
      {"executeBeginInsertion", ExId, 101,
       [](C& c) { return c.executeBeginInsertion(R, S, 500, L, Snap); },
       {W(R), W(S), 500, W(L), W(Snap)}, {}},
      {"executeBeginRemoval", ExId, 102,
       [](C& c) { return c.executeBeginRemoval(R, S, 600, L, Snap); },
       {W(R), W(S), 600, W(L), W(Snap)}, {}},
      {"executeEndInsertion", ExId, 103, [](C& c) { return c.executeEndInsertion(R, S, L, Snap); },
       {W(R), W(S), W(L), W(Snap)}, {}},
      {"executeEndRemoval", ExId, 104, [](C& c) { return c.executeEndRemoval(R, S, L, Snap); },
       {W(R), W(S), W(L), W(Snap)}, {}},
      {"executeCutPaper", ExId, 105, [](C& c) { return c.executeCutPaper(R, S, 90, L, Snap); },
       {W(R), W(S), 90, W(L), W(Snap)}, {}},
      {"executePrintBarCode", ExId, 106,
       [](C& c) { return c.executePrintBarCode(R, S, 2, kText1, 110, 80, 3, -2, 13, L, Snap); },
       {W(R), W(S), 2, T1, 110, 80, 3, -2, 13, 0, W(L), W(Snap)}, {{3, kText1}}},
      {"executePrintBitmap", ExId, 107,
       [](C& c) { return c.executePrintBitmap(R, S, 2, kText1, -11, -1, L, Snap); },
       {W(R), W(S), 2, T1, -11, -1, W(L), W(Snap)}, {{3, kText1}}},
      {"executePrintImmediate", ExId, 108,
       [](C& c) { return c.executePrintImmediate(R, S, 1, kText1, L, Snap); },
       {W(R), W(S), 1, T1, W(L), W(Snap)}, {{3, kText1}}},
      {"executePrintNormal", ExId, 109,
       [](C& c) { return c.executePrintNormal(R, S, 2, kText2, L, Snap); },
       {W(R), W(S), 2, T2, W(L), W(Snap)}, {{3, kText2}}},
      {"executePrintTwoNormal", ExId, 110,
       [](C& c) { return c.executePrintTwoNormal(R, S, 3, kText1, kText2, L, Snap); },
       {W(R), W(S), 3, T1, T2, W(L), W(Snap)}, {{3, kText1}, {4, kText2}}},
      {"executeRotatePrint", ExId, 111,
       [](C& c) { return c.executeRotatePrint(R, S, 2, 0x103, L, Snap); },
       {W(R), W(S), 2, 0x103, W(L), W(Snap)}, {}},
      {"executeSetBitmap", ExId, 112,
       [](C& c) { return c.executeSetBitmap(R, S, 1, 2, kText1, 200, -2, L, Snap); },
       {W(R), W(S), 1, 2, T1, 200, -2, W(L), W(Snap)}, {{4, kText1}}},
      {"executeSetLogo", ExId, 113, [](C& c) { return c.executeSetLogo(R, S, 1, kText2, L, Snap); },
       {W(R), W(S), 1, T2, W(L), W(Snap)}, {{3, kText2}}},
      {"executeTransactionPrint", ExId, 114,
       [](C& c) { return c.executeTransactionPrint(R, S, 2, 11, L, Snap); },
       {W(R), W(S), 2, 11, W(L), W(Snap)}, {}},
      {"executeValidateData", ExId, 115,
       [](C& c) { return c.executeValidateData(R, S, 2, kText1, L, Snap); },
       {W(R), W(S), 2, T1, W(L), W(Snap)}, {{3, kText1}}},
      {"executeChangePrintSide", ExId, 116,
       [](C& c) { return c.executeChangePrintSide(R, S, 3, L, Snap); },
       {W(R), W(S), 3, W(L), W(Snap)}, {}},
      {"executeMarkFeed", ExId, 117, [](C& c) { return c.executeMarkFeed(R, S, 8, L, Snap); },
       {W(R), W(S), 8, W(L), W(Snap)}, {}},
      {"executeClearPrintArea", ExId, 118,
       [](C& c) { return c.executeClearPrintArea(R, S, L, Snap); }, {W(R), W(S), W(L), W(Snap)}, {}},
      {"executePageModePrint", ExId, 119,
       [](C& c) { return c.executePageModePrint(R, S, 1, L, Snap); },
       {W(R), W(S), 1, W(L), W(Snap)}, {}},
      {"executeDrawRuledLine", ExId, 120,
       [](C& c) { return c.executeDrawRuledLine(R, S, 2, Q, 1, 4, 2, 5, L, Snap); },
       {W(R), W(S), 2, W(Q), 1, 4, 2, 5, 0, W(L), W(Snap)}, {}},
      {"executePrintMemoryBitmap", ExId, 121,
       [](C& c) { return c.executePrintMemoryBitmap(R, S, 2, kText2, 1, 300, -3, L, Snap); },
       {W(R), W(S), 2, T2, 1, 300, -3, W(L), W(Snap)}, {{3, kText2}}},
  };
}

class WrapperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sub_.Loaded());
    sub_.Reset();
    log_.Configure("WrapDev", 256, 1, 4, "");
    channel_ = std::make_unique<CCommDevice>(nullptr, &log_);
    ASSERT_TRUE(channel_->LoadSubSODLL(kRecording.c_str()));
    ASSERT_EQ(channel_->InitializeSubSO("WrapDev", 1014001, nullptr), 0);
    slot_ = channel_->Slot();
  }

  RecordingSubModule sub_{kRecording.c_str()};
  CLogContext log_;
  std::unique_ptr<CCommDevice> channel_;
  long slot_ = -1;
};

TEST_F(WrapperTest, EachWrapperSendsItsBlockAsTheSubModuleReceivesIt) {
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 58u);
  for (const WrapperRow& row : rows) {
    sub_.Reset();
    fakelog::Clear();
    EXPECT_EQ(row.call(*channel_), 0) << row.name;
    const auto calls = sub_.Calls();
    ASSERT_EQ(calls.size(), 1u) << row.name;
    const RecSubCall& call = calls[0];
    EXPECT_EQ(call.exportId, row.exportId) << row.name;
    EXPECT_EQ(call.id, row.methodId) << row.name;
    EXPECT_EQ(call.slot, slot_) << row.name;
    ASSERT_EQ(call.wordCount, static_cast<long>(row.words.size())) << row.name;
    for (size_t i = 0; i < row.words.size(); ++i)
      EXPECT_EQ(call.words[i], row.words[i]) << row.name << " word " << i;
    for (const auto& text : row.texts) EXPECT_STREQ(call.texts[text.first], text.second) << row.name;
    // Two lines, enter and end, category 0x10, under the wrapper's own name.
    const auto lines = fakelog::Lines();
    ASSERT_EQ(lines.size(), 2u) << row.name;
    const std::wstring name(row.name, row.name + strlen(row.name));
    EXPECT_EQ(lines[0].text, L"[WrapDev] [Enter   ] " + name + L" method execution ");
    EXPECT_EQ(lines[1].text, L"[WrapDev] [Exit    ] " + name + L" method end. ");
    for (const auto& line : lines) {
      EXPECT_EQ(line.category, 0x10u) << row.name;
      EXPECT_EQ(line.function, std::string("CCommDevice::") + row.name);
      EXPECT_EQ(line.file, "CommDevice");
    }
  }
}

TEST_F(WrapperTest, NegativeAnswersBecome106AndPositiveCodesPassAsTheyAre) {
  for (const WrapperRow& row : Rows()) {
    for (long answer : {-1L, 114L, 106L}) {
      sub_.Reset();
      sub_.SetResult(row.exportId, row.methodId, answer);
      fakelog::Clear();
      EXPECT_EQ(row.call(*channel_), answer < 0 ? 106 : answer) << row.name << " " << answer;
      const auto lines = fakelog::Lines();
      const std::wstring name(row.name, row.name + strlen(row.name));
      if (answer < 0) {
        ASSERT_EQ(lines.size(), 3u) << row.name;
        EXPECT_EQ(lines[1].text, L"[WrapDev] [Info    ] " + name +
                                     L" function failed. Return value = -1");
        EXPECT_EQ(lines[2].text, L"[WrapDev] [Exit    ] " + name + L" method end. ");
        EXPECT_EQ(lines[1].category, 0x10u);
      } else {
        EXPECT_EQ(lines.size(), 2u) << row.name;
      }
    }
  }
}

}  // namespace
