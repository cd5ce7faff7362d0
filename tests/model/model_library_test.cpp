#include "model/model_library.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cfenv>
#include <chrono>
#include <cmath>
#include <fstream>

#include "model/model_guard.h"
#include "support/files.h"
#include "support/model_fixture.h"
#include "support/temp_folder.h"

namespace zelk {
namespace {

using test::ModelPath;
using test::ModelTest;

struct ProgramState {
  std::uint32_t Mxcsr;
  std::uint16_t Control;
  void (*Handlers[4])(int);
  static ProgramState Now() {
    ProgramState s{};
    __asm__ volatile("stmxcsr %0" : "=m"(s.Mxcsr));
    __asm__ volatile("fnstcw %0" : "=m"(s.Control));
    const int signals[4] = {SIGFPE, SIGSEGV, SIGBUS, SIGILL};
    for (int i = 0; i < 4; ++i) {
      struct sigaction a {};
      sigaction(signals[i], nullptr, &a);
      s.Handlers[i] = a.sa_handler;
    }
    return s;
  }
  bool operator==(const ProgramState& o) const {
    return (Mxcsr & ~0x3Fu) == (o.Mxcsr & ~0x3Fu) && Control == o.Control &&
           std::equal(Handlers, Handlers + 4, o.Handlers);
  }
};

TEST_F(ModelTest, LoadsALibraryWithBothEntryPoints) {
  EXPECT_TRUE(ws_->Model.LoadModelLibrary(ModelPath("decay"), BoxesOf(ui_)));
  EXPECT_NE(ws_->Model.DynamicProc, nullptr);
  EXPECT_NE(ws_->Model.InitialProc, nullptr);
  EXPECT_TRUE(ui_.Messages.empty());
}

TEST_F(ModelTest, ALibraryMissingAnEntryPointCountsAsLoadedAndEveryCallFails) {
  for (const char* name : {"libonly_dynamic.so", "libno_entry_points.so"}) {
    const std::string path = std::string(MODEL_DIR) + "/" + name;
    EXPECT_FALSE(ws_->Model.LoadModelLibrary(path, BoxesOf(ui_))) << name;
    EXPECT_EQ(ws_->Model.LibFileName, path);
    EXPECT_TRUE(ui_.Messages.empty());
    Data(1, 1, {0, 1});
    EXPECT_EQ(Solve({0.5}), SolveResult::ModelFault) << name;
    EXPECT_TRUE(ui_.Messages.empty());
    ws_->Model.UnloadModelLibrary(BoxesOf(ui_));
  }
}

TEST_F(ModelTest, AFileThatIsNoLibraryIsRefusedWithTheMessage) {
  test::TempFolder folder;
  std::ofstream(folder.File("text.dll")) << "not a shared object";
  for (const std::string& path : {folder.File("text.dll"), folder.File("missing.dll")}) {
    EXPECT_FALSE(ws_->Model.LoadModelLibrary(path, BoxesOf(ui_)));
    EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{"Zelk failed to load compiled model!"});
    EXPECT_TRUE(ws_->Model.LibFileName.empty());
  }
}

TEST_F(ModelTest, UnloadWithNothingLoadedDoesNothing) {
  ws_->Model.UnloadModelLibrary(BoxesOf(ui_));
  EXPECT_TRUE(ui_.Messages.empty());
  Load("decay");
  ws_->Model.UnloadModelLibrary(BoxesOf(ui_));
  EXPECT_TRUE(ws_->Model.LibFileName.empty());
  EXPECT_EQ(ws_->Model.LibHandle, nullptr);
  EXPECT_TRUE(ui_.Messages.empty());
}

TEST_F(ModelTest, EachKindOfFaultFailsTheCallAndTheProgramGoesOn) {
  const ProgramState before = ProgramState::Now();
  for (const char* fault : {"fault_fdiv", "fault_idiv", "fault_overflow", "fault_invalid",
                            "fault_nil", "fault_illegal", "fault_runtime"}) {
    TModel model;
    ASSERT_TRUE(model.LoadModelLibrary(ModelPath(fault), BoxesOf(ui_))) << fault;
    T20Vector p{}, x{};
    T50Vector y{}, dy{};
    p[1] = 1;
    y[1] = 2;
    EXPECT_FALSE(model.CallDynamic(p.data(), x.data(), y.data(), dy.data())) << fault;
    EXPECT_FALSE(model.CallDynamic(p.data(), x.data(), y.data(), dy.data())) << fault << " again";
    EXPECT_TRUE(ProgramState::Now() == before) << fault;
    // Arithmetic outside the model is untouched: no trap, quiet results.
    volatile double zero = 0;
    EXPECT_TRUE(std::isinf(1.0 / zero));
    EXPECT_TRUE(std::isnan(zero / zero));
    model.UnloadModelLibrary(BoxesOf(ui_));
  }
  TModel good;
  ASSERT_TRUE(good.LoadModelLibrary(ModelPath("decay"), BoxesOf(ui_)));
  T20Vector p{}, x{};
  T50Vector y{}, dy{};
  p[1] = 0.5;
  y[1] = 2;
  EXPECT_TRUE(good.CallDynamic(p.data(), x.data(), y.data(), dy.data()));
  EXPECT_EQ(dy[1], -1.0);
  EXPECT_TRUE(ui_.Messages.empty());
}

// The guard reads faults from the sticky flags: what the caller raised before is not the
// model's, and a model that unmasks traps for itself leaves the caller's environment intact.
TEST_F(ModelTest, OnlyFlagsTheModelRaisesFailItsCall) {
  const ProgramState before = ProgramState::Now();
  for (const char* name : {"decay", "unmask"}) {
    TModel model;
    ASSERT_TRUE(model.LoadModelLibrary(ModelPath(name), BoxesOf(ui_))) << name;
    T20Vector p{}, x{};
    T50Vector y{}, dy{};
    p[1] = 0.5;
    y[1] = 2;
    ModelGuardScope scope;
    volatile double zero = 0;
    volatile double raised = zero / zero + 1.0 / zero + 1e300 * 1e300;
    (void)raised;
    EXPECT_TRUE(model.CallDynamic(p.data(), x.data(), y.data(), dy.data())) << name;
    EXPECT_EQ(dy[1], -1.0) << name;
    EXPECT_TRUE(std::isinf(1.0 / zero)) << name << ": traps are masked after the call";
    EXPECT_TRUE(model.CallDynamic(p.data(), x.data(), y.data(), dy.data())) << name << " again";
  }
  EXPECT_TRUE(ProgramState::Now() == before);
}

TEST_F(ModelTest, TheModelGetsCopiesOfThePointers) {
  TModel model;
  ASSERT_TRUE(model.LoadModelLibrary(ModelPath("reassign"), BoxesOf(ui_)));
  T20Vector p{}, x{};
  T50Vector y{}, dy{};
  p[1] = 3;
  y[1] = 2;
  double* const pointers[] = {p.data(), x.data(), y.data(), dy.data()};
  double* pp = pointers[0];
  EXPECT_TRUE(model.CallDynamic(pp, pointers[1], pointers[2], pointers[3]));
  EXPECT_EQ(pp, p.data());
  EXPECT_EQ(dy[1], -6.0);
}

// Start-up code runs inside dlopen, where no jump may leave: it is tried in a child first.
TEST_F(ModelTest, ALibraryWhoseStartUpFaultsOrHaltsIsAFailedLoad) {
  const ProgramState before = ProgramState::Now();
  for (const char* name : {"fault_startup", "halt_startup"}) {
    EXPECT_FALSE(ws_->Model.LoadModelLibrary(ModelPath(name), BoxesOf(ui_))) << name;
    EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{"Zelk failed to load compiled model!"});
    EXPECT_TRUE(ws_->Model.LibFileName.empty()) << name;
  }
  EXPECT_TRUE(ProgramState::Now() == before);
  Load("decay");
  Data(1, 1, {0, 1});
  EXPECT_EQ(Solve({0.5}), SolveResult::Solved);
}

