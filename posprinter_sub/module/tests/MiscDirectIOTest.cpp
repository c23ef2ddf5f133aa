// DirectIO commands 3 (free NV memory), 201 (ESC R n) and 501 (status detail).
#include "MiscFixture.h"

namespace devicetest {
namespace {

constexpr long kNone = 0x7FFFFFFF;  // no pData word

class DirectIO : public MiscDevice {
 protected:
  long Pre(long command, long* data, PrnBstr* text, long* rce) {
    PrnPreDirectIOArgs pre{&rec_.input, command, data, text, rce};
    return core_.Pre(PRN_METHOD_DIRECT_IO, &pre);
  }
  long Execute(long command, long* data, PrnBstr* text, PrnTokenList** list) {
    PrnExecDirectIOArgs exec{&rec_.input, &rec_.station, command, data,
                             text,        &flags_,       list,    &rec_.snapshot};
    rec_.snapshot.resultCode = -5;
    rec_.snapshot.resultCodeExtended = -5;
    return core_.Execute(PRN_METHOD_DIRECT_IO, &exec);
  }
  // Command 501 of the given type: the text, or "error" when it does not answer 0.
  std::string StatusDetail(long type) {
    TestBstr text(L"old");
    PrnTokenList* list = kUntouchedList;
    if (Execute(501, &type, text.address(), &list) != 0) return "error";
    EXPECT_EQ(list, kUntouchedList);
    return text.text();
  }
  PrnDirectIOFlags flags_{0, 0, 0};
};

TEST_F(DirectIO, PreRulesInTheirOrder) {
  const struct {
    long command;
    long data;  // kNone: NULL pData
    bool text;
    long state;
    long expected;
  } rows[] = {
      {3, kNone, true, 2, 0},     {3, kNone, false, 2, 106}, {3, kNone, true, 3, 113},
      {3, kNone, true, 4, 113},   {3, kNone, false, 3, 106}, {201, 0, false, 2, 0},
      {201, 12, false, 2, 0},     {201, 13, false, 2, 106},  {201, -1, false, 2, 106},
      {201, kNone, true, 2, 106}, {201, 13, false, 3, 106},  {201, 12, false, 4, 113},
      {501, 1, true, 2, 0},       {501, 4, true, 2, 0},      {501, 2, true, 2, 106},
      {501, kNone, true, 2, 106}, {501, 1, false, 2, 106},   {501, 4, true, 3, 113},
      {2, 5, true, 2, 106},       {0, 0, true, 2, 106},      {502, 1, true, 2, 106},
  };
  ASSERT_EQ(core_.Open(kDevice), 0);
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "command " << row.command << ", data " << row.data
                                    << ", text " << row.text << ", state " << row.state);
    rec_.input.state = row.state;
    long data = row.data;
    TestBstr text(L"");
    long rce = -1;
    EXPECT_EQ(Pre(row.command, row.data == kNone ? nullptr : &data,
                  row.text ? text.address() : nullptr, &rce),
              row.expected);
    EXPECT_EQ(rce, 0);
  }
}

// ESC R n as a one-token list the core queues; the builder keeps n for later text.
TEST_F(DirectIO, CharacterSetTokenIsQueuedAndRemembered) {
  ASSERT_EQ(core_.Open(kDevice), 0);
  long n = 12;
  TestBstr text(L"kept");
  PrnTokenList* list = nullptr;
  ASSERT_EQ(Execute(201, &n, text.address(), &list), 0);
  ASSERT_NE(list, nullptr);
  core_.Track(list);
  ASSERT_NE(PrnOldestToken(list), nullptr);
  EXPECT_EQ(PrnNewerToken(PrnOldestToken(list)), nullptr) << "one token";
  EXPECT_EQ(PrnOldestToken(list)->token->type, 717);
  EXPECT_EQ(Hex(ListBytes(list)), Hex({0x1B, 0x52, 0x0C}));
  EXPECT_EQ(list->totalBytes, 3);
  EXPECT_EQ(list->station, PRN_STATION_RECEIPT);
  EXPECT_EQ(flags_.useTransaction, 1);
  EXPECT_EQ(flags_.usePageMode, 1);
  EXPECT_EQ(flags_.useRotation, 1);
  EXPECT_EQ(rec_.snapshot.resultCode, 0);
  EXPECT_EQ(rec_.snapshot.resultCodeExtended, 0);
  EXPECT_EQ(text.text(), "kept");
  // A later text carries ESC R 12 (kanji mode off: FS C 0).
  EXPECT_EQ(Hex(BuildOutput(PRN_METHOD_PRINT_NORMAL, "", -1)),
            Hex({0x1B, 0x52, 0x0C, 0x1B, 0x74, 0x01, 0x1C, 0x43, 0x00, 0x1B, 0x7B, 0x00}));
}

