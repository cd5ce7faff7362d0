#pragma once
// Work items in child processes, a few at a time: each child computes one item and hands its
// result back as text through a pipe. A child that crashes, or runs past its time, ends
// alone; the other items go on and nothing finished is lost.

#include <functional>
#include <string>
#include <vector>

namespace zelk {

struct ChildOutcome {
  enum class Kind { Done, Crashed, TimeLimit, Stopped };
  Kind Result = Kind::Done;
  std::string Text;  // what the child wrote (Done only)
  double Seconds = 0;
};

// Runs work(item) for each of `items` in a child process of its own, at most `jobs` at once,
// and calls done(item, outcome) in this process as each ends. A child still running after
// `seconds` (0: no limit) is killed. keepGoing, asked between events, ends the run when it
// says false: running children are killed (Stopped), the items not started are not reported.
// The child leaves by _exit: no destructor or exit handler of this process runs there.
void RunInChildren(const std::vector<int>& items, int jobs, double seconds,
                   const std::function<std::string(int)>& work,
                   const std::function<void(int, const ChildOutcome&)>& done,
                   const std::function<bool()>& keepGoing = {});

}  // namespace zelk
