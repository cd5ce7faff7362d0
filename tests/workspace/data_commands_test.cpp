#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "base/csv_table.h"
#include "base/data_file.h"
#include "base/format.h"
#include "base/messages.h"
#include "support/foreign_file.h"
#include "support/temp_folder.h"
#include "support/workspace_fixture.h"

namespace zelk {
namespace {

class DataCommands : public test::WorkspaceTest {
 protected:
  // Two variables, three events; Y[1] of event 2 missing but stored as 8.
  void FillExample() {
    Type(Dimension::Indep, "2");
    Type(Dimension::Dep, "1");
    Type(Dimension::Events, "3");
    for (int j = 1; j <= 3; ++j) {
      SetValue(1, j, j * 0.1);
      SetValue(2, j, 37.5);
      SetValue(3, j, 1.0 / j);
    }
    ws_->MeasuredData.YData.M[2][1] = 8;
    ws_->MeasuredData.YData.Defined[2][1] = false;
    ws_->Grid().RewriteFromData();
  }

  std::vector<std::uint8_t> Bytes(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(ReadWholeFile(path, bytes, error)) << error;
    return bytes;
  }

  void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }

  void Open(const std::string& path) {
    ui_.DialogAnswers = {path};
    ws_->OpenDataFile();
  }

  test::TempFolder folder_;
};

TEST_F(DataCommands, SaveAsAsksWithTheDocumentedDialogAndMarksTheDataSaved) {
  FillExample();
  const std::string path = folder_.File("run1.zkd");
  ui_.DialogAnswers = {path};
  ws_->SaveDataFileAs();
  ASSERT_EQ(ui_.SaveRequests.size(), 1u);
  const FileDialogRequest& r = ui_.SaveRequests[0];
  EXPECT_EQ(r.Title, "Save Experimental Data As ...");
  EXPECT_EQ(r.Filter, "Zelk Data File (*.zkd)|*.zkd|CSV Data (*.csv)|*.csv");
  EXPECT_EQ(r.DefaultExtension, "zkd");
  EXPECT_EQ(r.ProposedName, "");
  EXPECT_TRUE(r.ConfirmOverwrite);
  EXPECT_EQ(ws_->DataFileName, path);
  EXPECT_EQ(ui_.Panels[0], "run1.zkd [Saved]");
  EXPECT_EQ(Bytes(path).size(), 17u + 11u * 3 * 3);
  EXPECT_TRUE(ws_->Prefs.DataLocation.empty());  // saving does not change the remembered folder
}

TEST_F(DataCommands, SaveWithoutANameBehavesAsSaveAs) {
  FillExample();
  ui_.DialogAnswers = {std::nullopt};
  ws_->SaveDataFile();
  EXPECT_EQ(ui_.SaveRequests.size(), 1u);
  EXPECT_FALSE(ws_->DataSaved);
  EXPECT_TRUE(ws_->DataFileName.empty());
}

TEST_F(DataCommands, SaveUnderTheCurrentNameAsksNoDialog) {
  FillExample();
  ui_.DialogAnswers = {folder_.File("a.zkd")};
  ws_->SaveDataFileAs();
  SetValue(1, 1, 99);
  ws_->SetDataSaved(false);
  ws_->SaveDataFile();
  EXPECT_EQ(ui_.SaveRequests.size(), 1u);
  EXPECT_TRUE(ws_->DataSaved);
  EXPECT_EQ(ui_.SaveRequests[0].ProposedName, "");
}

TEST_F(DataCommands, OpenReadsCountsValuesAndMissingFlagsBack) {
  FillExample();
  const std::string path = folder_.File("run1.zkd");
  ui_.DialogAnswers = {path};
  ws_->SaveDataFileAs();
  const auto written = Bytes(path);

  ws_->NewDataFile();
  ASSERT_EQ(ws_->MeasuredData.YData.EventCount, 1);
  ui_.Answers = {Answer::No};  // the reset left the data marked modified
  Open(path);
  const FileDialogRequest& r = ui_.OpenRequests.back();
  EXPECT_EQ(r.Title, "Open Data File ...");
  EXPECT_EQ(r.Filter, msg::kOpenDataFilter);
  EXPECT_EQ(r.FilterIndex, 1);
  EXPECT_EQ(r.DefaultExtension, "zkd");
  EXPECT_EQ(ws_->MeasuredData.XData.IndepCount, 2);
  EXPECT_EQ(ws_->MeasuredData.YData.EventCount, 3);
  EXPECT_EQ(ws_->Dimensions().Control(Dimension::Events).Text, "3");
  EXPECT_EQ(ws_->MeasuredData.XData.X[3][1], 0.30000000000000004);
  EXPECT_EQ(ws_->MeasuredData.YData.M[3][1], 1.0 / 3);
  EXPECT_FALSE(ws_->MeasuredData.YData.Defined[2][1]);
  EXPECT_EQ(ws_->MeasuredData.YData.M[2][1], 8.0);
  EXPECT_EQ(ws_->Grid().DisplayText(3, 2), "#");
  EXPECT_EQ(ws_->Grid().DisplayText(3, 3), "0.33333");
  EXPECT_EQ(ws_->Grid().DisplayText(2, 1), "37.5000");
  EXPECT_EQ(ws_->DataFileName, path);
  EXPECT_EQ(ui_.Panels[0], "run1.zkd [Saved]");
  EXPECT_EQ(ws_->Prefs.DataLocation, folder_.Path().string());
  EXPECT_EQ(ui_.PagesShown.back(), Page::Data);
  EXPECT_EQ(EncodeDataFile(ws_->MeasuredData), written);
  EXPECT_TRUE(ui_.Messages.size() <= 1u);
}

TEST_F(DataCommands, AValueThatIsNotANumberIsRefusedWithItsPlaceAndChangesNothing) {
  FillExample();
  ui_.Messages.clear();
  // The finding: a NaN accepted as data made every objective NaN.
  EXPECT_FALSE(ws_->ReadDataFile(std::string(FINDINGS) + "/nan-value.zkd"));
  const std::vector<std::string> shown = ui_.TakeMessages();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find("holds a value that is not a finite number at event "), std::string::npos)
      << shown[0];
  EXPECT_EQ(ws_->MeasuredData.YData.EventCount, 3);
  EXPECT_EQ(ws_->MeasuredData.XData.X[1][1], 0.1);
  // The same for an infinity written by ourselves, at its own place.
  ws_->MeasuredData.YData.M[3][1] = -HUGE_VAL;
  const std::string path = folder_.File("inf.zkd");
  WriteBytes(path, EncodeDataFile(ws_->MeasuredData));
  ws_->MeasuredData.YData.M[3][1] = 1;
  EXPECT_FALSE(ws_->ReadDataFile(path));
  EXPECT_NE(ui_.TakeMessages()[0].find("at event 3, Y[1]."), std::string::npos);
}

