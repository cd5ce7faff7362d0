#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <deque>
#include <filesystem>
#include <fstream>
#include <thread>

#include "base/format.h"
#include "base/messages.h"
#include "model/compile_driver.h"
#include "support/model_fixture.h"
#include "support/temp_folder.h"

namespace zelk {
namespace {

namespace fs = std::filesystem;

class Compile : public test::ModelTest {
 protected:
  Compile() {
    ws_->Prefs.CompilerPath = PASBUILD;
    ws_->Prefs.AutoCompile = false;
    ws_->Prefs.SourcePreview = true;
  }
  // One differential equation unless told, as the decay model needs.
  void SaveModel(const std::string& name, const std::string& text, const char* difEqs = "1") {
    Type(Dimension::DifEq, difEqs);
    ws_->ReplaceModelText(text);
    ui_.DialogAnswers = {folder_.File(name)};
    ws_->SaveModelFileAs();
    ASSERT_TRUE(ws_->Model.ModelSaved);
  }
  // Ticks the compile timer until the driver has seen the marker (a minute at most).
  bool WaitForCompiler() {
    for (int i = 0; i < 600 && ws_->Compiler().TimerEnabled; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      ws_->CompileTimerTimer();
    }
    return !ws_->Compiler().TimerEnabled;
  }
  test::TempFolder folder_;
};

const char* kDecay =
    "Language = Pascal\ndeclar\nend declar\nstatic\nend static\ndynamic\n  dy^[1] := "
    "-p^[1]*y^[1];\nend dynamic\n";

TEST_F(Compile, ACompiledModelIsLoadedWhenTheMarkerAppearsAndSolves) {
  SaveModel("decay.mod", kDecay);
  ws_->CompileAction();
  // "Compiled" only once the library is loaded.
  EXPECT_EQ(ui_.Panels[2], "Compiling...");
  EXPECT_TRUE(ui_.CompileTimer);
  EXPECT_EQ(ui_.PagesShown.back(), Page::Source);
  EXPECT_EQ(ws_->Compiler().SourceLines.front(), "Library decay;");
  EXPECT_TRUE(fs::exists(folder_.File("decay.pas")));
  ws_->Chart().CurveReady = true;
  ui_.Repaints.clear();
  ASSERT_TRUE(WaitForCompiler());
  EXPECT_FALSE(ui_.CompileTimer);
  EXPECT_EQ(ws_->Model.LibFileName, folder_.File("decay.dll"));
  EXPECT_EQ(ui_.Panels[2], "Compiled");
  // The chart draws the new library's curves.
  EXPECT_FALSE(ws_->Chart().CurveReady);
  EXPECT_EQ(ui_.Repaints[View::FitChart], 1);
  EXPECT_TRUE(ui_.Messages.empty());
  // The compiler's output came as it was written, the pane's last line says how it ended.
  const std::deque<std::string>& log = ws_->Log.Lines();
  EXPECT_NE(std::find(log.begin(), log.end(), "Compiling " + folder_.File("decay.pas")), log.end());
  EXPECT_EQ(log.back(), FillPlaceholders(msg::kModelCompiled, {"decay.mod"}));
  Data(1, 1, {0, 1, 2});
  EXPECT_EQ(Solve({1.0}), SolveResult::Solved);
  EXPECT_NEAR(C(3), std::exp(-2.0), 1e-3);
}

TEST_F(Compile, AnIndexBeyondTheDimensionPageIsWarnedAboutAndTheCompileGoesOn) {
  SaveModel("decay.mod", kDecay, "0");
  ws_->CompileAction();
  EXPECT_EQ(ws_->Log.Lines(),
            std::deque<std::string>{FillPlaceholders(msg::kDyBeyondDifEqCount, {"1", "7", "0"})});
  ASSERT_TRUE(WaitForCompiler());
  EXPECT_EQ(ws_->Model.LibFileName, folder_.File("decay.dll"));
  EXPECT_EQ(ui_.Panels[2], "Compiled");
}

TEST_F(Compile, AModelThatNoLongerCompilesIsNeverRunFromItsOldLibrary) {
  SaveModel("broken.mod", kDecay);
  ws_->CompileAction();
  ASSERT_TRUE(WaitForCompiler());
  ASSERT_FALSE(ws_->Model.LibFileName.empty());
  // Line 7 of the text, the unknown name at column 14 of the model's own line.
  ws_->ReplaceModelText(
      "language = pascal\ndeclar\nend declar\nstatic\nend static\ndynamic\n  dy^[1] := "
      "-q^[1];\nend dynamic\n");
  ws_->SaveModelFile();
  ws_->CompileAction();
  EXPECT_TRUE(ws_->Model.LibFileName.empty());
  EXPECT_FALSE(fs::exists(folder_.File("broken.dll")));
  ASSERT_TRUE(WaitForCompiler());
  EXPECT_EQ(ui_.TakeMessages(),
            std::vector<std::string>{
                "The model \"broken.mod\" did not compile: 1 error(s).\nThe compiler's messages "
                "are on the Messages page."});
  EXPECT_TRUE(ws_->Model.LibFileName.empty());
  EXPECT_EQ(ui_.Panels[2], "Not Compiled");
  ASSERT_GE(ui_.PagesShown.size(), 2u);
  EXPECT_EQ(ui_.PagesShown[ui_.PagesShown.size() - 2], Page::Messages);
  EXPECT_EQ(ReadCompileStatus(CompilePathsFor(folder_.File("broken.pas"))), 1);
  // The pane ends with the errors, not with the earlier compile's success.
  const std::deque<std::string>& pane = ws_->Log.Lines();
  const auto error =
      std::find(pane.begin(), pane.end(), "broken.mod(7,14) Error: Identifier not found \"q\"");
  ASSERT_NE(error, pane.end());
  EXPECT_LT(std::find(pane.begin(), pane.end(),
                      FillPlaceholders(msg::kModelCompiled, {"broken.mod"})),
            error);
  // The model page shows the text with the caret at the unknown name.
  EXPECT_EQ(ws_->ModelText.substr(ws_->ModelCaret, 5), "q^[1]");
  EXPECT_EQ(ui_.PagesShown.back(), Page::Model);
}

TEST_F(Compile, ATextThatDoesNotTranslateShowsOneMessageAndCompilesNothing) {
  SaveModel("decay.mod", kDecay);
  ASSERT_TRUE(ws_->Compiler().TranslateModel());  // an earlier translation leaves its source behind
  ws_->ReplaceModelText("language = pascal\ndeclar\nend declar\nstatic\n");
  ws_->SaveModelFile();
  ui_.Messages.clear();
  ws_->CompileAction();
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{"Undefined end of section (end static)!"});
  EXPECT_FALSE(ui_.CompileTimer);
  EXPECT_EQ(ui_.Panels[2], "Not Compiled");
}

TEST_F(Compile, AStaleMarkerIsRemovedBeforeTheScriptStarts) {
  SaveModel("decay.mod", kDecay);
  fs::create_directory(folder_.File("$$$.tmp"));
  ASSERT_TRUE(ws_->Compiler().StartCompile(folder_.File("decay.pas")));
  // Right after the start the old marker must be gone, or the tick would load too early.
  ws_->CompileTimerTimer();
  EXPECT_TRUE(ws_->Compiler().TimerEnabled);
  ASSERT_TRUE(WaitForCompiler());
}

TEST_F(Compile, AMissingCompilerIsReportedAfterTheLibraryWasUnloaded) {
  Load("decay");
  ws_->Prefs.CompilerPath = folder_.File("pasbuild");
  SaveModel("decay.mod", kDecay);
  ui_.Messages.clear();
  ws_->CompileAction();
  EXPECT_EQ(
      ui_.TakeMessages(),
      std::vector<std::string>{
          "Compiler executable (pasbuild.exe) was not found on specified location\nCheck your "
          "preferences!"});
  EXPECT_TRUE(ws_->Model.LibFileName.empty());
  EXPECT_FALSE(fs::exists(folder_.File("zelkcompile.bat")));
  EXPECT_FALSE(ui_.CompileTimer);
  EXPECT_EQ(ui_.Panels[2], "Not Compiled");
}

TEST_F(Compile, ACModelStartsNothing) {
  SaveModel("c.mod", "language = c\n");
  ws_->CompileAction();
  EXPECT_FALSE(ui_.CompileTimer);
  EXPECT_EQ(ui_.Panels[2], "Not Compiled");
}

TEST_F(Compile, AnUnsavedModelIsSavedFirstOrTheTranslationStops) {
  ws_->ReplaceModelText(kDecay);
  ui_.Answers = {Answer::Cancel};
  EXPECT_FALSE(ws_->Compiler().TranslateModel());
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{std::string(msg::kSaveModelFirst)});
  ui_.Answers = {Answer::Ok};
  ui_.DialogAnswers = {folder_.File("later.mod")};
  EXPECT_TRUE(ws_->Compiler().TranslateModel());
  EXPECT_TRUE(fs::exists(folder_.File("later.pas")));
}

