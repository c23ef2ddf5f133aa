// The print, paper-handling and bitmap methods: each is the method frame with its own
// station checks, unit conversions, busy/error rule and submission flags.
#include <string>
#include <vector>

#include "BstrText.h"
#include "CommDevice.h"
#include "DeviceClaim.h"
#include "HiddenWindow.h"
#include "LogContext.h"
#include "OposCodes.h"
#include "POSPrinter.h"

namespace {

enum : long { kAlignLeft = -1, kAlignCenter = -2, kAlignRight = -3, kBitmapAsIs = -11 };
// A position command carries 16 bits (nL nH): a larger position can't be printed.
constexpr long kMaxPositionDots = 0xFFFF;
constexpr long kStationOfNoArgument = 0;

using Rule = CPOSPrinter::BusyRule;
using Frame = CPOSPrinter::COutputFrame;

// The methods whose arguments are one number and one text (PrintNormal, PrintImmediate,
// ValidateData, SetLogo): the same two wrappers' shape.
using TextPre = long (CCommDevice::*)(PrnInputProperty*, long, const char*, long*);
using TextExecute = long (CCommDevice::*)(PrnInputProperty*, PrnStationState*, long,
                                          const char*, PrnTokenList**, PrnPropertySnapshot*);

Frame TextFrame(Frame frame, CCommDevice* c, long value, const std::string& text, TextPre pre,
                TextExecute execute) {
  frame.pre = [=, &text](PrnInputProperty* r, long* e) { return (c->*pre)(r, value, text.c_str(), e); };
  frame.execute = [=, &text](PrnInputProperty* r, PrnStationState* s, PrnTokenList** l,
                             PrnPropertySnapshot* p) {
    return (c->*execute)(r, s, value, text.c_str(), l, p);
  };
  return frame;
}

}  // namespace

// 106 unless the station is present (and, for 2 and 4, has the capability `need`).
static long CheckStation(const PrnCapabilityBlock& c, long station, long recNeed,
                         long slpNeed, bool journalAllowed) {
  bool able = false;
  switch (station) {
    case PRN_STATION_JOURNAL: able = journalAllowed && c.capJrnPresent; break;
    case PRN_STATION_RECEIPT: able = c.capRecPresent && recNeed; break;
    case PRN_STATION_SLIP: able = c.capSlpPresent && slpNeed; break;
    default: break;
  }
  return able ? OPOS_SUCCESS : OPOS_E_ILLEGAL;
}

void CPOSPrinter::LogCall(const char* tag,
                          std::initializer_list<std::pair<const char*, std::string_view>> params) {
  static const char kFn[] = "CPOSPrinter::OutputMethod";
  Log(LOG_INFO, kFn, __LINE__, TAG_ENTER, tag);
  for (const auto& param : params) Log(LOG_INFO, kFn, __LINE__, TAG_PARAM, param.first, param.second);
}

long CPOSPrinter::ConvertAlignment(long alignment, long* dots) const {
  if (alignment == kAlignLeft || alignment == kAlignCenter || alignment == kAlignRight) {
    *dots = alignment;
    return OPOS_SUCCESS;
  }
  if (alignment < 0) return OPOS_E_ILLEGAL;
  const long converted = CCommDevice::ConvertToDots(m_props.MapMode, alignment, m_resolution);
  if (converted > kMaxPositionDots) return OPOS_E_ILLEGAL;
  *dots = converted;
  return OPOS_SUCCESS;
}

long CPOSPrinter::ToDots(long value) const {
  return CCommDevice::ConvertToDots(m_props.MapMode, value, m_resolution);
}