TEST_F(DataCommands, OpenProposesTheCurrentNameAndStartsInTheRememberedFolder) {
  ws_->DataFileName = "/somewhere/old.zkd";
  ws_->Prefs.DataLocation = folder_.Path().string();
  ui_.DialogAnswers = {std::nullopt};
  ws_->OpenDataFile();
  EXPECT_EQ(ui_.OpenRequests[0].ProposedName, "old.zkd");
  EXPECT_EQ(ui_.OpenRequests[0].StartFolder, folder_.Path().string());
  ws_->Prefs.DataLocation = folder_.File("gone");
  ui_.DialogAnswers = {std::nullopt};
  ws_->OpenDataFile();
  EXPECT_EQ(ui_.OpenRequests[1].StartFolder, "");
}

TEST_F(DataCommands, CancellingTheOpenDialogChangesNothingAndShowsTheDataPage) {
  FillExample();
  ws_->SetDataSaved(true);
  ui_.DialogAnswers = {std::nullopt};
  ws_->OpenDataFile();
  EXPECT_EQ(ws_->MeasuredData.YData.EventCount, 3);
  EXPECT_TRUE(ws_->Prefs.DataLocation.empty());
  EXPECT_EQ(ui_.PagesShown, std::vector<Page>{Page::Data});
}

