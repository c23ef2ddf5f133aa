// A service object driven on the stand-in Control Object's thread, as the Control Object
// drives it: the calls and property reads and writes of the core's in-process fixtures.
#pragma once
#include <functional>

#include "ControlObjectStandIn.h"
#include "POSPrinter.h"

namespace sotest {

class ControlObjectCalls {
 protected:
  long Call(const std::function<long()>& call) {
    long result = -1;
    co_.RunOnThread([&] { result = call(); });
    return result;
  }
  long Number(long pidx) { return Call([&] { return so_->GetPropertyNumber(pidx); }); }
  // A property write; its outcome is ResultCode.
  long SetNumber(long pidx, long value) {
    return Call([&] {
      so_->SetPropertyNumber(pidx, value);
      return so_->Properties().ResultCode;
    });
  }

  costandin::ControlObject co_;
  CPOSPrinter* so_ = nullptr;
};

}  // namespace sotest