TEST_F(Compile, AFrameErrorIsShownAndPutsTheCaretThere) {
  SaveModel("bad.mod", "language = pascal\ndeclar\nend declar\nstatic\n  y^[1] := 2;\n");
  EXPECT_FALSE(ws_->Compiler().TranslateModel());
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{"Undefined end of section (end static)!"});
  EXPECT_EQ(ws_->ModelCaret, std::string("language = pascal\ndeclar\nend declar\nstatic").size());
  EXPECT_TRUE(ws_->Compiler().SourceLines.empty());
  EXPECT_FALSE(fs::exists(folder_.File("bad.pas")));
}

TEST(CompileScript, RunsTheCompilerThenCreatesTheMarker) {
  const CompilePaths paths = CompilePathsFor("/models/it's here/decay.pas");
  EXPECT_EQ(paths.Folder, "/models/it's here/");
  EXPECT_EQ(paths.Marker, "/models/it's here/$$$.tmp");
  const auto lines = CompileScriptLines("/opt/zelk/pasbuild", paths);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[1], "echo Temporary batch file generated succesfully");
  EXPECT_EQ(lines[2], "echo Running Orvel Compiler");
  EXPECT_EQ(lines[3],
            "{ '/opt/zelk/pasbuild' \"$@\" 2>&1; echo $? > '/models/it'\\''s "
            "here/zelkcompile.status'; } | tee '/models/it'\\''s here/zelkcompile.log'");
  EXPECT_EQ(lines[4], "echo Finished!");
  EXPECT_EQ(lines[6], "mkdir '/models/it'\\''s here/$$$.tmp'");
}