TEST_F(DataCommands, CancelAtTheDiscardQuestionOpensNoDialog) {
  FillExample();
  ui_.Answers = {Answer::Cancel};
  ws_->OpenDataFile();
  EXPECT_TRUE(ui_.OpenRequests.empty());
  EXPECT_EQ(ui_.PagesShown, std::vector<Page>{Page::Data});
}

TEST_F(DataCommands, TheLowerCasedExtensionChoosesTheReader) {
  FillExample();
  const std::string saved = folder_.File("data.zkd");
  ui_.DialogAnswers = {saved};
  ws_->SaveDataFileAs();
  const std::string capital = folder_.File("DATA.ZKD");
  WriteBytes(capital, Bytes(saved));
  const std::string csv = "X[1],Y[1]\n1,2\n";
  WriteBytes(folder_.File("a.Csv"), std::vector<std::uint8_t>(csv.begin(), csv.end()));
  struct Case {
    const char* name;
    std::string path;
    std::vector<std::string> messages;
    bool read;
  } cases[] = {
      {"capitals", capital, {}, true},
      {"text file", folder_.File("notes.txt"), {".TXT files are not supported!"}, false},
      {"mixed case", folder_.File("a.Csv"), {}, true},
      {"former foreign", folder_.File("old.GRD"), {msg::kNotImplemented}, false},
  };
  for (const auto& c : cases) {
    ws_->DataFileName = saved;
    ws_->Prefs.DataLocation.clear();
    Open(c.path);
    EXPECT_EQ(ui_.TakeMessages(), c.messages) << c.name;
    EXPECT_EQ(ws_->DataFileName, c.read ? c.path : saved) << c.name;
    EXPECT_EQ(ws_->Prefs.DataLocation, folder_.Path().string()) << c.name;
  }
}

TEST_F(DataCommands, RefusedFilesLeaveTheDataGridAndNameAsTheyWere) {
  FillExample();
  const std::string good = folder_.File("good.zkd");
  ui_.DialogAnswers = {good};
  ws_->SaveDataFileAs();
  const auto bytes = Bytes(good);
  auto changed = [&](std::size_t at, std::uint8_t value) {
    auto b = bytes;
    b.at(at) = value;
    return b;
  };
  const std::string header = std::string(msg::kHeaderInvalid) + msg::kOperationCancelled;
  const std::string version = std::string(msg::kInvalidVersion) + msg::kOperationCancelled;
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    std::string message;
  } cases[] = {
      {"empty", {}, header},
      {"wrong magic", changed(1, 'X'), header},
      {"version 2", changed(3, 2), version},
      {"reserved 1", changed(4, 1), version},
  };
  for (const auto& c : cases) {
    const std::string path = folder_.File(std::string(c.name) + ".zkd");
    WriteBytes(path, c.bytes);
    Open(path);
    EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{c.message}) << c.name;
    EXPECT_EQ(ws_->DataFileName, good) << c.name;
    EXPECT_EQ(ws_->MeasuredData.YData.EventCount, 3) << c.name;
    EXPECT_EQ(ws_->Grid().DisplayText(2, 1), "37.5000") << c.name;
    EXPECT_EQ(ws_->Prefs.DataLocation, folder_.Path().string()) << c.name;
    EXPECT_EQ(ui_.PagesShown.back(), Page::Data) << c.name;
  }
}

TEST_F(DataCommands, ATruncatedFileIsRefusedBeforeAnyValueChanges) {
  FillExample();
  const std::string good = folder_.File("good.zkd");
  ui_.DialogAnswers = {good};
  ws_->SaveDataFileAs();
  auto bytes = Bytes(good);
  bytes[13] = 5;  // five events claimed, three stored
  const std::string cut = folder_.File("cut.zkd");
  WriteBytes(cut, bytes);
  ui_.PagesShown.clear();
  Open(cut);
  const auto messages = ui_.TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("ends early"), std::string::npos) << messages[0];
  EXPECT_NE(messages[0].find("cut.zkd"), std::string::npos);
  EXPECT_EQ(ws_->MeasuredData.YData.EventCount, 3);
  EXPECT_EQ(ws_->Dimensions().Control(Dimension::Events).Text, "3");
  EXPECT_EQ(ws_->DataFileName, good);
  EXPECT_EQ(ws_->MeasuredData.YData.M[1][1], 1.0);
  // An input/output error ends the command: the folder is not remembered.
  EXPECT_TRUE(ws_->Prefs.DataLocation.empty());
  EXPECT_TRUE(ui_.PagesShown.empty());
}

