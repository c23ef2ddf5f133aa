// The device channel against the recording sub-module: binding, initialisation with its
// callbacks, and every service call.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "CommDevice.h"
#include "FakeLog.h"
#include "LogContext.h"
#include "RecordingSub.h"
#include "TestSupport.h"

namespace {

const std::string kRecording = sotest::BinFolder() + "recording_sub.dll";
const std::string kNoCallback = sotest::BinFolder() + "recording_sub_nocallback.dll";

PrnPropertySnapshot* FakeSnapshot() { return reinterpret_cast<PrnPropertySnapshot*>(0x5A0); }

class CommDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sub_.Loaded());
    sub_.Reset();
    fakelog::Clear();
    log_.Configure("ChannelDev", 256, 1, 4, "");
    channel_ = std::make_unique<CCommDevice>(nullptr, &log_);
  }

  void Bind() { ASSERT_TRUE(channel_->LoadSubSODLL(kRecording.c_str())); }

  std::vector<RecSubCall> CallsOf(long exportId) const {
    std::vector<RecSubCall> found;
    for (const RecSubCall& call : sub_.Calls()) {
      if (call.exportId == exportId) found.push_back(call);
    }
    return found;
  }

  RecordingSubModule sub_{kRecording.c_str()};
  CLogContext log_;
  std::unique_ptr<CCommDevice> channel_;
};

TEST_F(CommDeviceTest, BindsAllNineExportsByName) {
  Bind();
  EXPECT_TRUE(channel_->IsBound());
  HMODULE module = GetModuleHandleA(kRecording.c_str());
  const PrnEntryPoints& e = channel_->EntryPoints();
  const void* bound[] = {reinterpret_cast<void*>(e.initSubSO),
                         reinterpret_cast<void*>(e.terminateSubSO),
                         reinterpret_cast<void*>(e.connectPrinter),
                         reinterpret_cast<void*>(e.disconnectPrinter),
                         reinterpret_cast<void*>(e.getCapability),
                         reinterpret_cast<void*>(e.preMethod),
                         reinterpret_cast<void*>(e.executeMethod),
                         reinterpret_cast<void*>(e.otherMethod),
                         reinterpret_cast<void*>(e.setCallbackFunction)};
  const char* names[] = {"initSubSO",     "terminateSubSO", "connectPrinter",
                         "disconnectPrinter", "getCapability", "preMethod",
                         "executeMethod", "otherMethod",    "setCallbackFunction"};
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(bound[i], reinterpret_cast<void*>(GetProcAddress(module, names[i]))) << names[i];
  }
  EXPECT_TRUE(fakelog::Lines().empty());
}

TEST_F(CommDeviceTest, ASubModuleMissingOneExportIsRefusedAndFreed) {
  ASSERT_EQ(GetModuleHandleA(kNoCallback.c_str()), nullptr);
  EXPECT_FALSE(channel_->LoadSubSODLL(kNoCallback.c_str()));
  EXPECT_FALSE(channel_->IsBound());
  EXPECT_EQ(GetModuleHandleA(kNoCallback.c_str()), nullptr) << "the DLL is freed again";
  EXPECT_EQ(channel_->EntryPoints().initSubSO, nullptr);
  EXPECT_EQ(channel_->EntryPoints().otherMethod, nullptr);
  // Every export was looked up; one line for the one that is missing, then the summary.
  const auto lines = fakelog::Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text,
            L"[ChannelDev] [Info    ] Get the function pointer(setCallbackFunction) Failed. "
            L"GetLastError = 127 ");
  EXPECT_EQ(lines[1].text, L"[ChannelDev] [Info    ] Get the Sub SO function pointer Failed. ");
  EXPECT_EQ(lines[0].category, 0x2u);
  EXPECT_EQ(lines[0].function, "CCommDevice::LoadSubSODLL");
  EXPECT_EQ(lines[0].file, "CommDevice");
}

TEST_F(CommDeviceTest, ALoadFailureIsLoggedWithTheError) {
  EXPECT_FALSE(channel_->LoadSubSODLL((sotest::BinFolder() + "no_such_sub.dll").c_str()));
  const auto lines = fakelog::Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text,
            L"[ChannelDev] [Info    ] Failed to load Sub SO DLL. GetLastError = 126 ");
  EXPECT_EQ(lines[0].category, 0x2u);
}

