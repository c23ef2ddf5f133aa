// Property access by the OPOS property index (PIDX): one table row per numeric property
// (how it is read, what a write needs and which setter checks and applies it) and one per
// string property. Lengths are cached in dots and converted at the edge.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "BstrText.h"
#include "CommDevice.h"
#include "LogContext.h"
#include "OposCodes.h"
#include "POSPrinter.h"

namespace {

const char kSource[] = "POSPrinter";

enum : long { kStateIdle = 2 };
enum : long { kStationJournal = 1, kStationReceipt = 2 };
enum : long { kStatusIdle = 1001 };
// Highest line spacing the printer's ESC 3 takes, in dots.
constexpr long kMaxLineSpacing = 255;
// A setter that has set ResultCode itself.
constexpr long kHandled = -1;

enum class Need : unsigned char { kNone, kClaimed, kEnabled };
enum class Read : unsigned char { kPlain, kCap, kDots, kState, kFreeze, kLinesToCut };

// A decimal number of digits only (a leading '-' when `signedOk`) that fits 32 bits.
bool ParseDecimal(const std::string& field, bool signedOk, long* out) {
  size_t i = (signedOk && !field.empty() && field[0] == '-') ? 1 : 0;
  if (i == field.size()) return false;
  int64_t value = 0;
  for (; i < field.size(); ++i) {
    if (field[i] < '0' || field[i] > '9') return false;
    value = value * 10 + (field[i] - '0');
    if (value > 0x80000000LL) return false;
  }
  if (field[0] == '-') value = -value;
  if (value > LONG_MAX || value < LONG_MIN) return false;
  *out = static_cast<long>(value);
  return true;
}

// Exactly `count` comma-separated numbers.
bool ParseList(const std::string& text, long count, bool signedOk, long* out) {
  std::vector<std::string> fields(count);
  if (CCommDevice::SplitByComma(text.c_str(), fields.data(), count) != count) return false;
  for (long i = 0; i < count; ++i) {
    if (!ParseDecimal(fields[i], signedOk, &out[i])) return false;
  }
  return true;
}

// The numbers of a list property ("CharacterSetList", the line-chars lists).
std::vector<long> ListEntries(const std::string& text) {
  const long n = CCommDevice::SplitByComma(text.c_str(), nullptr, 0);
  std::vector<std::string> fields(n);
  (void)CCommDevice::SplitByComma(text.c_str(), fields.data(), n);
  std::vector<long> entries;
  for (const std::string& field : fields) {
    long value = 0;
    if (ParseDecimal(field, /*signedOk=*/true, &value)) entries.push_back(value);
  }
  return entries;
}

// D / S rounded up, 0 without a spacing.
long LinesToPaperCut(long cutDistance, long spacing) {
  if (spacing <= 0 || cutDistance <= 0) return 0;
  return cutDistance / spacing + (cutDistance % spacing != 0 ? 1 : 0);
}

void LogInvalidIndex(CLogContext* log, const char* function, const char* entry) {
  log->Write(LOG_ERROR, function, kSource, __LINE__, TAG_INFO, entry,
             "Property index is invalid.");
}

}  // namespace

struct CPropertyTable {
  using Setter = long (*)(CPOSPrinter& so, long value);

  struct NumberRow {
    long pidx;
    const char* name;
    const char* getLabel;  // the "[Prop Get]" text where it is not the name
    long CPropertyCache::*field;
    long PrnCapabilityBlock::*cap;
    Read read;
    Need need;
    Setter set;            // null: not writable
    const char* tag;       // the setter's result-line text
    bool tagOnSuccess;
  };

  enum class Text : unsigned char { kPlain, kErrorString, kArea, kPrintArea };
  struct TextRow {
    long pidx;
    const char* name;
    std::string CPropertyCache::*field;
    Text kind;
  };

  static const NumberRow kNumbers[];
  static const TextRow kTexts[];

  static const NumberRow* FindNumber(long pidx);
  static const TextRow* FindText(long pidx);