// A data file is read only as far as its counts reach: what is no regular file, or is longer
// than its counts allow, is refused before it is read whole (a link to /dev/zero would never
// end, a FIFO would block).
TEST_F(DataCommands, WhatIsNoRegularFileOrLongerThanItsCountsIsRefusedUnread) {
  FillExample();
  const std::string good = folder_.File("good.zkd");
  ui_.DialogAnswers = {good};
  ws_->SaveDataFileAs();
  auto longer = Bytes(good);
  const std::size_t size = longer.size();
  longer.push_back(0);
  WriteBytes(folder_.File("longer.zkd"), longer);
  std::filesystem::create_symlink("/dev/zero", folder_.File("zero.zkd"));
  ASSERT_EQ(::mkfifo(folder_.File("fifo.zkd").c_str(), 0600), 0);
  // 20 + 50 variables of 1001 events: beyond what any data file may hold.
  WriteBytes(folder_.File("huge.zkd"),
             {'Z', 'K', 'D', 1, 0, 20, 0, 0, 0, 50, 0, 0, 0, 0xE9, 3, 0, 0});
  auto cannotOpen = [&](const char* name) {
    return FillPlaceholders(msg::kCannotOpen, {folder_.File(name), msg::kReasonNotRegular});
  };
  const struct {
    const char* name;
    std::string message;
  } cases[] = {
      {"longer.zkd",
       FillPlaceholders(msg::kDataFileTooLong, {folder_.File("longer.zkd"),
                                                std::to_string(size + 1), std::to_string(size)}) +
           msg::kOperationCancelled},
      {"zero.zkd", cannotOpen("zero.zkd")},
      {"fifo.zkd", cannotOpen("fifo.zkd")},
      {"huge.zkd",
       FillPlaceholders(msg::kDataFileTooLarge, {folder_.File("huge.zkd"), "770787", "770017"}) +
           msg::kOperationCancelled},
      {"folder.zkd",
       FillPlaceholders(msg::kCannotOpen, {folder_.File("folder.zkd"), msg::kReasonFolder})},
  };
  std::filesystem::create_directory(folder_.File("folder.zkd"));
  for (const auto& c : cases) {
    Open(folder_.File(c.name));
    EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{c.message}) << c.name;
    EXPECT_EQ(ws_->DataFileName, good) << c.name;
    EXPECT_EQ(ws_->MeasuredData.YData.EventCount, 3) << c.name;
  }
}

TEST_F(DataCommands, CountsBeyondTheClassicLimitsAreReadWholeAndBeyondMemoryRefused) {
  // 22 independent variables, 1 dependent, 2 events: every value is read, the last one 7.
  std::vector<std::uint8_t> bytes{'Z', 'K', 'D', 1, 0, 22, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0};
  bytes.resize(17 + 11 * 2 * 23);
  const Extended80 seven = DoubleToExtended(7);
  std::copy(seven.begin(), seven.end(), bytes.end() - 11);
  bytes.back() = 1;
  const std::string path = folder_.File("wide.zkd");
  WriteBytes(path, bytes);
  Open(path);
  EXPECT_TRUE(ui_.TakeMessages().empty());
  EXPECT_EQ(ws_->MeasuredData.XData.IndepCount, 22);
  EXPECT_EQ(ws_->MeasuredData.YData.M[2][1], 7);
  EXPECT_EQ(ws_->Grid().Text(22 + 1, 2), "7.00000");
  EXPECT_EQ(ws_->DataFileName, path);
  // Saved again it no longer fits the .zkd layout: refused with the limits, then kept as CSV.
  ws_->SaveDataFile();
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{DataFileLimitsMessage(ws_->MeasuredData)});
  EXPECT_EQ(Bytes(path), bytes);
  const std::string csvPath = folder_.File("wide.csv");
  ui_.DialogAnswers = {csvPath};
  ws_->SaveDataFileAs();
  EXPECT_EQ(ui_.SaveRequests.back().Filter, "CSV Data (*.csv)|*.csv");
  EXPECT_EQ(ui_.SaveRequests.back().ProposedName, "wide.csv");
  const std::string before = DataSetToCsv(ws_->MeasuredData);
  Open(csvPath);
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{});
  EXPECT_EQ(DataSetToCsv(ws_->MeasuredData), before);
  EXPECT_EQ(ws_->DataFileName, csvPath);

  // 40 000 dependent variables of one event: more than memory may hold, and nothing changes.
  std::vector<std::uint8_t> huge{'Z', 'K', 'D', 1, 0, 1, 0, 0, 0, 0x40, 0x9c, 0, 0, 1, 0, 0, 0};
  huge.resize(17 + 11 * 40001);
  const std::string hugePath = folder_.File("huge.zkd");
  WriteBytes(hugePath, huge);
  Open(hugePath);
  const auto messages = ui_.TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("more than a data set can hold"), std::string::npos) << messages[0];
  EXPECT_EQ(ws_->MeasuredData.XData.IndepCount, 22);
  EXPECT_EQ(ws_->DataFileName, csvPath);
}