TEST_F(CommDeviceTest, UnloadWithoutAModuleSucceedsAndClearsTheEntryPoints) {
  EXPECT_TRUE(channel_->UnloadSubSODLL());
  Bind();
  EXPECT_TRUE(channel_->UnloadSubSODLL());
  EXPECT_FALSE(channel_->IsBound());
  EXPECT_EQ(channel_->EntryPoints().setCallbackFunction, nullptr);
  EXPECT_TRUE(channel_->UnloadSubSODLL());
}

TEST_F(CommDeviceTest, InitializeRegistersTheFiveCallbacksInOrder) {
  Bind();
  sub_.ScriptInit(0, 3);
  ASSERT_EQ(channel_->InitializeSubSO("ChannelDev", 1014001, FakeSnapshot()), 0);
  EXPECT_EQ(channel_->Slot(), 3);

  const auto calls = sub_.Calls();
  ASSERT_EQ(calls.size(), 6u);
  EXPECT_EQ(calls[0].exportId, RECSUB_INIT_SUBSO);
  EXPECT_STREQ(calls[0].deviceName, "ChannelDev");
  EXPECT_EQ(calls[0].coreVersion, 1014001);
  EXPECT_EQ(calls[0].snapshot, FakeSnapshot());
  EXPECT_EQ(calls[0].callbackContext, channel_.get());
  const long expectedIds[] = {2001, 2002, 2003, 2004, 2005};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(calls[1 + i].exportId, RECSUB_SET_CALLBACK_FUNCTION) << i;
    EXPECT_EQ(calls[1 + i].id, expectedIds[i]);
    EXPECT_EQ(calls[1 + i].slot, 3);
  }
  auto word = [](const RecSubCall& call, int i) { return reinterpret_cast<void*>(call.words[i]); };
  EXPECT_EQ(word(calls[1], 0), reinterpret_cast<void*>(&CCommDevice::ConvertPrintData));
  ASSERT_EQ(calls[2].wordCount, 4);
  EXPECT_EQ(word(calls[2], 0), reinterpret_cast<void*>(&CCommDevice::OnStatusNotify));
  EXPECT_NE(word(calls[2], 1), nullptr);
  EXPECT_EQ(word(calls[2], 2), reinterpret_cast<void*>(&CCommDevice::OnDirectIONotify));
  EXPECT_NE(word(calls[2], 3), nullptr);
  EXPECT_EQ(word(calls[3], 0), reinterpret_cast<void*>(&CCommDevice::OnResponseCode));
  EXPECT_EQ(word(calls[4], 0), reinterpret_cast<void*>(&CCommDevice::OnErrorNotify));
  EXPECT_EQ(word(calls[5], 0), reinterpret_cast<void*>(channel_->StatusEventAddress()));
}

// initSubSO answers and what the channel makes of them.
struct InitRow {
  const char* label;
  long result;
  long slotWritten;      // RECSUB_SLOT_UNWRITTEN when initSubSO writes none
  long expected;
  bool terminatesSlot;   // a slot taken by a failed initialisation is ended again
};
const InitRow kInitRows[] = {
    {"positive result passes unchanged", 5, 0, 5, true},
    {"refusal before any slot was taken", 106, RECSUB_SLOT_UNWRITTEN, 106, false},
    {"failure of the device's initialisation", 111, 3, 111, true},
    {"negative with a slot becomes 106", -1, 2, 106, true},
    {"negative without a slot becomes 106", -1, RECSUB_SLOT_UNWRITTEN, 106, false},
};