// The paper state (2 near end + 1 paper end) and the auxiliary bit of the last status word.
TEST_F(DirectIO, StatusDetailFollowsTheLastStatusWord) {
  const struct {
    const char* what;
    void (*apply)();
    long type;
    const char* expected;
  } rows[] = {
      {"paper present", [] {}, 1, "0"},
      {"near end", [] { TbxSim_SetPaper(kPrinter, TBXSIM_PAPER_NEAR_END); }, 1, "2"},
      {"both paper bits", [] { TbxSim_SetPaper(kPrinter, TBXSIM_PAPER_EMPTY); }, 1, "3"},
      {"auxiliary bit",
       [] { TbxSim_SetStatusBits(kPrinter, TBXQD_ST_AUXILIARY, TBXQD_ST_AUXILIARY); }, 4, "1"},
      {"auxiliary bit gone", [] { TbxSim_SetStatusBits(kPrinter, TBXQD_ST_AUXILIARY, 0); }, 4, "0"},
  };
  ClaimEnable();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    row.apply();
    ASSERT_TRUE(Pump([&] { return StatusDetail(row.type) == row.expected; }));
    EXPECT_EQ(rec_.snapshot.resultCode, 0);
    EXPECT_EQ(rec_.snapshot.resultCodeExtended, 0);
  }
  EXPECT_EQ(Hex(Written()), "") << "no printer traffic";
}

// Free NV memory: the framed query GS ( L fn 3, answered as decimal text or mapped codes.
TEST_F(DirectIO, NvMemoryCapacityReadsThePrinter) {
  const Bytes kQuery = {0x1D, 0x28, 0x4C, 0x02, 0x00, 0x30, 0x03};
  const struct {
    const char* what;
    void (*apply)();
    long result;
    long extended;
    const char* text;  // the pString afterwards
    bool sent;
  } rows[] = {
      {"default", [] {}, 0, 0, "196608", true},
      {"set", [] { TbxSim_SetMemory(kPrinter, 0x87654321, 1, 1); }, 0, 0, "2271560481", true},
      {"offline", [] { TbxSim_SetOnline(kPrinter, FALSE); }, 107, 0, "old", false},
      {"time-out", [] { TbxSim_FailNext(kPrinter, "DirectIOEx", TBXQD_ERR_TIMEOUT, 1); }, 112, 0,
       "old", false},
      {"short frame",
       [] {
         const BYTE reply[] = {0x0E, 0xE1, 0x00};
         TbxSim_ScriptReply(kPrinter, reply, sizeof reply);
       },
       111, 0, "old", true},
  };
  ClaimEnable();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    TbxSim_Reset(kPrinter);
    row.apply();
    TestBstr text(L"old");
    PrnTokenList* list = kUntouchedList;
    EXPECT_EQ(Execute(3, nullptr, text.address(), &list), row.result);
    EXPECT_EQ(rec_.snapshot.resultCode, row.result);
    EXPECT_EQ(rec_.snapshot.resultCodeExtended, row.extended);
    EXPECT_EQ(text.text(), row.text);
    EXPECT_EQ(list, kUntouchedList);
    EXPECT_EQ(Hex(Written()), row.sent ? Hex(kQuery) : "");
  }
}

// The status store's gate answers before the printer is asked.
TEST_F(DirectIO, NvMemoryCapacityBehindTheGate) {
  ClaimEnable([] { TbxSim_SetCoverOpen(kPrinter, TRUE); });
  TestBstr text(L"old");
  EXPECT_EQ(Execute(3, nullptr, text.address(), nullptr), 114);
  EXPECT_EQ(rec_.snapshot.resultCodeExtended, 201);
  EXPECT_EQ(text.text(), "old");
  EXPECT_EQ(Hex(Written()), "");
}

// Execute on its own (no pre phase before it) refuses what the pre phase would.
TEST_F(DirectIO, ExecuteRefusesMissingPointersAndUnknownCommands) {
  ASSERT_EQ(core_.Open(kDevice), 0);
  long type = 1;
  TestBstr text(L"old");
  PrnTokenList* list = kUntouchedList;
  EXPECT_EQ(Execute(501, nullptr, text.address(), &list), 106);
  EXPECT_EQ(Execute(501, &type, nullptr, &list), 106);
  EXPECT_EQ(Execute(3, nullptr, nullptr, &list), 106);
  EXPECT_EQ(Execute(201, nullptr, nullptr, &list), 106);
  EXPECT_EQ(Execute(2, &type, text.address(), &list), 106);
  EXPECT_EQ(rec_.snapshot.resultCode, 106);
  EXPECT_EQ(rec_.snapshot.resultCodeExtended, 0);
  EXPECT_EQ(list, kUntouchedList);
  EXPECT_EQ(text.text(), "old");
}

}  // namespace
}  // namespace devicetest