TEST_F(DataCommands, AFailedSaveKeepsNameAndStateAndSaysSo) {
  FillExample();
  ui_.DialogAnswers = {folder_.File("no-such-folder/x.zkd")};
  ws_->SaveDataFileAs();
  const auto messages = ui_.TakeMessages();
  ASSERT_EQ(messages.size(), 1u);
  // The reason follows on its own line.
  EXPECT_EQ(messages[0].rfind(std::string(msg::kSaveFailed) + "\n", 0), 0u) << messages[0];
  EXPECT_GT(messages[0].size(), std::string(msg::kSaveFailed).size() + 1);
  EXPECT_TRUE(ws_->DataFileName.empty());
  EXPECT_FALSE(ws_->DataSaved);
}

TEST_F(DataCommands, ACellHoldingNoNumberStopsTheSaveAndKeepsTheFile) {
  FillExample();
  const std::string path = folder_.File("keep.zkd");
  ui_.DialogAnswers = {path};
  ws_->SaveDataFileAs();
  const auto before = Bytes(path);
  ws_->Grid().SelectCell(1, 2);
  ws_->Grid().OpenEditor();
  ws_->Grid().EditorTextChanged("4,5x");
  ws_->SaveDataFile();
  EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{msg::kInvalidNumber});
  EXPECT_TRUE(ws_->Grid().EditorOpen());
  EXPECT_EQ(Bytes(path), before);
  EXPECT_FALSE(ws_->DataSaved);
}

TEST_F(DataCommands, NewDataFileCancelledKeepsTheDataAndShowsTheDataPage) {
  FillExample();
  ui_.Answers = {Answer::Cancel};
  ws_->NewDataFile();
  EXPECT_EQ(ws_->MeasuredData.YData.EventCount, 3);
  EXPECT_EQ(ui_.PagesShown, std::vector<Page>{Page::Data});
  ui_.Answers = {Answer::No};
  ws_->NewDataFile();
  EXPECT_EQ(ws_->MeasuredData.YData.EventCount, 1);
  EXPECT_EQ(ws_->Grid().ColumnCount(), 52);
  EXPECT_EQ(ws_->Grid().DisplayText(1, 1), "#");
}

// ---------------------------------------------------------------- the foreign format

class ForeignImport : public DataCommands {
 protected:
  // One independent and one dependent variable, three events; Y[1] of event 2 missing.
  test::ForeignImage Example() {
    test::ForeignImage image;
    image.Events = 3;
    for (double t : {0.0, 1.0, 2.0}) image.Values.push_back(DoubleToExtended(t));
    image.Values.push_back(DoubleToExtended(2.0));
    image.Values.push_back(image.Marker);
    image.Values.push_back(DoubleToExtended(4.0));
    return image;
  }
  std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const std::string path = folder_.File(name);
    WriteBytes(path, bytes);
    return path;
  }
};

