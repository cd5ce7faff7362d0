#include "model/model_guard.h"

#include <signal.h>
#include <time.h>

#include <cmath>
#include <cstdlib>

namespace zelk {

namespace {

constexpr int kSignals[] = {SIGFPE, SIGSEGV, SIGBUS, SIGILL};
constexpr int kSignalCount = 4;
thread_local struct sigaction previous[kSignalCount];
thread_local guard_detail::FpuState outerFpu;

// Only our own timers send it, so its handler stays once installed: a solution then pays
// for arming and disarming the timer, not for swapping handlers too.
int TimerSignal() { return SIGRTMIN + 1; }

int IndexOf(int signal) {
  for (int i = 0; i < kSignalCount; ++i)
    if (kSignals[i] == signal) return i;
  return -1;
}

void OnFault(int signal, siginfo_t* info, void* context) {
  guard_detail::State& state = guard_detail::ThreadState();
  if (state.Active) {
    state.Active = false;
    state.Fault = signal == SIGFPE ? GuardFault::Arithmetic : GuardFault::Crash;
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

// The timer is ours alone: outside a model call it only marks the scope as expired.
void OnTimeLimit(int signal, siginfo_t*, void*) {
  guard_detail::State& state = guard_detail::ThreadState();
  if (state.Depth == 0 || !state.Timed) return;  // a late tick of a disarmed timer
  // The timer is one-shot: a model that is called again must not get the time again.
  state.Expired = true;
  if (state.Active) {
    state.Active = false;
    state.Fault = GuardFault::TimeLimit;
    siglongjmp(state.Env, signal);
  }
}

// The handlers need a stack of their own: a model that overflows the thread's stack leaves
// none to run them on. A stack someone else set up (a sanitizer's) is kept when big enough.
constexpr std::size_t kAltStackBytes = 64 * 1024;

struct AltStack {
  void* Memory = nullptr;
  bool Checked = false;
  ~AltStack() {
    if (!Memory) return;
    stack_t off{};
    off.ss_flags = SS_DISABLE;
    sigaltstack(&off, nullptr);
    std::free(Memory);
  }
};
thread_local AltStack altStack;

void EnsureAltStack() {
  if (altStack.Checked) return;
  altStack.Checked = true;
  stack_t current{};
  if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE) &&
      current.ss_size >= kAltStackBytes / 2)
    return;
  void* memory = std::malloc(kAltStackBytes);
  if (!memory) return;
  stack_t ours{};
  ours.ss_sp = memory;
  ours.ss_size = kAltStackBytes;
  if (sigaltstack(&ours, nullptr) != 0) {
    std::free(memory);
    return;
  }
  altStack.Memory = memory;
}

// One timer per thread, created on first use, signalling the thread itself.
struct ThreadTimer {
  timer_t Id{};
  bool Created = false;
  bool Failed = false;
  ~ThreadTimer() {
    if (Created) timer_delete(Id);
  }
};
thread_local ThreadTimer threadTimer;

bool SetTimer(double seconds) {
  if (!threadTimer.Created) {
    if (threadTimer.Failed) return false;
    struct sigaction action {};
    action.sa_sigaction = OnTimeLimit;
    action.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(TimerSignal(), &action, nullptr);
    sigevent event{};
    event.sigev_notify = SIGEV_THREAD_ID;
    event.sigev_signo = TimerSignal();
    event._sigev_un._tid = gettid();
    if (timer_create(CLOCK_MONOTONIC, &event, &threadTimer.Id) != 0) {
      threadTimer.Failed = true;
      return false;
    }
    threadTimer.Created = true;
  }
  itimerspec spec{};
  double whole = 0;
  const double fraction = std::modf(seconds, &whole);
  spec.it_value.tv_sec = static_cast<time_t>(whole);
  spec.it_value.tv_nsec = static_cast<long>(fraction * 1e9);
  return timer_settime(threadTimer.Id, 0, &spec, nullptr) == 0;
}

}  // namespace

ModelGuardScope::ModelGuardScope(double timeLimitSeconds) {
  guard_detail::State& state = guard_detail::ThreadState();
  if (state.Depth++ > 0) return;
  state.Fault = GuardFault::None;
  state.Expired = false;
  state.Timed = false;
  EnsureAltStack();
  outerFpu = guard_detail::ReadFpu();
  state.Kept = outerFpu;
  // Traps stay masked inside the scope; faults are read from the flags.
  state.Kept.Mxcsr |= 0x80u | 0x200u | 0x400u;
  state.Kept.Control |= 0x0Du;
  guard_detail::ResetFpu(state.Kept);
  struct sigaction action {};
  // No deferral: the handler leaves by siglongjmp, so the signal must not stay blocked.
  action.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  action.sa_sigaction = OnFault;
  for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &action, &previous[i]);
  // Seconds beyond a day are no limit a user waits for; they also keep the conversion sane.
  if (timeLimitSeconds > 0 && timeLimitSeconds <= 86400) state.Timed = SetTimer(timeLimitSeconds);
}

ModelGuardScope::~ModelGuardScope() {
  guard_detail::State& state = guard_detail::ThreadState();
  if (--state.Depth > 0) return;
  // A tick already on its way when the timer is disarmed finds the scope closed and is dropped.
  if (state.Timed) SetTimer(0);
  state.Timed = false;
  for (int i = 0; i < kSignalCount; ++i) sigaction(kSignals[i], &previous[i], nullptr);
  guard_detail::ResetFpu(outerFpu);
}

}  // namespace zelk
