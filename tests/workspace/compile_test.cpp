#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <thread>

#include "model/compile_driver.h"
#include "support/model_fixture.h"
#include "support/temp_folder.h"
#include "workspace/messages.h"

namespace zelk {
namespace {

namespace fs = std::filesystem;

class Compile : public test::ModelTest {
 protected:
  Compile() {
    ws_->Prefs.CompilerPath = PASBUILD;
    ws_->Prefs.AutoCompile = false;
    ws_->Prefs.SourcePreview = true;
    ws_->UseTerminal = false;
  }
  void SaveModel(const std::string& name, const std::string& text) {
    ws_->ReplaceModelText(text);
    ui_.DialogAnswers = {folder_.File(name)};
    ws_->SaveModelFileAs();
    ASSERT_TRUE(ws_->Model.ModelSaved);
  }
  // Ticks the compile timer until the driver has seen the marker (a minute at most).
  bool WaitForCompiler() {
    for (int i = 0; i < 600 && ws_->CompileTimerEnabled; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      ws_->CompileTimerTimer();
    }
    return !ws_->CompileTimerEnabled;
  }
  test::TempFolder folder_;
};

const char* kDecay =
    "Language = Pascal\ndeclar\nend declar\nstatic\nend static\ndynamic\n  dy^[1] := "
    "-p^[1]*y^[1];\nend dynamic\n";

TEST_F(Compile, ACompiledModelIsLoadedWhenTheMarkerAppearsAndSolves) {
  SaveModel("decay.mod", kDecay);
  ws_->CompileAction();
  EXPECT_EQ(ui_.Panels[2], "Compiled");
  EXPECT_TRUE(ui_.CompileTimer);
  EXPECT_EQ(ui_.PagesShown.back(), Page::Source);
  EXPECT_EQ(ws_->SourceLines.front(), "Library decay;");
  EXPECT_TRUE(fs::exists(folder_.File("decay.pas")));
  ws_->CurveReady = true;
  ui_.Repaints.clear();
  ASSERT_TRUE(WaitForCompiler());
  EXPECT_FALSE(ui_.CompileTimer);
  EXPECT_EQ(ws_->Model.LibFileName, folder_.File("decay.dll"));
  // The chart draws the new library's curves.
  EXPECT_FALSE(ws_->CurveReady);
  EXPECT_EQ(ui_.Repaints[View::FitChart], 1);
  EXPECT_TRUE(ui_.Messages.empty());
  EXPECT_TRUE(ws_->Log.Lines().empty());
  Data(1, 1, {0, 1, 2});
  EXPECT_EQ(Solve({1.0}), SolveResult::Solved);
  EXPECT_NEAR(C(3), std::exp(-2.0), 1e-3);
}

TEST_F(Compile, AModelThatDoesNotCompileShowsItsErrorsInTheMessagePane) {
  SaveModel("broken.mod",
            "language = pascal\ndeclar\nend declar\nstatic\nend static\ndynamic\n  dy^[1] := "
            "-q^[1];\nend dynamic\n");
  ws_->CompileAction();
  ASSERT_TRUE(WaitForCompiler());
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{"Zelk failed to load compiled model!"});
  EXPECT_TRUE(ws_->Model.LibFileName.empty());
  ASSERT_FALSE(ws_->Log.Lines().empty());
  bool namesTheError = false;
  for (const std::string& line : ws_->Log.Lines())
    namesTheError |=
        line.find("broken.pas(") != std::string::npos && line.find("Error:") != std::string::npos;
  EXPECT_TRUE(namesTheError);
}

TEST_F(Compile, AStaleMarkerIsRemovedBeforeTheScriptStarts) {
  SaveModel("decay.mod", kDecay);
  fs::create_directory(folder_.File("$$$.tmp"));
  ASSERT_TRUE(ws_->StartCompile(folder_.File("decay.pas")));
  // Right after the start the old marker must be gone, or the tick would load too early.
  ws_->CompileTimerTimer();
  EXPECT_TRUE(ws_->CompileTimerEnabled);
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
  EXPECT_FALSE(ws_->TranslateModel());
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{std::string(msg::kSaveModelFirst)});
  ui_.Answers = {Answer::Ok};
  ui_.DialogAnswers = {folder_.File("later.mod")};
  EXPECT_TRUE(ws_->TranslateModel());
  EXPECT_TRUE(fs::exists(folder_.File("later.pas")));
}

TEST_F(Compile, AFrameErrorIsShownAndPutsTheCaretThere) {
  SaveModel("bad.mod", "language = pascal\ndeclar\nend declar\nstatic\n  y^[1] := 2;\n");
  EXPECT_FALSE(ws_->TranslateModel());
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{"Undefined end of section (end static)!"});
  EXPECT_EQ(ws_->ModelCaret, std::string("language = pascal\ndeclar\nend declar\nstatic").size());
  EXPECT_TRUE(ws_->SourceLines.empty());
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
            "'/opt/zelk/pasbuild' \"$@\" 2>&1 | tee '/models/it'\\''s here/zelkcompile.log'");
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

}  // namespace
}  // namespace zelk