long CPOSPrinter::SimpleOutput(const char* tag, bool able, Rule busy, long methodId,
                               long value, bool hasValue) {
  if (hasValue) LogCall(tag, {{"Value", Fmt("%ld", value)}});
  else LogCall(tag, {});
  if (const long refused = FrameChecks()) return SetResultCode(refused, 0, tag);
  if (!able) return SetResultCode(OPOS_E_ILLEGAL, 0, tag);
  Frame frame(tag, kStationOfNoArgument, busy, -1, 1, 0, 0);
  CCommDevice* c = m_channel;
  frame.pre = [=](PrnInputProperty* r, long* e) {
    switch (methodId) {
      case PRN_METHOD_BEGIN_INSERTION: return c->preBeginInsertion(r, value, e);
      case PRN_METHOD_BEGIN_REMOVAL: return c->preBeginRemoval(r, value, e);
      case PRN_METHOD_END_INSERTION: return c->preEndInsertion(r, e);
      case PRN_METHOD_END_REMOVAL: return c->preEndRemoval(r, e);
      case PRN_METHOD_CUT_PAPER: return c->preCutPaper(r, value, e);
      case PRN_METHOD_CHANGE_PRINT_SIDE: return c->preChangePrintSide(r, value, e);
      case PRN_METHOD_MARK_FEED: return c->preMarkFeed(r, value, e);
      default: return c->preClearPrintArea(r, e);
    }
  };
  frame.execute = [=](PrnInputProperty* r, PrnStationState* s, PrnTokenList** l,
                      PrnPropertySnapshot* p) {
    switch (methodId) {
      case PRN_METHOD_BEGIN_INSERTION: return c->executeBeginInsertion(r, s, value, l, p);
      case PRN_METHOD_BEGIN_REMOVAL: return c->executeBeginRemoval(r, s, value, l, p);
      case PRN_METHOD_END_INSERTION: return c->executeEndInsertion(r, s, l, p);
      case PRN_METHOD_END_REMOVAL: return c->executeEndRemoval(r, s, l, p);
      case PRN_METHOD_CUT_PAPER: return c->executeCutPaper(r, s, value, l, p);
      case PRN_METHOD_CHANGE_PRINT_SIDE: return c->executeChangePrintSide(r, s, value, l, p);
      case PRN_METHOD_MARK_FEED: return c->executeMarkFeed(r, s, value, l, p);
      default: return c->executeClearPrintArea(r, s, l, p);
    }
  };
  if (methodId == PRN_METHOD_CLEAR_PRINT_AREA) frame.use[1] = frame.use[2] = 1;
  return RunOutputFrame(frame);
}

long CPOSPrinter::BeginInsertion(long timeout) {
  return SimpleOutput("BeginInsertion", m_props.Caps.capSlpPresent,
                      Rule::kAlways, PRN_METHOD_BEGIN_INSERTION, timeout, true);
}
long CPOSPrinter::BeginRemoval(long timeout) {
  return SimpleOutput("BeginRemoval", m_props.Caps.capSlpPresent,
                      Rule::kAlways, PRN_METHOD_BEGIN_REMOVAL, timeout, true);
}
long CPOSPrinter::EndInsertion() {
  return SimpleOutput("EndInsertion", m_props.Caps.capSlpPresent,
                      Rule::kAlways, PRN_METHOD_END_INSERTION, 0, false);
}
long CPOSPrinter::EndRemoval() {
  return SimpleOutput("EndRemoval", m_props.Caps.capSlpPresent,
                      Rule::kAlways, PRN_METHOD_END_REMOVAL, 0, false);
}
long CPOSPrinter::CutPaper(long percentage) {
  const bool able = m_props.Caps.capRecPresent && m_props.Caps.capRecPapercut;
  return SimpleOutput("CutPaper", able, Rule::kSynchronousOnly,
                      PRN_METHOD_CUT_PAPER, percentage, true);
}
long CPOSPrinter::ChangePrintSide(long side) {
  return SimpleOutput("ChangePrintSide", m_props.Caps.capSlpBothSidesPrint,
                      Rule::kAlways, PRN_METHOD_CHANGE_PRINT_SIDE, side, true);
}
long CPOSPrinter::MarkFeed(long type) {
  return SimpleOutput("MarkFeed", m_props.Caps.capRecMarkFeed,
                      Rule::kAlways, PRN_METHOD_MARK_FEED, type, true);
}
long CPOSPrinter::ClearPrintArea() {
  return SimpleOutput("ClearPrintArea", m_props.Caps.capRecPageMode,
                      Rule::kAlways, PRN_METHOD_CLEAR_PRINT_AREA, 0, false);
}

