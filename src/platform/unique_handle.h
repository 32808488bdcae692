// One owner for every operating-system handle: copying is refused, moving hands the
// handle over, and Put() releases the old value before giving out its address (for
// functions that return a handle through a pointer). Each handle type is a one-line
// alias beside the code that uses it.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

namespace eqd::platform {

// A handle that is a plain value (a pointer, an integer) closed by one function.
// `Invalid` is the value that owns nothing. A pointer handle whose "nothing" is not null
// gives it as an integer (-1 for a file handle's INVALID_HANDLE_VALUE): a pointer made
// from an integer cannot be a template argument.
template <typename T, auto Close, auto Invalid = T{}>
class TUniqueHandle {
 public:
  static T InvalidValue() noexcept {
    if constexpr (std::is_pointer_v<T> && std::is_integral_v<decltype(Invalid)>)
      return reinterpret_cast<T>(static_cast<std::intptr_t>(Invalid));
    else
      return Invalid;
  }

  TUniqueHandle() = default;
  explicit TUniqueHandle(T value) : FValue(value) {}
  TUniqueHandle(TUniqueHandle&& other) noexcept : FValue(other.Detach()) {}
  TUniqueHandle& operator=(TUniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Detach());
    return *this;
  }
  TUniqueHandle(const TUniqueHandle&) = delete;
  TUniqueHandle& operator=(const TUniqueHandle&) = delete;
  ~TUniqueHandle() { Reset(); }

  T Get() const { return FValue; }
  explicit operator bool() const { return FValue != InvalidValue(); }
  T* Put() {
    Reset();
    return &FValue;
  }
  T Detach() { return std::exchange(FValue, InvalidValue()); }
  void Reset(T value = InvalidValue()) {
    if (FValue != InvalidValue()) Close(FValue);
    FValue = value;
  }

 private:
  T FValue = InvalidValue();
};

// A handle that is a structure filled in by the function that opens it (a security
// handle pair, say) and closed through its address. It owns something only after
// Put() handed it out and the caller marked it filled with Fill().
template <typename T, auto Close>
class TUniqueStruct {
 public:
  TUniqueStruct() = default;
  TUniqueStruct(TUniqueStruct&& other) noexcept
      : FValue(other.FValue), FFilled(std::exchange(other.FFilled, false)) {}
  TUniqueStruct& operator=(TUniqueStruct&& other) noexcept {
    if (this != &other) {
      Reset();
      FValue = other.FValue;
      FFilled = std::exchange(other.FFilled, false);
    }
    return *this;
  }
  TUniqueStruct(const TUniqueStruct&) = delete;
  TUniqueStruct& operator=(const TUniqueStruct&) = delete;
  ~TUniqueStruct() { Reset(); }

  // Releases what is held and gives out the structure to be filled; call Fill() once
  // the opening function succeeded.
  T* Put() {
    Reset();
    return &FValue;
  }
  void Fill() { FFilled = true; }
  T* Get() { return FFilled ? &FValue : nullptr; }
  const T* Get() const { return FFilled ? &FValue : nullptr; }
  explicit operator bool() const { return FFilled; }
  void Reset() {
    if (FFilled) Close(&FValue);
    FFilled = false;
    FValue = T{};
  }

 private:
  T FValue{};
  bool FFilled = false;
};

}  // namespace eqd::platform