TEST(CompileScript, PicksTheErrorLinesOutOfTheCompilersOutput) {
  const std::string log =
      "Free Pascal Compiler version 3.2.2\nCompiling /m/broken.pas\n/m/broken.pas(16,14) Error: "
      "Identifier not found "
      "\"q\"\n/m/broken.pas(40) Fatal: There were 1 errors compiling module, stopping\nFatal: "
      "Compilation aborted\n"
      "pasbuild: the library was not built (fpc exit code 1)\nbroken.pas(3,1) Note: nothing\n";
  EXPECT_EQ(
      CompilerErrorLines(log),
      (std::vector<std::string>{
          "/m/broken.pas(16,14) Error: Identifier not found \"q\"",
          "/m/broken.pas(40) Fatal: There were 1 errors compiling module, stopping",
          "Fatal: Compilation aborted", "pasbuild: the library was not built (fpc exit code 1)"}));
}

// The generated source copies each section verbatim, so a position in it is a position in
// the model text: the first line of a section follows its keyword on the same line.
TEST(CompileScript, MapsCompilerPositionsToTheModelText) {
  const std::string text =
      "language = pascal\ndeclar k : double;\nend declar\nstatic\nend static\ndynamic dy^[1] := "
      "k;\n  k := 2;\nend dynamic\n";
  ModelTranslator translator(text, "m");
  const TranslationResult r = translator.Translate();
  ASSERT_TRUE(r.Ok);
  ASSERT_EQ(r.Origins.size(), r.Lines.size());
  auto lineOf = [&](const std::string& wanted) {
    for (std::size_t i = 0; i < r.Lines.size(); ++i)
      if (r.Lines[i] == wanted) return static_cast<int>(i) + 1;
    return 0;
  };
  const int first = lineOf(" dy^[1] := k;"), second = lineOf("  k := 2;"),
            declaration = lineOf(" k : double;"), frame = lineOf("end.");
  ASSERT_GT(first * second * declaration * frame, 0);
  struct Case {
    std::string in, out;
  } cases[] = {
      {"m.pas(" + std::to_string(first) + ",2) Error: x", "m.mod(6,9) Error: x"},
      {"/d/m.pas(" + std::to_string(second) + ",3) Error: y", "m.mod(7,3) Error: y"},
      {"m.pas(" + std::to_string(declaration) + ") Fatal: z", "m.mod(2) Fatal: z"},
      {"m.pas(" + std::to_string(frame) + ") Fatal: There were 1 errors compiling module",
       "m.pas(" + std::to_string(frame) + ") Fatal: There were 1 errors compiling module"},
      {"m.pas(9999,1) Error: beyond", "m.pas(9999,1) Error: beyond"},
      {"am.pas(" + std::to_string(first) + ",2) Error: other file",
       "am.pas(" + std::to_string(first) + ",2) Error: other file"},
      {"Fatal: Compilation aborted", "Fatal: Compilation aborted"},
      {"m.pas(x) Error: no number", "m.pas(x) Error: no number"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MapCompilerMessage(c.in, "m.pas", "m.mod", r.Origins), c.out);
  const std::string model = "ab\ncdef\n";
  EXPECT_EQ(FirstErrorOffset({"Fatal: x", "m.mod(2,3) Error: y"}, "m.mod", model), 5u);
  EXPECT_EQ(FirstErrorOffset({"m.mod(2,99) Error: y"}, "m.mod", model), 7u);  // clamped
  EXPECT_EQ(FirstErrorOffset({"m.mod(9) Error: y"}, "m.mod", model), model.size());
  EXPECT_EQ(FirstErrorOffset({"m.pas(2,3) Error: y"}, "m.mod", model), std::string::npos);
  EXPECT_EQ(CountCompilerErrors({"m.mod(6,9) Error: x", "m.mod(2) Fatal: Syntax error",
                                 "m.pas(40) Fatal: There were 2 errors compiling module, stopping",
                                 "Fatal: Compilation aborted", "m.mod(3,1) Note: fine"}),
            2);
}

// Models found to take the program down: each is compiled from its own file as the user would,
// fails the solution that runs into the fault with the program still running, and leaves the
// next good solution intact.
class HostileModel : public Compile {
 protected:
  // `logLine`: what the message pane gains, nullptr for nothing.
  void Check(const char* finding, SolveResult result, const char* logLine) {
    // The library is named after the file, so the name must be a Pascal identifier.
    std::string local = finding;
    std::replace(local.begin(), local.end(), '-', '_');
    const std::string mod = folder_.File(local + ".mod");
    fs::copy_file(std::string(FINDINGS) + "/" + finding + ".mod", mod);
    fs::copy_file(std::string(FINDINGS) + "/" + finding + ".dim", folder_.File(local + ".dim"));
    ws_->Prefs.AutoCompile = true;
    ws_->Prefs.ModelTimeLimit = 1;
    ui_.DialogAnswers = {mod};
    ws_->OpenModelFile();
    ASSERT_TRUE(WaitForCompiler());
    ASSERT_EQ(ws_->Model.LibFileName, folder_.File(local + ".dll"));
    Data(1, 1, {0, 1, 2});
    // Once with each integrator: both call the model under the same guard.
    for (int round = 1; round <= 2; ++round) {
      ws_->Prefs.Integrator = round == 1 ? kMerson : kBdf;
      const std::size_t logged = ws_->Log.Lines().size();
      const auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(Solve({0.25}), result) << round;
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
      if (logLine) {
        ASSERT_FALSE(ws_->Log.Lines().empty());
        EXPECT_EQ(ws_->Log.Lines().back(), logLine);
      } else {
        EXPECT_EQ(ws_->Log.Lines().size(), logged);
      }
      EXPECT_TRUE(ui_.TakeMessages().empty());
      ASSERT_EQ(Solve({1.0}), SolveResult::Solved) << round;
      EXPECT_NEAR(C(3), std::exp(-2.0), 1e-3);
    }
  }
};

TEST_F(HostileModel, EndlessRecursionFailsItsSolution) {
  Check("model-deep", SolveResult::ModelFault, nullptr);
}

TEST_F(HostileModel, AHaltFailsItsSolution) {
  Check("model-halt0", SolveResult::ModelFault, nullptr);
}

TEST_F(HostileModel, AnEndlessLoopIsEndedByTheTimeLimit) {
  Check("model-spin", SolveResult::TimeLimit,
        "The model ran past the time limit of 1 s: its solution was stopped.");
}

}  // namespace
}  // namespace zelk