long CPOSPrinter::PrintNormal(long station, BSTR data) {
  const std::string text = BstrToAnsi(data);
  LogCall("PrintNormal", {{"Station", Fmt("%ld", station)}, {"Data", text}});
  if (const long refused = FrameChecks()) return SetResultCode(refused, 0, "PrintNormal");
  if (CheckStation(m_props.Caps, station, 1, 1, true))
    return SetResultCode(OPOS_E_ILLEGAL, 0, "PrintNormal");
  Frame frame = TextFrame(Frame("PrintNormal", station, Rule::kSynchronousOnly, station, 1, 1, 1),
                          m_channel, station, text, &CCommDevice::prePrintNormal,
                          &CCommDevice::executePrintNormal);
  frame.clearsSettingsChanged = true;
  return RunOutputFrame(frame);
}

long CPOSPrinter::PrintImmediate(long station, BSTR data) {
  const std::string text = BstrToAnsi(data);
  LogCall("PrintImmediate", {{"Station", Fmt("%ld", station)}, {"Data", text}});
  if (const long refused = FrameChecks()) return SetResultCode(refused, 0, "PrintImmediate");
  if (CheckStation(m_props.Caps, station, 1, 1, true))
    return SetResultCode(OPOS_E_ILLEGAL, 0, "PrintImmediate");
  Frame frame = TextFrame(Frame("PrintImmediate", station, Rule::kNone, station, 0, 0, 0),
                          m_channel, station, text, &CCommDevice::prePrintImmediate,
                          &CCommDevice::executePrintImmediate);
  // Ahead of every queue and every open buffer, synchronously whatever AsyncMode says.
  frame.finish = [this](PrnInputProperty* r, PrnStationState* s, PrnTokenList* l,
                        PrnPropertySnapshot* p, long* e) {
    FreePropertySnapshot(p);
    long value = 0;
    if (!l) {
      delete s;
      FreePropertyRecord(r);
      return static_cast<long>(OPOS_SUCCESS);
    }
    return m_window->SendAndWait(r, s, l, /*asynchronous=*/false, OUTPUT_QUEUE_IMMEDIATE, &value, e);
  };
  frame.clearsSettingsChanged = true;
  return RunOutputFrame(frame);
}

long CPOSPrinter::PrintTwoNormal(long stations, BSTR data1, BSTR data2) {
  const std::string text1 = BstrToAnsi(data1), text2 = BstrToAnsi(data2);
  LogCall("PrintTwoNormal",
          {{"Stations", Fmt("%ld", stations)}, {"Data1", text1}, {"Data2", text2}});
  if (const long refused = FrameChecks()) return SetResultCode(refused, 0, "PrintTwoNormal");
  const PrnCapabilityBlock& caps = m_props.Caps;
  const bool able = (stations == 3 && caps.capConcurrentJrnRec) ||
                    (stations == 5 && caps.capConcurrentJrnSlp) ||
                    (stations == 6 && caps.capConcurrentRecSlp);
  if (!able) return SetResultCode(OPOS_E_ILLEGAL, 0, "PrintTwoNormal");
  Frame frame("PrintTwoNormal", kStationOfNoArgument, Rule::kSynchronousOnly, -1, 0, 0, 0);
  CCommDevice* c = m_channel;
  frame.pre = [=, &text1, &text2](PrnInputProperty* r, long* e) {
    return c->prePrintTwoNormal(r, stations, text1.c_str(), text2.c_str(), e);
  };
  frame.execute = [=, &text1, &text2](PrnInputProperty* r, PrnStationState* s, PrnTokenList** l,
                                      PrnPropertySnapshot* p) {
    return c->executePrintTwoNormal(r, s, stations, text1.c_str(), text2.c_str(), l, p);
  };
  return RunOutputFrame(frame);
}

