#pragma once
// The user's settings with their defaults, and the file they outlive a run in. They are read
// where they are used; the file is read once at start and written once at close.
//
// The file "zelk20.ini" stands in for the registry key "zelk20": one [section] per subkey,
// one name=value line per value, every value as a string. Booleans are "1"/"0", integers and
// colours decimal, texts as they are (with line breaks and backslashes escaped, see
// SavePreferences), the covariance threshold in FormatThreshold's form.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zelk {

// Red in the lowest byte, green in the next, blue in the third; 0 is black.
using TColor = std::int32_t;

// The general settings.
struct TZelkPrefs {
  std::string CompilerPath;            // paths/pasbuild: the external compiler's executable
  std::string ModelLocation;           // paths/ModelLocation: folder of the last model opened
  std::string DataLocation;            // paths/DataLocation: folder of the last data file opened
  bool SourcePreview = true;           // toggles/SourcePreview: the Source page is shown
  bool AutoCompile = true;             // toggles/Autocompile: Open Model File ends with Compile
  bool ShowIntegrationErrors = true;   // toggles/ShowCompilerErrors
  std::int32_t VertPercentage = 50;    // print/VertPercentage: printed chart height, percent
  std::int32_t HorizPercentage = 100;  // print/HorizPercentage: printed chart width, percent
  float CovThreshold = 0.9f;           // values/ccemphasize: |normalized covariance| drawn in red
  bool BranchNumbers = true;           // toggles/BranchesNumbering: stored only
  std::int32_t ModelTimeLimit = 10;    // values/ModelTimeLimit: seconds a model solution may take
  std::uint8_t Integrator = 0;          // integrator/Method: kMerson or kBdf
  double RelTolerance = 1e-6;           // integrator/RelTol: BDF's relative tolerance
  double AbsTolerance = 1e-10;          // integrator/AbsTol: BDF's absolute tolerance
  bool SensitivityJacobian = false;     // integrator/Sensitivities: BDF's Jacobians from them
  // lm/FTol, XTol, GTol: Optimize LM's relative change of the objective and of the parameters
  // in a step, and its gradient relative to the start's objective, that end it.
  double LMFunctionTolerance = 1e-8;
  double LMParameterTolerance = 1e-8;
  double LMGradientTolerance = 1e-8;
  std::int32_t MultiStarts = 20;  // multistart/Starts: the starts of Compute > Multi-start
  std::int32_t MultiStartSeed = 1;
  bool CompilerConsole = false;  // toggles/CompilerConsole: compile in a terminal window
  std::uint8_t Objective = 0;    // values/Objective: the objective type chosen last
  std::uint8_t LastSearch = 0;   // values/Search: the Optimize button's search, 0 for its first
  bool LogYAxis = false;         // toggles/LogYAxis: the fit chart's y axis is logarithmic
  bool ChartLegend = true;       // toggles/Legend: the fit chart names its responses
  // recent/File1..File8: the data and model files opened or saved last, newest first.
  std::array<std::string, 8> RecentFiles{};

  bool operator==(const TZelkPrefs&) const = default;
};

inline constexpr int kSeriesCount = 50;

// Marker shapes and line styles as their byte values.
enum : std::uint8_t {
  kMarkerCircle,
  kMarkerSquare,
  kMarkerTriangleUp,
  kMarkerTriangleDown,
  kMarkerDiamond,
  kMarkerAsterisk
};
enum : std::uint8_t { kLineSolid, kLineDashed, kLineDotted, kLineDashDot, kLineDashDotDot };

// The style of one chart series (series n draws dependent variable n); section "series",
// values named "Marker" + n and so on.
struct TSeriesStyle {
  std::uint8_t Marker = kMarkerCircle;
  std::uint8_t Weight = 2;  // marker half-size in tenths of the chart's marker unit
  bool Filled = true;
  TColor LineColor = 0;  // line and marker outline
  TColor FillColor = 0;
  std::uint8_t LineStyle = kLineSolid;
  std::int32_t LineWidth = 1;

  bool operator==(const TSeriesStyle&) const = default;
};

// One text of the fit chart: its title or an axis caption.
struct TDescription {
  bool Active = false;  // the text is drawn
  std::string Caption;
  std::string FontName = "Arial";
  std::int32_t Size = 12;  // points
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  TColor Color = 0;

