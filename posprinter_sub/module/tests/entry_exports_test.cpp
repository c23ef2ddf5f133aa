// The nine exports in-process: refusals, slot allocation, the version rule, the common
// frames of pre and execute handlers with their log lines, and the routing of every ID.
#include "StatusQueue.h"
#include "SubSO.h"
#include "entry_test_support.h"

#include "Log.h"

#include <cstring>
#include <functional>

namespace entrytest {

std::vector<LogLine>& Lines() {
  static std::vector<LogLine> lines;
  return lines;
}

void RecordLine(DWORD category, const char* function, const char* line) {
  Lines().push_back({category, function, line});
}

long EntryTest::Open(const char* name, long* slot, long coreVersion) {
  snapshot_ = PrnPropertySnapshot{};
  return initSubSO(name, coreVersion, &snapshot_, slot, this);
}

namespace {

constexpr long kSentinel = 0x5A5A5A5A;

class ExportRefusals : public EntryTest {};

// Every refusal answers 106, writes nothing and logs nothing.
TEST_F(ExportRefusals, AnswerIllegalSilently) {
  long slot = -1;
  ASSERT_EQ(Open("RefusalPrinter", &slot), 0);
  ASSERT_EQ(slot, 0);
  Lines().clear();

  long words[12];
  PrnCapabilityBlock capability;
  std::memset(&capability, 0x5A, sizeof capability);
  PrnCapabilityArgs capabilityArgs{&capability};
  long* capabilityBlock = reinterpret_cast<long*>(&capabilityArgs);
  long slotOut = kSentinel;
  PrnPropertySnapshot snapshot{};
  void* record[4] = {};

  struct Row {
    const char* what;
    std::function<long()> call;
  };
  const Row rows[] = {
      {"initSubSO NULL snapshot", [&] { return initSubSO("X", 1014000, nullptr, &slotOut, nullptr); }},
      {"initSubSO NULL slot word", [&] { return initSubSO("X", 1014000, &snapshot, nullptr, nullptr); }},
      {"terminateSubSO -1", [] { return terminateSubSO(-1); }},
      {"terminateSubSO 8", [] { return terminateSubSO(8); }},
      {"terminateSubSO empty", [] { return terminateSubSO(5); }},
      {"connectPrinter -1", [] { return connectPrinter(-1); }},
      {"connectPrinter 8", [] { return connectPrinter(8); }},
      {"connectPrinter empty", [] { return connectPrinter(1); }},
      {"disconnectPrinter -1", [] { return disconnectPrinter(-1); }},
      {"disconnectPrinter 8", [] { return disconnectPrinter(8); }},
      {"disconnectPrinter empty", [] { return disconnectPrinter(1); }},
      {"getCapability NULL block", [&] { return getCapability(3001, nullptr, 0); }},
      {"getCapability 3002", [&] { return getCapability(3002, capabilityBlock, 0); }},
      {"getCapability 3000", [&] { return getCapability(3000, capabilityBlock, 0); }},
      {"getCapability empty slot", [&] { return getCapability(3001, capabilityBlock, 3); }},
      {"getCapability slot 8", [&] { return getCapability(3001, capabilityBlock, 8); }},
      {"preMethod NULL block", [&] { return preMethod(109, nullptr, 0); }},
      {"preMethod 0", [&] { return preMethod(0, words, 0); }},
      {"preMethod 9", [&] { return preMethod(9, words, 0); }},
      {"preMethod 100", [&] { return preMethod(100, words, 0); }},
      {"preMethod 122", [&] { return preMethod(122, words, 0); }},
      {"preMethod slot -1", [&] { return preMethod(109, words, -1); }},
      {"preMethod empty slot", [&] { return preMethod(109, words, 2); }},
      {"executeMethod NULL block", [&] { return executeMethod(109, nullptr, 0); }},
      {"executeMethod 0", [&] { return executeMethod(0, words, 0); }},
      {"executeMethod 122", [&] { return executeMethod(122, words, 0); }},
      {"executeMethod slot 8", [&] { return executeMethod(109, words, 8); }},
      {"executeMethod empty slot", [&] { return executeMethod(109, words, 2); }},
      {"otherMethod 1003 NULL block", [&] { return otherMethod(1003, nullptr, 0); }},
      {"otherMethod 1013 NULL block", [&] { return otherMethod(1013, nullptr, 0); }},
      {"otherMethod 1000", [&] { return otherMethod(1000, words, 0); }},
      {"otherMethod 1023", [&] { return otherMethod(1023, words, 0); }},
      {"otherMethod 1025", [&] { return otherMethod(1025, words, 0); }},
      {"otherMethod slot 8", [&] { return otherMethod(1011, words, 8); }},
      {"otherMethod empty slot", [&] { return otherMethod(1017, nullptr, 4); }},
      {"setCallbackFunction NULL record", [&] { return setCallbackFunction(2002, nullptr, 0); }},
      {"setCallbackFunction 2000", [&] { return setCallbackFunction(2000, record, 0); }},
      {"setCallbackFunction 2006", [&] { return setCallbackFunction(2006, record, 0); }},
      {"setCallbackFunction slot -1", [&] { return setCallbackFunction(2002, record, -1); }},
      {"setCallbackFunction empty slot", [&] { return setCallbackFunction(2002, record, 6); }},
  };
  for (const Row& row : rows) {
    for (long& w : words) w = kSentinel;
    Lines().clear();
    EXPECT_EQ(row.call(), 106) << row.what;
    EXPECT_TRUE(Lines().empty()) << row.what << " logged: " << Lines().front().text;
    for (long w : words) EXPECT_EQ(w, kSentinel) << row.what;
  }
  EXPECT_EQ(slotOut, kSentinel);
  EXPECT_EQ(capability.capPowerReporting, kSentinel) << "a refused getCapability wrote";
  // Only the one device is open: the refused initSubSO calls took no slot.
  long next = -1;
  EXPECT_EQ(Open("RefusalPrinter2", &next), 0);
  EXPECT_EQ(next, 1);
}

class SlotAllocation : public EntryTest {};

TEST_F(SlotAllocation, EightDevicesTheNinthRefused) {
  for (long i = 0; i < 8; ++i) {
    long slot = -1;
    const std::string name = "SlotPrinter" + std::to_string(i);
    ASSERT_EQ(Open(name.c_str(), &slot), 0) << name;
    EXPECT_EQ(slot, i);
  }
  long slot = kSentinel;
  EXPECT_EQ(Open("SlotPrinter8", &slot), 106);
  EXPECT_EQ(slot, kSentinel);
}

// The duplicate check stops at the first free slot: a name held only above it is not
// compared, and the same name then lives in two slots.
TEST_F(SlotAllocation, DuplicateCheckStopsAtFirstFreeSlot) {
  long a = -1, b = -1, slot = kSentinel;
  ASSERT_EQ(Open("DupA", &a), 0);
  ASSERT_EQ(Open("DupB", &b), 0);
  EXPECT_EQ(Open("DupA", &slot), 106);
  EXPECT_EQ(Open("DupB", &slot), 106);
  EXPECT_EQ(slot, kSentinel);
  EXPECT_EQ(Open("dupa", &slot), 0) << "the comparison is case-sensitive";
  EXPECT_EQ(slot, 2);

  ASSERT_EQ(terminateSubSO(a), 0);
  slot = kSentinel;
  EXPECT_EQ(Open("DupB", &slot), 0) << "slot 0 is free and found before DupB's slot 1";
  EXPECT_EQ(slot, 0);
  EXPECT_EQ(Open("DupB", &slot), 106) << "now slot 0 holds DupB before any free slot";
}

TEST_F(SlotAllocation, NullDeviceNameReadsAsEmptyText) {
  long slot = -1;
  EXPECT_EQ(Open(nullptr, &slot), 0);
  EXPECT_EQ(slot, 0);
  long again = kSentinel;
  EXPECT_EQ(Open("", &again), 106) << "the NULL name was stored as empty text";
}

class VersionRule : public EntryTest {};

TEST_F(VersionRule, CallerVersionAgainstOwn) {
  struct Row {
    long coreVersion;
    long result;
  } rows[] = {{1013999, 106}, {1014000, 0}, {1014999, 0}, {2000000, 0}, {-1, 106}};
  for (const Row& row : rows) {
    long slot = -1;
    snapshot_ = PrnPropertySnapshot{};
    EXPECT_EQ(initSubSO("VersionPrinter", row.coreVersion, &snapshot_, &slot, nullptr),
              row.result)
        << row.coreVersion;
    EXPECT_EQ(slot, 0) << "the slot is written before the instance is initialised";
    // Own version 1.14.1.3 -> 1014001, written only when the rule passes.
    EXPECT_EQ(snapshot_.serviceObjectVersion, row.result == 0 ? 1014001 : 0) << row.coreVersion;
    EXPECT_EQ(terminateSubSO(slot), row.result == 0 ? 0 : 106) << row.coreVersion;
  }
}

TEST_F(VersionRule, FailedSlotStaysTakenUntilTerminated) {
  long slot = -1, again = kSentinel;
  ASSERT_EQ(Open("OldCorePrinter", &slot, 1013999), 106);
  EXPECT_EQ(Open("OldCorePrinter", &again), 106);
  EXPECT_EQ(again, kSentinel);
  long rce = kSentinel;
  PrnInputProperty input{};
  PrnPreStationTextArgs pre{&input, 3, "x", &rce};  // station 3: refused
  EXPECT_EQ(preMethod(PRN_METHOD_PRINT_NORMAL, reinterpret_cast<long*>(&pre), slot), 106);
  EXPECT_EQ(rce, 0) << "the pre frame clears ResultCodeExtended first";
  PrnCapabilityBlock capability{};
  PrnCapabilityArgs args{&capability};
  EXPECT_EQ(getCapability(3001, reinterpret_cast<long*>(&args), slot), 106);
  EXPECT_EQ(terminateSubSO(slot), 106);
  EXPECT_EQ(Open("OldCorePrinter", &again), 0) << "terminateSubSO freed the slot";
  EXPECT_EQ(again, 0);
}

class CommonFrame : public EntryTest {};

std::vector<std::string> Texts() {
  std::vector<std::string> texts;
  for (const LogLine& line : Lines()) texts.push_back(line.text);
  return texts;
}

TEST_F(CommonFrame, PreFrameLinesAndResult) {
  long slot = -1;
  ASSERT_EQ(Open("FramePrinter", &slot), 0);
  Lines().clear();
  long rce = kSentinel;
  PrnInputProperty input{};
  PrnPreStationTextArgs pre{&input, 3, "x", &rce};  // station 3: refused
  EXPECT_EQ(preMethod(PRN_METHOD_PRINT_NORMAL, reinterpret_cast<long*>(&pre), slot), 106);
  EXPECT_EQ(rce, 0);
  const std::vector<std::string> expected = {
      "[FramePrinter] [Enter   ] prePrintNormal ",
      "[FramePrinter] [Result  ] 106 ",
      "[FramePrinter] [Exit    ] prePrintNormal ",
  };
  EXPECT_EQ(Texts(), expected);
  ASSERT_EQ(Lines().size(), 3u);
  EXPECT_EQ(Lines()[0].category, LOG_CAT_INFO);
  EXPECT_EQ(Lines()[1].category, LOG_CAT_ERROR) << "a non-zero result logs as an error";
  EXPECT_EQ(Lines()[2].category, LOG_CAT_ERROR);
  for (const LogLine& line : Lines()) EXPECT_EQ(line.function, "CSubSO::prePrintNormal");
}

TEST_F(CommonFrame, ExecuteFrameStoresResultInSnapshot) {
  long slot = -1;
  ASSERT_EQ(Open("FramePrinter", &slot), 0);
  Lines().clear();
  PrnInputProperty input{};
  PrnStationState station{};
  PrnTokenList* list = nullptr;
  PrnPropertySnapshot snapshot{};
  snapshot.resultCode = kSentinel;
  PrnExecDrawRuledLineArgs exec{&input, &station, 2, nullptr, 1, 1, 1, 1, 0, &list, &snapshot};
  EXPECT_EQ(executeMethod(PRN_METHOD_DRAW_RULED_LINE, reinterpret_cast<long*>(&exec), slot),
            106);
  EXPECT_EQ(snapshot.resultCode, 106) << "ResultCode sits in the snapshot's last block word";
  EXPECT_EQ(list, nullptr);
  const std::vector<std::string> expected = {
      "[FramePrinter] [Enter   ] executeDrawRuledLine ",
      "[FramePrinter] [Result  ] 106 ",
      "[FramePrinter] [Exit    ] executeDrawRuledLine ",
  };
  EXPECT_EQ(Texts(), expected);
}

long SUBAPI_CALL SilentTokenizer(PrnInputProperty*, PrnStationState*, char*, long, long, long,
                                 PrnTokenList*, long*, void*) {
  return 0;
}

TEST_F(CommonFrame, ExecuteFrameSuccessLogsInformation) {
  long slot = -1;
  ASSERT_EQ(Open("FramePrinter", &slot), 0);
  PrnTokenizerRecord tokenizer{&SilentTokenizer};
  ASSERT_EQ(setCallbackFunction(PRN_CALLBACK_PRINT_DATA_TOKENIZER,
                                reinterpret_cast<void**>(&tokenizer), slot),
            0);
  Lines().clear();
  PrnInputProperty input{};
  input.recLineWidth = 288;
  input.recLineChars = 24;
  PrnStationState station{};
  PrnTokenList* list = nullptr;
  PrnPropertySnapshot snapshot{};
  snapshot.resultCode = kSentinel;
  PrnExecStationTextArgs exec{&input, &station, 2, "AB", &list, &snapshot};
  ASSERT_EQ(executeMethod(PRN_METHOD_PRINT_NORMAL, reinterpret_cast<long*>(&exec), slot), 0);
  EXPECT_EQ(snapshot.resultCode, 0);
  EXPECT_NE(list, nullptr) << "the new list goes out through the out word";
  const std::vector<std::string> expected = {
      "[FramePrinter] [Enter   ] executePrintNormal ",
      "[FramePrinter] [Result  ] 0 ",
      "[FramePrinter] [Exit    ] executePrintNormal ",
  };
  EXPECT_EQ(Texts(), expected);
  for (const LogLine& line : Lines()) {
    EXPECT_EQ(line.category, LOG_CAT_INFO) << line.text;
    EXPECT_EQ(line.function, "CSubSO::executePrintNormal");
  }
  PrnListArgs free{list};
  EXPECT_EQ(otherMethod(PRN_SERVICE_FREE_COMMAND_LIST, reinterpret_cast<long*>(&free), slot), 0);
}

// Every method ID reaches its own handler frame, by name, with the block sizes of the
// argument blocks (the ResultCodeExtended word is the last pre word).
TEST_F(CommonFrame, EveryMethodIdRoutes) {
  long slot = -1;
  ASSERT_EQ(Open("RoutePrinter", &slot), 0);
  const struct {
    long id;
    const char* name;
    int preWords;
  } rows[] = {
      {1, "CheckHealth", 3},       {2, "DirectIO", 5},           {3, "ClearOutput", 2},
      {4, "CompareFirmwareVersion", 4}, {5, "ResetStatistics", 3}, {6, "RetrieveStatistics", 3},
      {7, "UpdateFirmware", 3},    {8, "UpdateStatistics", 3},   {101, "BeginInsertion", 3},
      {102, "BeginRemoval", 3},    {103, "EndInsertion", 2},     {104, "EndRemoval", 2},
      {105, "CutPaper", 3},        {106, "PrintBarCode", 9},     {107, "PrintBitmap", 6},
      {108, "PrintImmediate", 4},  {109, "PrintNormal", 4},      {110, "PrintTwoNormal", 5},
      {111, "RotatePrint", 4},     {112, "SetBitmap", 7},        {113, "SetLogo", 4},
      {114, "TransactionPrint", 4}, {115, "ValidateData", 4},    {116, "ChangePrintSide", 3},
      {117, "MarkFeed", 3},        {118, "ClearPrintArea", 2},   {119, "PageModePrint", 3},
      {120, "DrawRuledLine", 8},   {121, "PrintMemoryBitmap", 7},
  };
  PrnInputProperty input{};
  for (const auto& row : rows) {
    long rce = kSentinel;
    long block[12] = {};
    block[0] = reinterpret_cast<long>(&input);
    block[row.preWords - 1] = reinterpret_cast<long>(&rce);
    Lines().clear();
    // The result is the handler's own: an empty block is valid for some methods.
    preMethod(row.id, block, slot);
    EXPECT_EQ(rce, 0) << row.name;
    ASSERT_FALSE(Lines().empty()) << row.name;
    EXPECT_EQ(Lines()[0].text, std::string("[RoutePrinter] [Enter   ] pre") + row.name + " ");
  }
}

TEST_F(CommonFrame, CapabilityBlockAfterInitialisation) {
  long slot = -1;
  ASSERT_EQ(Open("CapPrinter", &slot), 0);
  PrnCapabilityBlock capability;
  std::memset(&capability, 0x5A, sizeof capability);
  PrnCapabilityArgs args{&capability};
  ASSERT_EQ(getCapability(3001, reinterpret_cast<long*>(&args), slot), 0);
  const long* words = reinterpret_cast<const long*>(&capability);
  // Words the instance sets at construction and the receipt's words of initialisation;
  // every other word 0.
  const std::pair<int, long> set[] = {{1, 1},  {2, 1},  {4, 1},  {5, 11}, {10, 1},
                                      {12, 1}, {25, 1}, {27, 1}, {28, 3}, {29, 1},
                                      {30, 1}, {31, 1}, {32, 1}, {33, 1}, {34, 1},
                                      {38, 1}, {40, 1}, {42, 1}, {44, 1}};
  for (int i = 0; i < 68; ++i) {
    long expected = 0;
    for (const auto& s : set)
      if (s.first == i) expected = s.second;
    EXPECT_EQ(words[i], expected) << "capability word " << i;
  }
  PrnCapabilityArgs empty{nullptr};
  EXPECT_EQ(getCapability(3001, reinterpret_cast<long*>(&empty), slot), 106);
}

TEST_F(CommonFrame, CallbackRegistration) {
  long slot = -1;
  ASSERT_EQ(Open("CallbackPrinter", &slot), 0);
  Lines().clear();
  PrnStatusFunctionSet functions{};
  EXPECT_EQ(setCallbackFunction(2002, reinterpret_cast<void**>(&functions), slot), 0);
  const std::vector<std::string> expected = {
      "[CallbackPrinter] [Enter   ] setEventFunction ",
      "[CallbackPrinter] [Result  ] 0 ",
      "[CallbackPrinter] [Exit    ] setEventFunction ",
  };
  EXPECT_EQ(Texts(), expected);
  // 2005 keeps the address of the core's handle: a queued status word signals it.
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  PrnStatusEventRecord eventRecord{reinterpret_cast<void**>(&event)};
  EXPECT_EQ(setCallbackFunction(2005, reinterpret_cast<void**>(&eventRecord), slot), 0);
  EXPECT_EQ(postCallbackStatus(slot, 0x00000010), 0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  CloseHandle(event);
  for (long id : {2001L, 2003L, 2004L}) {
    void* record[1] = {nullptr};
    EXPECT_EQ(setCallbackFunction(id, record, slot), 0) << id;
  }
}

TEST_F(CommonFrame, ServicesThatTakeNoBlock) {
  long slot = -1;
  ASSERT_EQ(Open("NoBlockPrinter", &slot), 0);
  EXPECT_EQ(otherMethod(PRN_SERVICE_TERMINATE_DEVICE, nullptr, slot), 0);
}

}  // namespace
}  // namespace entrytest
