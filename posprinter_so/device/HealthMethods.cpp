// CheckHealth at its three levels, DirectIO, and the statistics and firmware methods: the
// method frame, with the ends that set CheckHealthText, show the check-health dialog or
// hand DirectIO's own flags to the submission.
#include <string>

#include "BstrText.h"
#include "CheckHealthDlg.h"
#include "CommDevice.h"
#include "HiddenWindow.h"
#include "LogContext.h"
#include "OposCodes.h"
#include "POSPrinter.h"
#include "PrinterSubIds.h"

namespace {

enum : long { kInternal = 1, kExternal = 2, kInteractive = 3 };
enum : long { kStateClosed = 1 };
constexpr long kStationOfNoArgument = 0;

constexpr char kInternalSuccessful[] = "Internal HCheck: Successful";
constexpr char kExternalSuccessful[] = "External HCheck: Successful";
constexpr char kExternalFailure[] = "External HCheck: Failure";
constexpr char kInteractiveCanceled[] = "Interactive HCheck: Canceled";
constexpr char kInteractiveSuccessful[] = "Interactive HCheck: Successful";
constexpr char kInteractiveFailure[] = "Interactive HCheck: Failure";

using Rule = CPOSPrinter::BusyRule;
using Frame = CPOSPrinter::COutputFrame;

// Submitted to the station named by the list's first word, outside any open buffer.
Frame StationZeroFrame(const char* tag, Rule busy) {
  return Frame(tag, kStationOfNoArgument, busy, /*submitStation=*/-1);
}

}  // namespace

void CPOSPrinter::SetCheckHealthText(const char* text) {
  std::lock_guard<std::mutex> hold(m_recordLock);
  m_props.CheckHealthText = text;
}

long CPOSPrinter::CheckHealth(long level) {
  static const char kTag[] = "CheckHealth";
  LogCall(kTag, {{"Level", Fmt("%ld", level)}});
  if (const long refused = FrameChecks()) return SetResultCode(refused, 0, kTag);
  long extended = 0;
  PrnInputProperty* record = CreateInputProperty();
  long result = m_channel->preCheckHealth(record, level, &extended);
  if (result != OPOS_SUCCESS) {
    FreePropertyRecord(record);
    return SetResultCode(result, extended, kTag);
  }
  // The external check waits for the printer whatever AsyncMode says.
  const bool waits = record->asyncMode == 0 || level == kExternal;
  if (const long busy = BusyErrorRefusal(BusyRule::kAlways, record->state, waits)) {
    FreePropertyRecord(record);
    return SetResultCode(busy, 0, kTag);
  }
  if (level == kInteractive) {
    FreePropertyRecord(record);
    result = DoInteractiveCheckHealth(&extended);
    return SetResultCode(result, extended, kTag);
  }
  if (level != kInternal && level != kExternal) {
    FreePropertyRecord(record);
    return SetResultCode(OPOS_SUCCESS, 0, kTag);
  }
  PrnPropertySnapshot* snapshot = BuildPropertySnapshot(record);
  PrnStationState* stationState = m_window->NewOutputRequest(kStationOfNoArgument,
                                                             CurrentRotation());
  PrnTokenList* list = nullptr;
  result = m_channel->executeCheckHealth(record, stationState, level, &list, snapshot);
  if (result != OPOS_SUCCESS || level == kInternal || !list) {
    long code = OPOS_SUCCESS;
    if (result != OPOS_SUCCESS) {
      code = FailedExecuteCode(snapshot, result);
      extended = snapshot->resultCodeExtended;
    }
    // A failure's CheckHealthText is the one the sub-module wrote into the snapshot.
    (void)FinishWithoutOutput(record, stationState, list, snapshot);
    if (result == OPOS_SUCCESS && level == kInternal) SetCheckHealthText(kInternalSuccessful);
    return SetResultCode(code, extended, kTag);
  }
  // The external check prints at once and waits, outside any open buffer and whatever
  // AsyncMode says.
  FreePropertySnapshot(snapshot);
  long value = 0;
  result = m_window->SendAndWait(record, stationState, list, /*asynchronous=*/false,
                                 OUTPUT_QUEUE_NORMAL, &value, &extended);
  SetCheckHealthText(result == OPOS_SUCCESS ? kExternalSuccessful : kExternalFailure);
  return SetResultCode(result, extended, kTag);
}