TEST_F(CommDeviceTest, FailedInitialisationRegistersNoCallbackAndFreesItsSlot) {
  Bind();
  for (const InitRow& row : kInitRows) {
    sub_.Reset();
    sub_.ScriptInit(row.result, row.slotWritten);
    fakelog::Clear();
    EXPECT_EQ(channel_->InitializeSubSO("ChannelDev", 1014001, FakeSnapshot()), row.expected)
        << row.label;
    EXPECT_TRUE(CallsOf(RECSUB_SET_CALLBACK_FUNCTION).empty()) << row.label;
    const auto terminates = CallsOf(RECSUB_TERMINATE_SUBSO);
    if (row.terminatesSlot) {
      ASSERT_EQ(terminates.size(), 1u) << row.label;
      EXPECT_EQ(terminates[0].slot, row.slotWritten) << row.label;
    } else {
      EXPECT_TRUE(terminates.empty()) << row.label;
    }
    EXPECT_EQ(sub_.TakenSlots(), 0) << row.label << ": no slot stays taken";
    EXPECT_EQ(channel_->Slot(), -1) << row.label;
    const bool negative = row.result < 0;
    EXPECT_EQ(fakelog::LinesContaining(L"InitializeSubSO function failed. Return value = -1")
                  .size(),
              negative ? 1u : 0u)
        << row.label;
  }
}

TEST_F(CommDeviceTest, WithoutABoundModuleEveryCallIsRefused) {
  EXPECT_EQ(channel_->InitializeSubSO("ChannelDev", 1, FakeSnapshot()), 106);
  EXPECT_EQ(channel_->ConnectPrinter(), 106);
  EXPECT_EQ(channel_->ClosePrinter(), 106);
  EXPECT_EQ(channel_->OtherMethod1016(nullptr), 106);
  EXPECT_FALSE(channel_->TerminateSubSO());
  PrnCapabilityBlock block = {};
  EXPECT_FALSE(channel_->GetCapability(&block));
}

struct ResultRow {
  long answered;
  long expected;
};

TEST_F(CommDeviceTest, ConnectAndDisconnectTurnNegativeResultsInto106) {
  Bind();
  ASSERT_EQ(channel_->InitializeSubSO("ChannelDev", 1, FakeSnapshot()), 0);
  const ResultRow rows[] = {{0, 0}, {107, 107}, {-2, 106}};
  for (const ResultRow& row : rows) {
    sub_.SetResult(RECSUB_CONNECT_PRINTER, 0, row.answered);
    sub_.SetResult(RECSUB_DISCONNECT_PRINTER, 0, row.answered);
    fakelog::Clear();
    EXPECT_EQ(channel_->ConnectPrinter(), row.expected) << row.answered;
    EXPECT_EQ(channel_->ClosePrinter(), row.expected) << row.answered;
    const size_t failed = row.answered < 0 ? 1u : 0u;
    EXPECT_EQ(fakelog::LinesContaining(L"ConnectPrinter function failed. Return value = -2")
                  .size(),
              failed);
    EXPECT_EQ(fakelog::LinesContaining(L"lpdisconnectPrinter function failed. Return value = -2")
                  .size(),
              failed);
    EXPECT_EQ(fakelog::LinesContaining(L"[Exit    ] lpdisconnectPrinter method end.").size(),
              failed);
  }
  EXPECT_EQ(CallsOf(RECSUB_CONNECT_PRINTER).back().slot, 0);
}

// A negative export result: 106, and exactly these two lines, both category 0x10.
struct NegativeRow {
  const char* function;
  std::function<long(RecordingSubModule&, CCommDevice&)> call;  // scripts -4, then calls
  const wchar_t* failed;
  const wchar_t* end;
};

