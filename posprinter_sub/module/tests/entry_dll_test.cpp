// prennik.dll as the core sees it, through the fake core: binding, the export boundary
// (stdcall argument sizes), the records, every callback type, and lists handed back.
#include "FakeCore.h"
#include "PrnTokenWalk.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <cstring>

namespace {

using fakecore::FakeCore;

// The stack pointer just before and after a call: a callee of the wrong convention or
// argument size leaves it moved.
template <class Fn>
__attribute__((noinline)) long StackDrift(Fn call) {
  unsigned long before = 0, after = 0;
  asm volatile("movl %%esp, %0" : "=r"(before));
  call();
  asm volatile("movl %%esp, %0" : "=r"(after));
  return static_cast<long>(after - before);
}

// Bytes the C runtime heap has in use (the DLL and this program share msvcrt's heap).
long HeapInUse() {
  _HEAPINFO info{};
  long used = 0;
  while (_heapwalk(&info) == _HEAPOK)
    if (info._useflag == _USEDENTRY) used += static_cast<long>(info._size);
  return used;
}

class DllEntry : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(core_.Load()) << "prennik.dll with nine exports"; }
  FakeCore core_;
};

TEST_F(DllEntry, OpensAndReportsItsVersionAndCapabilities) {
  ASSERT_EQ(core_.Open("EntryDllPrinter"), 0);
  EXPECT_EQ(core_.slot(), 0);
  EXPECT_EQ(core_.openSnapshot().serviceObjectVersion, 1014001) << "own version 1.14.1.3";
  PrnCapabilityBlock capability{};
  ASSERT_EQ(core_.Capability(&capability), 0);
  EXPECT_EQ(capability.capCharacterSet, 11);
  EXPECT_EQ(capability.capTransaction, 1);
  long a = 0, b = 0, c = 0;
  PrnFixedParametersArgs fixed{&a, &b, &c};
  EXPECT_EQ(core_.Other(PRN_SERVICE_GET_FIXED_PARAMETERS, &fixed), 0);
  EXPECT_EQ(a * 10000 + b * 1000 + c, 99 * 10000 + 7 * 1000 + 203);
}

// One refusal per export through the real boundary: the answer is 106 and the stack is
// where it was (each export pops exactly its own arguments).
TEST_F(DllEntry, ExportsPopTheirArguments) {
  const fakecore::Exports& x = core_.exports();
  long words[4] = {};
  PrnPropertySnapshot snapshot{};
  long slot = -1;
  long result = 0;
  const struct {
    const char* what;
    std::function<void()> call;
  } rows[] = {
      {"initSubSO", [&] { result = x.initSubSO("X", 1014000, nullptr, &slot, nullptr); }},
      {"terminateSubSO", [&] { result = x.terminateSubSO(8); }},
      {"connectPrinter", [&] { result = x.connectPrinter(8); }},
      {"disconnectPrinter", [&] { result = x.disconnectPrinter(-1); }},
      {"getCapability", [&] { result = x.getCapability(3001, words, 8); }},
      {"preMethod", [&] { result = x.preMethod(109, words, 8); }},
      {"executeMethod", [&] { result = x.executeMethod(109, words, 8); }},
      {"otherMethod", [&] { result = x.otherMethod(1003, words, 8); }},
      {"setCallbackFunction",
       [&] { result = x.setCallbackFunction(2002, reinterpret_cast<void**>(words), 8); }},
  };
  (void)snapshot;
  for (const auto& row : rows) {
    result = 0;
    EXPECT_EQ(StackDrift(row.call), 0) << row.what;
    EXPECT_EQ(result, 106) << row.what;
  }
}

