// The SDK's status callback carries no context, so each slot has a callback of its own that
// knows its slot and posts the word to the module's Post(slot, word).
#pragma once
#include "Win.h"

#include <array>
#include <utility>

#include "PrinterSdk.h"

namespace subsupport {

template <long (*Post)(long slot, DWORD word)>
struct SlotStatusCallbacks {
  template <long Slot>
  static long WINAPI Callback(long statusWord) {
    return Post(Slot, static_cast<DWORD>(statusWord));
  }
  template <long... Slots>
  static constexpr std::array<SdkStatusCallback, sizeof...(Slots)> Table(
      std::integer_sequence<long, Slots...>) {
    return {&Callback<Slots>...};
  }
};

// The callback of slot 0..Count-1, else null.
template <long (*Post)(long slot, DWORD word), long Count>
SdkStatusCallback SlotStatusCallback(long slot) {
  static constexpr auto kCallbacks =
      SlotStatusCallbacks<Post>::Table(std::make_integer_sequence<long, Count>());
  return slot >= 0 && slot < Count ? kCallbacks[size_t(slot)] : nullptr;
}

}  // namespace subsupport
