#include "ClassFactory.h"
#include "POSPrinter.h"
#include "TestSupport.h"

namespace sotest {

CPOSPrinter* NewServiceObject() {
  IDispatch* object = nullptr;
  if (FAILED(CPOSPrinterClassFactory::Instance().CreateInstance(
          nullptr, IID_IDispatch, reinterpret_cast<void**>(&object)))) {
    return nullptr;
  }
  return static_cast<CPOSPrinter*>(object);
}

}  // namespace sotest
