// Holds a critical section for a scope.
#pragma once
#include "Win.h"

namespace subsupport {

class CsHold {
 public:
  explicit CsHold(CRITICAL_SECTION* section) : section_(section) {
    EnterCriticalSection(section_);
  }
  ~CsHold() { LeaveCriticalSection(section_); }
  CsHold(const CsHold&) = delete;
  CsHold& operator=(const CsHold&) = delete;

 private:
  CRITICAL_SECTION* section_;
};

}  // namespace subsupport
