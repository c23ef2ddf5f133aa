// The list, character and status services of prennik.dll as the core calls them.
#include "DeviceFixture.h"

#include <thread>

namespace devicetest {
namespace {

class DeviceServices : public DeviceCycle {
 protected:
  struct TokenView {
    long type;
    long parameter;
    long parameter2;
    Bytes data;
  };
  static std::vector<TokenView> Tokens(const PrnTokenList* list) {
    std::vector<TokenView> tokens;
    for (const PrnTokenNode* n = PrnOldestToken(list); n; n = PrnNewerToken(n)) {
      const PrnCommandToken* t = n->token;
      tokens.push_back({t->type, t->parameter, t->parameter2,
                        t->data ? Bytes(t->data, t->data + t->length) : Bytes()});
    }
    return tokens;
  }
  static std::vector<long> Types(const PrnTokenList* list) {
    std::vector<long> types;
    for (const TokenView& t : Tokens(list)) types.push_back(t.type);
    return types;
  }
  PrnTokenList* PrintNormalList(const char* data) {
    PrnTokenList* list = nullptr;
    PrnExecStationTextArgs exec{&rec_.input, &rec_.station, PRN_STATION_RECEIPT, data, &list,
                                &rec_.snapshot};
    EXPECT_EQ(core_.Execute(PRN_METHOD_PRINT_NORMAL, &exec), 0);
    core_.Track(list);
    return list;
  }
  long Reads() { return TbxSim_GetCallCount(kPrinter, "#31"); }
};

TEST_F(DeviceServices, ResponseIdTokenIsTheNewest) {
  ASSERT_EQ(core_.Open(kDevice), 0);
  PrnTokenList* list = core_.CreateList();
  core_.AddToken(list, 101, "A", 1, -1);
  // Only the low byte of the word counts: 0x105 is id 5.
  long id = 0x105;
  PrnResponseIdArgs block{&id, &list};
  ASSERT_EQ(core_.Other(PRN_SERVICE_APPEND_RESPONSE_ID_TOKEN, &block), 0);
  const std::vector<TokenView> tokens = Tokens(list);
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens[0].data, Bytes({'A'}));
  EXPECT_EQ(tokens[1].type, 710);
  EXPECT_EQ(Hex(tokens[1].data), Hex({0x12, 0x71, 0x85}));
  PrnTokenList* none = nullptr;
  PrnResponseIdArgs noList{&id, &none};
  EXPECT_EQ(core_.Other(PRN_SERVICE_APPEND_RESPONSE_ID_TOKEN, &noList), 106);
}

TEST_F(DeviceServices, CopiesKeepOrderAndTheSource) {
  ASSERT_EQ(core_.Open(kDevice), 0);
  PrnTokenList* source = core_.CreateList();
  core_.AddToken(source, 101, "ab", 2, -1);
  core_.AddToken(source, 104, nullptr, 0, -1);
  PrnTokenList* target = core_.CreateList();
  core_.AddToken(target, 101, "t", 1, -1);
  PrnCopyTokensArgs append{source, target};
  ASSERT_EQ(core_.Other(PRN_SERVICE_APPEND_COMMAND_TOKENS, &append), 0);
  EXPECT_EQ(Types(target), std::vector<long>({101, 101, 104, 100}));
  EXPECT_EQ(Tokens(target)[1].data, Bytes({'a', 'b'}));
  EXPECT_EQ(target->totalBytes, 3);
  EXPECT_EQ(Types(source), std::vector<long>({101, 104})) << "the source is left as it was";
  EXPECT_EQ(source->totalBytes, 2);

  PrnTokenList* clone = core_.CreateList();
  PrnCloneTokensArgs cloneArgs{source, &clone};
  ASSERT_EQ(core_.Other(PRN_SERVICE_CLONE_COMMAND_TOKENS, &cloneArgs), 0);
  EXPECT_EQ(Types(clone), std::vector<long>({101, 104})) << "no character-set token";
  EXPECT_EQ(clone->totalBytes, 2);

  PrnCopyTokensArgs fromNull{nullptr, target};
  EXPECT_EQ(core_.Other(PRN_SERVICE_APPEND_COMMAND_TOKENS, &fromNull), 0);
  EXPECT_EQ(Types(target).size(), 4u);
}

TEST_F(DeviceServices, LineCharsFontChoosesFontForLaterText) {
  ASSERT_EQ(core_.Open(kDevice), 0);
  struct Row {
    long station, requested, result, chosen, width, spacing;
  };
  const Row rows[] = {{2, 30, 0, 32, 16, 1}, {2, 40, 0, 36, 16, 0}, {1, 18, 0, 18, 24, 4},
                      {3, 30, 106, -7, -7, -7}, {4, 30, 106, -7, -7, -7}};
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.station << "/" << row.requested);
    long chosen = -7, width = -7, spacing = -7;
    PrnSelectLineCharsFontArgs block{row.station, row.requested, 288,
                                     "18,20,22,24,28,32,36", &chosen, &width, &spacing};
    EXPECT_EQ(core_.Other(PRN_SERVICE_SELECT_LINE_CHARS_FONT, &block), row.result);
    EXPECT_EQ(chosen, row.chosen);
    EXPECT_EQ(width, row.width);
    EXPECT_EQ(spacing, row.spacing);
  }
  // The receipt now prints with font 1 and spacing 0 (the request of 40).
  const std::vector<TokenView> tokens = Tokens(PrintNormalList("x"));
  ASSERT_FALSE(tokens.empty());
  EXPECT_EQ(tokens[1].type, 601);
  EXPECT_EQ(tokens[1].parameter, 0);
}

