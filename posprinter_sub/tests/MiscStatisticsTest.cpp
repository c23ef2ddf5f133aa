// RetrieveStatistics (the UnifiedPOS statistics document) and ResetStatistics.
#include "MiscFixture.h"

#include <algorithm>
#include <vector>

namespace devicetest {
namespace {

constexpr char kDocumentStart[] =
    "<?xml version='1.0' ?>"
    "<UPOSStat version=\"1.14.0\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
    "xmlns=\"http://www.nrf-arts.org/UnifiedPOS/namespace/\" "
    "xsi:schemaLocation=\"http://www.nrf-arts.org/UnifiedPOS/namespace/ UPOSStat.xsd\" >";

std::string Block(const char* wrapper, const char* name, const char* value) {
  return std::string("<") + wrapper + "><Name>" + name + "</Name><Value>" + value + "</Value></" +
         wrapper + ">";
}
std::string P(const char* name, const char* value = "") { return Block("Parameter", name, value); }
std::string M(const char* name, const char* value) {
  return Block("ManufacturerSpecific", name, value);
}

// With the counters and identification bytes that SetUp gives the printer.
const std::string kEquipment =
    "<Equipment><UnifiedPOSVersion>1.14</UnifiedPOSVersion>"
    "<DeviceCategory UPOS=\"POSPrinter\" /><ManufacturerName>Kavrel</ManufacturerName>"
    "<ModelName>TBX910QD/911QD</ModelName><SerialNumber></SerialNumber>"
    "<ManufactureDate></ManufactureDate><MechanicalRevision>01</MechanicalRevision>"
    "<FirmwareRevision>12</FirmwareRevision><Interface></Interface>"
    "<InstallationDate></InstallationDate></Equipment>";

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class Statistics : public MiscDevice {
 protected:
  void SetUp() override {
    MiscDevice::SetUp();
    SetValue("Version", "1.14");
  }
  void SetCounters(DWORD value) {
    for (WORD counter : {20, 21, 50, 70, 148, 178, 198})
      TbxSim_SetCounter(kPrinter, counter, value);
  }
  // Minutes powered 150 (2 hours), accumulated 6000 (100 hours).
  void SetKnownCounters() {
    const struct {
      WORD counter;
      DWORD value;
    } counters[] = {{70, 150}, {50, 7}, {20, 321}, {198, 6000}, {178, 88}, {148, 4444}};
    for (const auto& c : counters) TbxSim_SetCounter(kPrinter, c.counter, c.value);
  }
  long PreRetrieve(PrnBstr* buffer) {
    long rce = -1;
    PrnPreRetrieveStatisticsArgs pre{&rec_.input, buffer, &rce};
    const long result = core_.Pre(PRN_METHOD_RETRIEVE_STATISTICS, &pre);
    EXPECT_EQ(rce, 0);
    return result;
  }
  // Both phases as the core runs them; the document, or "" when the pre phase refused.
  std::string Retrieve(const wchar_t* selection, long expectedPre = 0) {
    TestBstr buffer(selection);
    EXPECT_EQ(PreRetrieve(buffer.address()), expectedPre);
    if (expectedPre != 0) return "";
    PrnTokenList* list = kUntouchedList;
    rec_.snapshot.resultCode = -5;
    PrnExecRetrieveStatisticsArgs exec{&rec_.input, &rec_.station, buffer.address(), &list,
                                       &rec_.snapshot};
    EXPECT_EQ(core_.Execute(PRN_METHOD_RETRIEVE_STATISTICS, &exec), 0);
    EXPECT_EQ(rec_.snapshot.resultCode, 0);
    EXPECT_EQ(list, kUntouchedList);
    return buffer.text();
  }
  static std::string EventOf(const std::string& document) {
    const size_t start = document.find("<Event>");
    const size_t end = document.find("</Event>");
    if (start == std::string::npos || end == std::string::npos) return "(no event)";
    return document.substr(start + 7, end - start - 7);
  }
};

TEST_F(Statistics, WholeDocumentByteForByte) {
  SetKnownCounters();
  ASSERT_EQ(OpenAndClaim(), 0);
  const std::string expected =
      std::string(kDocumentStart) + "<Event>" + P("HoursPoweredCount", "2") +
      P("CommunicationErrorCount") + P("BarcodePrintedCount") + P("FormInsertionCount") +
      P("HomeErrorCount") + P("JournalCharacterPrintedCount") + P("JournalLinePrintedCount") +
      P("MaximumTempReachedCount") + P("NVRAMWriteCount") + P("PaperCutCount", "7") +
      P("FailedPaperCutCount") + P("PrinterFaultCount") + P("PrintSideChangeCount") +
      P("FailedPrintSideChangeCount") + P("ReceiptCharacterPrintedCount") +
      P("ReceiptCoverOpenCount") + P("ReceiptLineFeedCount", "321") + P("ReceiptLinePrintedCount") +
      P("SlipCharacterPrintedCount") + P("SlipCoverOpenCount") + P("SlipLineFeedCount") +
      P("SlipLinePrintedCount") + P("StampFiredCount") + M("HoursPoweredCount_Accumulated", "100") +
      M("PaperCutCount_Accumulated", "88") + M("ReceiptLineFeedCount_Accumulated", "4444") +
      "</Event>" + kEquipment + "</UPOSStat>";
  EXPECT_EQ(Retrieve(L""), expected);
  EXPECT_EQ(Retrieve(nullptr), expected) << "a NULL BSTR is the empty selection";
  // Each value is read as it is written: six counters and two identification bytes.
  EXPECT_EQ(TbxSim_GetCallCount(kPrinter, "GetCounter"), 12);
  EXPECT_EQ(TbxSim_GetCallCount(kPrinter, "GetPrnCapability"), 4);
}

TEST_F(Statistics, SelectionPicksTheBlocks) {
  SetKnownCounters();
  ASSERT_EQ(OpenAndClaim(), 0);
  std::wstring commas26, commas25;
  for (int i = 0; i < 26; ++i) commas26 += L"Unknown,";
  for (int i = 0; i < 25; ++i) commas25 += L"Unknown,";
  const struct {
    std::wstring selection;
    std::string event;
  } rows[] = {
      // Table order, not the request's; blanks around names are trimmed.
      {L"PaperCutCount , HoursPoweredCount", P("HoursPoweredCount", "2") + P("PaperCutCount", "7")},
      {L"PaperCutCount,PaperCutCount", P("PaperCutCount", "7")},
      // A manufacturer statistic named in a list is a plain Parameter.
      {L"PaperCutCount_Accumulated", P("PaperCutCount_Accumulated", "88")},
      {L"NoSuchStatistic", ""},
      {L"papercutcount", ""},
      {commas25 + L"PaperCutCount", P("PaperCutCount", "7")},
      {commas26 + L"PaperCutCount", ""},  // the 27th name is ignored
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.selection.begin(), row.selection.end()));
    const std::string document = Retrieve(row.selection.c_str());
    EXPECT_EQ(EventOf(document), row.event);
    EXPECT_EQ(document.substr(document.find("<Equipment>")), kEquipment + "</UPOSStat>");
  }
  const std::string unified = Retrieve(L"U_");
  EXPECT_EQ(Count(unified, "<Parameter>"), 23u);
  EXPECT_EQ(Count(unified, "<ManufacturerSpecific>"), 0u);
  EXPECT_EQ(Count(unified, "<FirmwareRevision>12</FirmwareRevision>"), 1u);
  EXPECT_EQ(EventOf(Retrieve(L"M_")), M("HoursPoweredCount_Accumulated", "100") +
                                          M("PaperCutCount_Accumulated", "88") +
                                          M("ReceiptLineFeedCount_Accumulated", "4444"));
}

