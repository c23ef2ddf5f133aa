// The DLL's entry point and its four COM exports.
#include "ClassFactory.h"
#include "POSPrinterSOApp.h"
#include "ServerIds.h"
#include "ServerRegistration.h"

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) return CPOSPrinterSOApp::InitInstance(module);
  if (reason == DLL_PROCESS_DETACH) CPOSPrinterSOApp::ExitInstance();
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!IsEqualCLSID(clsid, CLSID_POSPrinterSO)) return CLASS_E_CLASSNOTAVAILABLE;
  return CPOSPrinterClassFactory::Instance().QueryInterface(riid, object);
}

STDAPI DllCanUnloadNow() { return CPOSPrinterSOApp::CanUnloadNow() ? S_OK : S_FALSE; }

// Nothing thrown inside may leave an export.
STDAPI DllRegisterServer() {
  try {
    return RegisterServer(CPOSPrinterSOApp::Module());
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

STDAPI DllUnregisterServer() {
  try {
    return UnregisterServer();
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}