TEST_F(ModelTest, ATimeLimitOfAScopeFailsTheCallRunningWhenItPassesAndEveryLaterOne) {
  Load("decay");
  T20Vector p{}, x{};
  T50Vector y{}, dy{};
  p[1] = 0.5;
  y[1] = 2;
  const ProgramState before = ProgramState::Now();
  {
    ModelGuardScope scope(0.05);
    EXPECT_TRUE(ws_->Model.CallDynamic(p.data(), x.data(), y.data(), dy.data()));
    // Time passes in the caller, between calls.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    while (std::chrono::steady_clock::now() < until) {
    }
    EXPECT_FALSE(ws_->Model.CallDynamic(p.data(), x.data(), y.data(), dy.data()));
    EXPECT_EQ(LastGuardFault(), GuardFault::TimeLimit);
  }
  EXPECT_TRUE(ProgramState::Now() == before);
  // A new scope starts afresh, and a disarmed timer never fires later.
  ModelGuardScope scope(0.05);
  EXPECT_TRUE(ws_->Model.CallDynamic(p.data(), x.data(), y.data(), dy.data()));
  EXPECT_EQ(LastGuardFault(), GuardFault::None);
}

TEST_F(ModelTest, AGuardScopeRestoresTheHandlersItFound) {
  const ProgramState before = ProgramState::Now();
  {
    ModelGuardScope outer;
    ModelGuardScope inner;
    EXPECT_FALSE(ProgramState::Now() == before);
  }
  EXPECT_TRUE(ProgramState::Now() == before);
}

TEST(Pasbuild, ReportsAFailedBuildWithTheCompilersMessages) {
  test::TempFolder folder;
  std::ofstream(folder.File("broken.pas"))
      << "Library broken;\nbegin\n  this is not pascal\nend.\n";
  const auto [status, out] =
      test::RunCommand(std::string(PASBUILD) + " " + folder.File("broken.pas") + " /E " +
                       folder.Path().string() + "/");
  EXPECT_NE(status, 0);
  EXPECT_NE(out.find("broken.pas(3"), std::string::npos) << out;
  EXPECT_NE(out.find("pasbuild: the library was not built"), std::string::npos) << out;
  EXPECT_FALSE(std::filesystem::exists(folder.File("broken.dll")));
}

TEST(Pasbuild, SaysSoWhenFreePascalIsMissing) {
  test::TempFolder folder;
  std::ofstream(folder.File("x.pas")) << "Library x;\nbegin\nend.\n";
  const auto [status, out] =
      test::RunCommand("PATH=/nonexistent " + std::string(PASBUILD) + " " + folder.File("x.pas") +
                       " /E " + folder.Path().string());
  EXPECT_EQ(status, 1);
  EXPECT_EQ(out,
            "pasbuild: the Free Pascal compiler (fpc) is not on the PATH; install the Debian "
            "package fp-compiler\n");
}

TEST(Pasbuild, BuildsTheLibraryNamedOnItsLibraryLineAndLeavesNothingElse) {
  test::TempFolder folder;
  std::ofstream(folder.File("source.pas")) << "Library reactor;\n\nbegin\nend.\n";
  const std::string run = std::string(PASBUILD) + " " + folder.File("source.pas") + " /E " +
                          folder.Path().string() + "/ > /dev/null 2>&1";
  ASSERT_EQ(std::system(run.c_str()), 0);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"reactor.dll", "source.pas"}));
}

}  // namespace
}  // namespace zelk