TEST_F(DeviceServices, PageModeAreaTokenTakesTheVerticalOffset) {
  ASSERT_EQ(core_.Open(kDevice), 0);
  rec_.input.pageModePrintArea = "0,0,400,300";
  rec_.input.pageModePrintDirection = 1;
  rec_.input.pageModeVerticalPosition = 10;
  rec_.input.pageModeHorizontalPosition = 7;
  rec_.station.pageMode = 1;
  struct Row {
    long offset;
    BYTE vertical;
  };
  for (const Row& row : {Row{-1, 10}, Row{5, 15}}) {
    SCOPED_TRACE(row.offset);
    PrnTokenList* buffer = core_.CreateList();
    PrnTokenList* page = core_.CreateList();
    core_.AddToken(page, 101, "p", 1, -1);
    PrnPageModeAreaArgs block{&rec_.input, &rec_.station, buffer, 0, row.offset, page};
    ASSERT_EQ(core_.Other(PRN_SERVICE_PAGE_MODE_AREA, &block), 0);
    const std::vector<TokenView> tokens = Tokens(page);
    ASSERT_EQ(tokens.size(), 2u);
    EXPECT_EQ(tokens[1].type, 800);
    const Bytes& bytes = tokens[1].data;
    ASSERT_GE(bytes.size(), 8u);
    // ... GS $ vertical, ESC $ horizontal (little-endian words).
    EXPECT_EQ(Hex(Bytes(bytes.end() - 8, bytes.end())),
              Hex({0x1D, 0x24, row.vertical, 0x00, 0x1B, 0x24, 0x07, 0x00}));
  }
}

TEST_F(DeviceServices, CharacterSetSelectsTheCodeTable) {
  ASSERT_EQ(core_.Open(kDevice), 0);
  PrnCodePageArgs codePage{1252};
  ASSERT_EQ(core_.Other(PRN_SERVICE_SET_CHARACTER_SET, &codePage), 0);
  PrnTokenList* list = PrintNormalList("");
  PrnRequestDeviceDataArgs render{&rec_.input, &rec_.station, list, 2};
  ASSERT_EQ(core_.Other(PRN_SERVICE_REQUEST_DEVICE_DATA, &render), 0);
  EXPECT_EQ(Hex(ListBytes(list)), Hex(Cat({{0x1B, 0x52, 0x00, 0x1B, 0x74, 0x10, 0x1C, 0x43, 0x00},
                                          kUpright})));
}

