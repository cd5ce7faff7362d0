#pragma once
// Where the searches run: the stop loop, and who hears what they change and say. The window
// serves its events between two steps; a batch run or a test just steps.

#include <cstdint>
#include <functional>
#include <string>

#include "estimation/operation.h"
#include "model/message_sink.h"

namespace zelk {

// What a search or a command of the estimation changed, for whoever shows it.
enum class FitChange : std::uint8_t {
  Busy,         // a computation without a stop loop (standard errors) starts
  Idle,         // and has ended
  StdErrors,    // the standard errors are new
  Covariances,  // the correlations are new
  FlowStarted,  // a search starts: its progress is worth showing
  Flow,         // the objective kind, the counters or the F-test figures moved
  Best,         // a new best objective: a curve drawn from the old values is old
  Values,       // the parameter values moved
  Limits,       // the F-test limits moved
  FLimitsStarted,  // F-limit searches start
  FLimitSide,      // one side's search starts (LimitParam, LimitLower)
  LimitObjective,  // the F-test threshold is new
  ProfileMinimum,  // the profile's minimum at the probe moved
  Descent,         // the profile minimum's relative descent was judged
  DesignTrial,  // one more candidate set was judged
};

class RunLoop {
 public:
  virtual ~RunLoop() = default;
  // Mode() := mode, then `step` again and again until something sets the mode to 0.
  virtual void RunSteps(TOperation mode, const std::function<void()>& step) = 0;
  virtual std::uint8_t& Mode() = 0;
  // A close of the window was confirmed: no further search may start.
  virtual bool Closing() const { return false; }
  virtual void Changed(FitChange /*what*/) {}
  // Inside a long step (the LM search runs whole in one): serve what waits between steps.
  virtual void Serve() {}
  virtual void Tell(Severity severity, const std::string& text) = 0;
};

// The loop of a batch run: steps only, and its words to a sink.
class PlainRunLoop : public RunLoop {
 public:
  explicit PlainRunLoop(MessageSink say = {}) : say_(std::move(say)) {}
  void RunSteps(TOperation mode, const std::function<void()>& step) override {
    mode_ = mode;
    do step();
    while (mode_ != kIdle);
  }
  std::uint8_t& Mode() override { return mode_; }
  void Tell(Severity severity, const std::string& text) override {
    if (say_) say_(severity, text);
  }

 private:
  MessageSink say_;
  std::uint8_t mode_ = kIdle;
};

}  // namespace zelk
