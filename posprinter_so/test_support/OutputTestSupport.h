// Shared by the output-path tests: a receipt input property record as the core hands it
// over, and a recording stand-in for the claim object behind the channel.
#pragma once
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "OutputRequest.h"

namespace sotest {

// A status record as the receive thread presets it: every word -1, not reported.
inline PrnStatusRecord UnreportedStatus() {
  PrnStatusRecord record;
  std::memset(&record, 0xFF, sizeof record);
  return record;
}

inline PrnInputProperty ReceiptInputProperty() {
  PrnInputProperty input{};
  input.state = 2;
  input.serviceObjectVersion = 1014001;
  input.rotateSpecial = 1;
  input.recLineCharsList = "27,30,33,36,43,48,54";
  input.mapMode = 1;
  input.recLineSpacing = 30;
  input.recLineHeight = 24;
  input.recLineChars = 36;
  input.recLineWidth = 432;
  input.characterSet = 932;
  input.pageModePrintArea = "0,0,0,0";
  input.pageModePrintDirection = 1;
  return input;
}

class FakeChannelOwner : public IChannelOwner {
 public:
  bool enabled = true;
  bool retry = false;                // the answer to every error query
  std::function<void()> onError;     // runs on the send thread before each answer
  std::vector<long> errors;          // ResultCode of each error query
  std::string errorString;
  int cleared = 0, applied = 0;
  std::vector<long> fired;           // StatusUpdate codes
  bool IsEnabled() override { return enabled; }
  PrnInputProperty* CreateInputProperty() override { return new PrnInputProperty{}; }
  PrnPropertySnapshot* BuildPropertySnapshot(PrnInputProperty*) override {
    return new PrnPropertySnapshot{};
  }
  void FreePropertyRecord(PrnInputProperty* record) override { delete record; }
  void FreePropertySnapshot(PrnPropertySnapshot* snapshot) override { delete snapshot; }
  void ApplyStatusRecord(PrnStatusRecord*) override { ++applied; }
  void UpdateStatusProperties(PrnInputProperty*) override {}
  void FireStatusUpdate(PrnStatusRecord*, long code) override { fired.push_back(code); }
  void QueueDirectIOEvent(PrnDirectIOEventRecord*) override {}
  bool PostErrorAndWait(long, long, const std::string&, long resultCode, long, HWND) override {
    errors.push_back(resultCode);
    if (onError) onError();
    return retry;
  }
  std::string GetErrorString() override { return errorString; }
  void ClearErrorProperties() override {
    ++cleared;
    errorString.clear();
  }
};

}  // namespace sotest
