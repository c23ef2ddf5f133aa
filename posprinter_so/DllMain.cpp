// The DLL's entry point and its four COM exports.
#include "ClassFactory.h"
#include "POSPrinterSOApp.h"
#include "ServerIds.h"
#include "ServerRegistration.h"

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(module);
    return CPOSPrinterSOApp::InitInstance(module);
  }
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

STDAPI DllRegisterServer() { return RegisterServer(CPOSPrinterSOApp::Module()); }

STDAPI DllUnregisterServer() { return UnregisterServer(); }
