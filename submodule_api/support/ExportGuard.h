// What wraps each export of a sub-module: nothing thrown inside crosses it.
#pragma once
#include "OposCodes.h"

namespace subsupport {

// body()'s answer, or 111 when it throws.
template <class Body>
long Guarded(Body body) {
  try {
    return body();
  } catch (...) {
    return OPOS_E_FAILURE;
  }
}

// refusal (silently) unless the call can go ahead, else Guarded(body).
template <class Body>
long GuardedIf(bool goAhead, long refusal, Body body) {
  if (!goAhead) return refusal;
  return Guarded(body);
}

}  // namespace subsupport
