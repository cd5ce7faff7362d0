#include "base/preferences.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <sstream>

#include "base/messages.h"
#include "support/scripted_ui.h"
#include "support/temp_folder.h"
#include "workspace/options_dialog_model.h"

namespace zelk {
namespace {

using test::ScriptedUi;
using test::TempFolder;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> ValueLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.find('=') != std::string::npos) lines.push_back(line);
  return lines;
}

// The file a first run leaves behind, written out from the table of defaults.
std::string DefaultFile() {
  std::string text =
      "[paths]\npasbuild=\nModelLocation=\nDataLocation=\n\n"
      "[toggles]\nSourcePreview=1\nAutocompile=1\nShowCompilerErrors=1\nBranchesNumbering=1\n"
      "CompilerConsole=0\nLogYAxis=0\nLegend=1\n\n"
      "[print]\nVertPercentage=50\nHorizPercentage=100\n\n"
      "[values]\nccemphasize=0.899999976158142\nModelTimeLimit=10\nObjective=0\nSearch=0\n\n"
      "[integrator]\nMethod=0\nRelTol=1E-6\nAbsTol=1E-10\nSensitivities=0\n\n"
      "[lm]\nFTol=1E-8\nXTol=1E-8\nGTol=1E-8\n\n"
      "[multistart]\nStarts=20\nSeed=1\n\n"
      "[recent]\nFile1=\nFile2=\nFile3=\nFile4=\nFile5=\nFile6=\nFile7=\nFile8=\n\n"
      "[series]\n";
  // Ten colours and six markers in turn, so that neighbouring responses differ in both.
  const char* colors[] = {"11826975", "950271",  "2924588", "2631638",  "12412820",
                          "4937356",  "12744675", "8355711", "2276796", "13614615"};
  for (int n = 1; n <= 50; ++n) {
    const std::string k = std::to_string(n), c = colors[(n - 1) % 10];
    text += "Marker" + k + "=" + std::to_string((n - 1) % 6) + "\nWeight" + k + "=2\nFilled" +
            k + "=1\nLineColor" + k + "=" + c + "\nFillColor" + k + "=" + c + "\nLineStyle" + k +
            "=0\nLineWidth" + k + "=1\n";
  }
  // The axis captions are on and made from the names.
  for (const char* section : {"fcTitleDesc", "fcXAxisDesc", "fcYAxisDesc"}) {
    const bool title = std::string(section) == "fcTitleDesc";
    text += std::string("\n[") + section + "]\nActive=" + (title ? "0" : "1") +
            "\nCaption=" + (title ? "Title" : "") +
            "\nFontName=Arial\nSize=12\nBold=0\nItalic=0\nUnderline=0\nColor=0\n";
  }
  return text;
}

TEST(Preferences, FirstRunCreatesTheFolderAndWritesAll407DefaultsInOrder) {
  TempFolder folder;
  const std::string path = folder.File("config/zelk/zelk20.ini");
  TPreferences prefs;
  EXPECT_FALSE(LoadPreferences(path, prefs));
  std::string error;
  ASSERT_TRUE(SavePreferences(path, prefs, error)) << error;
  const std::string text = ReadText(path);
  EXPECT_EQ(text, DefaultFile());
  EXPECT_EQ(ValueLines(text).size(), 407u);
  EXPECT_EQ(kPreferenceValueCount, 407);
}

TEST(Preferences, MissingOrUnreadableFileGivesAllDefaults) {
  TempFolder folder;
  for (const std::string& path : {folder.File("absent.ini"), folder.Path().string()}) {
    TPreferences prefs;
    prefs.General.CompilerPath = "/left/over";
    prefs.Series[7].Weight = 9;
    EXPECT_FALSE(LoadPreferences(path, prefs)) << path;
    EXPECT_EQ(prefs, TPreferences{}) << path;
  }
  const TPreferences defaults;
  EXPECT_EQ(defaults.Descriptions[kTitleDesc].Caption, "Title");
  EXPECT_EQ(defaults.Descriptions[kXAxisDesc].Caption, "");
  EXPECT_EQ(defaults.Descriptions[kYAxisDesc].Caption, "");
  EXPECT_FLOAT_EQ(defaults.General.CovThreshold, 0.9f);
}

