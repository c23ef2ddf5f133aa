// The one frame of every OPOS method that reaches the printer, and the submission of its
// command-token list to an open station buffer or to the output queue.
#include "CommDevice.h"
#include "HiddenWindow.h"
#include "LogContext.h"
#include "OposCodes.h"
#include "POSPrinter.h"

namespace {

enum : long { kStateIdle = 2, kStateBusy = 3, kStateError = 4 };

}  // namespace

long CPOSPrinter::BusyErrorRefusal(BusyRule rule, const PrnInputProperty* record) {
  return BusyErrorRefusal(rule, record->state, /*waits=*/record->asyncMode == 0);
}

long CPOSPrinter::BusyErrorRefusal(BusyRule rule, long state, bool waits) {
  switch (rule) {
    case BusyRule::kSynchronousOnly:
      if (state == kStateError || (waits && state == kStateBusy)) return OPOS_E_BUSY;
      break;
    case BusyRule::kAlways:
      if (state == kStateError || state == kStateBusy) return OPOS_E_BUSY;
      break;
    case BusyRule::kErrorOnly:
      return state == kStateError ? OPOS_E_BUSY : OPOS_SUCCESS;
    case BusyRule::kNone:
      return OPOS_SUCCESS;
  }
  // State may read idle while asynchronous output is still queued (a late idle notice, a
  // disable that answered 113): a wait then would hold the thread that has to answer that
  // output's error.
  if (waits && m_channel->HasPendingOutput()) return OPOS_E_BUSY;
  return OPOS_SUCCESS;
}

void CPOSPrinter::SetStateIdleWhenDrained() {
  if (!m_channel->HasPendingOutput()) SetState(kStateIdle);
}

long CPOSPrinter::AppendToTransaction(long station, PrnTokenList* list) {
  if (station == PRN_STATION_RECEIPT || station == PRN_STATION_JOURNAL)
    return m_window->AppendToTransaction(station, list);
  return OPOS_SUCCESS;
}

long CPOSPrinter::SubmitOutput(PrnInputProperty* record, PrnStationState* stationState,
                               long station, PrnTokenList* list, PrnPropertySnapshot* snapshot,
                               long useTransaction, long usePageMode, long useRotation,
                               long* extended, long position1, long position2) {
  *extended = 0;
  bool transaction = false, page = false, rotation = false;
  if (station == PRN_STATION_RECEIPT) {
    transaction = useTransaction && m_window->TransactionList(station);
    page = usePageMode && m_window->PageModeList();
    rotation = useRotation && m_window->RotationList();
  } else if (station == PRN_STATION_JOURNAL) {
    transaction = useTransaction && m_window->TransactionList(station);
  }
  if (page || rotation || transaction) {
    // A print that did not join the buffer is lost: its caller hears so.
    long moved;
    if (page) {
      moved = m_window->AppendPositionedToBuffer(record, stationState, list, position1, position2);
    } else if (rotation) {
      moved = m_window->AppendToStationBuffer(station, list);
    } else {
      moved = AppendToTransaction(station, list);
    }
    const long finished = FinishWithoutOutput(record, stationState, nullptr, snapshot);
    return moved != OPOS_SUCCESS ? moved : finished;
  }
  if (station == PRN_STATION_RECEIPT || station == PRN_STATION_JOURNAL)
    (void)m_window->ScanCommandTokens(list);
  const bool asynchronous = record->asyncMode != 0;
  FreePropertySnapshot(snapshot);
  long value = 0;
  const long result = m_window->SendAndWait(record, stationState, list, asynchronous,
                                            OUTPUT_QUEUE_NORMAL, &value, extended);
  if (asynchronous && result == OPOS_SUCCESS) {
    m_props.OutputID = value;
    SetState(kStateBusy);
  }
  return result;
}

long CPOSPrinter::RunOutputFrame(const COutputFrame& frame) {
  if (const long refused = FrameChecks()) return SetResultCode(refused, 0, frame.tag);
  long extended = 0;
  PrnInputProperty* record = CreateInputProperty();
  long result = frame.pre(record, &extended);
  if (result != OPOS_SUCCESS) {
    FreePropertyRecord(record);
    return SetResultCode(result, extended, frame.tag);
  }
  if (const long busy = BusyErrorRefusal(frame.busy, record)) {
    FreePropertyRecord(record);
    return SetResultCode(busy, 0, frame.tag);
  }
  PrnPropertySnapshot* snapshot = BuildPropertySnapshot(record);
  PrnStationState* stationState = m_window->NewOutputRequest(frame.recordStation,
                                                             m_currentRotation);
  PrnTokenList* list = nullptr;
  result = frame.execute(record, stationState, &list, snapshot);
  if (result != OPOS_SUCCESS) {
    const long code = FailedExecuteCode(snapshot, result);
    extended = snapshot->resultCodeExtended;
    (void)FinishWithoutOutput(record, stationState, list, snapshot);
    return SetResultCode(code, extended, frame.tag);
  }
  if (frame.finish) {
    result = frame.finish(record, stationState, list, snapshot, &extended);
  } else if (!list) {
    // Nothing to print: a sub-module that built no list has nothing to queue.
    result = FinishWithoutOutput(record, stationState, nullptr, snapshot);
  } else {
    const long station = frame.submitStation == -1 ? list->station : frame.submitStation;
    const long position1 = frame.positionsFromSnapshot ? snapshot->positionWord1 : -1;
    const long position2 = frame.positionsFromSnapshot ? snapshot->positionWord2 : -1;
    result = SubmitOutput(record, stationState, station, list, snapshot, frame.use[0],
                          frame.use[1], frame.use[2], &extended, position1, position2);
  }
  if (result == OPOS_SUCCESS && frame.clearsSettingsChanged) m_window->SetSettingsChanged(0);
  return SetResultCode(result, extended, frame.tag);
}
