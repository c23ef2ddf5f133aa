// Shared by the in-process entry tests: the log-line recorder and a fixture that leaves no
// slot taken.
#pragma once
#include "Exports.h"
#include "LogContext.h"
#include "PrennikApp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace entrytest {

struct LogLine {
  DWORD category;
  std::string function;
  std::string text;
};

// Every line the sub-module hands to the log library while a test runs.
std::vector<LogLine>& Lines();
void RecordLine(DWORD category, const char* function, const char* line);

class EntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CLogContext::SetLineObserver(&RecordLine);
    Lines().clear();
  }
  void TearDown() override {
    TheApp().ReleaseAllSlots();
    CLogContext::SetLineObserver(nullptr);
  }
  // initSubSO with a fresh snapshot; returns the result, the slot in *slot.
  long Open(const char* name, long* slot, long coreVersion = 1014000);
  PrnPropertySnapshot snapshot_{};
};

}  // namespace entrytest