TEST_F(CommDeviceTest, NegativeResultsLogTheirTwoLinesExactly) {
  Bind();
  const NegativeRow rows[] = {
      {"CCommDevice::InitializeSubSO",
       [](RecordingSubModule& sub, CCommDevice& c) {
         sub.ScriptInit(-4, RECSUB_SLOT_UNWRITTEN);
         return c.InitializeSubSO("ChannelDev", 1, FakeSnapshot());
       },
       L"[ChannelDev] [Info    ] InitializeSubSO function failed. Return value = -4",
       L"[ChannelDev] [Exit    ] InitializeSubSO method end. "},
      {"CCommDevice::ConnectPrinter",
       [](RecordingSubModule& sub, CCommDevice& c) {
         sub.SetResult(RECSUB_CONNECT_PRINTER, 0, -4);
         return c.ConnectPrinter();
       },
       L"[ChannelDev] [Info    ] ConnectPrinter function failed. Return value = -4",
       L"[ChannelDev] [Exit    ] ConnectPrinter method end. "},
      {"CCommDevice::ClosePrinter",
       [](RecordingSubModule& sub, CCommDevice& c) {
         sub.SetResult(RECSUB_DISCONNECT_PRINTER, 0, -4);
         return c.ClosePrinter();
       },
       L"[ChannelDev] [Info    ] lpdisconnectPrinter function failed. Return value = -4",
       L"[ChannelDev] [Exit    ] lpdisconnectPrinter method end. "},
  };
  for (const NegativeRow& row : rows) {
    sub_.Reset();
    fakelog::Clear();
    EXPECT_EQ(row.call(sub_, *channel_), 106) << row.function;
    const auto lines = fakelog::Lines();
    ASSERT_EQ(lines.size(), 2u) << row.function;
    EXPECT_EQ(lines[0].text, row.failed) << row.function;
    EXPECT_EQ(lines[1].text, row.end) << row.function;
    for (const fakelog::Line& line : lines) {
      EXPECT_EQ(line.category, 0x10u) << row.function;
      EXPECT_EQ(line.function, row.function);
      EXPECT_EQ(line.module, "OPS_PCR");
      EXPECT_EQ(line.file, "CommDevice");
    }
  }
}

TEST_F(CommDeviceTest, CapabilityAndTerminateAnswerOneOnlyForZero) {
  Bind();
  ASSERT_EQ(channel_->InitializeSubSO("ChannelDev", 1, FakeSnapshot()), 0);
  PrnCapabilityBlock caps = {};
  caps.capRecPresent = 1;
  caps.capSlpPageMode = 7;
  sub_.SetCapabilities(&caps);
  PrnCapabilityBlock block = {};
  EXPECT_TRUE(channel_->GetCapability(&block));
  EXPECT_EQ(block.capRecPresent, 1);
  EXPECT_EQ(block.capSlpPageMode, 7);
  const auto capabilityCalls = CallsOf(RECSUB_GET_CAPABILITY);
  ASSERT_EQ(capabilityCalls.size(), 1u);
  EXPECT_EQ(capabilityCalls[0].id, 3001);
  EXPECT_EQ(capabilityCalls[0].words[0], reinterpret_cast<long>(&block));
  sub_.SetResult(RECSUB_GET_CAPABILITY, 3001, 106);
  EXPECT_FALSE(channel_->GetCapability(&block));

  sub_.SetResult(RECSUB_TERMINATE_SUBSO, 0, 106);
  EXPECT_FALSE(channel_->TerminateSubSO());
  EXPECT_EQ(channel_->Slot(), -1);
}

// Each service wrapper: the ID it calls and the words of its block.
struct ServiceRow {
  const char* label;
  long serviceId;
  std::function<long(CCommDevice&)> call;
  std::vector<long> words;
  const char* text3 = nullptr;  // the copied text of word 3, where there is one
};

template <class T>
T* P(long value) { return reinterpret_cast<T*>(value); }

long g_out[3];
PrnTokenList* g_list;
PrnCommandToken* g_token;