TEST_F(DeviceServices, CharacterPitchTexts) {
  SetSwitches(0x04, 0xC8, 0x04);
  ASSERT_EQ(OpenAndClaim(), 0);
  PrnPropertySnapshot& snap = rec_.snapshot;
  PrnRecordSnapshotArgs block{&rec_.input, &snap};
  ASSERT_EQ(core_.Other(PRN_SERVICE_CHARACTER_PITCH, &block), 0);
  ASSERT_NE(snap.pageModeArea, nullptr);
  EXPECT_STREQ(snap.pageModeArea, "0,0") << "no pitch before the first enable";
  EXPECT_EQ(snap.pageModeDescriptor, 15);
  EXPECT_STREQ(snap.pageModePrintArea, "0,0,0,0");
  EXPECT_EQ(snap.pageModePrintDirection, 1);
  EXPECT_EQ(snap.pageModeHorizontalPosition, 0);
  EXPECT_EQ(snap.pageModeVerticalPosition, 0);
  ASSERT_EQ(Enable(), 0);
  ASSERT_EQ(core_.Other(PRN_SERVICE_CHARACTER_PITCH, &block), 0);
  EXPECT_STREQ(snap.pageModeArea, "288,2400");  // RecLineWidth, pitch
  PrnSnapshotArgs release{&snap};
  EXPECT_EQ(core_.Other(PRN_SERVICE_FREE_RESULT_RECORD, &release), 0);
}

TEST_F(DeviceServices, CompletionBytesReadOnlyWithProcessCompletionTiming) {
  for (const char* timing : {"1", "0"}) {
    SCOPED_TRACE(timing);
    SetValue("ProcessCompletionTiming", timing);
    SetSwitches(0x04, 0xC8, 0x04);
    fakecore::FakeCore core;
    ASSERT_TRUE(core.Load());
    ASSERT_EQ(OpenAndClaim(core), 0);
    const Bytes dc2q = {0x12, 0x71, 0x85};  // DC2 q 5
    long severity = 0, rce = 0;
    const char* text = nullptr;
    PrnWriteArgs write{0, dc2q.data(), 3, &severity, &text, &rce};
    ASSERT_EQ(core.Other(PRN_SERVICE_WRITE_PRINTER_DATA, &write), 0);
    const long readsBefore = Reads();
    for (int i = 0; i < 50 && core.responseIds.empty(); ++i) {
      Sleep(10);
      PrnStatusRecord status = fakecore::MakeStatusRecord();
      PrnPropertySnapshot result{};
      PrnProcStatusArgs block{&status, &result};
      ASSERT_EQ(core.Other(PRN_SERVICE_PROC_CALLBACK_STATUS, &block), 0);
    }
    if (timing[0] == '1') {
      EXPECT_EQ(core.responseIds, std::vector<long>({5}));
      EXPECT_GT(Reads(), readsBefore);
    } else {
      EXPECT_TRUE(core.responseIds.empty());
      EXPECT_EQ(Reads(), readsBefore) << "nothing is read from the printer";
    }
    EXPECT_EQ(core.Close(), 0);
    TbxSim_Reset(kPrinter);
  }
}

