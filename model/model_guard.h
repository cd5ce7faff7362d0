#pragma once
// The guard around every call into a compiled model. Floating-point traps (invalid,
// divide by zero, overflow) are enabled for the call only, and SIGFPE, SIGSEGV, SIGBUS and
// SIGILL raised inside it become a failed call through siglongjmp. Afterwards the caller's
// floating-point environment is back as it was.
//
// The handlers are installed by ModelGuardScope (once per solution, say) and removed when
// the outermost scope ends, restoring whatever the program had before. A guarded call
// outside any scope installs them for itself. Inside a scope a call makes no system call.

#include <csetjmp>
#include <cstdint>

namespace zelk {

class ModelGuardScope {
 public:
  ModelGuardScope();
  ~ModelGuardScope();
  ModelGuardScope(const ModelGuardScope&) = delete;
  ModelGuardScope& operator=(const ModelGuardScope&) = delete;
};

namespace guard_detail {

struct State {
  sigjmp_buf Env;
  volatile bool Active = false;
  int Depth = 0;  // open scopes
};
inline thread_local State threadState;
inline State& ThreadState() { return threadState; }

struct FpuState {
  std::uint32_t Mxcsr;
  std::uint16_t Control;
};

inline FpuState SaveFpu() {
  FpuState s;
  __asm__ volatile("stmxcsr %0" : "=m"(s.Mxcsr));
  __asm__ volatile("fnstcw %0" : "=m"(s.Control));
  return s;
}

inline void EnableTraps(const FpuState& s) {
  // MXCSR bits 7, 9, 10 and x87 control bits 0, 2, 3 mask invalid, zero-divide, overflow.
  std::uint32_t mxcsr = (s.Mxcsr & ~0x3Fu) & ~(0x80u | 0x200u | 0x400u);
  std::uint16_t control = static_cast<std::uint16_t>(s.Control & ~0x0Du);
  // An x87 flag already raised would fire as soon as it is unmasked; clearing is slow,
  // so only when needed.
  std::uint16_t status;
  __asm__ volatile("fnstsw %0" : "=m"(status));
  if (status & 0x0D) __asm__ volatile("fnclex");
  __asm__ volatile("fldcw %0" : : "m"(control));
  __asm__ volatile("ldmxcsr %0" : : "m"(mxcsr));
}

// After a normal return no unmasked x87 flag can be set: it would have trapped.
inline void RestoreFpu(const FpuState& s) {
  __asm__ volatile("fldcw %0" : : "m"(s.Control));
  __asm__ volatile("ldmxcsr %0" : : "m"(s.Mxcsr));
}

inline void RestoreFpuAfterFault(const FpuState& s) {
  __asm__ volatile("fnclex");
  RestoreFpu(s);
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
  const guard_detail::FpuState saved = guard_detail::SaveFpu();
  if (sigsetjmp(state.Env, 0) != 0) {
    guard_detail::RestoreFpuAfterFault(saved);
    return false;
  }
  guard_detail::EnableTraps(saved);
  state.Active = true;
  call();
  __asm__ volatile("fwait");  // a pending x87 fault surfaces here, still guarded
  state.Active = false;
  guard_detail::RestoreFpu(saved);
  return true;
}

}  // namespace zelk
