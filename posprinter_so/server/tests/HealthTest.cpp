// CheckHealth, DirectIO and the statistics and firmware methods through the stand-in Control
// Object, with vasselin.dll created by its ProgID, the real prennik.dll and the simulated
// printer. The interactive level's dialog is driven from the test's thread while the Control
// Object's thread holds it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "DialogDriver.h"
#include "DispatchedDevice.h"
#include "OposCodes.h"
#include "PrinterSubIds.h"
#include "RecordingSub.h"
#include "TbxSim.h"
#include "Win.h"

namespace {

using costandin::Arg;
using Bytes = std::vector<BYTE>;

const wchar_t kProgId[] = L"OPOS.POSPRINTER.SO.KVR.CORE.TBXQD";
constexpr char kDevice[] = "SoHealthDevice";
constexpr wchar_t kDeviceW[] = L"SoHealthDevice";
constexpr char kPrinter[] = "SoHealthPrinter";
constexpr char kDialogCaption[] = "POSPrinter CheckHealth Interactive";
constexpr DWORD kSafetyMs = 60000;

enum Pidx : long {
  kDeviceEnabled = 3, kOutputID = 5, kResultCode = 6, kResultCodeExtended = 7, kState = 9,
  kServiceObjectVersion = 8, kPowerNotify = 13, kCapUpdateFirmware = 505, kAsyncMode = 8001,
  kCheckHealthText = 1000001, kDeviceName = 1000003,
};

// The model prennik names for the simulated printer's driver entry.
constexpr char kModel[] = "TBX910QD/911QD";

// Statistic counters of the printer behind the names (the printer's maintenance counters).
constexpr WORD kCounterLineFeeds = 20;
constexpr WORD kCounterCuts = 50;

std::string Ascii(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

bool Contains(const Bytes& haystack, const Bytes& needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) !=
         haystack.end();
}

Bytes Written() {
  const std::string bytes = TbxSimWritten(kPrinter);
  return Bytes(bytes.begin(), bytes.end());
}

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }
// Up to the first NUL, each character narrowed as it stands; a null BSTR is empty.
std::string Narrow(BSTR text) {
  return text ? std::string(text, text + wcslen(text)) : std::string();
}

class Health : public sotest::DispatchedDevice {
 protected:
  Health() : DispatchedDevice(kDeviceW) {}
  static void SetUpTestSuite() { RegisterServerFor(kPrinter); }

  void SetUp() override {
    key_.SetString("DriverName", kPrinter);
    key_.SetString("PaperSize", "1", /*terminated=*/false);
    key_.SetString("SubSODLLPath", sotest::BinFolder() + "prennik.dll");
    TbxSim_Reset(kPrinter);
    ASSERT_EQ(co_.Create(kProgId), S_OK);
    ASSERT_EQ(Open(), OPOS_SUCCESS);
    ASSERT_EQ(Call(L"ClaimDevice", {Arg::Long(5000)}), OPOS_SUCCESS);
    ASSERT_EQ(SetProp(kDeviceEnabled, 1), OPOS_SUCCESS);
    TbxSim_ClearWritten(kPrinter);
  }
  void TearDown() override {
    (void)Call(L"CloseService");
    co_.ReleaseObject();
  }

  std::string TextProp(long pidx) {
    DISPID id = 0;
    EXPECT_EQ(co_.GetIDsOfNames(L"GetPropertyString", &id), S_OK);
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(co_.Invoke(id, {Arg::Long(pidx)}, &value), S_OK);
    const std::string text = V_VT(&value) == VT_BSTR ? Narrow(V_BSTR(&value)) : std::string();
    VariantClear(&value);
    return text;
  }
  long CheckHealth(long level) { return Call(L"CheckHealth", {Arg::Long(level)}); }

  // DirectIO with the data and string given; both come back as the call left them.
  long DirectIO(long command, long* data, std::string* text) {
    BSTR string = SysAllocString(Wide(*text).c_str());
    const long result =
        Call(L"DirectIO", {Arg::Long(command), Arg::LongRef(data), Arg::TextRef(&string)});
    *text = Narrow(string);
    SysFreeString(string);
    return result;
  }

  long RetrieveStatistics(const std::string& names, std::string* document) {
    BSTR buffer = SysAllocString(Wide(names).c_str());
    const long result = Call(L"RetrieveStatistics", {Arg::TextRef(&buffer)});
    *document = Narrow(buffer);
    SysFreeString(buffer);
    return result;
  }

  sotest::DeviceKey key_{kDevice};
};

// ---- CheckHealth ------------------------------------------------------------------------

