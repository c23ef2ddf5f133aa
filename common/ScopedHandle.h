// One owner type per kind of resource: a small template plus a traits row.
#pragma once
#include "Win.h"

#include <utility>

template <class Traits>
class ScopedResource {
 public:
  using Type = typename Traits::Type;
  ScopedResource() = default;
  explicit ScopedResource(Type value) : value_(value) {}
  ScopedResource(const ScopedResource&) = delete;
  ScopedResource& operator=(const ScopedResource&) = delete;
  ScopedResource(ScopedResource&& other) noexcept : value_(other.release()) {}
  ScopedResource& operator=(ScopedResource&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~ScopedResource() { reset(); }

  Type get() const { return value_; }
  bool valid() const { return value_ != Traits::Invalid(); }
  Type release() { return std::exchange(value_, Traits::Invalid()); }
  // Closing keeps the last-error value: callers often read it after a failed step.
  void reset(Type value = Traits::Invalid()) {
    Type old = std::exchange(value_, value);
    if (old != Traits::Invalid()) {
      const DWORD saved = GetLastError();
      Traits::Close(old);
      SetLastError(saved);
    }
  }
  // For APIs that return the resource through an out-parameter.
  Type* receive() {
    reset();
    return &value_;
  }

 private:
  Type value_ = Traits::Invalid();
};

struct HandleTraits {  // kernel objects that fail with NULL (events, mutexes, threads)
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { CloseHandle(h); }
};
struct FileHandleTraits {  // CreateFile and friends fail with INVALID_HANDLE_VALUE
  using Type = HANDLE;
  static Type Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(Type h) { CloseHandle(h); }
};
struct RegKeyTraits {
  using Type = HKEY;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { RegCloseKey(h); }
};
struct ModuleTraits {
  using Type = HMODULE;
  static Type Invalid() { return nullptr; }
  static void Close(Type h) { FreeLibrary(h); }
};

using ScopedHandle = ScopedResource<HandleTraits>;
using ScopedFile = ScopedResource<FileHandleTraits>;
using ScopedRegKey = ScopedResource<RegKeyTraits>;
using ScopedModule = ScopedResource<ModuleTraits>;