long CPOSPrinter::PrintBarCode(long station, BSTR data, long symbology, long height, long width,
                               long alignment, long textPosition) {
  const std::string text = BstrToAnsi(data);
  LogCall("PrintBarCode", {{"Station", Fmt("%ld", station)}, {"Data", text},
                           {"Symbology", Fmt("%ld", symbology)}, {"Height", Fmt("%ld", height)},
                           {"Width", Fmt("%ld", width)}, {"Alignment", Fmt("%ld", alignment)},
                           {"TextPosition", Fmt("%ld", textPosition)}});
  if (const long refused = FrameChecks()) return SetResultCode(refused, 0, "PrintBarCode");
  const PrnCapabilityBlock& caps = m_props.Caps;
  long alignDots = 0;
  if (CheckStation(caps, station, caps.capRecBarCode, caps.capSlpBarCode, false) ||
      ConvertAlignment(alignment, &alignDots))
    return SetResultCode(OPOS_E_ILLEGAL, 0, "PrintBarCode");
  const long heightDots = ToDots(height), widthDots = ToDots(width);
  const long r1 = (m_currentRotation == 0x101 || m_currentRotation == 0x102) ? 1 : 0;
  Frame frame("PrintBarCode", station, Rule::kSynchronousOnly, station, 1, 1, r1);
  CCommDevice* c = m_channel;
  frame.pre = [=, &text](PrnInputProperty* r, long* e) {
    return c->prePrintBarCode(r, station, text.c_str(), symbology, heightDots, widthDots,
                              alignDots, textPosition, e);
  };
  frame.execute = [=, &text](PrnInputProperty* r, PrnStationState* s, PrnTokenList** l,
                             PrnPropertySnapshot* p) {
    return c->executePrintBarCode(r, s, station, text.c_str(), symbology, heightDots, widthDots,
                                  alignDots, textPosition, l, p);
  };
  frame.positionsFromSnapshot = true;
  frame.clearsSettingsChanged = true;
  return RunOutputFrame(frame);
}

// PrintBitmap, PrintMemoryBitmap and SetBitmap: Width (-11 as it is) and Alignment.
long CPOSPrinter::BitmapChecks(long station, long width, long alignment, long* widthDots,
                               long* alignDots) {
  const PrnCapabilityBlock& caps = m_props.Caps;
  if (CheckStation(caps, station, caps.capRecBitmap, caps.capSlpBitmap, false))
    return OPOS_E_ILLEGAL;
  if (ConvertAlignment(alignment, alignDots)) return OPOS_E_ILLEGAL;
  *widthDots = width == kBitmapAsIs ? width : ToDots(width);
  return OPOS_SUCCESS;
}

static long BitmapRotation(const PrnStationState* s) {
  return s && (s->bitmapsRotated90 || s->bitmapsRotated180) ? 1 : 0;
}

long CPOSPrinter::PrintBitmap(long station, BSTR fileName, long width, long alignment) {
  const std::string name = BstrToAnsi(fileName);
  LogCall("PrintBitmap", {{"Station", Fmt("%ld", station)}, {"FileName", name},
                          {"Width", Fmt("%ld", width)}, {"Alignment", Fmt("%ld", alignment)}});
  if (const long refused = FrameChecks()) return SetResultCode(refused, 0, "PrintBitmap");
  long widthDots = 0, alignDots = 0;
  if (BitmapChecks(station, width, alignment, &widthDots, &alignDots))
    return SetResultCode(OPOS_E_ILLEGAL, 0, "PrintBitmap");
  Frame frame("PrintBitmap", station, Rule::kSynchronousOnly, station, 1, 1, 0);
  CCommDevice* c = m_channel;
  frame.pre = [=, &name](PrnInputProperty* r, long* e) {
    return c->prePrintBitmap(r, station, name.c_str(), widthDots, alignDots, e);
  };
  frame.execute = [=, &name](PrnInputProperty* r, PrnStationState* s, PrnTokenList** l,
                             PrnPropertySnapshot* p) {
    return c->executePrintBitmap(r, s, station, name.c_str(), widthDots, alignDots, l, p);
  };
  frame.finish = [this, station](PrnInputProperty* r, PrnStationState* s, PrnTokenList* l,
                                 PrnPropertySnapshot* p, long* e) {
    return SubmitBitmap(r, s, station, l, p, e);
  };
  frame.clearsSettingsChanged = true;
  return RunOutputFrame(frame);
}

