#include "RJBytes.h"

#include "CommandToken.h"

namespace {
// The longest feed composed: no print area is taller than a 16-bit dot count, and the cap
// keeps a runaway product (lines x spacing) from building megabytes of ESC J.
constexpr long kMaxFeedDots = 0xFFFF;
}  // namespace

RJBytes& RJBytes::Feed(long dots) {
  if (dots < 0) return *this;
  if (dots > kMaxFeedDots) dots = kMaxFeedDots;
  if (dots < 256) return Put({RJ_ESC, 'J', static_cast<unsigned char>(dots)});
  const long full = dots / 255;
  Reserve(size_ + 3 * static_cast<size_t>(full + 1));
  for (long i = 0; i < full; ++i) Put({RJ_ESC, 'J', 255});
  return Put({RJ_ESC, 'J', static_cast<unsigned char>(dots % 255)});
}

void RJBytes::Grow(size_t need) {
  size_t capacity = capacity_ * 2;
  if (capacity < need) capacity = need;
  if (data_ == inline_) {
    heap_.resize(capacity);
    std::memcpy(heap_.data(), inline_, size_);
  } else {
    heap_.resize(capacity);
  }
  data_ = heap_.data();
  capacity_ = capacity;
}

void RJBytes::StoreInto(PrnCommandToken* token) const { SetTokenData(token, data_, size_); }

void RJDropTokenData(PrnCommandToken* token) {
  token->data = nullptr;
  token->length = 0;
}