  static long ReadNumber(CPOSPrinter& so, const NumberRow& row) {
    CPropertyCache& p = so.m_props;
    switch (row.read) {
      case Read::kCap: return p.Caps.*row.cap;
      case Read::kDots: return CCommDevice::ConvertFromDots(p.MapMode, p.*row.field, so.m_resolution);
      case Read::kState: return so.GetState();
      case Read::kFreeze: {
        std::lock_guard<std::mutex> hold(so.m_freezeLock);
        return p.FreezeEvents;
      }
      case Read::kLinesToCut:
        return p.RecLinesToPaperCut = LinesToPaperCut(so.m_cutDistance, p.RecLineSpacing);
      case Read::kPlain: break;
    }
    return p.*row.field;
  }

  static std::string ReadText(CPOSPrinter& so, const TextRow& row) {
    CPropertyCache& p = so.m_props;
    switch (row.kind) {
      case Text::kErrorString: {
        std::lock_guard<std::mutex> hold(so.m_errorPropertiesLock);
        return p.ErrorString;
      }
      case Text::kArea: return AreaInUnits(so, p.PageModeArea, 2);
      case Text::kPrintArea: return AreaInUnits(so, p.PageModePrintArea, 4);
      case Text::kPlain: break;
    }
    return p.*row.field;
  }

  // A stored page-mode area, each number converted from dots; empty outside page mode on
  // the receipt, or when the stored text is no list of `count` numbers.
  static std::string AreaInUnits(CPOSPrinter& so, const std::string& stored, long count) {
    long n[4] = {};
    if (so.m_props.PageModeStation != kStationReceipt) return std::string();
    if (!ParseList(stored, count, /*signedOk=*/true, n)) return std::string();
    std::string out;
    for (long i = 0; i < count; ++i) {
      if (i) out += ',';
      out += Fmt("%ld", CCommDevice::ConvertFromDots(so.m_props.MapMode, n[i], so.m_resolution));
    }
    return out;
  }

  static long Dots(CPOSPrinter& so, long value) {
    return CCommDevice::ConvertToDots(so.m_props.MapMode, value, so.m_resolution);
  }

  // ---- setters: 0 accepted, 106 refused (111 when the effect is not there) ----
  static long Refuse(CPOSPrinter&, long) { return OPOS_E_ILLEGAL; }

  static long DeviceEnabled(CPOSPrinter& so, long value) {
    if (!so.m_effects.setDeviceEnabled) return OPOS_E_FAILURE;
    so.m_effects.setDeviceEnabled(value != 0);
    return kHandled;
  }

  static long FreezeEvents(CPOSPrinter& so, long value) {
    {
      std::lock_guard<std::mutex> hold(so.m_freezeLock);
      so.m_props.FreezeEvents = value ? 1 : 0;
    }
    if (!value && so.m_effects.signalEventData) so.m_effects.signalEventData();
    return OPOS_SUCCESS;
  }

  // Stores a value from low to high.
  static long StoreInRange(CPOSPrinter& so, long CPropertyCache::*field, long low, long high,
                           long value) {
    if (value < low || value > high) return OPOS_E_ILLEGAL;
    so.m_props.*field = value;
    return OPOS_SUCCESS;
  }

  static long BinaryConversion(CPOSPrinter& so, long value) {
    return StoreInRange(so, &CPropertyCache::BinaryConversion, 0, 2, value);
  }

  static long PowerNotify(CPOSPrinter& so, long value) {
    CPropertyCache& p = so.m_props;
    if (p.DeviceEnabled) return OPOS_E_ILLEGAL;
    if (value != 0 && !(value == 1 && p.Caps.capPowerReporting)) return OPOS_E_ILLEGAL;
    p.PowerNotify = value;
    return OPOS_SUCCESS;
  }

  static long AsyncMode(CPOSPrinter& so, long value) {
    so.m_props.AsyncMode = value ? 1 : 0;
    return OPOS_SUCCESS;
  }