// Every one of the 407 values away from its default and from its neighbours.
TPreferences EveryValueChanged() {
  TPreferences p;
  p.General = {"/opt/pas build/pasbuild",
               "/home/u/models\\old",
               "/home/u/data=set",
               false,
               false,
               false,
               30,
               70,
               0.125f,
               false,
               25,
               kBdf,
               3.5e-7,
               2.5e-12,
               true,
               2e-9,
               3e-10,
               4e-11,
               35,
               9,
               true,
               3,
               8,
               true,
               false,
               {"/d/a.zkd", "/m/b.mod", "", "", "", "", "", "/z=last.zkd"}};
  for (int n = 1; n <= kSeriesCount; ++n) {
    auto& s = p.Series[n];
    s.Marker = static_cast<std::uint8_t>(1 + n % 5);
    s.Weight = static_cast<std::uint8_t>(255 - n);
    s.Filled = false;
    s.LineColor = 0x010203 * n;
    s.FillColor = -1000 * n;
    s.LineStyle = static_cast<std::uint8_t>(1 + n % 4);
    s.LineWidth = 100 + n;
  }
  const char* captions[] = {"two\nlines", "  padded  ", "back\\slash\\n and \r return"};
  for (int d = 0; d < kDescriptionCount; ++d) {
    p.Descriptions[d] = {true, captions[d], "DejaVu Sans " + std::to_string(d), 8 + d, true, true,
                         true, 0xFF0000 + d};
  }
  return p;
}

TEST(Preferences, RoundTripsEveryValue) {
  TempFolder folder;
  const std::string path = folder.File("zelk20.ini");
  const TPreferences changed = EveryValueChanged();
  std::string error;
  ASSERT_TRUE(SavePreferences(path, changed, error)) << error;
  EXPECT_EQ(ValueLines(ReadText(path)).size(), 407u);
  TPreferences loaded;
  ASSERT_TRUE(LoadPreferences(path, loaded));
  EXPECT_EQ(loaded, changed);
  // Line breaks stay within the value's line.
  EXPECT_NE(ReadText(path).find("\nCaption=two\\nlines\n"), std::string::npos);
}

TEST(Preferences, WritesTheThresholdFromItsSinglePrecisionValue) {
  TempFolder folder;
  const std::string path = folder.File("zelk20.ini");
  struct Case {
    float threshold;
    const char* line;
  } cases[] = {{0.5f, "\nccemphasize=0.5\n"}, {0.9f, "\nccemphasize=0.899999976158142\n"}};
  for (const auto& c : cases) {
    TPreferences prefs;
    prefs.General.CovThreshold = c.threshold;
    std::string error;
    ASSERT_TRUE(SavePreferences(path, prefs, error)) << error;
    EXPECT_NE(ReadText(path).find(c.line), std::string::npos) << c.line;
    TPreferences loaded;
    LoadPreferences(path, loaded);
    EXPECT_EQ(loaded.General.CovThreshold, c.threshold);
  }
}

