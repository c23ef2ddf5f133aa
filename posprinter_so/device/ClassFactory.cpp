#include "ClassFactory.h"

#include <new>

#include "POSPrinter.h"
#include "POSPrinterSOApp.h"

namespace {
// Constant-initialised: no constructor or destructor runs at load or unload.
CPOSPrinterClassFactory g_factory;
}  // namespace

CPOSPrinterClassFactory& CPOSPrinterClassFactory::Instance() { return g_factory; }

HRESULT CPOSPrinterClassFactory::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG CPOSPrinterClassFactory::AddRef() {
  CPOSPrinterSOApp::LockServer();
  return 2;
}

ULONG CPOSPrinterClassFactory::Release() {
  CPOSPrinterSOApp::UnlockServer();
  return 1;
}

HRESULT CPOSPrinterClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  CPOSPrinter* so = nullptr;
  try {
    so = new CPOSPrinter();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
  // The object starts with one reference, handed over or dropped here.
  const HRESULT hr = so->QueryInterface(riid, object);
  so->Release();
  return hr;
}

HRESULT CPOSPrinterClassFactory::LockServer(BOOL lock) {
  if (lock) {
    CPOSPrinterSOApp::LockServer();
  } else {
    CPOSPrinterSOApp::UnlockServer();
  }
  return S_OK;
}