  static long CharacterSet(CPOSPrinter& so, long value) {
    bool listed = false;
    for (long entry : ListEntries(so.m_props.CharacterSetList)) listed |= (entry == value);
    if (!listed) return OPOS_E_ILLEGAL;
    if (!so.m_effects.selectCharacterSet) return OPOS_E_FAILURE;
    if (so.m_effects.selectCharacterSet(value) != 0) return OPOS_E_ILLEGAL;
    so.m_props.CharacterSet = value;
    return OPOS_SUCCESS;
  }

  static long FlagWhenIdle(CPOSPrinter& so, long value) {
    CPropertyCache& p = so.m_props;
    p.FlagWhenIdle = value ? 1 : 0;
    // State reads idle after a disable that answered 113 while output is still pending:
    // the idle notice that ends that output reports it instead.
    if (p.FlagWhenIdle && p.DeviceEnabled && so.GetState() == kStateIdle &&
        !so.m_channel->HasPendingOutput() && so.m_effects.queueStatusUpdate) {
      so.m_effects.queueStatusUpdate(kStatusIdle);
      p.FlagWhenIdle = 0;
    }
    return OPOS_SUCCESS;
  }

  static long JrnLetterQuality(CPOSPrinter& so, long value) {
    return (value == 0 && so.m_props.Caps.capJrnPresent) ? OPOS_SUCCESS : OPOS_E_ILLEGAL;
  }

  static long LineChars(CPOSPrinter& so, long station, long present, const std::string& list,
                        long value) {
    const std::vector<long> entries = ListEntries(list);
    if (!present || entries.empty() || value < 1 || value > entries.back()) {
      return OPOS_E_ILLEGAL;
    }
    if (!so.m_effects.selectLineChars) return OPOS_E_FAILURE;
    return so.m_effects.selectLineChars(station, value) == 0 ? OPOS_SUCCESS : OPOS_E_ILLEGAL;
  }
  static long JrnLineChars(CPOSPrinter& so, long value) {
    return LineChars(so, kStationJournal, so.m_props.Caps.capJrnPresent,
                     so.m_props.JrnLineCharsList, value);
  }
  static long RecLineChars(CPOSPrinter& so, long value) {
    return LineChars(so, kStationReceipt, so.m_props.Caps.capRecPresent,
                     so.m_props.RecLineCharsList, value);
  }

  static long LineSpacing(CPOSPrinter& so, long present, long height, long* spacing,
                          long value) {
    const long dots = Dots(so, value);
    if (!present || dots < height || dots > kMaxLineSpacing) return OPOS_E_ILLEGAL;
    *spacing = dots;
    return OPOS_SUCCESS;
  }
  static long JrnLineSpacing(CPOSPrinter& so, long value) {
    CPropertyCache& p = so.m_props;
    return LineSpacing(so, p.Caps.capJrnPresent, p.JrnLineHeight, &p.JrnLineSpacing, value);
  }
  static long RecLineSpacing(CPOSPrinter& so, long value) {
    CPropertyCache& p = so.m_props;
    const long code =
        LineSpacing(so, p.Caps.capRecPresent, p.RecLineHeight, &p.RecLineSpacing, value);
    p.RecLinesToPaperCut = LinesToPaperCut(so.m_cutDistance, p.RecLineSpacing);
    return code;
  }

  static long MapMode(CPOSPrinter& so, long value) {
    return StoreInRange(so, &CPropertyCache::MapMode, 1, 4, value);
  }

  static long RecLetterQuality(CPOSPrinter& so, long value) {
    if (!so.m_props.Caps.capRecPresent) return OPOS_E_ILLEGAL;
    so.m_props.RecLetterQuality = value ? 1 : 0;
    if (so.m_effects.markSettingsChanged) so.m_effects.markSettingsChanged();
    return OPOS_SUCCESS;
  }

  static long RotateSpecial(CPOSPrinter& so, long value) {
    const PrnCapabilityBlock& c = so.m_props.Caps;
    const bool ok = value == 1 || (value == 257 && c.capRecRight90) ||
                    (value == 258 && c.capRecLeft90) || (value == 259 && c.capRecRotate180);
    if (!ok) return OPOS_E_ILLEGAL;
    so.m_props.RotateSpecial = value;
    return OPOS_SUCCESS;
  }

