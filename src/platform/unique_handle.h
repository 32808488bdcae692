// One owner for every operating-system handle: copying is refused, moving hands the
// handle over, and Put() releases the old value before giving out its address (for
// functions that return a handle through a pointer). Each handle type is a one-line
// alias beside the code that uses it.
#pragma once

#include <utility>

namespace eqd::platform {

// A handle that is a plain value (a pointer, an integer) closed by one function.
// `Invalid` is the value that owns nothing.
template <typename T, auto Close, T Invalid = T{}>
class TUniqueHandle {
 public:
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
  explicit operator bool() const { return FValue != Invalid; }
  T* Put() {
    Reset();
    return &FValue;
  }
  T Detach() { return std::exchange(FValue, Invalid); }
  void Reset(T value = Invalid) {
    if (FValue != Invalid) Close(FValue);
    FValue = value;
  }

 private:
  T FValue = Invalid;
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
