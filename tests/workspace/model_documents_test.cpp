#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/data_file.h"
#include "base/format.h"
#include "base/messages.h"
#include "support/files.h"
#include "support/temp_folder.h"
#include "support/workspace_fixture.h"

namespace zelk {
namespace {

class ModelDocuments : public test::WorkspaceTest {
 protected:
  ModelDocuments() { ws_->Prefs.AutoCompile = false; }

  static std::string Dim(std::initializer_list<std::int32_t> counts) {
    std::string bytes;
    for (std::int32_t c : counts)
      for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>(static_cast<std::uint32_t>(c) >> (8 * i));
    return bytes;
  }
  void Open(const std::string& path) {
    ui_.DialogAnswers = {path};
    ws_->OpenModelFile();
  }

  test::TempFolder folder_;
};

TEST_F(ModelDocuments, CompanionNameCutsFourCharacters) {
  EXPECT_EQ(CompanionName("/m/kinetics.mod"), "/m/kinetics.dim");
  EXPECT_EQ(CompanionName("/m/kinetics.MOD"), "/m/kinetics.dim");
  EXPECT_EQ(CompanionName("/m/kinetics"), "/m/kine.dim");
  EXPECT_EQ(CompanionName("ab"), ".dim");
}

// Either file refusing the save says why, and the model stays unsaved under its old name.
TEST_F(ModelDocuments, ASaveOverAReadOnlyFileSaysWhyAndLeavesTheModelUnsaved) {
  ws_->ReplaceModelText("language = pascal\n");
  ui_.DialogAnswers = {folder_.File("first.mod")};
  ws_->SaveModelFileAs();
  ASSERT_TRUE(ws_->Model.ModelSaved);
  for (const char* locked : {"kinetics.mod", "kinetics.dim"}) {
    std::filesystem::remove(folder_.File("kinetics.mod"));
    std::filesystem::remove(folder_.File("kinetics.dim"));
    std::ofstream(folder_.File(locked)) << "old";
    std::filesystem::permissions(folder_.File(locked), std::filesystem::perms::owner_read);
    ws_->ReplaceModelText("language = pascal\n");
    ui_.DialogAnswers = {folder_.File("kinetics.mod")};
    ws_->SaveModelFileAs();
    EXPECT_EQ(ui_.TakeMessages(),
              std::vector<std::string>{std::string(msg::kSaveFailed) + "\n" + msg::kReasonReadOnly})
        << locked;
    EXPECT_EQ(test::ReadText(folder_.File(locked)), "old") << locked;
    EXPECT_EQ(ws_->ModelFileName, folder_.File("first.mod")) << locked;
    EXPECT_FALSE(ws_->Model.ModelSaved) << locked;
  }
}

TEST_F(ModelDocuments, SaveAsWritesRichTextAndTwentyBytesOfCounts) {
  ws_->ReplaceModelText("language = pascal\n\tdeclar {x}\n");
  Type(Dimension::DifEq, "2");
  Type(Dimension::AlgEq, "1");
  Type(Dimension::Param, "3");
  Type(Dimension::Indep, "4");
  Type(Dimension::Dep, "5");
  const std::string path = folder_.File("kinetics.mod");
  ui_.DialogAnswers = {path};
  ws_->SaveModelFileAs();
  const FileDialogRequest& r = ui_.SaveRequests.at(0);
  EXPECT_EQ(r.Title, "Save Model Source As ...");
  EXPECT_EQ(r.Filter, "Zelk Model Code (*.mod)|*.mod");
  EXPECT_EQ(r.DefaultExtension, "mod");
  EXPECT_TRUE(r.ConfirmOverwrite);
  EXPECT_EQ(test::ReadText(folder_.File("kinetics.dim")), Dim({1, 2, 3, 4, 5}));
  EXPECT_EQ(test::ReadText(path).rfind("{\\rtf", 0), 0u);
  EXPECT_EQ(ws_->ModelFileName, path);
  EXPECT_EQ(ui_.Panels[1], "kinetics.mod [Saved]");
  EXPECT_TRUE(ws_->Prefs.ModelLocation.empty());

  // And back, through a fresh workspace.
  test::ScriptedUi ui;
  auto other = std::make_unique<Workspace>(ui);
  other->Start();
  other->Prefs.AutoCompile = false;
  ui.DialogAnswers = {path};
  other->OpenModelFile();
  EXPECT_EQ(other->ModelText, "language = pascal\n\tdeclar {x}\n");
  EXPECT_EQ(other->Model.DifEqCount, 2);
  EXPECT_EQ(other->MeasuredData.XData.IndepCount, 4);
  EXPECT_EQ(ui.Panels[1], "kinetics.mod [Saved]");
  EXPECT_EQ(other->Prefs.ModelLocation, folder_.Path().string());
  EXPECT_EQ(ui.PagesShown.back(), Page::Model);
}

TEST_F(ModelDocuments, APlainTextModelFileOpensWithItsText) {
  test::WriteText(folder_.File("plain.mod"), "language = pascal\r\ndeclar\r\nend declar\r\n");
  test::WriteText(folder_.File("plain.dim"), Dim({0, 1, 1, 1, 1}));
  Open(folder_.File("plain.mod"));
  EXPECT_EQ(ws_->ModelText, "language = pascal\ndeclar\nend declar\n");
  EXPECT_EQ(ws_->ModelFileName, folder_.File("plain.mod"));
}

TEST_F(ModelDocuments, AMissingOrShortDimensionFileLeavesTheModelUntitledAndModified) {
  test::WriteText(folder_.File("a.mod"), "text a");
  // A dimension file that is no regular file is not read at all (this one would never end).
  test::WriteText(folder_.File("z.mod"), "text z");
  std::filesystem::create_symlink("/dev/zero", folder_.File("z.dim"));
  test::WriteText(folder_.File("b.mod"), "text b");
  test::WriteText(folder_.File("b.dim"), Dim({0, 3, 2}).substr(0, 10));  // two counts and a half
  for (const char* name : {"a.mod", "z.mod", "b.mod"}) {
    ui_.Answers = {Answer::No};  // the model left modified is not saved
    Open(folder_.File(name));
    EXPECT_TRUE(ws_->ModelFileName.empty()) << name;
    EXPECT_EQ(ui_.Panels[1], "UntitledModel.mod [Modified]") << name;
  }
  EXPECT_EQ(ws_->ModelText, "text b");
  EXPECT_EQ(ws_->Model.DifEqCount, 3);  // counts read before the end stay
}

TEST_F(ModelDocuments, AModelFileThatCannotBeReadSaysWhyAndKeepsTheEditorText) {
  std::filesystem::create_directory(folder_.File("folder.mod"));
  const struct {
    std::string name, reason;
  } cases[] = {{"none.mod", std::strerror(ENOENT)}, {"folder.mod", msg::kReasonFolder}};
  for (const auto& c : cases) {
    ws_->ReplaceModelText("mine");
    ws_->SetModelSaved(true);
    Open(folder_.File(c.name));
    EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{FillPlaceholders(
                                      msg::kCannotOpen, {folder_.File(c.name), c.reason})})
        << c.name;
    EXPECT_EQ(ws_->ModelText, "mine");
    EXPECT_EQ(ui_.Panels[1], "UntitledModel.mod [Saved]");
  }
}

TEST_F(ModelDocuments, CountsBeyondTheirLimitsAreClampedAndOtherCountsMarkBothDocuments) {
  test::WriteText(folder_.File("wide.mod"), "x");
  test::WriteText(folder_.File("wide.dim"), Dim({0, 1, 2, 20000, 3}));
  ws_->SetDataSaved(true);
  ui_.Messages.clear();
  Open(folder_.File("wide.mod"));
  EXPECT_EQ(ui_.TakeMessages(),
            std::vector<std::string>{"Value must be an integer between 1 and 15000!"});
  EXPECT_EQ(ws_->MeasuredData.XData.IndepCount, 15000);
  EXPECT_EQ(ui_.Panels[0], "UntitledData.zkd [Modified]");
  EXPECT_EQ(ui_.Panels[1], "wide.mod [Saved]");
}

TEST_F(ModelDocuments, CompileOnLoadDoesNothingWhenTheDialogIsCancelled) {
  ws_->Prefs.AutoCompile = true;
  ws_->Prefs.CompilerPath = "/nonexistent/pasbuild";
  ui_.DialogAnswers = {std::nullopt};
  ws_->OpenModelFile();
  EXPECT_TRUE(ui_.Messages.empty());
  EXPECT_FALSE(ui_.CompileTimer);
}

TEST_F(ModelDocuments, NewModelFileEmptiesTheEditorAndResetsTheModel) {
  ws_->ReplaceModelText("something");
  ws_->ModelFileName = "/x/y.mod";
  ui_.Answers = {Answer::No};
  ws_->NewModelFile();
  EXPECT_EQ(ws_->ModelText, "");
  EXPECT_TRUE(ws_->ModelFileName.empty());
  EXPECT_EQ(ui_.Panels[1], "UntitledModel.mod [Saved]");
  EXPECT_EQ(ui_.PagesShown.back(), Page::Model);
}

TEST_F(ModelDocuments, EditingTheTextMarksTheModelModifiedAndNotCompiled) {
  ws_->SetCompiled(true);
  ws_->ModelTextChanged("a");
  EXPECT_EQ(ui_.Panels[1], "UntitledModel.mod [Modified]");
  EXPECT_EQ(ui_.Panels[2], "Not Compiled");
}

TEST_F(ModelDocuments, AFailedSaveKeepsTheNameAndTheModifiedState) {
  ws_->ReplaceModelText("x");
  ui_.DialogAnswers = {folder_.File("missing/folder/x.mod")};
  ws_->SaveModelFileAs();
  EXPECT_TRUE(ws_->ModelFileName.empty());
  EXPECT_FALSE(ws_->Model.ModelSaved);
}

// The grids are headed by the names the model text gives, as it is typed, and by numbers again
// once the names are gone.
TEST_F(ModelDocuments, TheGridsFollowTheNamesOfTheModelText) {
  Workspace& ws = *ws_;
  const std::string named = "language = pascal\nnames parameters k1 Km responses S end names\n";
  ws.ModelTextChanged(named);
  const int indep = ws.MeasuredData.XData.IndepCount;
  EXPECT_EQ(ws.Grid().DisplayText(indep + 1, 0), "S");
  EXPECT_EQ(ws.Grid().DisplayText(indep + 2, 0), "Y[2]");
  EXPECT_EQ(ws.ParamGrids().ParamGrid().Text(0, 2), "Km");
  EXPECT_EQ(ws.ParamGrids().PDGrid().Text(0, 3), "3.");
  ws.ModelTextChanged("language = pascal\n");
  EXPECT_EQ(ws.Grid().DisplayText(indep + 1, 0), "Y[1]");
  EXPECT_EQ(ws.ParamGrids().PDGrid().Text(0, 2), "2.");
}

}  // namespace
}  // namespace zelk