  static long CartridgeNotify(CPOSPrinter& so, long value) {
    return (value == 0 && !so.m_props.DeviceEnabled) ? OPOS_SUCCESS : OPOS_E_ILLEGAL;
  }

  static long JrnCurrentCartridge(CPOSPrinter& so, long value) {
    return (value == 1 && so.m_props.Caps.capJrnPresent) ? OPOS_SUCCESS : OPOS_E_ILLEGAL;
  }

  static long RecCurrentCartridge(CPOSPrinter& so, long value) {
    if (value != 1 || !so.m_props.Caps.capRecPresent) return OPOS_E_ILLEGAL;
    so.m_props.RecCurrentCartridge = value;
    return OPOS_SUCCESS;
  }

  static long MapCharacterSet(CPOSPrinter& so, long value) {
    if (!so.m_props.Caps.capMapCharacterSet) return value == 0 ? OPOS_SUCCESS : OPOS_E_ILLEGAL;
    so.m_props.MapCharacterSet = value ? 1 : 0;
    return OPOS_SUCCESS;
  }

  // Position inside the print area: word 2 (width) or 3 (height) of PageModePrintArea.
  static long PagePosition(CPOSPrinter& so, long extentIndex, long* position, long value) {
    long area[4] = {};
    if (so.m_props.PageModeStation != kStationReceipt ||
        !ParseList(so.m_props.PageModePrintArea, 4, /*signedOk=*/true, area)) {
      return OPOS_E_ILLEGAL;
    }
    const long dots = Dots(so, value);
    if (dots < 0 || dots > area[extentIndex]) return OPOS_E_ILLEGAL;
    *position = dots;
    return OPOS_SUCCESS;
  }
  static long PageModeHorizontalPosition(CPOSPrinter& so, long value) {
    return PagePosition(so, 2, &so.m_props.PageModeHorizontalPosition, value);
  }
  static long PageModeVerticalPosition(CPOSPrinter& so, long value) {
    return PagePosition(so, 3, &so.m_props.PageModeVerticalPosition, value);
  }

  static long PageModePrintDirection(CPOSPrinter& so, long value) {
    if (so.m_props.PageModeStation != kStationReceipt) return OPOS_E_ILLEGAL;
    return StoreInRange(so, &CPropertyCache::PageModePrintDirection, 1, 4, value);
  }

  static long PageModeStation(CPOSPrinter& so, long value) {
    CPropertyCache& p = so.m_props;
    if (value != kStationReceipt || !p.Caps.capRecPresent || !p.Caps.capRecPageMode) {
      return OPOS_E_ILLEGAL;
    }
    if (!so.m_effects.recomputePageModeArea) return OPOS_E_FAILURE;
    const long previous = p.PageModeStation;
    p.PageModeStation = value;
    if (so.m_effects.recomputePageModeArea() != 0) {
      p.PageModeStation = previous;
      return OPOS_E_ILLEGAL;
    }
    return OPOS_SUCCESS;
  }

  static long PageModePrintArea(CPOSPrinter& so, const std::string& text) {
    CPropertyCache& p = so.m_props;
    long area[4] = {};
    long bounds[2] = {};
    if (p.PageModeStation != kStationReceipt ||
        CCommDevice::CountCommas(text.c_str()) != 3 ||
        !ParseList(text, 4, /*signedOk=*/false, area) ||
        !ParseList(p.PageModeArea, 2, /*signedOk=*/true, bounds)) {
      return OPOS_E_ILLEGAL;
    }
    for (long& n : area) n = Dots(so, n);
    if (int64_t{area[0]} + area[2] > bounds[0] || int64_t{area[1]} + area[3] > bounds[1]) {
      return OPOS_E_ILLEGAL;
    }
    p.PageModePrintArea = Fmt("%ld,%ld,%ld,%ld", area[0], area[1], area[2], area[3]);
    return OPOS_SUCCESS;
  }
};

namespace {

constexpr Need kNo = Need::kNone;
constexpr Need kClaim = Need::kClaimed;
constexpr Need kEnable = Need::kEnabled;
using T = CPropertyTable;

}  // namespace

