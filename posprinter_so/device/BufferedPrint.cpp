// TransactionPrint, RotatePrint and PageModePrint, which open and close the hidden
// window's station buffers, and ClearOutput, which drops all output and recovers the
// printer.
#include <string>

#include "CommDevice.h"
#include "HiddenWindow.h"
#include "LogContext.h"
#include "OposCodes.h"
#include "POSPrinter.h"

namespace {

enum : long { kStateBusy = 3 };
enum : long { kTransactionBegin = 11 };
enum : long { kPageBegin = 1, kPageCancel = 4 };
enum : long {
  kRotateNormal = 1,
  kRight90 = 0x101,
  kLeft90 = 0x102,
  kRotate180 = 0x103,
  kBarCodeBit = 0x1000,
  kBitmapBit = 0x2000,
};
constexpr DWORD kRecoveryStepMs = 100;
constexpr int kOfflineSteps = 99;
constexpr int kOnlineSteps = 299;
constexpr long kPowerOnline = 2001;

bool ListHas(const std::string& list, const char* item) {
  size_t from = 0;
  for (;;) {
    const size_t to = list.find(',', from);
    std::string field = list.substr(from, to == std::string::npos ? to : to - from);
    while (!field.empty() && field.front() == ' ') field.erase(field.begin());
    while (!field.empty() && field.back() == ' ') field.pop_back();
    if (field == item) return true;
    if (to == std::string::npos) return false;
    from = to + 1;
  }
}

}  // namespace

// The asynchronous answer of a closing buffer: an OutputID only when a request was queued
// (a buffer that went into an open transaction has none).
static void TakeOutputId(CPOSPrinter& so, CPropertyCache& props, bool asynchronous,
                         long result, long outputId) {
  if (!asynchronous || result != OPOS_SUCCESS || outputId <= 0) return;
  props.OutputID = outputId;
  so.SetState(kStateBusy);
}

long CPOSPrinter::TransactionPrint(long station, long control) {
  LogCall("TransactionPrint", {{"Station", Fmt("%ld", station)}, {"Control", Fmt("%ld", control)}});
  if (const long refused = FrameChecks()) return SetResultCode(refused, 0, "TransactionPrint");
  const PrnCapabilityBlock& caps = m_props.Caps;
  const bool present = (station == PRN_STATION_JOURNAL && caps.capJrnPresent) ||
                       (station == PRN_STATION_RECEIPT && caps.capRecPresent) ||
                       (station == PRN_STATION_SLIP && caps.capSlpPresent);
  if (!present || !caps.capTransaction) return SetResultCode(OPOS_E_ILLEGAL, 0, "TransactionPrint");
  COutputFrame frame("TransactionPrint", station, BusyRule::kSynchronousOnly, station);
  CCommDevice* c = m_channel;
  frame.pre = [=](PrnInputProperty* r, long* e) { return c->preTransactionPrint(r, station, control, e); };
  frame.execute = [=](PrnInputProperty* r, PrnStationState* s, PrnTokenList** l,
                      PrnPropertySnapshot* p) {
    return c->executeTransactionPrint(r, s, station, control, l, p);
  };
  frame.finish = [=](PrnInputProperty* r, PrnStationState* s, PrnTokenList* l,
                     PrnPropertySnapshot* p, long* e) {
    if (l) (void)m_channel->ReleaseSubSOData(l);
    return control == kTransactionBegin ? BeginTransactionBuffer(r, s, p, station)
                                        : EndTransactionBuffer(r, s, p, station, e);
  };
  return RunOutputFrame(frame);
}

long CPOSPrinter::BeginTransactionBuffer(PrnInputProperty* r, PrnStationState* s,
                                         PrnPropertySnapshot* p, long station) {
  if (m_window->BeginTransaction(station) == 1) {
    // The open transaction is dropped; it takes the two records with it, so from here on
    // nothing may hand them on again.
    (void)m_window->EndStationBuffer(r, s, station, /*send=*/false, false, OUTPUT_QUEUE_NORMAL,
                                     nullptr, nullptr);
    r = nullptr;
    s = nullptr;
    (void)m_window->BeginTransaction(station);
  }
  if (station == PRN_STATION_RECEIPT) {
    long unused = 0, unusedExtended = 0;
    (void)m_window->SendStation(r, s, p, station, kRotateNormal, /*print=*/false, false,
                                OUTPUT_QUEUE_NORMAL, &unused, &unusedExtended);
    CRJDevice::CStationModes& modes = m_window->Modes();
    modes.rotatedPrint = modes.upsideDown = modes.bitmapsRotated90 = modes.bitmapsRotated180 = 0;
    m_currentRotation = kRotateNormal;
    return OPOS_SUCCESS;
  }
  return FinishWithoutOutput(r, s, nullptr, p);
}