  bool operator==(const TDescription&) const = default;
};

// Indexes of TPreferences::Descriptions, in the order of their sections.
enum DescriptionIndex : int { kTitleDesc, kXAxisDesc, kYAxisDesc };
inline constexpr int kDescriptionCount = 3;

using TSeriesStyles = std::array<TSeriesStyle, kSeriesCount + 1>;  // slot 0 holds no series
using TDescriptions = std::array<TDescription, kDescriptionCount>;

// A first run's series: each response its own colour and marker, so responses are told apart
// without a visit to the preferences.
TSeriesStyles DefaultSeriesStyles();

// Everything that is saved, with the defaults of a first run.
struct TPreferences {
  TZelkPrefs General;
  TSeriesStyles Series = DefaultSeriesStyles();
  // An axis caption left empty is made from the names: "X[1]" and the responses'.
  TDescriptions Descriptions{{
      {.Caption = "Title"},            // section fcTitleDesc
      {.Active = true, .Caption = ""},  // section fcXAxisDesc
      {.Active = true, .Caption = ""},  // section fcYAxisDesc
  }};

  bool operator==(const TPreferences&) const = default;
};

// The ranges values are clamped to on load: the chart computes with them in 32 bits.
inline constexpr std::int32_t kMinPrintPercentage = 20;
inline constexpr std::int32_t kMaxPrintPercentage = 100;
inline constexpr std::int32_t kMinFontSize = 1;
inline constexpr std::int32_t kMaxFontSize = 400;
inline constexpr std::size_t kMaxCaptionBytes = 1000;
inline constexpr std::int32_t kMinModelTimeLimit = 1;
inline constexpr std::int32_t kMaxModelTimeLimit = 3600;
// The integrators of differential models: Runge-Kutta-Merson, or CVODES' BDF for stiff ones.
enum : std::uint8_t { kMerson = 0, kBdf = 1 };
inline constexpr double kMinTolerance = 1e-14, kMaxTolerance = 1e-2;
inline constexpr double kMinLMTolerance = 1e-16, kMaxLMTolerance = 0.1;

// Number of name=value lines a saved file holds.
inline constexpr int kPreferenceValueCount = 25 + 8 + 7 * kSeriesCount + 8 * kDescriptionCount;

// "$XDG_CONFIG_HOME/zelk20.ini" when that variable holds an absolute path, otherwise
// "$HOME/.config/zelk20.ini" (the password database's home when HOME is unset).
std::string PreferencesPath();

// Reads the file into `out`. Every value that is missing or cannot be held by its field
// takes its default and reading goes on: a threshold that is no finite number or lies beyond
// single precision, a Marker, Weight or LineStyle outside 0..255, an integer or colour that
// is no 32-bit decimal, a Boolean other than "1"/"0". Section and value names match without
// regard to case, as registry names do; of repeated values the last counts. Print extents,
// font sizes and the model time limit are then clamped to their ranges above, captions cut
// to kMaxCaptionBytes (at a character's start). Returns false,
// with `out` all defaults, when the file does not exist or cannot be read.
bool LoadPreferences(const std::string& path, TPreferences& out);

// Writes all values, section by section (paths, toggles, print, values, series,
// fcTitleDesc, fcXAxisDesc, fcYAxisDesc); in "series" the seven values of series 1, then
// of series 2, and so on. Creates the folder when it is missing. The file is replaced only
// once the new one is complete, so a failure leaves the old file as it was; then returns
// false with a readable reason in `error`.
bool SavePreferences(const std::string& path, const TPreferences& prefs, std::string& error);

// The threshold as text: its single-precision value rounded to 15 significant digits,
// without trailing zeros; fixed-point for 1e-5 <= |x| < 1e15, otherwise as "1.5E-7".
// 0.9f gives "0.899999976158142", 0.5f gives "0.5".
std::string FormatThreshold(float value);

// A threshold text: a number as ParseNumber reads it that single precision can hold
// (nothing for a text that is no number or lies beyond +-3.4e38).
std::optional<float> ParseThreshold(std::string_view text);

}  // namespace zelk