// clang-format off
#define RD(pidx, f) {pidx, #f, nullptr, &CPropertyCache::f, nullptr, Read::kPlain, kNo, nullptr, nullptr, false}
#define DOTS(pidx, f) {pidx, #f, nullptr, &CPropertyCache::f, nullptr, Read::kDots, kNo, nullptr, nullptr, false}
#define CAP(pidx, f, c) {pidx, #f, nullptr, nullptr, &PrnCapabilityBlock::c, Read::kCap, kNo, nullptr, nullptr, false}
#define WR(pidx, f, rd, need) {pidx, #f, nullptr, &CPropertyCache::f, nullptr, rd, need, &T::f, #f, false}
#define NOWR(pidx, f, rd, need) {pidx, #f, nullptr, &CPropertyCache::f, nullptr, rd, need, &T::Refuse, #f, false}

const CPropertyTable::NumberRow CPropertyTable::kNumbers[] = {
    RD(1, Claimed),
    WR(3, DeviceEnabled, Read::kPlain, kClaim),
    WR(4, FreezeEvents, Read::kFreeze, kNo),
    RD(5, OutputID),
    RD(6, ResultCode),
    RD(7, ResultCodeExtended),
    RD(8, ServiceObjectVersion),
    {9, "State", nullptr, &CPropertyCache::State, nullptr, Read::kState, kNo, nullptr, nullptr, false},
    WR(11, BinaryConversion, Read::kPlain, kNo),
    WR(13, PowerNotify, Read::kPlain, kNo),
    RD(14, PowerState),
    CAP(501, CapPowerReporting, capPowerReporting),
    CAP(502, CapStatisticsReporting, capStatisticsReporting),
    CAP(503, CapUpdateStatistics, capUpdateStatistics),
    CAP(504, CapCompareFirmwareVersion, capCompareFirmwareVersion),
    CAP(505, CapUpdateFirmware, capUpdateFirmware),
    WR(8001, AsyncMode, Read::kPlain, kNo),
    WR(8002, CharacterSet, Read::kPlain, kEnable),
    RD(8003, CoverOpen),
    RD(8004, ErrorStation),
    WR(8005, FlagWhenIdle, Read::kPlain, kNo),
    RD(8006, JrnEmpty),
    WR(8007, JrnLetterQuality, Read::kPlain, kEnable),
    WR(8008, JrnLineChars, Read::kPlain, kEnable),
    NOWR(8009, JrnLineHeight, Read::kDots, kEnable),
    WR(8010, JrnLineSpacing, Read::kDots, kEnable),
    DOTS(8011, JrnLineWidth),
    RD(8012, JrnNearEnd),
    {8013, "MapMode", "PIDXPtr_MapMode", &CPropertyCache::MapMode, nullptr, Read::kPlain, kNo, &T::MapMode, "MapMode", false},
    RD(8014, RecEmpty),
    WR(8015, RecLetterQuality, Read::kPlain, kEnable),
    {8016, "RecLineChars", nullptr, &CPropertyCache::RecLineChars, nullptr, Read::kPlain, kEnable, &T::RecLineChars, "DoRecLineChars", false},
    NOWR(8017, RecLineHeight, Read::kDots, kEnable),
    WR(8018, RecLineSpacing, Read::kDots, kEnable),
    {8019, "RecLinesToPaperCut", nullptr, &CPropertyCache::RecLinesToPaperCut, nullptr, Read::kLinesToCut, kNo, nullptr, nullptr, false},
    DOTS(8020, RecLineWidth),
    RD(8021, RecNearEnd),
    RD(8022, RecSidewaysMaxChars),
    RD(8023, RecSidewaysMaxLines),
    RD(8024, SlpEmpty),
    NOWR(8025, SlpLetterQuality, Read::kPlain, kNo),
    NOWR(8026, SlpLineChars, Read::kPlain, kNo),
    NOWR(8027, SlpLineHeight, Read::kPlain, kNo),
    RD(8028, SlpLinesNearEndToEnd),
    NOWR(8029, SlpLineSpacing, Read::kPlain, kNo),
    RD(8030, SlpLineWidth),
    RD(8031, SlpMaxLines),
    RD(8032, SlpNearEnd),
    RD(8033, SlpSidewaysMaxChars),
    RD(8034, SlpSidewaysMaxLines),
    RD(8035, ErrorLevel),
    WR(8036, RotateSpecial, Read::kPlain, kNo),
    WR(8037, CartridgeNotify, Read::kPlain, kNo),
    RD(8038, JrnCartridgeState),
    WR(8039, JrnCurrentCartridge, Read::kPlain, kEnable),
    RD(8040, RecCartridgeState),
    WR(8041, RecCurrentCartridge, Read::kPlain, kEnable),
    RD(8042, SlpPrintSide),
    RD(8043, SlpCartridgeState),
    NOWR(8044, SlpCurrentCartridge, Read::kPlain, kNo),
    WR(8045, MapCharacterSet, Read::kPlain, kNo),
    RD(8046, PageModeDescriptor),
    {8047, "PageModeHorizontalPosition", nullptr, &CPropertyCache::PageModeHorizontalPosition, nullptr, Read::kDots, kNo, &T::PageModeHorizontalPosition, "DoPageModeHorizontalPosition", false},
    {8048, "PageModePrintDirection", nullptr, &CPropertyCache::PageModePrintDirection, nullptr, Read::kPlain, kNo, &T::PageModePrintDirection, "PageModePrintDirection", true},
    WR(8049, PageModeStation, Read::kPlain, kNo),
    {8050, "PageModeVerticalPosition", nullptr, &CPropertyCache::PageModeVerticalPosition, nullptr, Read::kDots, kNo, &T::PageModeVerticalPosition, "PageModeVerticalPosition", true},
    CAP(8501, CapConcurrentJrnRec, capConcurrentJrnRec),
    CAP(8502, CapConcurrentJrnSlp, capConcurrentJrnSlp),
    CAP(8503, CapConcurrentRecSlp, capConcurrentRecSlp),
    CAP(8504, CapCoverSensor, capCoverSensor),
    CAP(8505, CapJrn2Color, capJrn2Color),
    CAP(8506, CapJrnBold, capJrnBold),
    CAP(8507, CapJrnDhigh, capJrnDhigh),
    CAP(8508, CapJrnDwide, capJrnDwide),
    CAP(8509, CapJrnDwideDhigh, capJrnDwideDhigh),
    CAP(8510, CapJrnEmptySensor, capJrnEmptySensor),
    CAP(8511, CapJrnItalic, capJrnItalic),
    CAP(8512, CapJrnNearEndSensor, capJrnNearEndSensor),
    CAP(8513, CapJrnPresent, capJrnPresent),
    CAP(8514, CapJrnUnderline, capJrnUnderline),
    CAP(8515, CapRec2Color, capRec2Color),
    CAP(8516, CapRecBarCode, capRecBarCode),
    CAP(8517, CapRecBitmap, capRecBitmap),
    CAP(8518, CapRecBold, capRecBold),
    CAP(8519, CapRecDhigh, capRecDhigh),
    CAP(8520, CapRecDwide, capRecDwide),
    CAP(8521, CapRecDwideDhigh, capRecDwideDhigh),
    CAP(8522, CapRecEmptySensor, capRecEmptySensor),
    CAP(8523, CapRecItalic, capRecItalic),
    CAP(8524, CapRecLeft90, capRecLeft90),
    CAP(8525, CapRecNearEndSensor, capRecNearEndSensor),
    CAP(8526, CapRecPapercut, capRecPapercut),
    CAP(8527, CapRecPresent, capRecPresent),
    CAP(8528, CapRecRight90, capRecRight90),
    CAP(8529, CapRecRotate180, capRecRotate180),
    CAP(8530, CapRecStamp, capRecStamp),
    CAP(8531, CapRecUnderline, capRecUnderline),
    CAP(8532, CapSlp2Color, capSlp2Color),
    CAP(8533, CapSlpBarCode, capSlpBarCode),
    CAP(8534, CapSlpBitmap, capSlpBitmap),
    CAP(8535, CapSlpBold, capSlpBold),
    CAP(8536, CapSlpDhigh, capSlpDhigh),
    CAP(8537, CapSlpDwide, capSlpDwide),
    CAP(8538, CapSlpDwideDhigh, capSlpDwideDhigh),
    CAP(8539, CapSlpEmptySensor, capSlpEmptySensor),
    CAP(8540, CapSlpFullslip, capSlpFullslip),
    CAP(8541, CapSlpItalic, capSlpItalic),
    CAP(8542, CapSlpLeft90, capSlpLeft90),
    CAP(8543, CapSlpNearEndSensor, capSlpNearEndSensor),
    CAP(8544, CapSlpPresent, capSlpPresent),
    CAP(8545, CapSlpRight90, capSlpRight90),
    CAP(8546, CapSlpRotate180, capSlpRotate180),
    CAP(8547, CapSlpUnderline, capSlpUnderline),
    CAP(8548, CapCharacterSet, capCharacterSet),
    CAP(8549, CapTransaction, capTransaction),
    CAP(8550, CapJrnCartridgeSensor, capJrnCartridgeSensor),
    CAP(8551, CapJrnColor, capJrnColor),
    CAP(8552, CapRecCartridgeSensor, capRecCartridgeSensor),
    CAP(8553, CapRecColor, capRecColor),
    CAP(8554, CapRecMarkFeed, capRecMarkFeed),
    {8555, "CapSlpBothSidesPrint", "CapSlpBothSidesPrin", nullptr, &PrnCapabilityBlock::capSlpBothSidesPrint, Read::kCap, kNo, nullptr, nullptr, false},
    CAP(8556, CapSlpCartridgeSensor, capSlpCartridgeSensor),
    CAP(8557, CapSlpColor, capSlpColor),
    CAP(8558, CapMapCharacterSet, capMapCharacterSet),
    CAP(8559, CapConcurrentPageMode, capConcurrentPageMode),
    CAP(8560, CapRecPageMode, capRecPageMode),
    CAP(8561, CapSlpPageMode, capSlpPageMode),
    CAP(8562, CapRecRuledLine, capRecRuledLine),
    CAP(8563, CapSlpRuledLine, capSlpRuledLine),
};

