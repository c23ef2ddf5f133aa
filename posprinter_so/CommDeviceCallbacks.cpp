// The functions the sub-module calls back. Each first makes its context the module's
// current channel. What they do with what they are given arrives with the tokenizer, the
// status path and the response matching; until then they accept and answer 0.
#include "CommDevice.h"

namespace {
CCommDevice* Enter(void* context) {
  auto* channel = static_cast<CCommDevice*>(context);
  CCommDevice::MakeCurrent(channel);
  return channel;
}
}  // namespace

long SUBAPI_CALL CCommDevice::ConvertPrintData(PrnInputProperty*, PrnStationState*, char*, long,
                                               long, long, PrnTokenList*, long*,
                                               void* context) {
  Enter(context);
  return 0;
}

long SUBAPI_CALL CCommDevice::OnStatusNotify(PrnStatusRecord*, long, void* context) {
  Enter(context);
  return 0;
}

long SUBAPI_CALL CCommDevice::OnStatusReserved1(PrnStatusRecord*, long, void* context) {
  Enter(context);
  return 0;
}

long SUBAPI_CALL CCommDevice::OnDirectIONotify(PrnDirectIOEventRecord*, void* context) {
  Enter(context);
  return 0;
}

long SUBAPI_CALL CCommDevice::OnStatusReserved2(PrnStatusRecord*, long, void* context) {
  Enter(context);
  return 0;
}

long SUBAPI_CALL CCommDevice::OnResponseCode(long, void* context) {
  Enter(context);
  return 0;
}

long SUBAPI_CALL CCommDevice::OnErrorNotify(long, long, long, const char*, void* context) {
  Enter(context);
  return 0;
}