TEST_F(DeviceServices, OneRecoveryResetPerWrite) {
  SetSwitches(0x04, 0xC8, 0x04);
  ASSERT_EQ(OpenAndClaim(), 0);
  ASSERT_EQ(Enable(), 0);
  ASSERT_TRUE(Pump([&] { return true; }, /*rounds=*/1));
  long severity = 0, rce = 0;
  const char* text = nullptr;
  ASSERT_EQ(Write({0x0A}, &severity, &text, &rce), 0);
  const LONG resetsBefore = TbxSim_GetCallCount(kPrinter, "Reset");
  // A Vp voltage error that asks for a reset: the first one after the write resets.
  TbxSim_SetStatusBits(kPrinter, TBXQD_ST_SETTABLE, TBXQD_ST_VP_VOLTAGE | TBXQD_ST_RESET_REQUEST);
  ASSERT_TRUE(Pump([&] { return TbxSim_GetCallCount(kPrinter, "Reset") > resetsBefore; }));
  EXPECT_EQ(TbxSim_GetCallCount(kPrinter, "Reset"), resetsBefore + 1);
  // A second error with a reset request, without a write in between: no second reset.
  TbxSim_SetStatusBits(kPrinter, TBXQD_ST_SETTABLE, 0);
  (void)Pump([] { return false; }, /*rounds=*/5);
  core_.statusCalls.clear();
  TbxSim_SetStatusBits(kPrinter, TBXQD_ST_SETTABLE,
                       TBXQD_ST_HEAD_TEMPERATURE | TBXQD_ST_RESET_REQUEST);
  ASSERT_TRUE(Pump([&] { return HasStatusCode(core_, 0); }));
  EXPECT_EQ(TbxSim_GetCallCount(kPrinter, "Reset"), resetsBefore + 1);
}

TEST_F(DeviceServices, RestoreResetsThePrinter) {
  SetSwitches(0x04, 0xC8, 0x04);
  ASSERT_EQ(OpenAndClaim(), 0);
  PrnStatusRecord record = fakecore::MakeStatusRecord();
  EXPECT_EQ(core_.Other(PRN_SERVICE_RESTORE_PRINTER, &record), 0);
  EXPECT_EQ(TbxSim_GetCallCount(kPrinter, "Reset"), 1);
}

TEST_F(DeviceServices, DisableWithoutAutoSaveSendsNoDeactivation) {
  SetValue("MCAutoSave", "0");
  SetSwitches(0x04, 0xC8, 0x04);
  ASSERT_EQ(OpenAndClaim(), 0);
  ASSERT_EQ(Enable(), 0);
  TbxSim_ClearWritten(kPrinter);
  ASSERT_EQ(core_.Other(PRN_SERVICE_DEACTIVATE_DEVICE, nullptr), 0);
  EXPECT_EQ(Hex(Written()), Hex(kBufferClear));
}

TEST_F(DeviceServices, UninitialisedSlotRefusesConnection) {
  // A caller older than 1.14 is refused; the slot stays taken but never initialised.
  ASSERT_EQ(core_.Open(kDevice, 1013999), 106);
  EXPECT_EQ(core_.exports().connectPrinter(core_.slot()), 106);
  PrnRecordSnapshotArgs activate{&rec_.input, &rec_.snapshot};
  rec_.snapshot.resultCode = -5;
  EXPECT_EQ(core_.Other(PRN_SERVICE_ACTIVATE_DEVICE, &activate), 106);
  EXPECT_EQ(rec_.snapshot.resultCode, 106);
  EXPECT_EQ(core_.Other(PRN_SERVICE_ENABLED_EVENT_NOTIFY, &activate), 106);
  EXPECT_EQ(core_.Other(PRN_SERVICE_DEACTIVATE_DEVICE, nullptr), 106);
  EXPECT_EQ(core_.exports().disconnectPrinter(core_.slot()), 106);
  EXPECT_EQ(core_.Close(), 106);
}