#define TXT(pidx, f) {pidx, #f, &CPropertyCache::f, Text::kPlain}
const CPropertyTable::TextRow CPropertyTable::kTexts[] = {
    TXT(1000001, CheckHealthText),
    TXT(1000002, DeviceDescription),
    TXT(1000003, DeviceName),
    TXT(1000004, ServiceObjectDescription),
    TXT(1008001, CharacterSetList),
    TXT(1008002, JrnLineCharsList),
    TXT(1008003, RecLineCharsList),
    TXT(1008004, SlpLineCharsList),
    {1008005, "ErrorString", &CPropertyCache::ErrorString, Text::kErrorString},
    TXT(1008006, FontTypefaceList),
    TXT(1008007, RecBarCodeRotationList),
    TXT(1008008, SlpBarCodeRotationList),
    TXT(1008009, RecBitmapRotationList),
    TXT(1008010, SlpBitmapRotationList),
    {1008011, "PageModeArea", &CPropertyCache::PageModeArea, Text::kArea},
    {1008012, "PageModePrintArea", &CPropertyCache::PageModePrintArea, Text::kPrintArea},
};
// clang-format on
#undef RD
#undef DOTS
#undef CAP
#undef WR
#undef NOWR
#undef TXT

static_assert(sizeof(CPropertyTable::kNumbers) / sizeof(CPropertyTable::kNumbers[0]) == 129,
              "one row per numeric property index");

