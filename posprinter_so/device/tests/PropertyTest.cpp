// Properties by index: reads, the write rules of each writable property, the result codes
// and result lines, the unit conversions at the edge, and one pass through IDispatch.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ControlObjectStandIn.h"
#include "FakeLog.h"
#include "OposCodes.h"
#include "POSPrinter.h"
#include "RegisteredServer.h"
#include "TestSupport.h"

namespace {

constexpr long kUnchanged = -999;  // ResultCode sentinel a write must leave alone
constexpr DWORD kError = 0x2;  // log categories
constexpr DWORD kInfo = 0x10;

class Properties : public ::testing::Test {
 protected:
  void SetUp() override {
    so_ = sotest::NewServiceObject();
    ASSERT_NE(so_, nullptr);
    calls_.clear();
    effectResult_ = 0;
    so_->SetFixedPrinterParameters(/*cutDistance=*/99, /*lineEndFlags=*/7, /*resolution=*/203);
    CPOSPrinter* so = so_;
    // Every effect answers and is counted; a row that expects none sees none.
    so_->PropertyEffects().setDeviceEnabled = [this, so](bool on) {
      calls_.push_back(on ? "enable" : "disable");
      so->MutableProperties().DeviceEnabled = on ? 1 : 0;
      (void)so->SetResultCode(0, 0, "");
    };
    so_->PropertyEffects().signalEventData = [this] { calls_.push_back("eventData"); };
    so_->PropertyEffects().queueStatusUpdate = [this](long s) {
      calls_.push_back("status " + std::to_string(s));
    };
    so_->PropertyEffects().selectCharacterSet = [this](long cs) {
      calls_.push_back("charset " + std::to_string(cs));
      return effectResult_;
    };
    so_->PropertyEffects().selectLineChars = [this](long station, long chars) {
      calls_.push_back("linechars " + std::to_string(station) + " " + std::to_string(chars));
      return effectResult_;
    };
    so_->PropertyEffects().markSettingsChanged = [this] { calls_.push_back("settings"); };
    so_->PropertyEffects().recomputePageModeArea = [this] {
      calls_.push_back("pagearea");
      return effectResult_;
    };
    fakelog::Clear();
  }
  void TearDown() override {
    if (so_) so_->Release();
  }

  CPropertyCache& P() { return so_->MutableProperties(); }
  void Enable() {
    P().Claimed = 1;
    P().DeviceEnabled = 1;
  }
  // A write from a known ResultCode; returns the ResultCode after it.
  long Write(long pidx, long value) {
    P().ResultCode = kUnchanged;
    so_->SetPropertyNumber(pidx, value);
    return P().ResultCode;
  }
  long WriteText(long pidx, const wchar_t* text) {
    P().ResultCode = kUnchanged;
    BSTR b = SysAllocString(text);
    so_->SetPropertyString(pidx, b);
    SysFreeString(b);
    return P().ResultCode;
  }
  std::wstring ReadText(long pidx) {
    BSTR b = so_->GetPropertyString(pidx);
    std::wstring out(b ? b : L"");
    SysFreeString(b);
    return out;
  }
  size_t Count(const std::wstring& fragment, DWORD category) {
    size_t n = 0;
    for (const auto& line : fakelog::LinesContaining(fragment)) n += line.category == category;
    return n;
  }