// Each callback type the core registers, called once through its own type, as the
// sub-module calls it; the fake core records what arrived.
TEST_F(DllEntry, EveryCallbackTypeKeepsTheStack) {
  ASSERT_EQ(core_.Open("CallbackDllPrinter"), 0);
  PrnTokenList* list = core_.CreateList();
  ASSERT_NE(list, nullptr);
  fakecore::CoreRecords rec;
  char data[] = "AB\r\nC";
  long errorWord = 0;
  const PrnStatusFunctionSet functions = core_.statusFunctionSet();
  PrnStatusRecord status = fakecore::MakeStatusRecord();
  status.coverOpen = 1;
  long eventData = 0;
  wchar_t* eventText = nullptr;
  PrnDirectIOEventRecord ioEvent{77, &eventData, &eventText};
  const PrnPrintDataTokenizerFn tokenizer = &FakeCore::Tokenize;
  const PrnResponseCodeFn response = &FakeCore::OnResponseCode;
  const PrnErrorNoticeFn error = &FakeCore::OnErrorNotice;

  EXPECT_EQ(StackDrift([&] {
              tokenizer(&rec.input, &rec.station, data, 5, 24, 0, list, &errorWord, &core_);
            }),
            0);
  EXPECT_EQ(StackDrift([&] { functions.status(&status, 11, &core_); }), 0);
  EXPECT_EQ(StackDrift([&] { functions.status(nullptr, 2001, &core_); }), 0);
  EXPECT_EQ(StackDrift([&] { functions.directIOEvent(&ioEvent, &core_); }), 0);
  EXPECT_EQ(StackDrift([&] { response(5, &core_); }), 0);
  EXPECT_EQ(StackDrift([&] { error(114, 203, 2, "Out-of-paper error", &core_); }), 0);

  // Tokenizer: "AB", line end (CR LF is one), "C", added through service 1013.
  std::vector<long> types;
  std::vector<std::string> texts;
  for (const PrnTokenNode* n = PrnOldestToken(list); n; n = PrnNewerToken(n)) {
    types.push_back(n->token->type);
    texts.emplace_back(reinterpret_cast<const char*>(n->token->data),
                       static_cast<size_t>(n->token->length));
  }
  EXPECT_EQ(types, (std::vector<long>{101, 157, 101}));
  EXPECT_EQ(texts, (std::vector<std::string>{"AB", "", "C"}));
  EXPECT_EQ(list->totalBytes, 3);
  EXPECT_EQ(errorWord, 0);

  ASSERT_EQ(core_.statusCalls.size(), 2u);
  EXPECT_TRUE(core_.statusCalls[0].hadRecord);
  EXPECT_EQ(core_.statusCalls[0].record.coverOpen, 1);
  EXPECT_EQ(core_.statusCalls[0].code, 11);
  EXPECT_FALSE(core_.statusCalls[1].hadRecord);
  EXPECT_EQ(core_.statusCalls[1].code, 2001);
  ASSERT_EQ(core_.directIOEvents.size(), 1u);
  EXPECT_EQ(core_.directIOEvents[0].eventNumber, 77);
  EXPECT_EQ(core_.responseIds, std::vector<long>{5});
  ASSERT_EQ(core_.errorNotices.size(), 1u);
  EXPECT_EQ(core_.errorNotices[0].resultCodeExtended, 203);
  EXPECT_EQ(core_.errorNotices[0].text, "Out-of-paper error");

  // The status event is manual-reset: it stays signalled until reset.
  ASSERT_NE(core_.statusEvent(), nullptr);
  SetEvent(core_.statusEvent());
  EXPECT_EQ(WaitForSingleObject(core_.statusEvent(), 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(core_.statusEvent(), 0), WAIT_OBJECT_0);
}

TEST_F(DllEntry, FakeTokenizerEscapes) {
  ASSERT_EQ(core_.Open("TokenizerDllPrinter"), 0);
  const struct {
    const char* what;
    const char* data;
    std::vector<long> types;
    long errorWord;
  } rows[] = {
      {"bold on", "\x1b|bCx", {104, 101}, 0},
      {"bold off", "\x1b|!bC", {128}, 0},
      {"double wide", "\x1b|2C", {111}, 0},
      {"cut with number", "\x1b|50P", {116}, 0},
      {"unknown sequence stays text", "\x1b|*bC", {101}, 111},
      {"LF CR is two line ends", "\n\r", {157, 157}, 0},
  };
  fakecore::CoreRecords rec;
  for (const auto& row : rows) {
    PrnTokenList* list = core_.CreateList();
    std::string data = row.data;
    long errorWord = 0;
    FakeCore::Tokenize(&rec.input, &rec.station, &data[0], static_cast<long>(data.size()), 24,
                       0, list, &errorWord, &core_);
    EXPECT_EQ(PrnTokenTypes(list), row.types) << row.what;
    EXPECT_EQ(errorWord, row.errorWord) << row.what;
    EXPECT_EQ(core_.HandBack(list), 0);
  }
}

// Lists the core receives and hands back through service 1003 leave no memory behind.
TEST_F(DllEntry, ListsHandedBackAreFreed) {
  ASSERT_EQ(core_.Open("LeakDllPrinter"), 0);
  auto cycle = [&] {
    PrnTokenList* a = core_.CreateList();
    PrnTokenList* b = core_.CreateList();
    core_.AddToken(a, 101, "receipt line", 12, -1);
    core_.AddToken(a, 157, nullptr, 0, -1);
    core_.AddToken(b, 116, nullptr, 0, 50);
    PrnMoveTokensArgs move{b, a};
    core_.Other(PRN_SERVICE_MOVE_COMMAND_TOKENS, &move);
    core_.HandBackAll();
  };
  cycle();  // first use of the slot's paths may cache
  const long before = HeapInUse();
  for (int i = 0; i < 1000; ++i) cycle();
  EXPECT_EQ(core_.outstandingLists(), 0u);
  EXPECT_EQ(HeapInUse(), before);
}

}  // namespace
