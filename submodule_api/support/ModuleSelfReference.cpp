#include "ModuleSelfReference.h"

#include <utility>

namespace subsupport {

namespace {

// An address inside the module: this library is linked into each sub-module.
const char kInsideTheModule = 0;

}  // namespace

void CModuleSelfReference::Opened() {
  if (open_++ == 0)
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, &kInsideTheModule, &self_);
}

HMODULE CModuleSelfReference::Closed() {
  if (--open_ != 0) return nullptr;
  return std::exchange(self_, nullptr);
}

}  // namespace subsupport
