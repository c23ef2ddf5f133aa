// The hand-over of one token list to the device channel, for the output methods and the
// station buffers.
#include <mutex>

#include "CommDevice.h"
#include "HiddenWindow.h"
#include "OposCodes.h"
#include "OutputRequest.h"
#include "ScopedHandle.h"

namespace {
// How often a synchronous wait looks whether the output threads still run.
constexpr DWORD kThreadCheckMs = 100;
}  // namespace

long CRJDevice::SendAndWait(PrnInputProperty* record, PrnStationState* stationState,
                            PrnTokenList* list, bool asynchronous, long queue, long* result,
                            long* extended) {
  COutputCompletion target;
  if (asynchronous) {
    target.window = Handle();
    target.message = DataSendCompleteMessage();
    const long outputId = m_channel->Output(record, stationState, list, queue,
                                            OUTPUT_COMPLETE_BY_MESSAGE, target);
    const bool refused = outputId == CCommDevice::kOutputRefused;
    if (result) *result = refused ? 0 : outputId;
    if (extended) *extended = 0;
    return refused ? long{OPOS_E_FAILURE} : 0;
  }
  long answer = -1;
  long answerExtended = 0;
  std::mutex answerLock;
  // Set by the thread that writes the result; without it, the wait looks every millisecond.
  const ScopedHandle answered(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  target.resultCell = &answer;
  target.extendedCell = &answerExtended;
  target.resultLock = &answerLock;
  target.doneEvent = answered.get();
  if (m_channel->Output(record, stationState, list, queue, OUTPUT_COMPLETE_BY_RESULT, target) ==
      CCommDevice::kOutputRefused) {
    answer = OPOS_E_FAILURE;
  }
  for (;;) {
    {
      std::lock_guard<std::mutex> hold(answerLock);
      if (answer != -1) break;
    }
    // The cells live in this frame: the request must be answered before it returns.
    if (!m_channel->IsAnyThreadRunning()) m_channel->ClearAllQueues();
    if (answered.valid())
      (void)WaitForSingleObject(answered.get(), kThreadCheckMs);
    else
      Sleep(1);
  }
  if (result) *result = answer;
  if (extended) *extended = answerExtended;
  return answer;
}