long CPOSPrinter::SubmitBitmap(PrnInputProperty* r, PrnStationState* s, long station,
                               PrnTokenList* l, PrnPropertySnapshot* p, long* e) {
  if (!l) return FinishWithoutOutput(r, s, nullptr, p);
  return SubmitOutput(r, s, station, l, p, 1, 1, BitmapRotation(s), e, -1, -1);
}

long CPOSPrinter::PrintMemoryBitmap(long station, BSTR data, long type, long width,
                                    long alignment) {
  const std::string bytes = BstrToAnsi(data);
  LogCall("PrintMemoryBitmap", {{"Station", Fmt("%ld", station)}, {"Type", Fmt("%ld", type)},
                                {"Width", Fmt("%ld", width)},
                                {"Alignment", Fmt("%ld", alignment)}});
  if (const long refused = FrameChecks()) return SetResultCode(refused, 0, "PrintMemoryBitmap");
  long widthDots = 0, alignDots = 0;
  if (BitmapChecks(station, width, alignment, &widthDots, &alignDots))
    return SetResultCode(OPOS_E_ILLEGAL, 0, "PrintMemoryBitmap");
  Frame frame("PrintMemoryBitmap", station, Rule::kSynchronousOnly, station, 1, 1, 0);
  CCommDevice* c = m_channel;
  frame.pre = [=, &bytes](PrnInputProperty* r, long* e) {
    return c->prePrintMemoryBitmap(r, station, bytes.c_str(), type, widthDots, alignDots, e);
  };
  frame.execute = [=, &bytes](PrnInputProperty* r, PrnStationState* s, PrnTokenList** l,
                              PrnPropertySnapshot* p) {
    return c->executePrintMemoryBitmap(r, s, station, bytes.c_str(), type, widthDots, alignDots,
                                       l, p);
  };
  frame.finish = [this, station](PrnInputProperty* r, PrnStationState* s, PrnTokenList* l,
                                 PrnPropertySnapshot* p, long* e) {
    return SubmitBitmap(r, s, station, l, p, e);
  };
  frame.clearsSettingsChanged = true;
  return RunOutputFrame(frame);
}

long CPOSPrinter::SetBitmap(long bitmapNumber, long station, BSTR fileName, long width,
                            long alignment) {
  const std::string name = BstrToAnsi(fileName);
  LogCall("SetBitmap", {{"BitmapNumber", Fmt("%ld", bitmapNumber)},
                        {"Station", Fmt("%ld", station)}, {"FileName", name},
                        {"Width", Fmt("%ld", width)}, {"Alignment", Fmt("%ld", alignment)}});
  if (const long refused = FrameChecks()) return SetResultCode(refused, 0, "SetBitmap");
  long widthDots = 0, alignDots = 0;
  if (BitmapChecks(station, width, alignment, &widthDots, &alignDots))
    return SetResultCode(OPOS_E_ILLEGAL, 0, "SetBitmap");
  Frame frame("SetBitmap", station, Rule::kAlways, station, 0, 0, 0);
  CCommDevice* c = m_channel;
  frame.pre = [=, &name](PrnInputProperty* r, long* e) {
    return c->preSetBitmap(r, bitmapNumber, station, name.c_str(), widthDots, alignDots, e);
  };
  frame.execute = [=, &name](PrnInputProperty* r, PrnStationState* s, PrnTokenList** l,
                             PrnPropertySnapshot* p) {
    return c->executeSetBitmap(r, s, bitmapNumber, station, name.c_str(), widthDots, alignDots,
                               l, p);
  };
  frame.finish = [this](PrnInputProperty* r, PrnStationState* s, PrnTokenList* l,
                        PrnPropertySnapshot* p, long*) { return FinishWithoutOutput(r, s, l, p); };
  return RunOutputFrame(frame);
}

long CPOSPrinter::FinishWithoutOutput(PrnInputProperty* r, PrnStationState* s, PrnTokenList* l,
                                      PrnPropertySnapshot* p) {
  if (l) (void)m_channel->ReleaseSubSOData(l);
  delete s;
  FreePropertyRecord(r);
  FreePropertySnapshot(p);
  return OPOS_SUCCESS;
}

