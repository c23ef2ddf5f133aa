// ClearOutput and the methods the printer has no function for.
#include "MiscFixture.h"

#include <vector>

namespace devicetest {
namespace {

class ClearOutput : public MiscDevice {
 protected:
  // Both phases as the core runs them; the out word must stay as the caller set it.
  void Run(long expectedPre, long expectedExecute) {
    long rce = -1;
    PrnPreNoArgs pre{&rec_.input, &rce};
    EXPECT_EQ(core_.Pre(PRN_METHOD_CLEAR_OUTPUT, &pre), expectedPre);
    EXPECT_EQ(rce, 0);
    PrnTokenList* list = kUntouchedList;
    rec_.snapshot.resultCode = -5;
    PrnExecNoArgs exec{&rec_.input, &rec_.station, &list, &rec_.snapshot};
    EXPECT_EQ(core_.Execute(PRN_METHOD_CLEAR_OUTPUT, &exec), expectedExecute);
    EXPECT_EQ(rec_.snapshot.resultCode, expectedExecute);
    EXPECT_EQ(list, kUntouchedList);
  }
};

TEST_F(ClearOutput, ClearsThePrinterBufferOnEveryCall) {
  ClaimEnable();
  Run(0, 0);
  EXPECT_EQ(Hex(Written()), Hex(kBufferClear));
  Run(0, 0);
  EXPECT_EQ(Hex(Written()), Hex(Cat({kBufferClear, kBufferClear}))) << "nothing pending";
}

// The error gate keeps the printer untouched; the method still succeeds.
struct GateRow {
  const char* what;
  void (*before)();  // between claim and enable
  bool offline;      // taken off line after enabling
};
class ClearOutputBehindGate : public ClearOutput, public testing::WithParamInterface<GateRow> {};

TEST_P(ClearOutputBehindGate, SendsNothingAndSucceeds) {
  ClaimEnable(GetParam().before);
  if (GetParam().offline) GoOffline();
  Run(0, 0);
  EXPECT_EQ(Hex(Written()), "");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ClearOutputBehindGate,
    testing::Values(GateRow{"CoverOpen", [] { TbxSim_SetCoverOpen(kPrinter, TRUE); }, false},
                    GateRow{"ReceiptEmpty", [] { TbxSim_SetPaper(kPrinter, TBXSIM_PAPER_EMPTY); },
                            false},
                    GateRow{"Offline", [] {}, true}),
    [](const testing::TestParamInfo<GateRow>& info) { return std::string(info.param.what); });

TEST_F(ClearOutput, UninitialisedInstanceRefusesBothPhases) {
  ASSERT_EQ(core_.Open(kDevice, /*coreVersion=*/1013999), 106);
  Run(106, 106);
  EXPECT_EQ(TbxSim_GetCallCount(kPrinter, "DirectIOEx"), 0);
}

// Every refused method, with its arguments in the order of its OPOS signature.
TEST_F(MiscDevice, UnsupportedMethodsRefuseInBothPhases) {
  long firmwareResult = 77;
  const struct {
    long method;
    std::vector<long> arguments;
  } rows[] = {
      {PRN_METHOD_COMPARE_FIRMWARE_VERSION,
       {reinterpret_cast<long>("fw.bin"), reinterpret_cast<long>(&firmwareResult)}},
      {PRN_METHOD_UPDATE_FIRMWARE, {reinterpret_cast<long>("fw.bin")}},
      {PRN_METHOD_UPDATE_STATISTICS, {reinterpret_cast<long>("PaperCutCount=0")}},
      {PRN_METHOD_BEGIN_INSERTION, {1000}},
      {PRN_METHOD_BEGIN_REMOVAL, {1000}},
      {PRN_METHOD_END_INSERTION, {}},
      {PRN_METHOD_END_REMOVAL, {}},
      {PRN_METHOD_CHANGE_PRINT_SIDE, {1}},
  };
  auto runAll = [&](const char* when) {
    for (const auto& row : rows) {
      SCOPED_TRACE(testing::Message() << when << ", method " << row.method);
      long rce = -1;
      std::vector<long> pre{reinterpret_cast<long>(&rec_.input)};
      pre.insert(pre.end(), row.arguments.begin(), row.arguments.end());
      pre.push_back(reinterpret_cast<long>(&rce));
      EXPECT_EQ(core_.Pre(row.method, pre.data()), 106);
      EXPECT_EQ(rce, 0);

      PrnTokenList* list = kUntouchedList;
      rec_.snapshot.resultCode = -5;
      std::vector<long> exec{reinterpret_cast<long>(&rec_.input),
                             reinterpret_cast<long>(&rec_.station)};
      exec.insert(exec.end(), row.arguments.begin(), row.arguments.end());
      exec.push_back(reinterpret_cast<long>(&list));
      exec.push_back(reinterpret_cast<long>(&rec_.snapshot));
      EXPECT_EQ(core_.Execute(row.method, exec.data()), 106);
      EXPECT_EQ(rec_.snapshot.resultCode, 106);
      EXPECT_EQ(list, kUntouchedList);
      EXPECT_EQ(firmwareResult, 77) << "CompareFirmwareVersion leaves Result alone";
    }
  };
  ASSERT_EQ(core_.Open(kDevice, /*coreVersion=*/1013999), 106);
  runAll("not initialised");
  ASSERT_EQ(core_.Close(), 106);
  ASSERT_EQ(core_.Open(kDevice), 0);
  runAll("initialised");
}

}  // namespace
}  // namespace devicetest