std::vector<ServiceRow> ServiceRows() {
  const long outs = reinterpret_cast<long>(g_out);
  return {
      {"1001 activate", 1001,
       [](CCommDevice& c) { return c.OtherMethod1001(P<PrnInputProperty>(0x100), P<PrnPropertySnapshot>(0x200)); },
       {0x100, 0x200}},
      {"1003 release data", 1003,
       [](CCommDevice& c) { return c.ReleaseSubSOData(P<void>(0x300)); }, {0x300}},
      {"1005 a status record of 0xFF bytes", 1005, [](CCommDevice& c) { return c.OtherMethod1005(); },
       std::vector<long>(17, -1)},
      {"1006 page-mode area", 1006,
       [](CCommDevice& c) {
         return c.OtherMethod1006(P<PrnInputProperty>(1), P<PrnStationState>(2), P<PrnTokenList>(3), 4, -1,
                                  P<PrnTokenList>(6));
       },
       {1, 2, 3, 4, -1, 6}},
      {"1007 move tokens", 1007,
       [](CCommDevice& c) { return c.OtherMethod1007(P<PrnTokenList>(7), P<PrnTokenList>(8)); }, {7, 8}},
      {"1008 character set", 1008, [](CCommDevice& c) { return c.OtherMethod1008(437); }, {437}},
      {"1009 scan", 1009, [](CCommDevice& c) { return c.OtherMethod1009(P<PrnTokenList>(9)); }, {9}},
      {"1010 render", 1010,
       [](CCommDevice& c) {
         return c.BuildRequestData(P<PrnInputProperty>(10), P<PrnStationState>(11), P<PrnTokenList>(12), 2);
       },
       {10, 11, 12, 2}},
      {"1011 fixed parameters", 1011,
       [](CCommDevice& c) { return c.OtherMethod1011(&g_out[0], &g_out[1], &g_out[2]); },
       {outs, outs + 4, outs + 8}},
      {"1013 add token", 1013,
       [](CCommDevice& c) {
         return c.SendEscapeToken(116, P<const unsigned char>(0x40), 3, -1, P<PrnTokenList>(0x50), &g_token);
       },
       {116, 0x40, 3, -1, 0x50, reinterpret_cast<long>(&g_token)}},
      {"1014 logo into list", 1014,
       [](CCommDevice& c) { return c.AppendCommandTokens(P<PrnTokenList>(14), P<PrnTokenList>(15)); },
       {14, 15}},
      {"1015 free snapshot texts", 1015,
       [](CCommDevice& c) { return c.OtherMethod1015(P<PrnPropertySnapshot>(0x1015)); }, {0x1015}},
      {"1016 device initialisation", 1016,
       [](CCommDevice& c) { return c.OtherMethod1016(P<PrnInputProperty>(0x1016)); }, {0x1016}},
      {"1019 clone", 1019,
       [](CCommDevice& c) { return c.OtherMethod1019(P<PrnTokenList>(19), &g_list); },
       {19, reinterpret_cast<long>(&g_list)}},
      {"1020 line characters, the list as text", 1020,
       [](CCommDevice& c) {
         return c.OtherMethod1020(2, 42, 576, "42,56", &g_out[0], &g_out[1], &g_out[2]);
       },
       {2, 42, 576, 0 /* text word, compared as text */, outs, outs + 4, outs + 8},
       "42,56"},
      {"1021 pitch", 1021,
       [](CCommDevice& c) { return c.OtherMethod1021(P<PrnInputProperty>(21), P<PrnPropertySnapshot>(22)); },
       {21, 22}},
      {"1022 response id", 1022,
       [](CCommDevice& c) { return c.SetResponseIdToken(&g_out[0], &g_list); },
       {outs, reinterpret_cast<long>(&g_list)}},
      {"1024 enabled", 1024,
       [](CCommDevice& c) { return c.OtherMethod1024(P<PrnInputProperty>(24), P<PrnPropertySnapshot>(25)); },
       {24, 25}},
  };
}

TEST_F(CommDeviceTest, ServiceWrappersPassTheirBlocksAndResults) {
  Bind();
  sub_.ScriptInit(0, 5);
  ASSERT_EQ(channel_->InitializeSubSO("ChannelDev", 1, FakeSnapshot()), 0);
  for (const ServiceRow& row : ServiceRows()) {
    sub_.Reset();
    sub_.SetResult(RECSUB_OTHER_METHOD, row.serviceId, -3);
    EXPECT_EQ(row.call(*channel_), -3) << row.label << ": results pass through, even negative";
    const auto calls = sub_.Calls();
    ASSERT_EQ(calls.size(), 1u) << row.label;
    EXPECT_EQ(calls[0].exportId, RECSUB_OTHER_METHOD) << row.label;
    EXPECT_EQ(calls[0].id, row.serviceId) << row.label;
    EXPECT_EQ(calls[0].slot, 5) << row.label;
    ASSERT_EQ(calls[0].wordCount, static_cast<long>(row.words.size())) << row.label;
    for (size_t i = 0; i < row.words.size(); ++i) {
      if (row.text3 && i == 3) {
        EXPECT_STREQ(calls[0].texts[3], row.text3) << row.label;
      } else {
        EXPECT_EQ(calls[0].words[i], row.words[i]) << row.label << " word " << i;
      }
    }
  }
}