long CPOSPrinter::SetLogo(long location, BSTR data) {
  const std::string text = BstrToAnsi(data);
  LogCall("SetLogo", {{"Location", Fmt("%ld", location)}, {"Data", text}});
  Frame frame = TextFrame(Frame("SetLogo", kStationOfNoArgument, Rule::kAlways, -1, 0, 0, 0),
                          m_channel, location, text, &CCommDevice::preSetLogo,
                          &CCommDevice::executeSetLogo);
  frame.finish = [this, location](PrnInputProperty* r, PrnStationState* s, PrnTokenList* l,
                                  PrnPropertySnapshot* p, long*) {
    PrnTokenList* top = m_channel->TopLogo();
    PrnTokenList* bottom = m_channel->BottomLogo();
    PrnTokenList*& replaced = location == 1 ? top : bottom;
    if (replaced) (void)m_channel->ReleaseSubSOData(replaced);
    replaced = l;
    m_channel->SetLogos(top, bottom);
    return FinishWithoutOutput(r, s, nullptr, p);
  };
  return RunOutputFrame(frame);
}

long CPOSPrinter::ValidateData(long station, BSTR data) {
  const std::string text = BstrToAnsi(data);
  LogCall("ValidateData", {{"Station", Fmt("%ld", station)}, {"Data", text}});
  Frame frame = TextFrame(Frame("ValidateData", station, Rule::kNone, station, 0, 0, 0),
                          m_channel, station, text, &CCommDevice::preValidateData,
                          &CCommDevice::executeValidateData);
  frame.finish = [this](PrnInputProperty* r, PrnStationState* s, PrnTokenList* l,
                        PrnPropertySnapshot* p, long*) { return FinishWithoutOutput(r, s, l, p); };
  return RunOutputFrame(frame);
}

long CPOSPrinter::DrawRuledLine(long station, BSTR positionList, long lineDirection,
                                long lineWidth, long lineStyle, long lineColor) {
  const std::string list = BstrToAnsi(positionList);
  LogCall("DrawRuledLine", {{"Station", Fmt("%ld", station)}, {"PositionList", list},
                            {"LineDirection", Fmt("%ld", lineDirection)},
                            {"LineWidth", Fmt("%ld", lineWidth)},
                            {"LineStyle", Fmt("%ld", lineStyle)},
                            {"LineColor", Fmt("%ld", lineColor)}});
  if (const long refused = FrameChecks()) return SetResultCode(refused, 0, "DrawRuledLine");
  const PrnCapabilityBlock& caps = m_props.Caps;
  if (CheckStation(caps, station, caps.capRecRuledLine, caps.capSlpRuledLine, false))
    return SetResultCode(OPOS_E_ILLEGAL, 0, "DrawRuledLine");
  Frame frame("DrawRuledLine", station, Rule::kSynchronousOnly, station, 1, 0, 0);
  CCommDevice* c = m_channel;
  auto positions = std::make_shared<std::vector<long>>();
  const long mapMode = m_props.MapMode, dpi = m_resolution;
  // After the pre phase, as the sub-module validates the arguments first.
  frame.pre = [=, &list](PrnInputProperty* r, long* e) {
    const long result = c->preDrawRuledLine(r, station, list.c_str(), lineDirection, lineWidth,
                                            lineStyle, lineColor, e);
    if (result != OPOS_SUCCESS) return result;
    return CCommDevice::CheckRuledLinePositions(list.c_str(), positions.get(), lineDirection,
                                                mapMode, dpi);
  };
  frame.execute = [=](PrnInputProperty* r, PrnStationState* s, PrnTokenList** l,
                      PrnPropertySnapshot* p) {
    const PrnPositionArray array{positions->data(), static_cast<long>(positions->size())};
    return c->executeDrawRuledLine(r, s, station, &array, lineDirection, lineWidth, lineStyle,
                                   lineColor, l, p);
  };
  frame.positionsFromSnapshot = true;
  return RunOutputFrame(frame);
}
