// vasselin.dll registered and created by its ProgID through the stand-in Control Object, on
// a printer of the simulated SDK: the calls an application makes, by name through IDispatch.
// Link control_object_standin and testprinter.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ControlObjectStandIn.h"
#include "RegisteredServer.h"
#include "TestPrinter.h"
#include "TestSupport.h"

namespace sotest {

class DispatchedDevice : public ::testing::Test {
 protected:
  static constexpr long kPidxResultCode = 6;
  static constexpr DWORD kStatusWaitMs = 60000;

  explicit DispatchedDevice(const wchar_t* device) : device_(device) {}

  // For SetUpTestSuite: loads and registers the server, kept loaded for the program's life,
  // and adds the printer to the spooler.
  static void RegisterServerFor(const char* printer) {
    ASSERT_NO_FATAL_FAILURE(LoadAndRegisterServer(&module_));
    std::string error;
    ASSERT_TRUE(AddTestPrinter(printer, &error)) << error;
  }

  long Call(const wchar_t* name, const std::vector<costandin::Arg>& args = {}) {
    return co_.CallLong(name, args);
  }
  long Prop(long pidx) { return Call(L"GetPropertyNumber", {costandin::Arg::Long(pidx)}); }
  // A property write; its outcome is ResultCode.
  long SetProp(long pidx, long value) {
    DISPID id = 0;
    EXPECT_EQ(co_.GetIDsOfNames(L"SetPropertyNumber", &id), S_OK);
    VARIANT none;
    VariantInit(&none);
    EXPECT_EQ(co_.Invoke(id, {costandin::Arg::Long(pidx), costandin::Arg::Long(value)}, &none),
              S_OK);
    VariantClear(&none);
    return Prop(kPidxResultCode);
  }
  // The test's own device unless another is named.
  long Open(const wchar_t* device = nullptr) {
    return Call(L"OpenService", {costandin::Arg::Text(L"POSPrinter"),
                                 costandin::Arg::Text(device ? device : device_),
                                 costandin::Arg::Sink()});
  }

  // Waits until the Control Object received SOStatusUpdate(status), on its own thread.
  bool WaitForStatus(long status) {
    for (DWORD waited = 0; waited < kStatusWaitMs; waited += 10) {
      for (const auto& event : co_.Events()) {
        if (event.name == L"SOStatusUpdate" && event.numbers == std::vector<long>{status}) {
          EXPECT_EQ(event.threadId, co_.ThreadId()) << "on the application's thread";
          return true;
        }
      }
      Sleep(10);
    }
    return false;
  }

  static inline HMODULE module_ = nullptr;
  const wchar_t* device_;
  costandin::ControlObject co_;
};

}  // namespace sotest