TEST_F(Health, InternalCheckPrintsNothingAndSaysSo) {
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(CheckHealth(1), OPOS_SUCCESS);
    EXPECT_EQ(TextProp(kCheckHealthText), "Internal HCheck: Successful");
  }
  EXPECT_TRUE(Written().empty());
}

TEST_F(Health, ExternalCheckPrintsItsTestPage) {
  TbxSim_SetPrinterId(kPrinter, 3, 1, 0x2A);  // firmware revision
  EXPECT_EQ(CheckHealth(2), OPOS_SUCCESS);
  EXPECT_EQ(TextProp(kCheckHealthText), "External HCheck: Successful");
  // The page: the check's title, the model of the printer's driver entry with the firmware
  // revision the printer reports, and two properties of the service object.
  const std::string page = "External HCheck Complete.\n" + std::string(kModel) +
                           " Version:\n 2A\nServiceObjectVersion:\n " +
                           std::to_string(Prop(kServiceObjectVersion)) + "\nDeviceName:\n " +
                           TextProp(kDeviceName) + "\n\n";
  const std::string written = Ascii(Written());
  EXPECT_NE(written.find(page), std::string::npos) << written;
  // Synchronous whatever AsyncMode says: no OutputID, State stays idle.
  EXPECT_EQ(Prop(kOutputID), 0);
  EXPECT_EQ(Prop(kState), 2);
}

TEST_F(Health, ExternalCheckIsSentSynchronouslyInAsynchronousMode) {
  ASSERT_EQ(SetProp(kAsyncMode, 1), OPOS_SUCCESS);
  EXPECT_EQ(CheckHealth(2), OPOS_SUCCESS);
  EXPECT_NE(Ascii(Written()).find("External HCheck Complete."), std::string::npos);
  EXPECT_EQ(Prop(kOutputID), 0);
  EXPECT_EQ(Prop(kState), 2);
}

