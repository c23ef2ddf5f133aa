// A sub-module's reference to itself while any of its instances is open. A core that frees
// the module without terminateSubSO then leaves it loaded, its printer and the SDK's status
// callback into it alive, until the process ends: the module's detach runs under the loader
// lock, where nothing may close the printer, cancel the callback or free a library.
#pragma once
#include "Win.h"

namespace subsupport {

class CModuleSelfReference {
 public:
  CModuleSelfReference() = default;
  CModuleSelfReference(const CModuleSelfReference&) = delete;
  CModuleSelfReference& operator=(const CModuleSelfReference&) = delete;

  // Under the slot table's lock, for each instance made: the first takes the reference.
  void Opened();
  // Under the same lock, for each instance gone: the last one's reference, which the caller
  // frees with FreeLibrary once the lock is let go; null for any other.
  [[nodiscard]] HMODULE Closed();

 private:
  int open_ = 0;
  HMODULE self_ = nullptr;
};

}  // namespace subsupport