long CPOSPrinter::DoInteractiveCheckHealth(long* resultCodeExtended) {
  CCheckHealthDlg& dialog = CCheckHealthDlg::Module();
  // Already showing for another service object: its current codes are the answer.
  (void)dialog.DoModal(this);
  const long result = dialog.GetResultCode();
  if (dialog.GetRunFlag() != 1)
    SetCheckHealthText(kInteractiveCanceled);
  else
    SetCheckHealthText(result != OPOS_SUCCESS ? kInteractiveFailure : kInteractiveSuccessful);
  *resultCodeExtended = dialog.GetResultCodeExtended();
  return result;
}

long CPOSPrinter::RunInteractiveCheckHealth(long* resultCodeExtended) {
  *resultCodeExtended = 0;
  // The dialog is modal on the Control Object's thread, whose event handlers may have
  // closed, released or disabled the device meanwhile, or queued output ahead of the run.
  if (GetState() == kStateClosed) return OPOS_E_CLOSED;
  if (const long refused = FrameChecks()) return refused;
  PrnInputProperty* record = CreateInputProperty();
  // The run is synchronous whatever AsyncMode says, so it follows that form of the rule.
  if (const long busy = BusyErrorRefusal(BusyRule::kAlways, record->state, /*waits=*/true)) {
    FreePropertyRecord(record);
    return busy;
  }
  return ExecuteInteractiveCheckHealth(record, resultCodeExtended);
}

long CPOSPrinter::ExecuteInteractiveCheckHealth(PrnInputProperty* record,
                                                long* resultCodeExtended) {
  *resultCodeExtended = 0;
  PrnTokenList* list = nullptr;
  PrnPropertySnapshot* snapshot = BuildPropertySnapshot(record);
  PrnStationState* stationState = m_window->NewOutputRequest(kStationOfNoArgument,
                                                             CurrentRotation());
  long result = m_channel->executeCheckHealth(record, stationState, kInteractive, &list,
                                              snapshot);
  if (result != OPOS_SUCCESS || !list) {
    if (result != OPOS_SUCCESS) {
      result = FailedExecuteCode(snapshot, result);
      *resultCodeExtended = snapshot->resultCodeExtended;
    }
    (void)FinishWithoutOutput(record, stationState, list, snapshot);
    return result;
  }
  FreePropertySnapshot(snapshot);
  long value = 0;
  return m_window->SendAndWait(record, stationState, list, /*asynchronous=*/false,
                               OUTPUT_QUEUE_NORMAL, &value, resultCodeExtended);
}

long CPOSPrinter::DirectIO(long command, long* data, BSTR* text) {
  static const char kTag[] = "DirectIO";
  LogCall(kTag, {{"Command", Fmt("%ld", command)},
                 {"pData", data ? Fmt("%ld", *data) : std::string("NULL")},
                 {"pString", text ? BstrToAnsi(*text) : std::string("NULL")}});
  Frame frame = StationZeroFrame(kTag, Rule::kNone);
  CCommDevice* c = m_channel;
  PrnDirectIOFlags flags = {};
  frame.pre = [=](PrnInputProperty* r, long* e) {
    const long accepted = c->preDirectIO(r, command, data, text, e);
    if (accepted != OPOS_SUCCESS) return accepted;
    // A synchronous DirectIO that prints would wait behind pending asynchronous output,
    // whose error only this thread can answer.
    if (r->asyncMode == 0 && c->HasPendingOutput()) {
      *e = 0;
      return static_cast<long>(OPOS_E_BUSY);
    }
    return static_cast<long>(OPOS_SUCCESS);
  };
  frame.execute = [&flags, c, command, data, text](PrnInputProperty* r, PrnStationState* s,
                                                   PrnTokenList** l, PrnPropertySnapshot* p) {
    return c->executeDirectIO(r, s, command, data, text, &flags, l, p);
  };
  frame.finish = [this, &flags](PrnInputProperty* r, PrnStationState* s, PrnTokenList* l,
                                PrnPropertySnapshot* p, long* e) {
    if (!l) return FinishWithoutOutput(r, s, l, p);
    delete s;
    s = m_window->NewOutputRequest(l->station, CurrentRotation());
    return SubmitOutput(r, s, l->station, l, p, flags.useTransaction, flags.usePageMode,
                        flags.useRotation, e, -1, -1);
  };
  return RunOutputFrame(frame);
}

