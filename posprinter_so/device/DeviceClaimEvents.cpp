#include <memory>

#include "DeviceClaim.h"
#include "OPOSEvent.h"
#include "POSPrinter.h"
#include "PrinterSubRecords.h"

namespace {
enum : long { kErrorLocusOutput = 1, kErrorResponseRetry = 11 };
}  // namespace

PrnInputProperty* CDeviceClaim::CreateInputProperty() {
  CPOSPrinter* owner = GetOwner();
  return owner ? owner->CreateInputProperty() : CPOSPrinter::NewInputPropertyRecord();
}

PrnPropertySnapshot* CDeviceClaim::BuildPropertySnapshot(PrnInputProperty* record) {
  CPOSPrinter* owner = GetOwner();
  return owner ? owner->BuildPropertySnapshot(record) : new PrnPropertySnapshot{};
}

void CDeviceClaim::FreePropertyRecord(PrnInputProperty* record) {
  // Records made by either path free the same way, with or without an owner.
  CPOSPrinter::FreePropertyRecord(record);
}

void CDeviceClaim::FreePropertySnapshot(PrnPropertySnapshot* snapshot) {
  if (CPOSPrinter* owner = GetOwner()) {
    owner->FreePropertySnapshot(snapshot);
    return;
  }
  delete snapshot;
}

void CDeviceClaim::ApplyStatusRecord(PrnStatusRecord* record) {
  if (CPOSPrinter* owner = GetOwner()) owner->ApplyStatusRecord(record);
}

void CDeviceClaim::UpdateStatusProperties(PrnInputProperty* record) {
  if (CPOSPrinter* owner = GetOwner()) owner->UpdateStatusProperties(record);
}

std::string CDeviceClaim::GetErrorString() {
  CPOSPrinter* owner = GetOwner();
  return owner ? owner->GetErrorString() : std::string();
}

void CDeviceClaim::ClearErrorProperties() {
  if (CPOSPrinter* owner = GetOwner()) owner->ClearErrorProperties();
}

void CDeviceClaim::FireStatusUpdate(PrnStatusRecord* record, long code) {
  CPOSPrinter* owner = GetOwner();
  if (!owner || !owner->Window()) return;
  // An offline record reaches the properties only through the receive thread, which may
  // apply a later word's record instead: the recovery hears of it here, in order.
  if (record) owner->NotePowerReport(record->powerState);
  if (owner->Window()->IsStatusReportable(record, code)) {
    owner->Window()->QueueStatusUpdate(record, code);
  }
}

void CDeviceClaim::QueueDirectIOEvent(PrnDirectIOEventRecord* record) {
  CPOSPrinter* owner = GetOwner();
  if (!owner || !record) return;
  const long data = record->data ? *record->data : 0;
  const wchar_t* text = (record->text && *record->text) ? *record->text : L"";
  owner->DoQueueEvent(new CDirectIOEvent(record->eventNumber, data, text));
}

bool CDeviceClaim::PostErrorAndWait(long station, long errorLevel, const std::string& text,
                                    long resultCode, long resultCodeExtended, HWND window) {
  if (!IsEnabled()) return false;
  auto waiter = std::make_shared<CErrorWaiter>();
  auto* event = new CErrorEventExt(resultCode, resultCodeExtended, kErrorLocusOutput,
                                   kErrorResponseRetry, waiter, station, errorLevel, text);
  {
    std::lock_guard<std::mutex> hold(m_errorWaitLock);
    m_errorWait = waiter;
  }
  if (PostMessageA(window, QueryRetryMessage(), 0, reinterpret_cast<LPARAM>(event))) {
    // Woken by the answer: the application's, or clear from what ended the output first (a
    // disable, a release, ClearOutput). Other ways of ending the device are looked for now
    // and then.
    while (waiter->WaitFor(/*ms=*/500) == CErrorWaiter::kNone && IsEnabled()) {
    }
  } else {
    delete event;  // no window to ask: nobody would ever answer
  }
  // Given up unanswered: cleared, so the event is not fired later for output that is gone.
  waiter->Answer(CErrorWaiter::kClear);
  {
    std::lock_guard<std::mutex> hold(m_errorWaitLock);
    if (m_errorWait == waiter) m_errorWait.reset();
  }
  return waiter->Get() == CErrorWaiter::kRetry;
}

bool CDeviceClaim::AnswerErrorWait(long answer) {
  std::lock_guard<std::mutex> hold(m_errorWaitLock);
  if (!m_errorWait) return false;
  m_errorWait->Answer(answer);
  return true;
}
