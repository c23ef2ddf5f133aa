// Byte sequence of one command token, composed on the stack and copied into the store of the
// token's list. Commands of the printer language are short; only feeds and ruled lines grow
// past the inline room, and then the buffer grows by doubling, never per byte.
#pragma once
#include "PrinterSubRecords.h"

#include <cstring>
#include <initializer_list>
#include <vector>

// Printer command bytes.
enum : unsigned char {
  RJ_LF = 0x0A,
  RJ_FF = 0x0C,
  RJ_DC2 = 0x12,
  RJ_DC3 = 0x13,
  RJ_CAN = 0x18,
  RJ_ESC = 0x1B,
  RJ_FS = 0x1C,
  RJ_GS = 0x1D,
  RJ_SP = 0x20,
};

class RJBytes {
 public:
  RJBytes() = default;
  RJBytes(std::initializer_list<unsigned char> bytes) { Put(bytes); }
  RJBytes(const RJBytes&) = delete;
  RJBytes& operator=(const RJBytes&) = delete;

  RJBytes& Put(unsigned char b) {
    if (size_ == capacity_) Grow(size_ + 1);
    data_[size_++] = b;
    return *this;
  }
  RJBytes& Put(std::initializer_list<unsigned char> bytes) {
    Reserve(size_ + bytes.size());
    for (unsigned char b : bytes) data_[size_++] = b;
    return *this;
  }
  RJBytes& Put(const unsigned char* bytes, size_t count) {
    Reserve(size_ + count);
    if (count) std::memcpy(data_ + size_, bytes, count);
    size_ += count;
    return *this;
  }
  // A 16-bit value as vL vH: v modulo 256, then v / 256.
  RJBytes& Word(long v) {
    return Put({static_cast<unsigned char>(v), static_cast<unsigned char>(v / 256)});
  }
  // A paper feed of `dots` as ESC J: up to 255 in one command, above that ESC J 255 as
  // often as it fits and then the rest (255 * k + r dots). Negative amounts feed nothing.
  RJBytes& Feed(long dots);

  void Reserve(size_t n) {
    if (n > capacity_) Grow(n);
  }
  size_t Size() const { return size_; }
  const unsigned char* Data() const { return data_; }

  // Replaces the token's bytes with these (SetTokenData); no bytes leave it without data.
  void StoreInto(PrnCommandToken* token) const;

 private:
  void Grow(size_t need);

  static constexpr size_t kInline = 64;
  unsigned char inline_[kInline];
  std::vector<unsigned char> heap_;
  unsigned char* data_ = inline_;
  size_t size_ = 0;
  size_t capacity_ = kInline;
};

// Drops the token's bytes: data NULL, length 0.
void RJDropTokenData(PrnCommandToken* token);
