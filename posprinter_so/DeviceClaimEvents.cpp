#include <memory>

#include "DeviceClaim.h"
#include "OPOSEvent.h"
#include "POSPrinter.h"
#include "PrinterSubRecords.h"

namespace {
enum : long { kErrorLocusOutput = 1, kErrorResponseRetry = 11 };
}  // namespace

void CDeviceClaim::FireStatusUpdate(PrnStatusRecord* record, long code) {
  CPOSPrinter* owner = GetOwner();
  if (!owner || !owner->Window()) return;
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
  if (!PostMessageA(window, CRJDevice::QueryRetryMessage(), 0,
                    reinterpret_cast<LPARAM>(event))) {
    delete event;  // no window to ask: nobody would ever answer
    return false;
  }
  for (;;) {
    const long answer = waiter->Get();
    if (answer != CErrorWaiter::kNone) return answer == CErrorWaiter::kRetry;
    if (!IsEnabled()) return false;
    Sleep(10);
  }
}
