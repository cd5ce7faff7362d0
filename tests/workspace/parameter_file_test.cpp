#include "estimation/parameter_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "base/data_file.h"
#include "base/format.h"
#include "base/messages.h"
#include "support/model_fixture.h"
#include "support/temp_folder.h"

namespace zelk {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& path) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  EXPECT_TRUE(ReadWholeFile(path, bytes, error)) << error;
  return bytes;
}

void Write(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

class ParameterFiles : public test::ModelTest {
 protected:
  void SetUp() override {
    TwoParameterProblem("linear", {1, 2, 3, 4}, {3.1, 4.9, 7.2, 8.8}, 1.15, 1.94);
    Type(Dimension::Param, "5");
    TParameterRecord& p = ws_->Parameters;
    for (int i = 1; i <= 20; ++i) {
      p.LoLimitPoints[i][i] = -i;
      p.HiLimitPoints[i][20 - i] = 0.1 * i;
      p.StdError[i] = 1.0 / (i + 2);
    }
    p.Fixed[3] = p.HiFValid[2] = p.StdErrValid[1] = true;
    ui_.Messages.clear();
  }
  test::TempFolder folder_;
};

TEST_F(ParameterFiles, ExportAndImportRestoreEveryByte) {
  const std::string path = folder_.File("line.par");
  ws_->ModelFileName = "/w/line.mod";
  ui_.DialogAnswers.push_back(path);
  ws_->ExportParametersAction();
  ASSERT_EQ(ui_.SaveRequests.size(), 1u);
  EXPECT_EQ(ui_.SaveRequests[0].ProposedName, "line.par");
  EXPECT_EQ(ui_.SaveRequests[0].Title, "Export Parameters To ...");
  const std::vector<std::uint8_t> first = Bytes(path);
  ASSERT_EQ(first.size(), 9504u);
  EXPECT_EQ(first, EncodeParameterFile(ws_->Parameters));

  const TParameterRecord saved = ws_->Parameters;
  ws_->Parameters = StartParameterRecord();
  ui_.DialogAnswers.push_back(path);
  ws_->ImportParametersAction();
  EXPECT_EQ(ui_.OpenRequests.back().ProposedName, "*.par");
  EXPECT_EQ(EncodeParameterFile(ws_->Parameters), EncodeParameterFile(saved));
  EXPECT_EQ(ws_->Parameters.LoLimitPoints[7][7], -7);
  EXPECT_TRUE(ui_.Messages.empty());
}

TEST_F(ParameterFiles, ShortAndLyingFilesAreRefusedWithAReasonAndChangeNothing) {
  const std::vector<std::uint8_t> good = EncodeParameterFile(ws_->Parameters);
  std::vector<std::uint8_t> badCount = good;
  const std::int32_t minusOne = -1, twentyOne = 21;
  struct Case {
    std::vector<std::uint8_t> bytes;
    std::string reason;
  } cases[] = {
      {std::vector<std::uint8_t>(good.begin(), good.end() - 1), "holds 9503 bytes"},
      {{}, "holds 0 bytes"},
      {good, "not between 0 and 20"},
      {good, "not between 0 and 20"},
  };
  std::memcpy(cases[2].bytes.data(), &minusOne, 4);
  std::memcpy(cases[3].bytes.data(), &twentyOne, 4);
  ws_->SetParameterValue(1, 42);
  const std::vector<std::uint8_t> before = EncodeParameterFile(ws_->Parameters);
  for (const Case& c : cases) {
    const std::string path = folder_.File("bad.par");
    Write(path, c.bytes);
    EXPECT_FALSE(ws_->ImportParameterFile(path));
    const std::vector<std::string> shown = ui_.TakeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind(std::string(msg::kOpenFailed) + "\n", 0), 0u);
    EXPECT_NE(shown[0].find(c.reason), std::string::npos) << shown[0];
    EXPECT_EQ(EncodeParameterFile(ws_->Parameters), before);
  }
  // Not a regular file: a folder (as a device or a pipe would be) is never read.
  EXPECT_FALSE(ws_->ImportParameterFile(folder_.Path().string()));
  EXPECT_NE(ui_.TakeMessages()[0].find("not a regular file"), std::string::npos);
}

TEST_F(ParameterFiles, ALongerFileGivesItsFirstRecordAndStrangeFlagBytesReadAsTrue) {
  std::vector<std::uint8_t> bytes = EncodeParameterFile(ws_->Parameters);
  bytes[2360 + 4] = 7;  // Fixed[4] in the classic record
  bytes.resize(bytes.size() + 96, 0xAB);
  const std::string path = folder_.File("long.par");
  Write(path, bytes);
  ASSERT_TRUE(ws_->ImportParameterFile(path));
  EXPECT_TRUE(ws_->Parameters.Fixed[4]);
  std::uint8_t stored = 0;
  std::memcpy(&stored, &ws_->Parameters.Fixed[4], 1);
  EXPECT_EQ(stored, 1);
}

TEST_F(ParameterFiles, AnImportedCountOfThreeUnderAPageOfFiveShowsThreeRows) {
  ASSERT_TRUE(ws_->Estimation().Ground().InitialEvaluation());
  TParameterRecord three = ws_->Parameters;
  three.Count = 3;
  three.Value[1] = 2.5;
  const std::string path = folder_.File("three.par");
  Write(path, EncodeParameterFile(three));
  ASSERT_TRUE(ws_->ImportParameterFile(path));
  EXPECT_EQ(ws_->Dimensions().Position(Dimension::Param), 5);
  for (const ParameterGrid* grid : {&ws_->ParamGrids().ParamGrid(), &ws_->ParamGrids().PDGrid()}) {
    EXPECT_EQ(grid->Text(1, 1),
              FormatSignificant(2.5, grid == &ws_->ParamGrids().PDGrid() ? 6 : 8));
    EXPECT_FALSE(grid->Text(1, 3).empty());
    EXPECT_TRUE(grid->Text(1, 4).empty());
  }
  // The next search evaluates the imported values instead of comparing with the old best.
  EXPECT_FALSE(ws_->Estimation().ObjectiveReady);
}

TEST_F(ParameterFiles, AFailedExportSaysWhy) {
  EXPECT_FALSE(ws_->WriteParameterFile(folder_.File("no/such/folder/p.par")));
  const std::vector<std::string> shown = ui_.TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].rfind(std::string(msg::kSaveFailed) + "\n", 0), 0u);
}

}  // namespace
}  // namespace zelk
