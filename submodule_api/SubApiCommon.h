// Shared by both sub-module interfaces: the calling convention and layout checks.
#pragma once
#include <cstddef>

#define SUBAPI_CALL __stdcall

#define SUBAPI_AT(T, field, offset) \
  static_assert(offsetof(T, field) == (offset), #T "." #field " must sit at " #offset)

#define SUBAPI_WORDS(T, n) static_assert(sizeof(T) == (n) * 4, #T " is " #n " words")

static_assert(sizeof(void*) == 4 && sizeof(long) == 4, "the interface is 32-bit");
