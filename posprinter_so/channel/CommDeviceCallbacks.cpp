// The functions the sub-module calls back. Each first makes its context the module's
// current channel; all of them answer 0, which the sub-module ignores.
#include "CommDevice.h"

namespace {
CCommDevice* Enter(void* context) {
  auto* channel = static_cast<CCommDevice*>(context);
  CCommDevice::MakeCurrent(channel);
  return channel;
}
}  // namespace

long SUBAPI_CALL CCommDevice::ConvertPrintData(PrnInputProperty* record,
                                               PrnStationState* stationState, char* data,
                                               long length, long charWidth, long charSpacing,
                                               PrnTokenList* list, long* errorWord,
                                               void* context) {
  CCommDevice* channel = Enter(context);
  if (channel) {
    channel->TokenizePrintData(record, stationState, data, length, charWidth, charSpacing, list,
                               errorWord);
  }
  return 0;
}

namespace {
// Error flags of the status record in the order they are looked at, with their extended
// codes and the ErrorString each one clears once it has gone.
struct StatusErrorRow {
  long PrnStatusRecord::*flag;
  long extended;
  const char* errorString;
};
const StatusErrorRow kStatusErrors[] = {
    {&PrnStatusRecord::vpVoltageError, 1001, "Vp voltage error"},
    {&PrnStatusRecord::autocutterError, 1002, "Autocutter error"},
    {&PrnStatusRecord::headTemperatureError, 1005, "Head temperature error"},
    {&PrnStatusRecord::batteryError, 1013, "Battery error"},
    {&PrnStatusRecord::markPaperJam, 1014, "Mark paper jam error"},
};
}  // namespace

long SUBAPI_CALL CCommDevice::OnStatusNotify(PrnStatusRecord* record, long code, void* context) {
  CCommDevice* self = Enter(context);
  if (!self) return 0;
  IChannelOwner* owner = self->m_channelOwner;
  if (record && code == 0) {
    for (const StatusErrorRow& row : kStatusErrors) {
      const long flag = record->*row.flag;
      if (flag == 1) {
        std::lock_guard<std::mutex> hold(self->m_resultLock);
        self->m_resultCode = 114;
        self->m_resultCodeExtended = row.extended;
        return 0;
      }
      if (flag == 0 && owner && owner->GetErrorString() == row.errorString)
        owner->ClearErrorProperties();
    }
    std::lock_guard<std::mutex> hold(self->m_resultLock);
    self->m_resultCode = 0;
    self->m_resultCodeExtended = 0;
    return 0;
  }
  if (record && record->coverOpen != 1 && record->jrnEmpty != 1 && record->recEmpty != 1 &&
      record->powerState != 2004) {
    std::lock_guard<std::mutex> hold(self->m_resultLock);
    self->m_resultCode = 0;
    self->m_resultCodeExtended = 0;
    if (owner) {
      const std::string shown = owner->GetErrorString();
      if ((record->coverOpen == 0 && shown == "Cover open error") ||
          ((record->jrnEmpty == 0 || record->recEmpty == 0) && shown == "Out-of-paper error") ||
          (record->powerState == 2001 && shown == "Off/Offline error"))
        record->errorCleared = 1;
      owner->ApplyStatusRecord(record);
    }
  }
  // Off or offline: the printer may have lost what it had not printed.
  if (code == OPOS_PS_OFF || code == OPOS_PS_OFFLINE || code == OPOS_PS_OFF_OFFLINE) {
    self->m_powerReports.store(kOfflineReported);
    self->NotePrinterOffline();
  } else if (code == OPOS_PS_ONLINE && self->m_powerReports.load() == kOfflineReported) {
    self->m_powerReports.store(kOnlineAfterOffline);
  }
  if (owner) owner->FireStatusUpdate(record, code);
  return 0;
}

long SUBAPI_CALL CCommDevice::OnStatusReserved1(PrnStatusRecord*, long, void* context) {
  Enter(context);
  return 0;
}

long SUBAPI_CALL CCommDevice::OnDirectIONotify(PrnDirectIOEventRecord* record, void* context) {
  CCommDevice* self = Enter(context);
  if (self && self->m_channelOwner && record) self->m_channelOwner->QueueDirectIOEvent(record);
  return 0;
}

long SUBAPI_CALL CCommDevice::OnStatusReserved2(PrnStatusRecord*, long, void* context) {
  Enter(context);
  return 0;
}

long SUBAPI_CALL CCommDevice::OnResponseCode(long responseId, void* context) {
  CCommDevice* self = Enter(context);
  if (!self) return 0;
  self->m_answerTick.store(GetTickCount());
  // Taken here, in the order the printer sent them, whichever thread waits for them.
  if (responseId >= 0 && responseId <= 15) self->TakeAnswer(responseId);
  return 0;
}

long SUBAPI_CALL CCommDevice::OnErrorNotify(long resultCode, long resultCodeExtended,
                                            long severity, const char* errorText,
                                            void* context) {
  CCommDevice* self = Enter(context);
  if (!self) return 0;
  {
    std::lock_guard<std::mutex> hold(self->m_resultLock);
    self->m_resultCode = self->m_notifiedResultCode = resultCode;
    self->m_resultCodeExtended = self->m_notifiedResultCodeExtended = resultCodeExtended;
    self->m_noticeErrorLevel = severity;
    self->m_noticeText = errorText ? errorText : "";
  }
  SetEvent(self->GetImmediateWaitFlag() ? self->m_immediateErrorEvent.get()
                                        : self->m_sendErrorEvent.get());
  return 0;
}