TEST_F(Health, FailuresAnswerThePrintersCondition) {
  struct Row {
    const char* name;
    long level;
    void (*arrange)();
    long status;  // the StatusUpdate that shows the service object knows; 0: none
    long result;
    long extended;
    const char* text;  // nullptr: CheckHealthText unchanged
  };
  const Row rows[] = {
      {"internal, offline", 1, [] { TbxSim_SetOnline(kPrinter, FALSE); }, 2004,
       OPOS_E_NOHARDWARE, 0, "Internal HCheck: Failure"},
      {"external, offline", 2, [] { TbxSim_SetOnline(kPrinter, FALSE); }, 2004,
       OPOS_E_NOHARDWARE, 0, "External HCheck: Failure"},
      {"external, cover open", 2, [] { TbxSim_SetCoverOpen(kPrinter, TRUE); }, 11,
       OPOS_E_EXTENDED, OPOS_EPTR_COVER_OPEN, "External HCheck: Failure"},
      {"level 4", 4, [] {}, 0, OPOS_E_ILLEGAL, 0, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_EQ(Call(L"CloseService"), OPOS_SUCCESS);
    TbxSim_Reset(kPrinter);
    ASSERT_EQ(Open(), OPOS_SUCCESS);
    ASSERT_EQ(Call(L"ClaimDevice", {Arg::Long(5000)}), OPOS_SUCCESS);
    ASSERT_EQ(SetProp(kPowerNotify, 1), OPOS_SUCCESS);
    ASSERT_EQ(SetProp(kDeviceEnabled, 1), OPOS_SUCCESS);
    ASSERT_TRUE(WaitForStatus(2001));
    const std::string before = TextProp(kCheckHealthText);
    co_.ClearEvents();
    TbxSim_ClearWritten(kPrinter);
    row.arrange();
    if (row.status) {
      ASSERT_TRUE(WaitForStatus(row.status));
    }
    EXPECT_EQ(CheckHealth(row.level), row.result);
    EXPECT_EQ(Prop(kResultCodeExtended), row.extended);
    EXPECT_EQ(TextProp(kCheckHealthText), row.text ? row.text : before);
    EXPECT_EQ(Ascii(Written()).find("HCheck Complete"), std::string::npos) << "nothing printed";
  }
}

TEST_F(Health, ExternalCheckPrintsAtOnceInsideAnOpenTransaction) {
  ASSERT_EQ(Call(L"TransactionPrint", {Arg::Long(2), Arg::Long(11)}), OPOS_SUCCESS);
  ASSERT_EQ(Call(L"PrintNormal", {Arg::Long(2), Arg::Text(L"Held back\n")}), OPOS_SUCCESS);
  EXPECT_EQ(CheckHealth(2), OPOS_SUCCESS);
  std::string written = Ascii(Written());
  EXPECT_NE(written.find("External HCheck Complete."), std::string::npos);
  EXPECT_EQ(written.find("Held back"), std::string::npos) << "the transaction stays open";
  ASSERT_EQ(Call(L"TransactionPrint", {Arg::Long(2), Arg::Long(12)}), OPOS_SUCCESS);
  written = Ascii(Written());
  EXPECT_LT(written.find("External HCheck Complete."), written.find("Held back"));
}

// ---- the interactive level --------------------------------------------------------------

struct DialogView {
  bool found = false;
  std::string code, extended;
};

HWND WaitForDialogWindow() {
  return sotest::WaitForShown([] { return FindWindowA(nullptr, kDialogCaption); });
}

// CheckHealth(3) on the Control Object's thread; the operator presses CheckHealth `runs`
// times and then Exit.
long InteractiveCheck(Health* test, costandin::ControlObject& co, int runs, DialogView* view) {
  std::thread operatorThread([&] {
    HWND dialog = WaitForDialogWindow();
    view->found = dialog != nullptr;
    if (!dialog) return;
    for (int i = 0; i < runs; ++i) sotest::Click(dialog, IDOK);
    view->code = sotest::ItemText(dialog, 18001);
    view->extended = sotest::ItemText(dialog, 18002);
    sotest::Click(dialog, IDCANCEL);
  });
  const long result = co.CallLong(L"CheckHealth", {Arg::Long(3)});
  operatorThread.join();
  (void)test;
  return result;
}

TEST_F(Health, InteractiveCheckRunsFromTheDialogAndPrints) {
  DialogView view;
  EXPECT_EQ(InteractiveCheck(this, co_, 1, &view), OPOS_SUCCESS);
  ASSERT_TRUE(view.found);
  EXPECT_EQ(view.code, "0");
  EXPECT_EQ(view.extended, "0");
  EXPECT_EQ(TextProp(kCheckHealthText), "Interactive HCheck: Successful");
  EXPECT_NE(Ascii(Written()).find("Interactive HCheck Complete.\n"), std::string::npos);
  EXPECT_EQ(FindWindowA(nullptr, kDialogCaption), nullptr) << "the dialog is closed";
}

TEST_F(Health, InteractiveCheckLeftWithoutARunIsCanceled) {
  DialogView view;
  EXPECT_EQ(InteractiveCheck(this, co_, 0, &view), OPOS_SUCCESS);
  ASSERT_TRUE(view.found);
  EXPECT_EQ(TextProp(kCheckHealthText), "Interactive HCheck: Canceled");
  EXPECT_TRUE(Written().empty());
}

TEST_F(Health, InteractiveCheckReportsTheLastRunsFailure) {
  DialogView view;
  std::thread cover([] {
    // Opened once the dialog is up, before the operator's run.
    if (WaitForDialogWindow()) TbxSim_SetOnline(kPrinter, FALSE);
  });
  // The offline status reaches the sub-module before the run, or the run's own query fails.
  const long result = InteractiveCheck(this, co_, 1, &view);
  cover.join();
  ASSERT_TRUE(view.found);
  EXPECT_EQ(result, OPOS_E_NOHARDWARE);
  EXPECT_EQ(view.code, "107");
  EXPECT_EQ(TextProp(kCheckHealthText), "Interactive HCheck: Failure");
}

// ---- DirectIO ---------------------------------------------------------------------------

TEST_F(Health, DirectIOCommandsOfTheSubModule) {
  TbxSim_SetMemory(kPrinter, 123456, TBXSIM_DEFAULT_USER_MEMORY,
                   TBXSIM_DEFAULT_USER_MEMORY_DEFRAG);
  long data = 0;
  std::string text = "in";
  EXPECT_EQ(DirectIO(3, &data, &text), OPOS_SUCCESS);
  EXPECT_EQ(text, "123456");
  EXPECT_EQ(data, 0);

  // 201: ESC R n, printed as output of its own.
  data = 8;
  text = "kept";
  EXPECT_EQ(DirectIO(201, &data, &text), OPOS_SUCCESS);
  EXPECT_TRUE(Contains(Written(), Bytes{0x1B, 0x52, 0x08}));
  EXPECT_EQ(text, "kept");
  EXPECT_EQ(data, 8);

  // 501: the paper state the status store keeps (0: paper present).
  data = 1;
  text = "";
  EXPECT_EQ(DirectIO(501, &data, &text), OPOS_SUCCESS);
  EXPECT_EQ(text, "0");
}

TEST_F(Health, DirectIORefusals) {
  struct Row {
    long command;
    long data;
    long result;
  };
  const Row rows[] = {
      {201, 13, OPOS_E_ILLEGAL},   // no such character set
      {501, 2, OPOS_E_ILLEGAL},    // no such detail
      {999, 0, OPOS_E_ILLEGAL},    // no such command
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.command);
    long data = row.data;
    std::string text = "x";
    EXPECT_EQ(DirectIO(row.command, &data, &text), row.result);
    EXPECT_EQ(text, "x");
  }
  EXPECT_TRUE(Written().empty());
}