long CPOSPrinter::EndTransactionBuffer(PrnInputProperty* r, PrnStationState* s,
                                       PrnPropertySnapshot* p, long station, long* extended) {
  if (station == PRN_STATION_RECEIPT && m_window->RotationList()) {
    // The rotated output joins the transaction before it closes.
    (void)RotatePrint(PRN_STATION_RECEIPT, kRotateNormal);
    m_window->Modes().rotatedPrint = 0;
    s->rotationBuffer = nullptr;
    s->rotatedPrint = 0;
  }
  FreePropertySnapshot(p);
  const bool asynchronous = r->asyncMode != 0;
  long outputId = 0;
  const long result = m_window->EndStationBuffer(r, s, station, /*send=*/true, asynchronous,
                                                 OUTPUT_QUEUE_NORMAL, &outputId, extended);
  if (result == -1) {
    *extended = 0;
    return OPOS_SUCCESS;
  }
  TakeOutputId(*this, m_props, asynchronous, result, outputId);
  return result;
}

bool CPOSPrinter::RotationAccepted(long station, long rotation) const {
  if (rotation == kRotateNormal) return true;
  const PrnCapabilityBlock& caps = m_props.Caps;
  const bool receipt = station == PRN_STATION_RECEIPT;
  const long direction = rotation & ~(kBarCodeBit | kBitmapBit);
  const char* item = nullptr;
  bool able = false;
  if (direction == kRight90) {
    able = receipt ? caps.capRecRight90 : caps.capSlpRight90;
    item = "R90";
  } else if (direction == kLeft90) {
    able = receipt ? caps.capRecLeft90 : caps.capSlpLeft90;
    item = "L90";
  } else if (direction == kRotate180) {
    able = receipt ? caps.capRecRotate180 : caps.capSlpRotate180;
    item = "180";
  }
  if (!able) return false;
  const std::string& barcodes = receipt ? m_props.RecBarCodeRotationList : m_props.SlpBarCodeRotationList;
  const std::string& bitmaps = receipt ? m_props.RecBitmapRotationList : m_props.SlpBitmapRotationList;
  if ((rotation & kBarCodeBit) && !ListHas(barcodes, item)) return false;
  if ((rotation & kBitmapBit) && !ListHas(bitmaps, item)) return false;
  return true;
}

long CPOSPrinter::RotatePrint(long station, long rotation) {
  static const char kTag[] = "RotatePrint";
  LogCall(kTag, {{"Station", Fmt("%ld", station)}, {"Rotation", Fmt("%ld", rotation)}});
  if (const long refused = FrameChecks()) return SetResultCode(refused, 0, kTag);
  const bool present = (station == PRN_STATION_RECEIPT && m_props.Caps.capRecPresent) ||
                       (station == PRN_STATION_SLIP && m_props.Caps.capSlpPresent);
  if (!present || !RotationAccepted(station, rotation)) return SetResultCode(OPOS_E_ILLEGAL, 0, kTag);
  long extended = 0;
  PrnInputProperty* record = CreateInputProperty();
  long result = m_channel->preRotatePrint(record, station, rotation, &extended);
  if (result == OPOS_SUCCESS) result = BusyErrorRefusal(BusyRule::kSynchronousOnly, record);
  if (result == OPOS_SUCCESS && m_window->PageModeList()) result = OPOS_E_ILLEGAL;
  if (result != OPOS_SUCCESS) {
    FreePropertyRecord(record);
    return SetResultCode(result, result == OPOS_E_BUSY ? 0 : extended, kTag);
  }
  CRJDevice::CStationModes& modes = m_window->Modes();
  const long direction = rotation & 0x1FF;
  const bool open = m_window->RotationList() != nullptr;
  const bool conflict = (direction == kRight90 && (modes.upsideDown || (open && modes.rotatedDirection == 1))) ||
                        (direction == kLeft90 && (modes.upsideDown || (open && modes.rotatedDirection == 0))) ||
                        (direction == kRotate180 && open);
  if (conflict) {
    result = EndRotatedPrint(record, station, &extended);
    if (result != OPOS_SUCCESS) return SetResultCode(result, extended, kTag);
  } else {
    FreePropertyRecord(record);
  }
  // The rotation words of the table of rotations.
  const bool barcodes = (rotation & kBarCodeBit) != 0, bitmaps = (rotation & kBitmapBit) != 0;
  m_currentRotation = barcodes && direction != kRotateNormal ? direction : kRotateNormal;
  modes.bitmapsRotated90 = bitmaps && (direction == kRight90 || direction == kLeft90) ? 1 : 0;
  if (bitmaps && direction == kRight90) modes.bitmapDirectionLeft = 0;
  if (bitmaps && direction == kLeft90) modes.bitmapDirectionLeft = 1;
  modes.bitmapsRotated180 = bitmaps && direction == kRotate180 ? 1 : 0;

  record = CreateInputProperty();
  if (direction == kRotateNormal) {
    result = EndRotatedPrint(record, station, &extended);
    return SetResultCode(result, extended, kTag);
  }
  if (direction == kRotate180) {
    modes.upsideDown = 1;
    FreePropertyRecord(record);
    return SetResultCode(OPOS_SUCCESS, 0, kTag);
  }
  PrnPropertySnapshot* snapshot = BuildPropertySnapshot(record);
  PrnStationState* stationState = m_window->NewOutputRequest(station, m_currentRotation);
  const long begun = m_window->BeginRotatePrint(record, stationState, snapshot, station, rotation,
                                                direction == kLeft90 ? 1 : 0);
  (void)FinishWithoutOutput(record, stationState, nullptr, snapshot);
  return SetResultCode(begun == 2 ? OPOS_E_ILLEGAL : OPOS_SUCCESS, 0, kTag);
}