TEST_F(Statistics, RefusedSelections) {
  ASSERT_EQ(OpenAndClaim(), 0);
  std::wstring commas27;
  for (int i = 0; i < 27; ++i) commas27 += L"PaperCutCount,";
  Retrieve(commas27.c_str(), /*expectedPre=*/106);
  EXPECT_EQ(PreRetrieve(nullptr), 106);
  EXPECT_EQ(TbxSim_GetCallCount(kPrinter, "GetCounter"), 0);
  // Execute without the pre phase refuses a missing buffer too.
  PrnExecRetrieveStatisticsArgs exec{&rec_.input, &rec_.station, nullptr, nullptr, &rec_.snapshot};
  EXPECT_EQ(core_.Execute(PRN_METHOD_RETRIEVE_STATISTICS, &exec), 106);
}

// A printer that does not answer leaves values empty ("0" for the derived ones), still 0.
TEST_F(Statistics, OfflinePrinterStillGivesTheDocument) {
  SetKnownCounters();
  ASSERT_EQ(OpenAndClaim(), 0);
  TbxSim_SetOnline(kPrinter, FALSE);
  const std::string document =
      Retrieve(L"HoursPoweredCount,PaperCutCount,HoursPoweredCount_Accumulated");
  EXPECT_EQ(EventOf(document), P("HoursPoweredCount", "0") + P("PaperCutCount") +
                                   P("HoursPoweredCount_Accumulated", "0"));
  EXPECT_NE(document.find(
                "<MechanicalRevision></MechanicalRevision><FirmwareRevision></FirmwareRevision>"),
            std::string::npos);
}