TEST_F(Health, AsynchronousDirectIOGetsAnOutputID) {
  ASSERT_EQ(SetProp(kAsyncMode, 1), OPOS_SUCCESS);
  long data = 2;
  std::string text;
  EXPECT_EQ(DirectIO(201, &data, &text), OPOS_SUCCESS);
  const long id = Prop(kOutputID);
  EXPECT_GT(id, 0);
  std::vector<long> completed;
  for (DWORD waited = 0; waited < kSafetyMs && completed.empty(); waited += 10) {
    for (const auto& event : co_.Events())
      if (event.name == L"SOOutputComplete") completed = event.numbers;
    if (completed.empty()) Sleep(10);
  }
  EXPECT_EQ(completed, std::vector<long>{id});
  EXPECT_TRUE(Contains(Written(), Bytes{0x1B, 0x52, 0x02}));
}

// ---- statistics and firmware ------------------------------------------------------------

constexpr char kDocumentStart[] =
    "<?xml version='1.0' ?><UPOSStat version=\"1.14.0\" "
    "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xmlns=\"http://www.nrf-arts.org/UnifiedPOS/namespace/\" "
    "xsi:schemaLocation=\"http://www.nrf-arts.org/UnifiedPOS/namespace/ UPOSStat.xsd\" >";

std::string Parameter(const char* name, const std::string& value) {
  return std::string("<Parameter><Name>") + name + "</Name><Value>" + value +
         "</Value></Parameter>";
}

TEST_F(Health, RetrieveStatisticsDocuments) {
  TbxSim_SetCounter(kPrinter, kCounterCuts, 17);
  TbxSim_SetCounter(kPrinter, kCounterLineFeeds, 4242);
  std::string document;
  ASSERT_EQ(RetrieveStatistics("PaperCutCount,ReceiptLineFeedCount", &document), OPOS_SUCCESS);
  EXPECT_EQ(document.rfind(kDocumentStart, 0), 0u) << document;
  EXPECT_NE(document.find("<Event>" + Parameter("PaperCutCount", "17") +
                          Parameter("ReceiptLineFeedCount", "4242") + "</Event><Equipment>"),
            std::string::npos)
      << document;
  EXPECT_NE(document.find("<DeviceCategory UPOS=\"POSPrinter\" />"), std::string::npos);
  EXPECT_NE(document.find("<ModelName>" + std::string(kModel) + "</ModelName>"),
            std::string::npos);
  EXPECT_EQ(document.substr(document.size() - 23), "</Equipment></UPOSStat>");

  ASSERT_EQ(RetrieveStatistics("NoSuchStatistic", &document), OPOS_SUCCESS);
  EXPECT_NE(document.find("<Event></Event><Equipment>"), std::string::npos) << document;

  ASSERT_EQ(RetrieveStatistics("", &document), OPOS_SUCCESS);
  EXPECT_NE(document.find(Parameter("PaperCutCount", "17")), std::string::npos);
  // A statistic the printer keeps no counter for has an empty value.
  EXPECT_NE(document.find(Parameter("CommunicationErrorCount", "")), std::string::npos)
      << document;
  EXPECT_NE(document.find("<ManufacturerSpecific><Name>PaperCutCount_Accumulated</Name>"),
            std::string::npos);
}

TEST_F(Health, ResetStatisticsClearsTheNamedCounter) {
  TbxSim_SetCounter(kPrinter, kCounterCuts, 17);
  EXPECT_EQ(Call(L"ResetStatistics", {Arg::Text(L"PaperCutCount")}), OPOS_SUCCESS);
  EXPECT_EQ(TbxSim_GetCounter(kPrinter, kCounterCuts), 0u);
  std::string document;
  ASSERT_EQ(RetrieveStatistics("PaperCutCount", &document), OPOS_SUCCESS);
  EXPECT_NE(document.find(Parameter("PaperCutCount", "0")), std::string::npos);
  // No manufacturer statistic can be reset.
  EXPECT_EQ(Call(L"ResetStatistics", {Arg::Text(L"M_")}), OPOS_E_EXTENDED);
  EXPECT_EQ(Prop(kResultCodeExtended), OPOS_ESTATS_ERROR);
}