long CPOSPrinter::EndRotatedPrint(PrnInputProperty* record, long station, long* extended) {
  *extended = 0;
  PrnPropertySnapshot* snapshot = BuildPropertySnapshot(record);
  PrnStationState* stationState = m_window->NewOutputRequest(station, m_currentRotation);
  if (station == PRN_STATION_RECEIPT && m_window->RotationList()) {
    const bool asynchronous = record->asyncMode != 0;
    long outputId = 0;
    const long result = m_window->SendStation(record, stationState, snapshot, station,
                                              kRotateNormal, /*print=*/true, asynchronous,
                                              OUTPUT_QUEUE_NORMAL, &outputId, extended);
    TakeOutputId(*this, m_props, asynchronous, result, outputId);
    return result;
  }
  m_window->Modes().upsideDown = 0;
  return FinishWithoutOutput(record, stationState, nullptr, snapshot);
}

long CPOSPrinter::PageModePrint(long control) {
  static const char kTag[] = "PageModePrint";
  LogCall(kTag, {{"Control", Fmt("%ld", control)}});
  if (const long refused = FrameChecks()) return SetResultCode(refused, 0, kTag);
  const PrnCapabilityBlock& caps = m_props.Caps;
  const long pageStation = m_props.PageModeStation;
  const bool able = (pageStation == PRN_STATION_RECEIPT && caps.capRecPresent && caps.capRecPageMode) ||
                    (pageStation == PRN_STATION_SLIP && caps.capSlpPresent && caps.capSlpPageMode);
  if (!able) return SetResultCode(OPOS_E_ILLEGAL, 0, kTag);
  long extended = 0;
  PrnInputProperty* record = CreateInputProperty();
  long result = m_channel->prePageModePrint(record, control, &extended);
  if (result == OPOS_SUCCESS) {
    result = BusyErrorRefusal(BusyRule::kSynchronousOnly, record);
    extended = 0;
  }
  const CRJDevice::CStationModes& modes = m_window->Modes();
  if (result == OPOS_SUCCESS &&
      (pageStation != PRN_STATION_RECEIPT || m_window->RotationList() || modes.upsideDown))
    result = OPOS_E_ILLEGAL;
  if (result != OPOS_SUCCESS) {
    FreePropertyRecord(record);
    return SetResultCode(result, extended, kTag);
  }
  PrnPropertySnapshot* snapshot = BuildPropertySnapshot(record);
  PrnStationState* stationState = m_window->NewOutputRequest(PRN_STATION_RECEIPT, m_currentRotation);
  long outputId = 0;
  if (control == kPageBegin) {
    if (m_window->BeginPageMode(record, stationState, snapshot, PRN_STATION_RECEIPT, control) == 1) {
      // The open page is dropped (it takes these records), then a new one opens.
      (void)m_window->FlushStation(record, stationState, snapshot, PRN_STATION_RECEIPT,
                                   kPageCancel, false, OUTPUT_QUEUE_NORMAL, &outputId, &extended);
      record = CreateInputProperty();
      snapshot = BuildPropertySnapshot(record);
      stationState = m_window->NewOutputRequest(PRN_STATION_RECEIPT, m_currentRotation);
      (void)m_window->BeginPageMode(record, stationState, snapshot, PRN_STATION_RECEIPT, control);
    }
    (void)FinishWithoutOutput(record, stationState, nullptr, snapshot);
    return SetResultCode(OPOS_SUCCESS, 0, kTag);
  }
  const bool asynchronous = record->asyncMode != 0;
  result = m_window->FlushStation(record, stationState, snapshot, PRN_STATION_RECEIPT, control,
                                  asynchronous, OUTPUT_QUEUE_NORMAL, &outputId, &extended);
  if (result == -1) return SetResultCode(OPOS_SUCCESS, 0, kTag);
  TakeOutputId(*this, m_props, asynchronous, result, outputId);
  return SetResultCode(result, extended, kTag);
}