TEST_F(ForeignImport, AMarkerValueShowsAsMissingAndTheSetBearsTheFileName) {
  const std::string path = Write("run.gr2", Example().Bytes());
  Open(path);
  EXPECT_TRUE(ui_.TakeMessages().empty());
  EXPECT_EQ(ws_->MeasuredData.YData.EventCount, 3);
  EXPECT_EQ(ws_->Grid().DisplayText(2, 1), "2.00000");
  EXPECT_EQ(ws_->Grid().DisplayText(2, 2), "#");
  EXPECT_EQ(ws_->Grid().DisplayText(2, 3), "4.00000");
  EXPECT_EQ(ws_->Grid().DisplayText(1, 3), "2.00000");
  EXPECT_EQ(ws_->DataFileName, path);
  EXPECT_EQ(ui_.Panels[0], "run.gr2 [Saved]");
}

TEST_F(ForeignImport, RefusedFilesChangeNothing) {
  FillExample();
  const std::string good = folder_.File("good.zkd");
  ui_.DialogAnswers = {good};
  ws_->SaveDataFileAs();
  auto version1 = Example();
  version1.Version = 1;
  auto infinite = Example();
  infinite.Values[3] = DoubleToExtended(std::numeric_limits<double>::infinity());
  auto cut = Example().Bytes();
  cut.resize(cut.size() - 3);
  auto longer = Example().Bytes();
  longer.push_back(0);
  const std::string header = std::string(msg::kHeaderInvalid) + msg::kOperationCancelled;
  struct Case {
    const char* name;
    std::string path;
    std::string message;  // empty: only its beginning is known
    const char* contains;
  } cases[] = {
      {"own file named .gr2", Write("own.gr2", Bytes(good)), header, ""},
      {"foreign file named .zkd", Write("foreign.zkd", Example().Bytes()), header, ""},
      {"version 1", Write("v1.gr2", version1.Bytes()),
       std::string(msg::kInvalidVersion) + msg::kOperationCancelled, ""},
      {"cut short", Write("cut.gr2", cut), "", "ends early"},
      {"longer than its counts", Write("long.gr2", longer), "", "longer than its counts"},
      {"an infinity", Write("inf.gr2", infinite.Bytes()), "", "event 1, Y[1]"},
      {"former version", Write("old.grd", Example().Bytes()), msg::kNotImplemented, ""},
  };
  for (const auto& c : cases) {
    Open(c.path);
    const auto messages = ui_.TakeMessages();
    ASSERT_EQ(messages.size(), 1u) << c.name;
    if (!c.message.empty())
      EXPECT_EQ(messages[0], c.message) << c.name;
    else
      EXPECT_NE(messages[0].find(c.contains), std::string::npos) << c.name << ": " << messages[0];
    EXPECT_EQ(ws_->DataFileName, good) << c.name;
    EXPECT_EQ(ws_->MeasuredData.XData.IndepCount, 2) << c.name;
    EXPECT_EQ(ws_->Grid().DisplayText(2, 1), "37.5000") << c.name;
  }
}

TEST_F(ForeignImport, SaveAsksForAnOwnFileAndNeverWritesOverTheSource) {
  const std::string source = Write("run.gr2", Example().Bytes());
  const auto before = Bytes(source);
  Open(source);
  ws_->Grid().StoreCell(1, 1, true, 9.0);
  ws_->SetDataSaved(false);
  const std::string own = folder_.File("run.zkd");
  ui_.DialogAnswers = {own};
  ws_->SaveDataFile();
  ASSERT_EQ(ui_.SaveRequests.size(), 1u);
  EXPECT_EQ(ui_.SaveRequests[0].ProposedName, "run.zkd");
  EXPECT_EQ(ui_.SaveRequests[0].StartFolder, folder_.Path().string());
  EXPECT_EQ(Bytes(source), before);
  EXPECT_EQ(ws_->DataFileName, own);
  EXPECT_TRUE(ws_->DataSaved);
  // Cancelled, the set keeps its foreign name and stays modified.
  Open(source);
  ws_->SetDataSaved(false);
  ui_.DialogAnswers.clear();
  ws_->SaveDataFile();
  EXPECT_EQ(ws_->DataFileName, source);
  EXPECT_FALSE(ws_->DataSaved);
  EXPECT_EQ(Bytes(source), before);
}

}  // namespace
}  // namespace zelk