TEST_F(Health, MethodsTheSubModuleDoesNotServe) {
  long result = -5;
  EXPECT_EQ(Call(L"CompareFirmwareVersion", {Arg::Text(L"fw.bin"), Arg::LongRef(&result)}),
            OPOS_E_ILLEGAL);
  EXPECT_EQ(result, -5);
  EXPECT_EQ(Call(L"UpdateStatistics", {Arg::Text(L"PaperCutCount=0")}), OPOS_E_ILLEGAL);
  // No CapUpdateFirmware: refused before the sub-module is asked.
  EXPECT_EQ(Prop(kCapUpdateFirmware), 0);
  EXPECT_EQ(Call(L"UpdateFirmware", {Arg::Text(L"fw.bin")}), OPOS_E_ILLEGAL);
  EXPECT_TRUE(Written().empty());
}

// A sub-module that reports no statistics or firmware capability: the methods that need one
// are refused before any record is built, and their buffers stay as they were;
// CompareFirmwareVersion has no capability check and reaches the sub-module.
TEST_F(Health, CapabilitiesTheSubModuleLacksRefuseBeforeItIsAsked) {
  RecordingSubModule recording((sotest::BinFolder() + "recording_sub.dll").c_str());
  ASSERT_TRUE(recording.Loaded());
  ASSERT_EQ(Call(L"CloseService"), OPOS_SUCCESS);
  recording.Reset();
  key_.SetString("SubSODLLPath", sotest::BinFolder() + "recording_sub.dll");
  ASSERT_EQ(Open(), OPOS_SUCCESS);
  ASSERT_EQ(Call(L"ClaimDevice", {Arg::Long(5000)}), OPOS_SUCCESS);
  ASSERT_EQ(SetProp(kDeviceEnabled, 1), OPOS_SUCCESS);
  recording.Reset();
  std::string document = "U_";
  EXPECT_EQ(RetrieveStatistics("U_", &document), OPOS_E_ILLEGAL);
  EXPECT_EQ(document, "U_");
  EXPECT_EQ(Call(L"ResetStatistics", {Arg::Text(L"")}), OPOS_E_ILLEGAL);
  EXPECT_EQ(Call(L"UpdateStatistics", {Arg::Text(L"")}), OPOS_E_ILLEGAL);
  EXPECT_EQ(Call(L"UpdateFirmware", {Arg::Text(L"fw.bin")}), OPOS_E_ILLEGAL);
  std::vector<long> methods;
  for (const RecSubCall& call : recording.Calls())
    if (call.exportId == RECSUB_PRE_METHOD) methods.push_back(call.id);
  EXPECT_TRUE(methods.empty());
  long result = 0;
  EXPECT_EQ(Call(L"CompareFirmwareVersion", {Arg::Text(L"fw.bin"), Arg::LongRef(&result)}),
            OPOS_SUCCESS);
  methods.clear();
  for (const RecSubCall& call : recording.Calls())
    if (call.exportId == RECSUB_PRE_METHOD || call.exportId == RECSUB_EXECUTE_METHOD)
      methods.push_back(call.exportId * 100 + call.id);
  EXPECT_EQ(methods, (std::vector<long>{RECSUB_PRE_METHOD * 100 + 4,
                                        RECSUB_EXECUTE_METHOD * 100 + 4}));
}

TEST_F(Health, EveryMethodNeedsAnEnabledDevice) {
  ASSERT_EQ(SetProp(kDeviceEnabled, 0), OPOS_SUCCESS);
  long data = 0;
  std::string text;
  std::string document = "untouched";
  EXPECT_EQ(CheckHealth(1), OPOS_E_DISABLED);
  EXPECT_EQ(DirectIO(3, &data, &text), OPOS_E_DISABLED);
  EXPECT_EQ(Call(L"ResetStatistics", {Arg::Text(L"")}), OPOS_E_DISABLED);
  EXPECT_EQ(RetrieveStatistics("", &document), OPOS_E_DISABLED);
  EXPECT_EQ(Call(L"ReleaseDevice"), OPOS_SUCCESS);
  EXPECT_EQ(CheckHealth(1), OPOS_E_NOTCLAIMED);
  EXPECT_EQ(Call(L"UpdateFirmware", {Arg::Text(L"fw.bin")}), OPOS_E_NOTCLAIMED);
}

}  // namespace
