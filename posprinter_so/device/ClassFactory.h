// The one class factory of the module: creates CPOSPrinter objects for every request.
#pragma once
#include "Win.h"

#include <unknwn.h>

class CPOSPrinterClassFactory final : public IClassFactory {
 public:
  constexpr CPOSPrinterClassFactory() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  // The factory is a module global; its references count as locks on the module.
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid,
                                           void** object) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

  static CPOSPrinterClassFactory& Instance();
};
