#pragma once
// One move-only owner for every kind of OS handle, shaped like WIL's unique_any: a policy names
// the handle type, which values mean "none" and the function that closes it. The kinds the
// program holds are named in system/resource.h; this template needs no <windows.h>.
#include <utility>

template <typename Policy>
class UniqueAny {
 public:
  using Handle = typename Policy::Handle;

  UniqueAny() noexcept = default;
  explicit UniqueAny(Handle handle) noexcept : handle_(handle) {}
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;
  UniqueAny(UniqueAny&& other) noexcept : handle_(other.release()) {}
  UniqueAny& operator=(UniqueAny&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueAny() { reset(); }

  Handle get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return Policy::IsValid(handle_); }
  // Gives the handle up without closing it.
  Handle release() noexcept { return std::exchange(handle_, Policy::Invalid()); }
  void reset(Handle handle = Policy::Invalid()) noexcept {
    const Handle old = std::exchange(handle_, handle);
    if (Policy::IsValid(old)) Policy::Close(old);
  }

 private:
  Handle handle_ = Policy::Invalid();
};

// The common policy: a close function and an invalid value that is a constant (null for the
// pointer-like handles). A handle with more than one "none", or one that is no constant, such
// as INVALID_HANDLE_VALUE, writes a policy of its own.
template <typename T, auto Closer, T InvalidValue = T{}>
struct HandlePolicy {
  using Handle = T;
  static constexpr T Invalid() noexcept { return InvalidValue; }
  static constexpr bool IsValid(T handle) noexcept { return handle != InvalidValue; }
  static void Close(T handle) noexcept { Closer(handle); }
};