TEST_F(CommDeviceTest, ServicesWithoutABlockOrWithAnOutWord) {
  Bind();
  ASSERT_EQ(channel_->InitializeSubSO("ChannelDev", 1, FakeSnapshot()), 0);
  sub_.Reset();
  EXPECT_EQ(channel_->OtherMethod1002(), 0);
  EXPECT_EQ(sub_.Calls().at(0).blockPresent, 0) << "1002 sends a null block";

  // 1018 answers the list it received, not the export's result.
  sub_.Reset();
  sub_.SetResult(RECSUB_OTHER_METHOD, 1018, 0);
  EXPECT_EQ(channel_->OtherMethod1018(2), nullptr);
  EXPECT_EQ(sub_.Calls().at(0).words[0], 2);

  // 1011 fills the three fixed parameters.
  long cut = 0, lineEnd = 0, resolution = 0;
  EXPECT_EQ(channel_->OtherMethod1011(&cut, &lineEnd, &resolution), 0);
  EXPECT_EQ(cut, 99);
  EXPECT_EQ(lineEnd, 7);
  EXPECT_EQ(resolution, 203);
}

TEST_F(CommDeviceTest, ReleaseImageHandlesFreesTopThenBottom) {
  Bind();
  ASSERT_EQ(channel_->InitializeSubSO("ChannelDev", 1, FakeSnapshot()), 0);
  sub_.Reset();
  channel_->SetLogos(P<PrnTokenList>(0x70), P<PrnTokenList>(0x80));
  EXPECT_EQ(channel_->ReleaseImageHandles(), 0);
  auto calls = sub_.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].words[0], 0x70);
  EXPECT_EQ(calls[1].words[0], 0x80);
  sub_.Reset();
  EXPECT_EQ(channel_->ReleaseImageHandles(), 0) << "nothing left to free";
  EXPECT_TRUE(sub_.Calls().empty());
  channel_->SetLogos(P<PrnTokenList>(0x70), nullptr);
  sub_.SetResult(RECSUB_OTHER_METHOD, 1003, 111);
  EXPECT_EQ(channel_->ReleaseImageHandles(), 0) << "no bottom logo: 0";
}

TEST_F(CommDeviceTest, CallbacksMakeTheirContextTheCurrentChannel) {
  Bind();
  ASSERT_EQ(channel_->InitializeSubSO("ChannelDev", 1, FakeSnapshot()), 0);
  CCommDevice other(nullptr, &log_);
  ASSERT_EQ(CCommDevice::Current(), &other);
  auto response = reinterpret_cast<PrnResponseCodeFn>(sub_.GetCallbackWord(2003, 0));
  ASSERT_NE(response, nullptr);
  EXPECT_EQ(response(3, channel_.get()), 0);
  EXPECT_EQ(CCommDevice::Current(), channel_.get());
}

TEST_F(CommDeviceTest, DestroyingABoundChannelEndsItsSlotBeforeFreeingTheModule) {
  Bind();
  sub_.ScriptInit(0, 4);
  ASSERT_EQ(channel_->InitializeSubSO("ChannelDev", 1, FakeSnapshot()), 0);
  ASSERT_TRUE(CallsOf(RECSUB_TERMINATE_SUBSO).empty());
  channel_.reset();
  const auto terminates = CallsOf(RECSUB_TERMINATE_SUBSO);
  ASSERT_EQ(terminates.size(), 1u);
  EXPECT_EQ(terminates[0].slot, 4);
  EXPECT_EQ(sub_.TakenSlots(), 0) << "no slot keeps the destroyed channel as its context";
}

TEST_F(CommDeviceTest, DestroyingTheCurrentChannelClearsTheModulePointer) {
  ASSERT_EQ(CCommDevice::Current(), channel_.get());
  channel_.reset();
  EXPECT_EQ(CCommDevice::Current(), nullptr);
}

}  // namespace
