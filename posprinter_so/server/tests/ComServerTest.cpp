// vasselin.dll as a COM server: class object, creation by ProgID on an apartment thread,
// names and calls through IDispatch, and when the DLL may be unloaded.
#include <gtest/gtest.h>

#include <objbase.h>

#include "ControlObjectStandIn.h"
#include "ExpectedDispatch.h"
#include "OposCodes.h"
#include "RegisteredServer.h"
#include "TestSupport.h"

namespace {

using costandin::Arg;

// {2E6C5238-F6D2-4109-9183-C5081F13134C}
const CLSID kClsid = {0x2e6c5238, 0xf6d2, 0x4109, {0x91, 0x83, 0xc5, 0x08, 0x1f, 0x13, 0x13, 0x4c}};
const wchar_t kProgId[] = L"OPOS.POSPRINTER.SO.KVR.CORE.TBXQD";

using GetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using PlainFn = HRESULT(WINAPI*)();

class ComServer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_NO_FATAL_FAILURE(sotest::LoadAndRegisterServer(&module_));
    getClassObject_ = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
    canUnloadNow_ =
        reinterpret_cast<PlainFn>(reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
    ASSERT_NE(getClassObject_, nullptr);
    ASSERT_NE(canUnloadNow_, nullptr);
  }

  static HMODULE module_;
  static GetClassObjectFn getClassObject_;
  static PlainFn canUnloadNow_;
};
HMODULE ComServer::module_ = nullptr;
GetClassObjectFn ComServer::getClassObject_ = nullptr;
PlainFn ComServer::canUnloadNow_ = nullptr;

TEST_F(ComServer, ClassObjectOnlyForItsClsid) {
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(getClassObject_(IID_IDispatch, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(getClassObject_(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  IUnknown* outer = reinterpret_cast<IUnknown*>(factory);
  void* instance = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(outer, IID_IUnknown, &instance), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(instance, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &instance), E_NOINTERFACE);
  factory->Release();
}

TEST_F(ComServer, UnloadIsAllowedOnlyWithoutObjectsAndLocks) {
  ASSERT_EQ(canUnloadNow_(), S_OK);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(getClassObject_(kClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  EXPECT_EQ(canUnloadNow_(), S_FALSE) << "a factory reference";
  IDispatch* so = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&so)), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory->Release();
  EXPECT_EQ(canUnloadNow_(), S_FALSE) << "an object and a lock";
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(canUnloadNow_(), S_FALSE) << "the object";
  so->Release();
  EXPECT_EQ(canUnloadNow_(), S_OK) << "after the last object";
}

class ByProgId : public ComServer {
 protected:
  void SetUp() override { ASSERT_EQ(co_.Create(kProgId), S_OK); }
  costandin::ControlObject co_;
};

TEST_F(ByProgId, EveryNameAControlObjectLooksUpResolves) {
  for (const ExpectedName& row : kExpectedNames) {
    DISPID id = -7;
    EXPECT_EQ(co_.GetIDsOfNames(row.name, &id), S_OK) << row.dispid;
    EXPECT_EQ(id, row.dispid);
  }
  DISPID id = 0;
  EXPECT_EQ(co_.GetIDsOfNames(L"NoSuchMethod", &id), DISP_E_UNKNOWNNAME);
}

TEST_F(ByProgId, CallsRouteAndAnswerForAClosedDevice) {
  EXPECT_EQ(co_.CallLong(L"OpenService", {Arg::Text(L"POSPrinter"),
                                          Arg::Text(L"SoComTestNoSuchDevice"), Arg::Sink()}),
            OPOS_E_NOSERVICE);
  EXPECT_EQ(co_.CallLong(L"GetOpenResult"), 302);
  EXPECT_EQ(co_.SinkReferences(), 0);
  EXPECT_EQ(co_.CallLong(L"ClaimDevice", {Arg::Long(1000)}), OPOS_E_CLOSED);
  EXPECT_EQ(co_.CallLong(L"Claim", {Arg::Long(-1)}), OPOS_E_CLOSED);
  EXPECT_EQ(co_.CallLong(L"ReleaseDevice"), OPOS_E_CLOSED);
  EXPECT_EQ(co_.CallLong(L"PrintNormal", {Arg::Long(2), Arg::Text(L"Hello\n")}),
            OPOS_E_NOTCLAIMED);
  EXPECT_EQ(co_.CallLong(L"GetPropertyNumber", {Arg::Long(6)}), OPOS_E_NOTCLAIMED)
      << "ResultCode of the last method";
  long data = 3;
  BSTR text = SysAllocString(L"");
  EXPECT_EQ(co_.CallLong(L"DirectIO", {Arg::Long(1), Arg::LongRef(&data), Arg::TextRef(&text)}),
            OPOS_E_NOTCLAIMED);
  SysFreeString(text);
  EXPECT_EQ(co_.CallLong(L"COFreezeEvents", {Arg::Long(1)}), 0);
  EXPECT_EQ(co_.CallLong(L"CloseService"), OPOS_E_CLOSED);
  EXPECT_EQ(co_.SinkReferences(), 0);
}

TEST_F(ByProgId, ServiceObjectVersionComesFromTheDllsVersion) {
  EXPECT_EQ(co_.CallLong(L"GetPropertyNumber", {Arg::Long(8)}), 1014001) << "1.14.1.2";
}

TEST_F(ByProgId, TheDllMayBeUnloadedAfterTheLastObject) {
  co_.ReleaseObject();
  EXPECT_EQ(canUnloadNow_(), S_OK);
}

}  // namespace
