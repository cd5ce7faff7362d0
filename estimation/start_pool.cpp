#include "estimation/start_pool.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <map>

namespace zelk {

namespace {

using Clock = std::chrono::steady_clock;

struct Child {
  int Item = 0;
  int Fd = -1;
  Clock::time_point Started;
  std::string Text;
  bool Killed = false;
  ChildOutcome::Kind KilledAs = ChildOutcome::Kind::TimeLimit;
};

void WriteAll(int fd, const std::string& text) {
  std::size_t at = 0;
  while (at < text.size()) {
    const ssize_t n = ::write(fd, text.data() + at, text.size() - at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    at += static_cast<std::size_t>(n);
  }
}

}  // namespace

void RunInChildren(const std::vector<int>& items, int jobs, double seconds,
                   const std::function<std::string(int)>& work,
                   const std::function<void(int, const ChildOutcome&)>& done,
                   const std::function<bool()>& keepGoing) {
  if (jobs < 1) jobs = 1;
  std::map<pid_t, Child> running;
  std::size_t next = 0;
  bool stopping = false;
  std::fflush(nullptr);  // a child must not write this process's buffers a second time
  while (next < items.size() || !running.empty()) {
    while (!stopping && next < items.size() && static_cast<int>(running.size()) < jobs) {
      int fds[2];
      if (::pipe(fds) != 0) break;
      const int item = items[next++];
      const pid_t pid = ::fork();
      if (pid == 0) {
        ::close(fds[0]);
        WriteAll(fds[1], work(item));
        ::_exit(0);
      }
      ::close(fds[1]);
      if (pid < 0) {
        ::close(fds[0]);
        done(item, {ChildOutcome::Kind::Crashed, {}, 0});
        continue;
      }
      running[pid] = {item, fds[0], Clock::now(), {}, false, ChildOutcome::Kind::TimeLimit};
    }
    if (running.empty()) break;
    std::vector<pollfd> polls;
    std::vector<pid_t> order;
    for (auto& [pid, child] : running)
      if (child.Fd >= 0) {
        polls.push_back({child.Fd, POLLIN, 0});
        order.push_back(pid);
      }
    if (!polls.empty()) ::poll(polls.data(), polls.size(), 100);
    for (std::size_t i = 0; i < polls.size(); ++i) {
      if (!(polls[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      Child& child = running[order[i]];
      char buffer[65536];
      const ssize_t n = ::read(child.Fd, buffer, sizeof buffer);
      if (n > 0) {
        child.Text.append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        ::close(child.Fd);
        child.Fd = -1;
      }
    }
    if (!stopping && keepGoing && !keepGoing()) stopping = true;
    for (auto it = running.begin(); it != running.end();) {
      Child& child = it->second;
      const double elapsed = std::chrono::duration<double>(Clock::now() - child.Started).count();
      if (!child.Killed && (stopping || (seconds > 0 && elapsed > seconds))) {
        ::kill(it->first, SIGKILL);
        child.Killed = true;
        child.KilledAs = stopping ? ChildOutcome::Kind::Stopped : ChildOutcome::Kind::TimeLimit;
      }
      int status = 0;
      // The pipe closes before the child is reaped: wait only for one whose pipe has ended.
      const pid_t ended = child.Fd < 0 || child.Killed ? ::waitpid(it->first, &status, child.Killed ? 0 : WNOHANG) : 0;
      if (ended != it->first) {
        ++it;
        continue;
      }
      if (child.Fd >= 0) ::close(child.Fd);
      ChildOutcome outcome;
      outcome.Seconds = elapsed;
      if (child.Killed) {
        outcome.Result = child.KilledAs;
      } else if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && !child.Text.empty()) {
        outcome.Text = std::move(child.Text);
      } else {
        outcome.Result = ChildOutcome::Kind::Crashed;
      }
      done(child.Item, outcome);
      it = running.erase(it);
    }
  }
}

}  // namespace zelk
