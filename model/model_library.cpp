#include "model/model_library.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "model/model_guard.h"

namespace zelk {

namespace {

// Loading or freeing a library runs its initialisation code, which may set the FPU or
// install signal handlers of its own; the program keeps its own afterwards.
class PlatformStateKeeper {
 public:
  PlatformStateKeeper() : fpu_(guard_detail::ReadFpu()) {
    for (int i = 0; i < 4; ++i) sigaction(kSignals[i], nullptr, &actions_[i]);
  }
  ~PlatformStateKeeper() {
    for (int i = 0; i < 4; ++i) sigaction(kSignals[i], &actions_[i], nullptr);
    guard_detail::ResetFpu(fpu_);
  }

 private:
  static constexpr int kSignals[4] = {SIGFPE, SIGSEGV, SIGBUS, SIGILL};
  guard_detail::FpuState fpu_;
  struct sigaction actions_[4];
};

// Seconds a library's start-up code may run before its load counts as failed.
constexpr unsigned kStartUpSeconds = 10;

// Runs the library's start-up code once in a child process: a fault, a halt or an endless
// loop there would otherwise end or freeze the program, and no signal can be left by a jump
// while the loader holds its lock. False when the child did not come back from dlopen.
// When no child can be made the load goes ahead unprobed.
bool StartsCleanly(const std::string& path) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return true;
  const pid_t pid = ::fork();
  if (pid < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return true;
  }
  if (pid == 0) {
    // The child must die of a fault or of the alarm, whatever the program blocked or caught.
    sigset_t deadly;
    sigemptyset(&deadly);
    for (int signal : {SIGFPE, SIGSEGV, SIGBUS, SIGILL, SIGALRM}) {
      ::signal(signal, SIG_DFL);
      sigaddset(&deadly, signal);
    }
    ::sigprocmask(SIG_UNBLOCK, &deadly, nullptr);
    ::alarm(kStartUpSeconds);
    const char back = 1;
    (void)::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    (void)::write(fds[1], &back, 1);
    ::_exit(0);  // no exit handlers: the library's finalisation is not the child's business
  }
  ::close(fds[1]);
  char back = 0;
  ssize_t n;
  do n = ::read(fds[0], &back, 1);
  while (n < 0 && errno == EINTR);
  ::close(fds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return n == 1;
}

}  // namespace

bool TModel::LoadModelLibrary(const std::string& path, const MessageSink& say) {
  void* handle = nullptr;
  if (StartsCleanly(path)) {
    PlatformStateKeeper keep;
    handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  }
  if (!handle) {
    if (say) say(Severity::Error, kLoadFailed);
    return false;
  }
  LibHandle = handle;
  LibFileName = path;
  InitialProc = reinterpret_cast<TInitialProc>(::dlsym(handle, "InitialEquations"));
  DynamicProc = reinterpret_cast<TDynamicProc>(::dlsym(handle, "DynamicEquations"));
  StartProc = reinterpret_cast<TStartProc>(::dlsym(handle, "StartEquations"));
  // Libraries built before the rows followed the data do without it: classic rows.
  XeStride = kMaxIndep + 1;
  YeStride = kMaxDep + 1;
  using TStridesProc = void (*)(std::int32_t*, std::int32_t*);
  if (auto strides = reinterpret_cast<TStridesProc>(::dlsym(handle, "MatrixStrides"))) {
    std::int32_t xs = 0, ys = 0;
    strides(&xs, &ys);
    if (xs > kMaxIndep && xs <= kMaxVariables + 1 && ys > kMaxDep && ys <= kMaxVariables + 1) {
      XeStride = xs;
      YeStride = ys;
    }
  }
  return InitialProc && DynamicProc;
}

void TModel::UnloadModelLibrary(const MessageSink& say) {
  if (LibFileName.empty()) return;
  int failed = 0;
  {
    PlatformStateKeeper keep;
    failed = LibHandle ? ::dlclose(LibHandle) : 0;
  }
  if (failed != 0 && say) say(Severity::Warning, kUnloadProblems);
  LibFileName.clear();
  LibHandle = nullptr;
  StartProc = nullptr;
}

bool TModel::CallDynamic(double* p, double* x, double* y, double* dy) {
  TDynamicProc proc = DynamicProc;
  if (LibFileName.empty() || !proc) return false;
  double *pc = p, *xc = x, *yc = y, *dyc = dy;
  if (!Guarded) {
    proc(&pc, &xc, &yc, &dyc);
    return true;
  }
  return RunGuarded([&] { proc(&pc, &xc, &yc, &dyc); });
}

bool TModel::CallInitial(double* p, double* x, double* y, double* xe, double* ye) {
  TInitialProc proc = InitialProc;
  if (LibFileName.empty() || !proc) return false;
  double *pc = p, *xc = x, *yc = y, *xec = xe, *yec = ye;
  if (!Guarded) {
    proc(&pc, &xc, &yc, &xec, &yec);
    return true;
  }
  return RunGuarded([&] { proc(&pc, &xc, &yc, &xec, &yec); });
}

bool TModel::CallStart(double* p, double* x, double* y) {
  TStartProc proc = StartProc;
  if (!proc) return true;
  if (LibFileName.empty()) return false;
  double *pc = p, *xc = x, *yc = y;
  if (!Guarded) {
    proc(&pc, &xc, &yc);
    return true;
  }
  return RunGuarded([&] { proc(&pc, &xc, &yc); });
}

}  // namespace zelk