  CPOSPrinter* so_ = nullptr;
  std::vector<std::string> calls_;
  long effectResult_ = 0;
};

// ---- writes: (index, arrangement, value) -> result code, value read back, effects ----
struct WriteRow {
  const char* why;
  void (*arrange)(CPropertyCache& p);
  long pidx, value;
  long code;
  long readBack;                    // GetPropertyNumber(pidx) after the write
  std::vector<std::string> effects;
};

void Closed(CPropertyCache&) {}
void Claimed(CPropertyCache& p) { p.Claimed = 1; }
void Enabled(CPropertyCache& p) { p.Claimed = p.DeviceEnabled = 1; }
void EnabledRec(CPropertyCache& p) {
  Enabled(p);
  p.Caps.capRecPresent = 1;
  p.RecLineCharsList = "42,56";
  p.RecLineHeight = 24;
}
void EnabledJrn(CPropertyCache& p) {
  Enabled(p);
  p.Caps.capJrnPresent = 1;
  p.JrnLineCharsList = "40";
  p.JrnLineHeight = 24;
}
void EnabledCharsets(CPropertyCache& p) {
  Enabled(p);
  p.CharacterSetList = "437, 932,998";
  p.CharacterSet = 998;
}
void Twips(CPropertyCache& p) {
  EnabledRec(p);
  p.MapMode = 2;
}
void PageMode(CPropertyCache& p) {
  p.PageModeStation = 2;
  p.PageModeArea = "512,832";
  p.PageModePrintArea = "0,0,512,400";
}
void RecPageModeCaps(CPropertyCache& p) {
  p.Caps.capRecPresent = 1;
  p.Caps.capRecPageMode = 1;
}
void Right90(CPropertyCache& p) { p.Caps.capRecRight90 = 1; }
void PowerCap(CPropertyCache& p) { p.Caps.capPowerReporting = 1; }
void PowerCapEnabled(CPropertyCache& p) {
  Enabled(p);
  p.Caps.capPowerReporting = 1;
}
void MapCharsetCap(CPropertyCache& p) { p.Caps.capMapCharacterSet = 1; }

TEST_F(Properties, WritesAnswerAndStoreAsEachRuleSays) {
  const WriteRow rows[] = {
      {"MapMode 5 is no mode", Closed, 8013, 5, 106, 1, {}},
      {"MapMode 3 English", Closed, 8013, 3, 0, 3, {}},
      {"CharacterSet before Claim", Closed, 8002, 437, 103, 0, {}},
      {"CharacterSet claimed, disabled", Claimed, 8002, 437, 105, 0, {}},
      {"CharacterSet from the list (blank trimmed)", EnabledCharsets, 8002, 932, 0, 932, {"charset 932"}},
      {"CharacterSet not in the list", EnabledCharsets, 8002, 850, 106, 998, {}},
      {"DeviceEnabled before Claim", Closed, 3, 1, 103, 0, {}},
      {"DeviceEnabled goes to the lifecycle", Claimed, 3, 7, 0, 1, {"enable"}},
      {"BinaryConversion 3", Closed, 11, 3, 106, 0, {}},
      {"BinaryConversion 2", Closed, 11, 2, 0, 2, {}},
      {"PowerNotify 1 without the capability", Closed, 13, 1, 106, 0, {}},
      {"PowerNotify 1 with the capability", PowerCap, 13, 1, 0, 1, {}},
      {"PowerNotify while enabled", PowerCapEnabled, 13, 0, 106, 0, {}},
      {"AsyncMode any, stored as 1", Closed, 8001, 5, 0, 1, {}},
      {"FreezeEvents 0 wakes the event thread", Closed, 4, 0, 0, 0, {"eventData"}},
      {"FreezeEvents 9 reads 1", Closed, 4, 9, 0, 1, {}},
      {"FlagWhenIdle while disabled stays set", Closed, 8005, 1, 0, 1, {}},
      {"JrnLetterQuality 0 without a journal", Enabled, 8007, 0, 106, 0, {}},
      {"JrnLetterQuality 0 with a journal, nothing stored", EnabledJrn, 8007, 0, 0, 0, {}},
      {"JrnLineChars past the list's last entry", EnabledJrn, 8008, 41, 106, 0, {}},
      {"JrnLineChars 40", EnabledJrn, 8008, 40, 0, 0, {"linechars 1 40"}},
      {"JrnLineHeight never", EnabledJrn, 8009, 24, 106, 24, {}},
      {"JrnLineSpacing below the line height", EnabledJrn, 8010, 23, 106, 0, {}},
      {"JrnLineSpacing 255 dots", EnabledJrn, 8010, 255, 0, 255, {}},
      {"JrnLineSpacing 256 dots", EnabledJrn, 8010, 256, 106, 0, {}},
      {"RecLetterQuality", EnabledRec, 8015, 3, 0, 1, {"settings"}},
      {"RecLetterQuality without a receipt", Enabled, 8015, 1, 106, 0, {}},
      {"RecLineChars 0", EnabledRec, 8016, 0, 106, 0, {}},
      {"RecLineChars 56", EnabledRec, 8016, 56, 0, 0, {"linechars 2 56"}},
      {"RecLineChars 57", EnabledRec, 8016, 57, 106, 0, {}},
      {"RecLineHeight never", EnabledRec, 8017, 30, 106, 24, {}},
      {"RecLineSpacing 213 twips = 30 dots, reads 213", Twips, 8018, 213, 0, 213, {}},
      {"RecLineSpacing 160 twips = 22 dots < height", Twips, 8018, 160, 106, 0, {}},
      {"SlpLetterQuality never", Closed, 8025, 0, 106, 0, {}},
      {"SlpLineChars never", Closed, 8026, 40, 106, 0, {}},
      {"SlpLineHeight never", Closed, 8027, 24, 106, 0, {}},
      {"SlpLineSpacing never", Closed, 8029, 30, 106, 0, {}},
      {"SlpCurrentCartridge never", Closed, 8044, 1, 106, 0, {}},
      {"RotateSpecial 1", Closed, 8036, 1, 0, 1, {}},
      {"RotateSpecial 257 without right 90", Closed, 8036, 257, 106, 1, {}},
      {"RotateSpecial 257 with right 90", Right90, 8036, 257, 0, 257, {}},
      {"RotateSpecial 2", Right90, 8036, 2, 106, 1, {}},
      {"CartridgeNotify 0 while disabled, nothing stored", Closed, 8037, 0, 0, 0, {}},
      {"CartridgeNotify 0 while enabled", Enabled, 8037, 0, 106, 0, {}},
      {"CartridgeNotify 1", Closed, 8037, 1, 106, 0, {}},
      {"JrnCurrentCartridge 1, nothing stored", EnabledJrn, 8039, 1, 0, 0, {}},
      {"RecCurrentCartridge 1 stored", EnabledRec, 8041, 1, 0, 1, {}},
      {"RecCurrentCartridge 2", EnabledRec, 8041, 2, 106, 0, {}},
      {"MapCharacterSet 1 without the capability", Closed, 8045, 1, 106, 0, {}},
      {"MapCharacterSet 0 without the capability", Closed, 8045, 0, 0, 0, {}},
      {"MapCharacterSet 5 with it, stored as 1", MapCharsetCap, 8045, 5, 0, 1, {}},
      {"PageModePrintDirection outside page mode", Closed, 8048, 2, 106, 0, {}},
      {"PageModePrintDirection 4", PageMode, 8048, 4, 0, 4, {}},
      {"PageModePrintDirection 5", PageMode, 8048, 5, 106, 0, {}},
      {"PageModeHorizontalPosition at the width", PageMode, 8047, 512, 0, 512, {}},
      {"PageModeHorizontalPosition past the width", PageMode, 8047, 513, 106, 0, {}},
      {"PageModeHorizontalPosition negative", PageMode, 8047, -1, 106, 0, {}},
      {"PageModeHorizontalPosition outside page mode", Closed, 8047, 0, 106, 0, {}},
      {"PageModeVerticalPosition at the height", PageMode, 8050, 400, 0, 400, {}},
      {"PageModeVerticalPosition past the height", PageMode, 8050, 401, 106, 0, {}},
      {"PageModeStation 2 without page mode", Closed, 8049, 2, 106, 0, {}},
      {"PageModeStation 1", RecPageModeCaps, 8049, 1, 106, 0, {}},
      {"PageModeStation 2 recomputes the area", RecPageModeCaps, 8049, 2, 0, 2, {"pagearea"}},
  };
  for (const WriteRow& r : rows) {
    SetUp();
    r.arrange(P());
    EXPECT_EQ(Write(r.pidx, r.value), r.code) << r.why;
    EXPECT_EQ(P().ResultCodeExtended, 0) << r.why;
    EXPECT_EQ(so_->GetPropertyNumber(r.pidx), r.readBack) << r.why;
    EXPECT_EQ(calls_, r.effects) << r.why;
    TearDown();
    so_ = nullptr;
  }
}

TEST_F(Properties, RefusalsLogTheSettersTagAndSuccessLogsNothing) {
  EXPECT_EQ(Write(8013, 5), 106);
  EXPECT_EQ(Count(L"[Result  ] 106", kError), 1u);
  EXPECT_EQ(Count(L"[Exit    ] MapMode", kError), 1u);
  EXPECT_EQ(Count(L"[Prop Set] MapMode 5", kInfo), 1u);
  fakelog::Clear();
  EXPECT_EQ(Write(8013, 3), 0);
  EXPECT_TRUE(fakelog::LinesContaining(L"[Result  ]").empty());
  EXPECT_TRUE(fakelog::LinesContaining(L"[Exit    ]").empty());

  PageMode(P());
  fakelog::Clear();
  EXPECT_EQ(Write(8047, 9999), 106);
  EXPECT_EQ(Count(L"[Exit    ] DoPageModeHorizontalPosition", kError), 1u);
  EXPECT_EQ(Write(8048, 1), 0);  // this setter names itself on success too
  EXPECT_EQ(Count(L"[Result  ] 0", kInfo), 1u);
  EXPECT_EQ(Count(L"[Exit    ] PageModePrintDirection", kInfo), 1u);

  EnabledRec(P());
  fakelog::Clear();
  EXPECT_EQ(Write(8016, 99), 106);
  EXPECT_EQ(Count(L"[Exit    ] DoRecLineChars", kError), 1u);
}

TEST_F(Properties, NotClaimedAndNotEnabledAnswerWithoutALogLine) {
  EXPECT_EQ(Write(8002, 437), 103);
  P().Claimed = 1;
  EXPECT_EQ(Write(8002, 437), 105);
  EXPECT_TRUE(fakelog::Lines().empty());
}

TEST_F(Properties, IndexesThatCannotBeWrittenChangeOnlyTheLog) {
  for (long pidx : {1L, 2L, 5L, 14L, 8019L, 8527L, 99999L}) {
    fakelog::Clear();
    EXPECT_EQ(Write(pidx, 1), kUnchanged) << pidx;
    EXPECT_EQ(Count(L"[Info    ] SetPropertyNumber Property index is invalid.", kError), 1u)
        << pidx;
  }
  EXPECT_EQ(P().Claimed, 0);
  EXPECT_EQ(WriteText(1008011, L"1,2"), kUnchanged);
  EXPECT_EQ(Count(L"SetPropertyString Property index is invalid.", kError), 1u);
}

TEST_F(Properties, AMissingEffectIsAFailureNotASuccess) {
  so_->PropertyEffects() = CPropertyEffects();
  P().Claimed = 1;
  EXPECT_EQ(Write(3, 1), 111);
  EXPECT_EQ(P().DeviceEnabled, 0);
  EnabledCharsets(P());
  EXPECT_EQ(Write(8002, 437), 111);
  EXPECT_EQ(P().CharacterSet, 998);
}

TEST_F(Properties, AFailedEffectRefusesAndLeavesTheValue) {
  effectResult_ = 111;
  EnabledCharsets(P());
  EXPECT_EQ(Write(8002, 437), 106);
  EXPECT_EQ(P().CharacterSet, 998);
  RecPageModeCaps(P());
  EXPECT_EQ(Write(8049, 2), 106);
  EXPECT_EQ(P().PageModeStation, 0);
}

TEST_F(Properties, FlagWhenIdleWhileEnabledAndIdleQueuesStatus1001AtOnce) {
  Enable();
  so_->SetState(2);
  EXPECT_EQ(Write(8005, 1), 0);
  EXPECT_EQ(calls_, std::vector<std::string>{"status 1001"});
  EXPECT_EQ(so_->GetPropertyNumber(8005), 0);
  calls_.clear();
  so_->SetState(3);
  EXPECT_EQ(Write(8005, 1), 0);
  EXPECT_TRUE(calls_.empty());
  EXPECT_EQ(so_->GetPropertyNumber(8005), 1);
  so_->SetState(1);  // closed again: nothing for the final release to wait on
}

// ---- reads ----
TEST_F(Properties, UnknownIndexesReadZeroAndKeepResultCode) {
  P().ResultCode = 114;
  for (long pidx : {2L, 12L, 0L, 8051L}) {
    fakelog::Clear();
    EXPECT_EQ(so_->GetPropertyNumber(pidx), 0) << pidx;
    EXPECT_EQ(Count(L"[Info    ] GetPropertyNumber Property index is invalid.", kError), 1u);
  }
  fakelog::Clear();
  EXPECT_EQ(ReadText(1008013), L"");
  EXPECT_EQ(Count(L"GetPropertyString Property index is invalid.", kError), 1u);
  EXPECT_EQ(P().ResultCode, 114);
}

TEST_F(Properties, ReadsComeFromTheirWordAndLogTheirLabel) {
  P().Caps.capRecPresent = 1;
  P().Caps.capSlpBothSidesPrint = 1;
  P().OutputID = 17;
  P().PowerState = 2001;
  P().MapMode = 4;
  P().RecLineWidth = 203;  // dots; one inch metric
  struct {
    long pidx, value;
    const wchar_t* line;
  } rows[] = {
      {8527, 1, L"[Prop Get] CapRecPresent 1"},
      {8555, 1, L"[Prop Get] CapSlpBothSidesPrin 1"},
      {8013, 4, L"[Prop Get] PIDXPtr_MapMode 4"},
      {5, 17, L"[Prop Get] OutputID 17"},
      {14, 2001, L"[Prop Get] PowerState 2001"},
      {8020, 2540, L"[Prop Get] RecLineWidth 2540"},
      {503, 1, L"[Prop Get] CapUpdateStatistics 1"},
      {9, 1, L"[Prop Get] State 1"},
  };
  for (const auto& r : rows) {
    fakelog::Clear();
    EXPECT_EQ(so_->GetPropertyNumber(r.pidx), r.value) << r.pidx;
    EXPECT_EQ(Count(r.line, kInfo), 1u) << r.pidx;
  }
}

TEST_F(Properties, RecLinesToPaperCutIsTheCutDistanceInLinesRoundedUp) {
  const struct {
    long spacing, lines;
  } rows[] = {{30, 4}, {33, 3}, {99, 1}, {100, 1}, {0, 0}};
  for (const auto& r : rows) {
    P().RecLineSpacing = r.spacing;
    EXPECT_EQ(so_->GetPropertyNumber(8019), r.lines) << r.spacing;
    EXPECT_EQ(P().RecLinesToPaperCut, r.lines) << r.spacing;
  }
}

// ---- page-mode areas ----
TEST_F(Properties, PageModeAreasReadInTheMapModeUnitOnlyInPageMode) {
  P().PageModeArea = "512,832";
  P().PageModePrintArea = "0,10,512,400";
  EXPECT_EQ(ReadText(1008011), L"");
  EXPECT_EQ(ReadText(1008012), L"");
  P().PageModeStation = 2;
  EXPECT_EQ(ReadText(1008011), L"512,832");
  P().MapMode = 4;
  EXPECT_EQ(ReadText(1008011), L"6407,10411");  // ceil(512*2540/203), ceil(832*2540/203)
  EXPECT_EQ(ReadText(1008012), L"0,126,6407,5005");
}

TEST_F(Properties, PageModePrintAreaWrites) {
  const struct {
    const wchar_t* text;
    long mapMode;
    long code;
    const char* stored;
  } rows[] = {
      {L"0,0,512,400", 1, 0, "0,0,512,400"},
      {L"100, 0,412,832", 1, 0, "100,0,412,832"},
      {L"1000,0,1000,1000", 3, 0, "203,0,203,203"},  // inches in thousandths
      {L"0,0,51a,400", 1, 106, nullptr},
      {L"0,0,512", 1, 106, nullptr},
      {L"0,0,512,400,1", 1, 106, nullptr},
      {L"100,0,500,400", 1, 106, nullptr},  // x + width past the area's width
      {L"0,500,10,400", 1, 106, nullptr},   // y + height past the area's height
      {L"0,-1,10,10", 1, 106, nullptr},
      {L"0,0,,400", 1, 106, nullptr},       // an empty field has no digits
      {L"0,0,4294967808,10", 1, 106, nullptr},  // 2^32 + 512 must not wrap to 512
      {L"", 1, 106, nullptr},
  };
  for (const auto& r : rows) {
    PageMode(P());
    P().MapMode = r.mapMode;
    EXPECT_EQ(WriteText(1008012, r.text), r.code);
    EXPECT_EQ(P().PageModePrintArea, r.stored ? r.stored : "0,0,512,400");
  }
  P().PageModeStation = 0;
  fakelog::Clear();
  EXPECT_EQ(WriteText(1008012, L"0,0,1,1"), 106);
  EXPECT_EQ(Count(L"[Exit    ] PageModePrintArea", kError), 1u);
}

// ---- through IDispatch, as the Control Object calls ----
TEST(PropertiesThroughDispatch, NumberAndStringEntries) {
  using costandin::Arg;
  HMODULE module = nullptr;
  ASSERT_NO_FATAL_FAILURE(sotest::LoadAndRegisterServer(&module));
  {
    costandin::ControlObject co;
    ASSERT_EQ(co.Create(L"OPOS.POSPRINTER.SO.KVR.CORE.TBXQD"), S_OK);
    EXPECT_EQ(co.CallLong(L"GetPropertyNumber", {Arg::Long(8013)}), 1);
    EXPECT_EQ(co.CallLong(L"GetPropertyNumber", {Arg::Long(6)}), OPOS_E_CLOSED);
    VARIANT none;
    VariantInit(&none);
    DISPID setNumber = 0, setString = 0;
    ASSERT_EQ(co.GetIDsOfNames(L"SetPropertyNumber", &setNumber), S_OK);
    ASSERT_EQ(co.GetIDsOfNames(L"SetPropertyString", &setString), S_OK);
    ASSERT_EQ(co.Invoke(setNumber, {Arg::Long(8013), Arg::Long(2)}, &none), S_OK);
    EXPECT_EQ(co.CallLong(L"GetPropertyNumber", {Arg::Long(6)}), OPOS_SUCCESS);
    EXPECT_EQ(co.CallLong(L"GetPropertyNumber", {Arg::Long(8013)}), 2);
    ASSERT_EQ(co.Invoke(setString, {Arg::Long(1008012), Arg::Text(L"0,0,1,1")}, &none), S_OK);
    EXPECT_EQ(co.CallLong(L"GetPropertyNumber", {Arg::Long(6)}), OPOS_E_ILLEGAL);
    EXPECT_EQ(co.CallLong(L"GetPropertyNumber", {Arg::Long(12)}), 0);
    VariantClear(&none);
  }
  FreeLibrary(module);
}

}  // namespace