long CPOSPrinter::CompareFirmwareVersion(BSTR firmwareFileName, long* result) {
  static const char kTag[] = "CompareFirmwareVersion";
  const std::string fileName = BstrToAnsi(firmwareFileName);
  LogCall(kTag, {{"FirmwareFileName", fileName}});
  Frame frame = StationZeroFrame(kTag, Rule::kAlways);
  CCommDevice* c = m_channel;
  frame.pre = [=](PrnInputProperty* r, long* e) {
    return c->preCompareFirmwareVersion(r, fileName.c_str(), result, e);
  };
  frame.execute = [=](PrnInputProperty* r, PrnStationState* s, PrnTokenList** l,
                      PrnPropertySnapshot* p) {
    return c->executeCompareFirmwareVersion(r, s, fileName.c_str(), result, l, p);
  };
  return RunOutputFrame(frame);
}

long CPOSPrinter::StatisticsMethod(const char* tag, bool capable, bool prints,
                                   const std::string& buffer, long methodId) {
  LogCall(tag, {{"Buffer", buffer}});
  if (const long refused = FrameChecks()) return SetResultCode(refused, 0, tag);
  if (!capable) return SetResultCode(OPOS_E_ILLEGAL, 0, tag);
  Frame frame = StationZeroFrame(tag, Rule::kAlways);
  CCommDevice* c = m_channel;
  frame.pre = [=](PrnInputProperty* r, long* e) {
    switch (methodId) {
      case PRN_METHOD_RESET_STATISTICS: return c->preResetStatistics(r, buffer.c_str(), e);
      case PRN_METHOD_UPDATE_FIRMWARE: return c->preUpdateFirmware(r, buffer.c_str(), e);
      default: return c->preUpdateStatistics(r, buffer.c_str(), e);
    }
  };
  frame.execute = [=](PrnInputProperty* r, PrnStationState* s, PrnTokenList** l,
                      PrnPropertySnapshot* p) {
    switch (methodId) {
      case PRN_METHOD_RESET_STATISTICS:
        return c->executeResetStatistics(r, s, buffer.c_str(), l, p);
      case PRN_METHOD_UPDATE_FIRMWARE:
        return c->executeUpdateFirmware(r, s, buffer.c_str(), l, p);
      default: return c->executeUpdateStatistics(r, s, buffer.c_str(), l, p);
    }
  };
  if (!prints) {
    frame.finish = [this](PrnInputProperty* r, PrnStationState* s, PrnTokenList* l,
                          PrnPropertySnapshot* p, long*) { return FinishWithoutOutput(r, s, l, p); };
  }
  return RunOutputFrame(frame);
}

long CPOSPrinter::ResetStatistics(BSTR statisticsBuffer) {
  const PrnCapabilityBlock& caps = m_props.Caps;
  return StatisticsMethod("ResetStatistics",
                          caps.capStatisticsReporting && caps.capUpdateStatistics, false,
                          BstrToAnsi(statisticsBuffer), PRN_METHOD_RESET_STATISTICS);
}

long CPOSPrinter::UpdateStatistics(BSTR statisticsBuffer) {
  const PrnCapabilityBlock& caps = m_props.Caps;
  return StatisticsMethod("UpdateStatistics",
                          caps.capStatisticsReporting && caps.capUpdateStatistics, true,
                          BstrToAnsi(statisticsBuffer), PRN_METHOD_UPDATE_STATISTICS);
}

long CPOSPrinter::UpdateFirmware(BSTR firmwareFileName) {
  return StatisticsMethod("UpdateFirmware", m_props.Caps.capUpdateFirmware != 0, true,
                          BstrToAnsi(firmwareFileName), PRN_METHOD_UPDATE_FIRMWARE);
}

long CPOSPrinter::RetrieveStatistics(BSTR* statisticsBuffer) {
  static const char kTag[] = "RetrieveStatistics";
  LogCall(kTag, {{"Buffer", statisticsBuffer ? BstrToAnsi(*statisticsBuffer)
                                             : std::string("NULL")}});
  if (const long refused = FrameChecks()) return SetResultCode(refused, 0, kTag);
  if (!m_props.Caps.capStatisticsReporting) return SetResultCode(OPOS_E_ILLEGAL, 0, kTag);
  Frame frame = StationZeroFrame(kTag, Rule::kAlways);
  CCommDevice* c = m_channel;
  frame.pre = [=](PrnInputProperty* r, long* e) {
    return c->preRetrieveStatistics(r, statisticsBuffer, e);
  };
  frame.execute = [=](PrnInputProperty* r, PrnStationState* s, PrnTokenList** l,
                      PrnPropertySnapshot* p) {
    return c->executeRetrieveStatistics(r, s, statisticsBuffer, l, p);
  };
  frame.finish = [this](PrnInputProperty* r, PrnStationState* s, PrnTokenList* l,
                        PrnPropertySnapshot* p, long*) { return FinishWithoutOutput(r, s, l, p); };
  return RunOutputFrame(frame);
}
