// Stopping a thread's network waits from another thread. The waiting thread runs its
// work inside a TCancelScope over a signal; when another thread raises the signal, every
// socket wait of the waiting thread (TTcpSocket::Wait: connecting, reading, writing)
// ends within kCancelSliceMs with the system's "cancelled" error, and so does every
// later one.
#pragma once

#include <atomic>

namespace eqd::platform {

class TCancelSignal {
 public:
  void Raise() { raised_.store(true); }
  bool Raised() const { return raised_.load(); }

 private:
  std::atomic<bool> raised_{false};
};

// The signal the socket waits of this thread watch, for as long as the object lives.
class TCancelScope {
 public:
  explicit TCancelScope(const TCancelSignal& signal) : outer_(current_) { current_ = &signal; }
  ~TCancelScope() { current_ = outer_; }
  TCancelScope(const TCancelScope&) = delete;
  TCancelScope& operator=(const TCancelScope&) = delete;

  // True when a scope of this thread has had its signal raised.
  static bool CancelRequested() { return current_ != nullptr && current_->Raised(); }

 private:
  static inline thread_local const TCancelSignal* current_ = nullptr;
  const TCancelSignal* outer_;
};

// The longest a socket wait goes without looking at the signal.
inline constexpr int kCancelSliceMs = 50;

}  // namespace eqd::platform