void CPOSPrinter::DiscardStationBuffers() {
  if (!m_window) return;
  long unused = 0, unusedExtended = 0;
  (void)m_window->FlushStation(nullptr, nullptr, nullptr, PRN_STATION_RECEIPT, kPageCancel,
                               false, OUTPUT_QUEUE_NORMAL, &unused, &unusedExtended);
  m_window->ResetStationModes();
  CRJDevice::CStationModes& modes = m_window->Modes();
  const long keptRotated90 = modes.bitmapsRotated90;
  modes = CRJDevice::CStationModes();
  modes.bitmapsRotated90 = keptRotated90;
  m_currentRotation = kRotateNormal;
}

long CPOSPrinter::ClearOutput() {
  static const char kTag[] = "ClearOutput";
  LogCall(kTag, {});
  COutputFrame frame(kTag, /*recordStation=*/0, BusyRule::kErrorOnly, /*submitStation=*/0);
  CCommDevice* c = m_channel;
  frame.pre = [=](PrnInputProperty* r, long* e) { return c->preClearOutput(r, e); };
  frame.execute = [=](PrnInputProperty* r, PrnStationState* s, PrnTokenList** l,
                      PrnPropertySnapshot* p) { return c->executeClearOutput(r, s, l, p); };
  frame.finish = [this](PrnInputProperty* r, PrnStationState* s, PrnTokenList* l,
                        PrnPropertySnapshot* p, long*) {
    (void)FinishWithoutOutput(r, s, l, p);
    m_channel->ClearAllQueues();
    DiscardStationBuffers();
    (void)PurgeEventQueue();
    RestorePrinterAfterClear();
    m_channel->DropOwedAnswers();  // the reset took everything the printer had not answered
    // A request cleared before the send thread took it brings no idle notice.
    SetStateIdleWhenDrained();
    return static_cast<long>(OPOS_SUCCESS);
  };
  return RunOutputFrame(frame);
}

void CPOSPrinter::RestorePrinterAfterClear() {
  static const char kFn[] = "CPOSPrinter::ClearOutput";
  m_props.OfflineSeen = 0;
  // Reports of the printer's own power state, latched: a status poll that reports nothing
  // is no sign of the reset, and an online report from before it no sign of its end.
  m_offlineAfterReset.store(0);
  m_onlineAfterReset.store(0);
  const long reset = m_window->RestorePrinter();
  if (reset != 0) {
    Log(LOG_ERROR, kFn, __LINE__, TAG_INFO, "RestorePrinter error", Fmt("%ld", reset));
    return;
  }
  int offlineLeft = kOfflineSteps;
  while (!m_offlineAfterReset.load() && offlineLeft > 0) {
    Sleep(kRecoveryStepMs);
    --offlineLeft;
  }
  const bool offline = m_offlineAfterReset.load() != 0;
  if (!offline) {
    Log(LOG_ERROR, kFn, __LINE__, TAG_INFO, "RestorePrinter error(Offline)");
    // A printer that stays online through its reset reports no change to online: its last
    // report stands.
    if (m_powerReport.load() == kPowerOnline) return;
  }
  int onlineLeft = kOnlineSteps;
  while (!m_onlineAfterReset.load() && onlineLeft > 0) {
    Sleep(kRecoveryStepMs);
    --onlineLeft;
  }
  if (!m_onlineAfterReset.load()) {
    Log(LOG_ERROR, kFn, __LINE__, TAG_INFO, "RestorePrinter error(Online)");
    return;
  }
  if (offline) {
    Log(LOG_INFO, kFn, __LINE__, TAG_INFO, "Device recovery",
        Fmt("%.1f", (400 - offlineLeft - onlineLeft) / 10.0));
  }
}