const CPropertyTable::NumberRow* CPropertyTable::FindNumber(long pidx) {
  for (const NumberRow& row : kNumbers) {
    if (row.pidx == pidx) return &row;
  }
  return nullptr;
}

const CPropertyTable::TextRow* CPropertyTable::FindText(long pidx) {
  for (const TextRow& row : kTexts) {
    if (row.pidx == pidx) return &row;
  }
  return nullptr;
}

long CPOSPrinter::GetPropertyNumber(long pidx) {
  static const char kFn[] = "CPOSPrinter::GetPropertyNumber";
  const CPropertyTable::NumberRow* row = CPropertyTable::FindNumber(pidx);
  if (!row) {
    LogInvalidIndex(m_logContext, kFn, "GetPropertyNumber");
    return 0;
  }
  const long value = CPropertyTable::ReadNumber(*this, *row);
  Log(LOG_INFO, kFn, __LINE__, "[Prop Get]", row->getLabel ? row->getLabel : row->name,
      Fmt("%ld", value));
  return value;
}

BSTR CPOSPrinter::GetPropertyString(long pidx) {
  static const char kFn[] = "CPOSPrinter::GetPropertyString";
  const CPropertyTable::TextRow* row = CPropertyTable::FindText(pidx);
  if (!row) {
    LogInvalidIndex(m_logContext, kFn, "GetPropertyString");
    return SysAllocString(L"");
  }
  const std::string value = CPropertyTable::ReadText(*this, *row);
  Log(LOG_INFO, kFn, __LINE__, "[Prop Get]", row->name, value);
  return AnsiToBstr(value);
}

