#include "model/model_guard.h"

#include <signal.h>

namespace zelk {

namespace {

constexpr int kSignals[] = {SIGFPE, SIGSEGV, SIGBUS, SIGILL};
constexpr int kSignalCount = 4;
thread_local struct sigaction previous[kSignalCount];
thread_local guard_detail::FpuState outerFpu;

int IndexOf(int signal) {
  for (int i = 0; i < kSignalCount; ++i)
    if (kSignals[i] == signal) return i;
  return -1;
}

void OnFault(int signal, siginfo_t* info, void* context) {
  guard_detail::State& state = guard_detail::ThreadState();
  if (state.Active) {
    state.Active = false;
    siglongjmp(state.Env, signal);
  }
  // A fault outside a model call is not ours: give it to whoever had the signal before.
  const int i = IndexOf(signal);
  const struct sigaction& before = previous[i];
  if (before.sa_flags & SA_SIGINFO) {
    before.sa_sigaction(signal, info, context);
  } else if (before.sa_handler == SIG_DFL || before.sa_handler == SIG_IGN) {
    // Returning re-executes the faulting instruction under the old disposition.
    sigaction(signal, &before, nullptr);
  } else {
    before.sa_handler(signal);
  }
}

}  // namespace

ModelGuardScope::ModelGuardScope() {
  guard_detail::State& state = guard_detail::ThreadState();
  if (state.Depth++ > 0) return;
  outerFpu = guard_detail::ReadFpu();
  state.Kept = outerFpu;
  // Traps stay masked inside the scope; faults are read from the flags.
  state.Kept.Mxcsr |= 0x80u | 0x200u | 0x400u;
  state.Kept.Control |= 0x0Du;
  guard_detail::ResetFpu(state.Kept);
  struct sigaction action {};
  action.sa_sigaction = OnFault;
  // No deferral: the handler leaves by siglongjmp, so the signal must not stay blocked.
  action.sa_flags = SA_SIGINFO | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &action, &previous[i]);
}

ModelGuardScope::~ModelGuardScope() {
  guard_detail::State& state = guard_detail::ThreadState();
  if (--state.Depth > 0) return;
  for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &previous[i], nullptr);
  guard_detail::ResetFpu(outerFpu);
}

}  // namespace zelk