// A core that frees prennik.dll without terminateSubSO: nothing runs at the module's detach
// under the loader lock (no printer closed, no status callback cancelled, no SDK freed); the
// module keeps itself loaded, with its printer and status callback, while the instance exists,
// until a core terminates it.
TEST_F(DeviceCycle, FreedWithoutTerminateItStaysAndTouchesNoPrinter) {
  SetSwitches(0x04, 0xC8, 0x04);
  ASSERT_EQ(OpenAndClaim(), 0);
  ASSERT_EQ(Enable(), 0);
  ASSERT_TRUE(TbxSim_IsStatusThreadRunning());
  ASSERT_EQ(TbxSim_GetOpenHandleCount(kPrinter), 1);
  const long slot = core_.slot();
  PrnPropertySnapshot opened = core_.openSnapshot();
  const LONG closes = TbxSim_GetCallCount(kPrinter, "CloseMonPrinter");
  const LONG cancels = TbxSim_GetCallCount(kPrinter, "CancelStatusBack");

  core_.FreeWithoutTerminate();
  EXPECT_NE(GetModuleHandleA("prennik.dll"), nullptr);
  EXPECT_EQ(TbxSim_GetCallCount(kPrinter, "CloseMonPrinter"), closes);
  EXPECT_EQ(TbxSim_GetCallCount(kPrinter, "CancelStatusBack"), cancels);
  EXPECT_EQ(TbxSim_GetOpenHandleCount(kPrinter), 1);
  // The status callback still runs in the module: a change reaches the core's status event.
  ResetEvent(core_.statusEvent());
  TbxSim_SetCoverOpen(kPrinter, TRUE);
  EXPECT_EQ(WaitForSingleObject(core_.statusEvent(), 60000), WAIT_OBJECT_0);

  // A core that comes back and terminates: the printer goes, and with the core's own
  // reference given back the module goes too.
  {
    fakecore::FakeCore again;
    ASSERT_TRUE(again.Load());
    PrnSnapshotArgs texts{&opened};
    EXPECT_EQ(again.exports().otherMethod(PRN_SERVICE_FREE_RESULT_RECORD,
                                          reinterpret_cast<long*>(&texts), slot),
              0);
    EXPECT_EQ(again.exports().terminateSubSO(slot), 0);
    EXPECT_EQ(TbxSim_GetOpenHandleCount(kPrinter), 0);
    EXPECT_FALSE(TbxSim_IsStatusThreadRunning());
  }
  EXPECT_EQ(GetModuleHandleA("prennik.dll"), nullptr);
}

// The error text of a write is the writing thread's own; keeping it must neither keep the
// module loaded once the core has let it go, nor reach into the module when that thread ends
// after the module was freed (a send thread ending after Close). No fixture: its core would
// hold the module.
TEST(DeviceUnload, SendThreadEndingAfterCloseLeavesTheModuleUnloaded) {
  const char* device = "SvcUnloadDevice";
  const std::string key = std::string("SOFTWARE\\OLEforRetail\\ServiceOPOS\\POSPrinter\\") + device;
  {
    ScopedRegKey k;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, k.receive(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(k.get(), "DriverName", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>("SvcUnloadPrinter"), 17),
              ERROR_SUCCESS);
  }
  ASSERT_EQ(GetModuleHandleA("prennik.dll"), nullptr);
  ScopedHandle wrote(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  ScopedHandle end(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  std::thread sender;
  long result = -1;
  const char* text = nullptr;
  {
    fakecore::FakeCore core;
    ASSERT_TRUE(core.Load());
    ASSERT_EQ(core.Open(device), 0);
    fakecore::CoreRecords rec;
    PrnRecordArgs init{&rec.input};
    ASSERT_EQ(core.Other(PRN_SERVICE_INIT_DEVICE, &init), 0);
    ASSERT_EQ(core.exports().connectPrinter(core.slot()), 0);
    sender = std::thread([&] {
      long severity = 0, rce = 0;
      const Bytes bytes = {0x0A};
      PrnWriteArgs block{0, bytes.data(), 1, &severity, &text, &rce};
      result = core.Other(PRN_SERVICE_WRITE_PRINTER_DATA, &block);
      SetEvent(wrote.get());
      WaitForSingleObject(end.get(), INFINITE);
    });
    ASSERT_EQ(WaitForSingleObject(wrote.get(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(result, 0);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(core.exports().disconnectPrinter(core.slot()), 0);
  }  // Close and FreeLibrary while the sender still runs
  EXPECT_EQ(GetModuleHandleA("prennik.dll"), nullptr) << "prennik.dll is still loaded";
  SetEvent(end.get());
  sender.join();
  EXPECT_EQ(GetModuleHandleA("prennik.dll"), nullptr);
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
}

}  // namespace
}  // namespace devicetest
