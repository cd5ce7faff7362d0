#pragma once
// The guard around every call into a compiled model. A call fails when the model raised
// invalid, divide-by-zero or overflow, or faulted with SIGFPE (integer division), SIGSEGV,
// SIGBUS or SIGILL; the signals leave the model through siglongjmp.
//
// Floating-point traps stay masked: the exceptions are read back from the sticky x87 status
// word and MXCSR after the call. Loading a control word costs tens of nanoseconds on some
// CPUs, as much as a small model's whole call, so the common path loads none: it only reads
// the flags and the control words, and writes them only when something is raised or the
// model changed them.
//
// The handlers and the floating-point environment to keep are taken by ModelGuardScope
// (once per solution, say) and restored when the outermost scope ends. A guarded call
// outside any scope opens one for itself. Inside a scope a call makes no system call.
//
// The handlers run on an alternate signal stack, so a model that overflows its stack fails
// its call too. A scope may carry a time limit on its wall-clock time: a timer of the
// thread, armed when the outermost scope opens and disarmed when it closes, ends the model
// call that is running when it expires, and every later call of the scope fails at once.
// The timer signals SIGRTMIN + 1, whose handler stays installed once a limit was used.

#include <csetjmp>
#include <cstdint>

namespace zelk {

// Why the last failed guarded call of this thread failed.
enum class GuardFault : std::uint8_t {
  None,
  Arithmetic,  // a floating-point fault flag or SIGFPE
  Crash,       // SIGSEGV, SIGBUS or SIGILL: a wild access, a stack overflow, a halt
  TimeLimit,   // the scope's time limit expired
};

class ModelGuardScope {
 public:
  // timeLimitSeconds > 0 (up to a day) limits the outermost scope's wall-clock time.
  explicit ModelGuardScope(double timeLimitSeconds = 0);
  ~ModelGuardScope();
  ModelGuardScope(const ModelGuardScope&) = delete;
  ModelGuardScope& operator=(const ModelGuardScope&) = delete;
};

namespace guard_detail {

// Invalid, zero-divide and overflow: the same bits of the x87 status word and of MXCSR.
inline constexpr std::uint32_t kFaultFlags = 0x0D;
inline constexpr std::uint32_t kMxcsrFlags = 0x3F;

struct FpuState {
  std::uint32_t Mxcsr;
  std::uint16_t Control;
};

struct State {
  sigjmp_buf Env;
  volatile bool Active = false;
  volatile bool Expired = false;  // the time limit passed outside a model call
  volatile GuardFault Fault = GuardFault::None;
  int Depth = 0;       // open scopes
  bool Timed = false;  // the outermost scope armed the timer
  FpuState Kept{};     // the environment the outermost scope found, flags cleared
};
inline thread_local State threadState;
inline State& ThreadState() { return threadState; }

inline FpuState ReadFpu() {
  FpuState s;
  __asm__ volatile("stmxcsr %0" : "=m"(s.Mxcsr));
  __asm__ volatile("fnstcw %0" : "=m"(s.Control));
  return s;
}

inline std::uint32_t RaisedFaultFlags() {
  std::uint32_t mxcsr;
  std::uint16_t status;
  __asm__ volatile("stmxcsr %0" : "=m"(mxcsr));
  __asm__ volatile("fnstsw %0" : "=m"(status));
  return (mxcsr | status) & kFaultFlags;
}

// Back to `kept` with no flag raised. After a fault the x87 stack may hold the model's
// operands, so it is reinitialised too.
inline void ResetFpu(const FpuState& kept) {
  const std::uint32_t mxcsr = kept.Mxcsr & ~kMxcsrFlags;
  __asm__ volatile("fninit");
  __asm__ volatile("fldcw %0" : : "m"(kept.Control));
  __asm__ volatile("ldmxcsr %0" : : "m"(mxcsr));
}

// After a call: true when the model raised a fault flag; the environment is back to `kept`.
inline bool CheckAfterCall(const FpuState& kept) {
  std::uint32_t mxcsr;
  std::uint16_t status, control;
  __asm__ volatile("stmxcsr %0" : "=m"(mxcsr));
  __asm__ volatile("fnstsw %0" : "=m"(status));
  __asm__ volatile("fnstcw %0" : "=m"(control));
  const bool raised = ((mxcsr | status) & kFaultFlags) != 0;
  if (raised || control != kept.Control || ((mxcsr ^ kept.Mxcsr) & ~kMxcsrFlags) != 0)
    ResetFpu(kept);
  return raised;
}

}  // namespace guard_detail

// Runs `call` under the guard; false when it faulted. Not reentrant: a model never calls
// back into the program.
template <class F>
inline bool RunGuarded(F&& call) {
  guard_detail::State& state = guard_detail::ThreadState();
  if (state.Depth == 0) {
    ModelGuardScope scope;  // a lone call pays for installing the handlers
    return RunGuarded(call);
  }
  if (state.Expired) {
    state.Fault = GuardFault::TimeLimit;
    return false;
  }
  // A flag our own arithmetic raised is not the model's.
  if (guard_detail::RaisedFaultFlags() != 0) guard_detail::ResetFpu(state.Kept);
  if (sigsetjmp(state.Env, 0) != 0) {
    guard_detail::ResetFpu(state.Kept);
    return false;
  }
  state.Active = true;
  call();
  __asm__ volatile("fwait");  // a model that unmasked x87 traps faults here, still guarded
  state.Active = false;
  if (!guard_detail::CheckAfterCall(state.Kept)) return true;
  state.Fault = GuardFault::Arithmetic;
  return false;
}

// The reason of this thread's last failed guarded call; None once a scope opens afresh.
inline GuardFault LastGuardFault() { return guard_detail::ThreadState().Fault; }

}  // namespace zelk