void CPOSPrinter::SetPropertyNumber(long pidx, long value) {
  static const char kFn[] = "CPOSPrinter::SetPropertyNumber";
  const CPropertyTable::NumberRow* row = CPropertyTable::FindNumber(pidx);
  if (!row || !row->set) {
    LogInvalidIndex(m_logContext, kFn, "SetPropertyNumber");
    return;
  }
  if (row->need != Need::kNone && !m_props.Claimed) {
    (void)SetResultCode(OPOS_E_NOTCLAIMED, 0, "");
    return;
  }
  if (row->need == Need::kEnabled && !m_props.DeviceEnabled) {
    (void)SetResultCode(OPOS_E_DISABLED, 0, "");
    return;
  }
  Log(LOG_INFO, kFn, __LINE__, "[Prop Set]", row->name, Fmt("%ld", value));
  const long code = row->set(*this, value);
  if (code == kHandled) return;
  (void)SetResultCode(code, 0, (code != 0 || row->tagOnSuccess) ? row->tag : "");
}

void CPOSPrinter::SetPropertyString(long pidx, BSTR text) {
  static const char kFn[] = "CPOSPrinter::SetPropertyString";
  const CPropertyTable::TextRow* row = CPropertyTable::FindText(pidx);
  if (!row || row->kind != CPropertyTable::Text::kPrintArea) {
    LogInvalidIndex(m_logContext, kFn, "SetPropertyString");
    return;
  }
  const std::string value = BstrToAnsi(text);
  Log(LOG_INFO, kFn, __LINE__, "[Prop Set]", row->name, value);
  const long code = CPropertyTable::PageModePrintArea(*this, value);
  (void)SetResultCode(code, 0, code != 0 ? row->name : "");
}

void CPOSPrinter::SetFixedPrinterParameters(long cutDistance, long lineEndFlags,
                                            long resolution) {
  m_cutDistance = cutDistance;
  m_lineEndFlags = lineEndFlags;
  m_resolution = resolution;
}

long CPOSPrinter::ApplyFlagWhenIdle(long value) { return CPropertyTable::FlagWhenIdle(*this, value); }

void CPOSPrinter::SetLineChars(long station, long lineChars, long lineHeight) {
  CPropertyCache& p = m_props;
  const bool receipt = station == kStationReceipt;
  (receipt ? p.RecLineChars : p.JrnLineChars) = lineChars;
  (receipt ? p.RecLineHeight : p.JrnLineHeight) = lineHeight;
  long& spacing = receipt ? p.RecLineSpacing : p.JrnLineSpacing;
  if (spacing >= lineHeight) return;
  spacing = lineHeight;  // a dot value: no MapMode conversion
  if (receipt) p.RecLinesToPaperCut = LinesToPaperCut(m_cutDistance, p.RecLineSpacing);
}