// Setting texts with markup characters stay well-formed.
TEST_F(Statistics, ValuesAreEscaped) {
  SetValue("Version", "1.14 <beta> & \"x\"");
  ASSERT_EQ(OpenAndClaim(), 0);
  EXPECT_NE(Retrieve(L"M_").find(
                "<UnifiedPOSVersion>1.14 &lt;beta&gt; &amp; &quot;x&quot;</UnifiedPOSVersion>"),
            std::string::npos);
}

TEST_F(Statistics, ResetClearsTheNamedCounters) {
  const struct {
    const char* selection;
    long pre;  // an execute phase follows only a pre result of 0
    long preExtended;
    long result;
    long extended;
    std::vector<BYTE> cleared;
  } rows[] = {
      {nullptr, 0, 0, 0, 0, {70, 50, 20}},
      {"", 0, 0, 0, 0, {70, 50, 20}},
      {"U_", 0, 0, 0, 0, {70, 50, 20}},
      {"M_", 114, 280, 114, 280, {}},
      {"HeadPowerdCount", 0, 0, 0, 0, {21}},
      {" PaperCutCount , HoursPoweredCount", 0, 0, 0, 0, {50, 70}},
      {"PaperCutCount,Bogus,ReceiptLineFeedCount", 0, 0, 114, 280, {50, 20}},
      {"paperCutCount", 0, 0, 114, 280, {}},
      // Four names pass the pre phase; only the first three are reset.
      {"HoursPoweredCount,PaperCutCount,HeadPowerdCount,ReceiptLineFeedCount",
       0,
       0,
       0,
       0,
       {70, 50, 21}},
      {"PaperCutCount,HeadPowerdCount,ReceiptLineFeedCount,Bogus", 0, 0, 0, 0, {50, 21, 20}},
      {"a,b,c,d,e", 106, 0, 0, 0, {}},
  };
  ASSERT_EQ(OpenAndClaim(), 0);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.selection ? row.selection : "(null)");
    SetCounters(5);
    TbxSim_ClearWritten(kPrinter);
    long rce = -1;
    PrnPreTextArgs pre{&rec_.input, row.selection, &rce};
    EXPECT_EQ(core_.Pre(PRN_METHOD_RESET_STATISTICS, &pre), row.pre);
    EXPECT_EQ(rce, row.preExtended);
    if (row.pre == 0) {
      PrnTokenList* list = kUntouchedList;
      rec_.snapshot.resultCodeExtended = -5;
      PrnExecTextArgs exec{&rec_.input, &rec_.station, row.selection, &list, &rec_.snapshot};
      EXPECT_EQ(core_.Execute(PRN_METHOD_RESET_STATISTICS, &exec), row.result);
      EXPECT_EQ(rec_.snapshot.resultCode, row.result);
      EXPECT_EQ(rec_.snapshot.resultCodeExtended, row.extended);
      EXPECT_EQ(list, kUntouchedList);
    }
    Bytes expected;  // GS g 0 0 n 0 clears printer counter n
    for (BYTE n : row.cleared) expected.insert(expected.end(), {0x1D, 0x67, 0x30, 0x00, n, 0x00});
    EXPECT_EQ(Hex(Written()), Hex(expected));
    for (WORD counter : {20, 21, 50, 70, 148, 178, 198}) {
      const bool cleared =
          std::find(row.cleared.begin(), row.cleared.end(), counter) != row.cleared.end();
      EXPECT_EQ(TbxSim_GetCounter(kPrinter, counter), cleared ? 0u : 5u) << "counter " << counter;
    }
  }
}

TEST_F(Statistics, ResetBehindTheGateFails) {
  ClaimEnable();
  GoOffline();
  PrnExecTextArgs exec{&rec_.input, &rec_.station, "", nullptr, &rec_.snapshot};
  EXPECT_EQ(core_.Execute(PRN_METHOD_RESET_STATISTICS, &exec), 114);
  EXPECT_EQ(rec_.snapshot.resultCodeExtended, 280);
  EXPECT_EQ(Hex(Written()), "");
}

}  // namespace
}  // namespace devicetest