TEST(FormatThreshold, UsesFifteenDigitsInGeneralFormat) {
  struct Case {
    float value;
    const char* text;
  } cases[] = {
      {0.9f, "0.899999976158142"},
      {0.5f, "0.5"},
      {1.0f, "1"},
      {0.0f, "0"},
      {-0.25f, "-0.25"},
      {100.0f, "100"},
      {0.001f, "0.00100000004749745"},
      {2e-5f, "0.0000199999994947575"},
      {1e-5f, "9.99999974737875E-6"},
      {1.5e-7f, "1.50000005305628E-7"},
      {123456789.0f, "123456792"},
      {1e15f, "999999986991104"},
      {1e16f, "1.00000002725642E16"},
      {1e20f, "1.00000002004088E20"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatThreshold(c.value), c.text) << c.text;
}

TEST(FormatThreshold, ReadsBackAsTheSameSingle) {
  std::mt19937 random(20);
  for (int i = 0; i < 20000; ++i) {
    const std::uint32_t bits = random();
    float value;
    std::memcpy(&value, &bits, sizeof value);
    if (!std::isfinite(value)) continue;
    const auto back = ParseThreshold(FormatThreshold(value));
    ASSERT_TRUE(back) << FormatThreshold(value);
    ASSERT_EQ(*back, value) << FormatThreshold(value);
  }
}

// One value of interest among good ones: what cannot be held takes its default, and the
// values after it still load.
TEST(Preferences, ReadsEachValueOnItsOwnAndDefaultsWhatItCannotHold) {
  struct Case {
    const char* name;
    const char* lines;                                  // "[section]\nname=text\n"
    std::function<void(TPreferences&)> expectedChange;  // nothing: all defaults stay
  } cases[] = {
      {"threshold letters", "[values]\nccemphasize=abc\n", nullptr},
      {"threshold empty", "[values]\nccemphasize=\n", nullptr},
      {"threshold nan", "[values]\nccemphasize=nan\n", nullptr},
      {"threshold beyond single", "[values]\nccemphasize=1e39\n", nullptr},
      {"threshold decimal comma", "[values]\nccemphasize=0,5\n", nullptr},
      {"weight 300", "[series]\nWeight3=300\n", nullptr},
      {"weight -1", "[series]\nWeight3=-1\n", nullptr},
      {"marker 256", "[series]\nMarker3=256\n", nullptr},
      {"line style 2.5", "[series]\nLineStyle3=2.5\n", nullptr},
      {"line width letters", "[series]\nLineWidth3=x\n", nullptr},
      {"colour in hex", "[series]\nLineColor3=0x10\n", nullptr},
      {"extent beyond 32 bits", "[print]\nHorizPercentage=99999999999\n", nullptr},
      {"extent with decimals", "[print]\nVertPercentage=50.5\n", nullptr},
      {"boolean yes", "[toggles]\nSourcePreview=yes\n", nullptr},
      {"boolean with blank", "[toggles]\nAutocompile=0 \n", nullptr},
      {"value in an unknown section", "[other]\nWeight3=7\n", nullptr},
      {"value before any section", "Weight3=7\n[series]\n", nullptr},
      {"weight 0", "[series]\nWeight3=0\n", [](TPreferences& p) { p.Series[3].Weight = 0; }},
      {"weight 255", "[series]\nWeight3=255\n", [](TPreferences& p) { p.Series[3].Weight = 255; }},
      {"marker beyond the shapes", "[series]\nMarker3=7\n",
       [](TPreferences& p) { p.Series[3].Marker = 7; }},
      {"threshold with exponent", "[values]\nccemphasize=9e-1\n",
       [](TPreferences& p) { p.General.CovThreshold = 0.9f; }},
      {"threshold with blanks", "[values]\nccemphasize= 0.5 \n",
       [](TPreferences& p) { p.General.CovThreshold = 0.5f; }},
      {"negative colour", "[series]\nFillColor3=-1\n",
       [](TPreferences& p) { p.Series[3].FillColor = -1; }},
      {"names in other case", "[SERIES]\nweight3=7\n",
       [](TPreferences& p) { p.Series[3].Weight = 7; }},
      {"CR LF lines", "[series]\r\nWeight3=7\r\n", [](TPreferences& p) { p.Series[3].Weight = 7; }},
      {"last of repeated values", "[series]\nWeight3=7\nWeight3=8\n",
       [](TPreferences& p) { p.Series[3].Weight = 8; }},
      {"hand-written backslashes", "[paths]\npasbuild=C:\\bin\\pasbuild.exe\n",
       [](TPreferences& p) { p.General.CompilerPath = "C:\\bin\\pasbuild.exe"; }},
  };
  TempFolder folder;
  const std::string path = folder.File("zelk20.ini");
  for (const auto& c : cases) {
    WriteText(path, std::string("; comment\n") + c.lines + "[fcYAxisDesc]\nCaption=Loaded\n");
    TPreferences expected;
    expected.Descriptions[kYAxisDesc].Caption = "Loaded";
    if (c.expectedChange) c.expectedChange(expected);
    TPreferences loaded;
    EXPECT_TRUE(LoadPreferences(path, loaded)) << c.name;
    EXPECT_EQ(loaded, expected) << c.name;
  }
}

// Values the chart and the printer compute with are brought into range on load, so no hand-edited
// number overflows them; the files that found the overflows are among the cases.
TEST(Preferences, ExtentsFontSizesCaptionsAndTheTimeLimitAreClampedOnLoad) {
  auto fromFinding = [](const char* name) {
    std::ifstream in(std::string(FINDINGS) + "/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  };
  const std::string cut(kMaxCaptionBytes, 'W');
  struct Case {
    std::string name, lines;
    std::function<void(TPreferences&)> expectedChange;
  } cases[] = {
      {"fontsize-overflow.ini", fromFinding("fontsize-overflow.ini"),
       [](TPreferences& p) {
         p.Descriptions[kTitleDesc].Active = true;
         p.Descriptions[kTitleDesc].Size = kMinFontSize;
       }},
      {"print-percentage-overflow.ini", fromFinding("print-percentage-overflow.ini"),
       [](TPreferences& p) { p.General.HorizPercentage = 20; }},
      {"long-caption-overflow.ini", fromFinding("long-caption-overflow.ini"),
       [&cut](TPreferences& p) {
         p.Descriptions[kTitleDesc].Active = true;
         p.Descriptions[kTitleDesc].Size = kMaxFontSize;
         p.Descriptions[kTitleDesc].Caption = cut;
       }},
      {"extents above", "[print]\nVertPercentage=2147483647\nHorizPercentage=101\n",
       [](TPreferences& p) { p.General.VertPercentage = p.General.HorizPercentage = 100; }},
      {"extents at the ends", "[print]\nVertPercentage=20\nHorizPercentage=100\n",
       [](TPreferences& p) { p.General.VertPercentage = 20; }},
      {"font size 0 and 401", "[fcXAxisDesc]\nSize=0\n[fcYAxisDesc]\nSize=401\n",
       [](TPreferences& p) {
         p.Descriptions[kXAxisDesc].Size = 1;
         p.Descriptions[kYAxisDesc].Size = 400;
       }},
      {"caption cut before a character that does not fit",
       "[fcXAxisDesc]\nCaption=" + std::string(kMaxCaptionBytes - 1, 'a') + "\xC3\xA9\n",
       [](TPreferences& p) {
         p.Descriptions[kXAxisDesc].Caption.assign(kMaxCaptionBytes - 1, 'a');
       }},
      {"time limit 0", "[values]\nModelTimeLimit=0\n",
       [](TPreferences& p) { p.General.ModelTimeLimit = 1; }},
      {"time limit huge", "[values]\nModelTimeLimit=999999\n",
       [](TPreferences& p) { p.General.ModelTimeLimit = 3600; }},
  };
  TempFolder folder;
  const std::string path = folder.File("zelk20.ini");
  for (const auto& c : cases) {
    WriteText(path, c.lines);
    TPreferences expected;
    c.expectedChange(expected);
    TPreferences loaded;
    EXPECT_TRUE(LoadPreferences(path, loaded)) << c.name;
    EXPECT_EQ(loaded, expected) << c.name;
  }
}

TEST(Preferences, SaveReportsAFolderThatCannotBeMade) {
  TempFolder folder;
  WriteText(folder.File("plain"), "x");
  std::string error;
  EXPECT_FALSE(SavePreferences(folder.File("plain/zelk20.ini"), TPreferences{}, error));
  EXPECT_FALSE(error.empty());
}

TEST(Preferences, LivesInTheUsersConfigurationFolder) {
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string savedXdg = oldXdg ? oldXdg : "";
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  struct Case {
    const char* xdg;  // nullptr: unset
    std::string path;
  } cases[] = {
      {"/etc/xdg-test", "/etc/xdg-test/zelk20.ini"},
      {nullptr, home + "/.config/zelk20.ini"},
      {"", home + "/.config/zelk20.ini"},
      {"relative/config", home + "/.config/zelk20.ini"},
  };
  for (const auto& c : cases) {
    if (c.xdg)
      setenv("XDG_CONFIG_HOME", c.xdg, 1);
    else
      unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(PreferencesPath(), c.path) << (c.xdg ? c.xdg : "unset");
  }
  if (oldXdg)
    setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
}

// --- the preferences dialog

class OptionsDialog : public ::testing::Test {
 protected:
  OptionsDialog() : dialog_(ui_, prefs_.General, prefs_.Series) {
    for (int n = 1; n <= kSeriesCount; ++n) prefs_.Series[n].LineColor = n;
  }

  // Makes the Series page's controls differ from every default.
  void EditSeriesControls() {
    dialog_.SeriesControls.Marker = kMarkerDiamond;
    dialog_.SeriesControls.LineStyle = kLineDashDot;
    dialog_.SeriesControls.Filled = false;
    dialog_.SeriesControls.LineColor = 0x0000FF;
    dialog_.SeriesControls.FillColor = 0x00FF00;
    dialog_.SeriesControls.LineWidth = 4;
    dialog_.SeriesControls.Weight = 9;
  }
  static TSeriesStyle Edited() {
    return {kMarkerDiamond, 9, false, 0x0000FF, 0x00FF00, kLineDashDot, 4};
  }

  ScriptedUi ui_;
  TPreferences prefs_;
  OptionsDialogModel dialog_;
};

TEST_F(OptionsDialog, OpensWithTheGeneralSettingsAndSeriesOne) {
  prefs_.General.CompilerPath = "/usr/bin/pasbuild";
  prefs_.General.AutoCompile = false;
  prefs_.General.HorizPercentage = 150;  // beyond the field's range, as a hand-edited file
  prefs_.General.VertPercentage = 5;
  dialog_.Open();
  EXPECT_EQ(dialog_.General.CompilerPath, "/usr/bin/pasbuild");
  EXPECT_FALSE(dialog_.General.AutoCompile);
  EXPECT_TRUE(dialog_.General.SourcePreview);
  EXPECT_EQ(dialog_.General.HorizPercentage, 100);
  EXPECT_EQ(dialog_.General.VertPercentage, 20);
  EXPECT_EQ(dialog_.General.Threshold, "0.899999976158142");
  EXPECT_EQ(dialog_.SelectedSeries(), 1);
  EXPECT_EQ(dialog_.SeriesCaption(), "Serie 1");
  EXPECT_EQ(dialog_.SeriesControls, DefaultSeriesStyles()[1]);  // read when the dialog was made
}

TEST_F(OptionsDialog, SeriesEditedAndLeftStaysStoredAfterCancel) {
  dialog_.Open();
  dialog_.SelectSeries(3);
  EXPECT_EQ(dialog_.SeriesControls, prefs_.Series[3]);
  EditSeriesControls();
  dialog_.SelectSeries(4);
  EXPECT_EQ(dialog_.SeriesCaption(), "Serie 4");
  EXPECT_EQ(dialog_.SeriesControls.LineColor, 4);
  dialog_.General.AutoCompile = false;
  const TZelkPrefs before = prefs_.General;
  EXPECT_TRUE(dialog_.CancelPressed());
  EXPECT_EQ(prefs_.Series[3], Edited());
  EXPECT_EQ(prefs_.General, before);
  EXPECT_TRUE(ui_.Messages.empty());
}

TEST_F(OptionsDialog, EditOfTheShownSeriesWaitsInTheControlsUntilOk) {
  dialog_.Open();
  dialog_.SelectSeries(3);
  EditSeriesControls();
  EXPECT_TRUE(dialog_.CancelPressed());
  EXPECT_EQ(prefs_.Series[3].LineColor, 3);  // Cancel stores nothing
  dialog_.Open();                            // the reused dialog still shows the edit
  EXPECT_EQ(dialog_.SeriesControls, Edited());
  EXPECT_TRUE(dialog_.OkPressed());
  EXPECT_EQ(prefs_.Series[3], Edited());
}

TEST_F(OptionsDialog, IgnoresSeriesNumbersOutsideTheSelector) {
  dialog_.SelectSeries(2);
  EditSeriesControls();
  for (int number : {0, 51, -3, 2}) dialog_.SelectSeries(number);
  EXPECT_EQ(dialog_.SelectedSeries(), 2);
  EXPECT_EQ(prefs_.Series[2].LineColor, 2);  // nothing was stored
}

TEST_F(OptionsDialog, ShowsLoadedStylesWithinTheControlRanges) {
  prefs_.Series[5] = {7, 0, true, 1, 2, 9, 20};
  dialog_.SelectSeries(5);
  EXPECT_EQ(dialog_.SeriesControls, (TSeriesStyle{7, 1, true, 1, 2, 9, 9}));
  dialog_.SelectSeries(6);
  EXPECT_EQ(prefs_.Series[5], (TSeriesStyle{7, 1, true, 1, 2, 9, 9}));
}

TEST_F(OptionsDialog, RefusesToCloseWhileTheThresholdIsNoNumber) {
  struct Case {
    const char* name;
    const char* threshold;
    bool ok;  // OK pressed, else Cancel
  } cases[] = {
      {"letters on Cancel", "abc", false},
      {"letters on OK", "abc", true},
      {"empty on OK", "", true},
      {"decimal comma on Cancel", "0,5", false},
      {"beyond single on OK", "1e39", true},
  };
  for (const auto& c : cases) {
    dialog_.Open();
    dialog_.SetPage(OptionsPage::Series);
    dialog_.SelectSeries(3);
    EditSeriesControls();
    dialog_.General.BranchNumbers = false;
    dialog_.General.Threshold = c.threshold;
    OptionsPage pageWhenShown = OptionsPage::Compiler;
    std::size_t messagesWhenShown = 99;
    dialog_.Changed = [&] {
      if (messagesWhenShown == 99) {
        pageWhenShown = dialog_.CurrentPage();
        messagesWhenShown = ui_.Messages.size();
      }
    };
    const TPreferences before = prefs_;
    EXPECT_FALSE(c.ok ? dialog_.OkPressed() : dialog_.CancelPressed()) << c.name;
    ASSERT_EQ(ui_.Messages.size(), 1u) << c.name;
    EXPECT_EQ(ui_.Messages[0].Text, "Numeric value required!");
    EXPECT_EQ(ui_.Messages[0].Kind, MessageKind::Error);
    EXPECT_EQ(ui_.Messages[0].ButtonSet, Buttons::Ok);
    EXPECT_EQ(pageWhenShown, OptionsPage::Warnings) << c.name;
    EXPECT_EQ(messagesWhenShown, 0u) << c.name;  // the page came first
    EXPECT_EQ(dialog_.Focus(), OptionsFocus::ThresholdSelected) << c.name;
    EXPECT_EQ(prefs_, before) << c.name;
    EXPECT_TRUE(ui_.Repaints.empty()) << c.name;
    dialog_.Changed = nullptr;
    ui_.Messages.clear();
  }
}

TEST_F(OptionsDialog, OkStoresTheFieldsAndTheShownSeries) {
  prefs_.General.ModelLocation = "/models";
  prefs_.General.DataLocation = "/data";
  dialog_.Open();
  dialog_.General = {"/opt/pasbuild", false, false, 40,    250,     " 0.5 ", false,
                     false,           10,    kBdf,  "1e-8", "1E-12", true};
  dialog_.SelectSeries(9);
  EditSeriesControls();
  dialog_.SeriesControls.Weight = 12;  // beyond the slider
  EXPECT_TRUE(dialog_.OkPressed());
  const TZelkPrefs expected{"/opt/pasbuild", "/models", "/data", false, false,
                            false,           100,       40,      0.5f,  false,
                            10,              kBdf,      1e-8,    1e-12, true};
  EXPECT_EQ(prefs_.General, expected);
  TSeriesStyle stored = Edited();
  stored.Weight = 10;
  EXPECT_EQ(prefs_.Series[9], stored);
  EXPECT_EQ(ui_.Repaints[View::Source], 1);
  EXPECT_EQ(ui_.Repaints[View::FitChart], 1);
  EXPECT_TRUE(ui_.Messages.empty());
  dialog_.Open();
  EXPECT_EQ(dialog_.General.Threshold, "0.5");
  EXPECT_EQ(dialog_.General.RelTolerance, "1E-8");
}

TEST_F(OptionsDialog, ATolerancePastItsRangeKeepsTheDialogOpenOnTheIntegratorPage) {
  dialog_.Open();
  for (const char* typed : {"0.5", "1e-20", "tight"}) {
    dialog_.General.AbsTolerance = typed;
    EXPECT_FALSE(dialog_.OkPressed()) << typed;
    EXPECT_EQ(dialog_.CurrentPage(), OptionsPage::Integrator);
    EXPECT_EQ(dialog_.Focus(), OptionsFocus::AbsToleranceSelected);
    EXPECT_EQ(ui_.TakeMessages(), std::vector<std::string>{msg::kToleranceRequired});
  }
  EXPECT_EQ(prefs_.General.AbsTolerance, 1e-10);
}

TEST_F(OptionsDialog, BrowseProposesOnlyAnExistingCompiler) {
  TempFolder folder;
  const std::string existing = folder.File("pasbuild.exe");
  WriteText(existing, "");
  struct Case {
    std::string field;
    std::optional<std::string> chosen;
    std::string proposed;
    std::string fieldAfter;
  } cases[] = {
      {existing, "/opt/other.exe", existing, "/opt/other.exe"},
      {folder.File("gone.exe"), std::nullopt, "", folder.File("gone.exe")},
      {folder.Path().string(), "/a.exe", "", "/a.exe"},  // a folder is no file
  };
  for (const auto& c : cases) {
    dialog_.General.CompilerPath = c.field;
    ui_.DialogAnswers = {c.chosen};
    ui_.OpenRequests.clear();
    dialog_.BrowseCompiler();
    ASSERT_EQ(ui_.OpenRequests.size(), 1u);
    const FileDialogRequest& request = ui_.OpenRequests[0];
    EXPECT_EQ(request.Title, "Browse for file ...");
    EXPECT_EQ(request.Filter, "Application Executable (*.exe)|*.exe");
    EXPECT_EQ(request.DefaultExtension, "exe");
    EXPECT_EQ(request.ProposedName, c.proposed) << c.field;
    EXPECT_EQ(dialog_.General.CompilerPath, c.fieldAfter) << c.field;
  }
}

}  // namespace
}  // namespace zelk
