#include "base/preferences.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <vector>

#include "base/data_file.h"
#include "base/format.h"

namespace zelk {

TSeriesStyles DefaultSeriesStyles() {
  // Ten colours that stay apart on white and in grey print, as 0xBBGGRR.
  static constexpr TColor kColors[] = {0xB4771F, 0x0E7FFF, 0x2CA02C, 0x2827D6, 0xBD6794,
                                       0x4B568C, 0xC277E3, 0x7F7F7F, 0x22BDBC, 0xCFBE17};
  static constexpr std::uint8_t kMarkers[] = {kMarkerCircle,       kMarkerSquare, kMarkerTriangleUp,
                                              kMarkerTriangleDown, kMarkerDiamond, kMarkerAsterisk};
  TSeriesStyles series{};
  for (int n = 1; n <= kSeriesCount; ++n) {
    TSeriesStyle& s = series[n];
    s.LineColor = s.FillColor = kColors[(n - 1) % std::size(kColors)];
    s.Marker = kMarkers[(n - 1) % std::size(kMarkers)];
  }
  return series;
}

namespace {

constexpr const char* kDescriptionSections[kDescriptionCount] = {"fcTitleDesc", "fcXAxisDesc",
                                                                 "fcYAxisDesc"};

// The one list of saved values: section, name and field, in the order they are written.
// `Prefs` is TPreferences or const TPreferences, so reading and writing share it.
template <class Prefs, class Visit>
void ForEachValue(Prefs& prefs, Visit&& visit) {
  auto& g = prefs.General;
  visit("paths", "pasbuild", g.CompilerPath);
  visit("paths", "ModelLocation", g.ModelLocation);
  visit("paths", "DataLocation", g.DataLocation);
  visit("toggles", "SourcePreview", g.SourcePreview);
  visit("toggles", "Autocompile", g.AutoCompile);
  visit("toggles", "ShowCompilerErrors", g.ShowIntegrationErrors);
  visit("toggles", "BranchesNumbering", g.BranchNumbers);
  visit("toggles", "CompilerConsole", g.CompilerConsole);
  visit("toggles", "LogYAxis", g.LogYAxis);
  visit("toggles", "Legend", g.ChartLegend);
  visit("print", "VertPercentage", g.VertPercentage);
  visit("print", "HorizPercentage", g.HorizPercentage);
  visit("values", "ccemphasize", g.CovThreshold);
  visit("values", "ModelTimeLimit", g.ModelTimeLimit);
  visit("values", "Objective", g.Objective);
  visit("values", "Search", g.LastSearch);
  visit("integrator", "Method", g.Integrator);
  visit("integrator", "RelTol", g.RelTolerance);
  visit("integrator", "AbsTol", g.AbsTolerance);
  visit("integrator", "Sensitivities", g.SensitivityJacobian);
  visit("lm", "FTol", g.LMFunctionTolerance);
  visit("lm", "XTol", g.LMParameterTolerance);
  visit("lm", "GTol", g.LMGradientTolerance);
  visit("multistart", "Starts", g.MultiStarts);
  visit("multistart", "Seed", g.MultiStartSeed);
  for (std::size_t n = 0; n < g.RecentFiles.size(); ++n)
    visit("recent", "File" + std::to_string(n + 1), g.RecentFiles[n]);
  for (int n = 1; n <= kSeriesCount; ++n) {
    auto& s = prefs.Series.at(n);
    const std::string number = std::to_string(n);
    visit("series", "Marker" + number, s.Marker);
    visit("series", "Weight" + number, s.Weight);
    visit("series", "Filled" + number, s.Filled);
    visit("series", "LineColor" + number, s.LineColor);
    visit("series", "FillColor" + number, s.FillColor);
    visit("series", "LineStyle" + number, s.LineStyle);
    visit("series", "LineWidth" + number, s.LineWidth);
  }
  for (int d = 0; d < kDescriptionCount; ++d) {
    auto& desc = prefs.Descriptions.at(d);
    const char* section = kDescriptionSections[d];
    visit(section, "Active", desc.Active);
    visit(section, "Caption", desc.Caption);
    visit(section, "FontName", desc.FontName);
    visit(section, "Size", desc.Size);
    visit(section, "Bold", desc.Bold);
    visit(section, "Italic", desc.Italic);
    visit(section, "Underline", desc.Underline);
    visit(section, "Color", desc.Color);
  }
}

// A value holds one line, so line breaks are written as \n and \r and a backslash as \\.
// Reading turns those three back; any other backslash stays as it is, so a hand-written
// path such as C:\bin\pasbuild.exe reads unchanged.
std::string EncodeText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else
      out += c;
  }
  return out;
}

std::string DecodeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      const char next = text[i + 1];
      if (next == '\\' || next == 'n' || next == 'r') {
        out += next == 'n' ? '\n' : next == 'r' ? '\r' : '\\';
        ++i;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

std::string IntegerText(std::int64_t value) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Registry names do not depend on case; neither do ours.
struct CaselessLess {
  bool operator()(const std::string& a, const std::string& b) const {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
      const char ca = Lower(a[i]), cb = Lower(b[i]);
      if (ca != cb) return ca < cb;
    }
    return a.size() < b.size();
  }
  static char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
};

using IniSection = std::map<std::string, std::string, CaselessLess>;
using IniFile = std::map<std::string, IniSection, CaselessLess>;

// Lines "[section]" and "name=value"; the value is everything after the first '=' except a
// final CR. Blank lines, comments (';' or '#'), lines without '=' and lines before the first
// section are skipped.
IniFile ParseIni(std::string_view text) {
  IniFile ini;
  IniSection* section = nullptr;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string_view trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') continue;
    if (trimmed.front() == '[' && trimmed.back() == ']') {
      section = &ini[std::string(TrimBlanks(trimmed.substr(1, trimmed.size() - 2)))];
      continue;
    }
    const std::size_t eq = line.find('=');
    if (section == nullptr || eq == std::string_view::npos) continue;
    (*section)[std::string(TrimBlanks(line.substr(0, eq)))] = std::string(line.substr(eq + 1));
  }
  return ini;
}

// Takes a value into its field when the text can be held there; leaves the field (its
// default) otherwise.
class ValueReader {
 public:
  explicit ValueReader(const IniFile& ini) : ini_(ini) {}

  void operator()(const char* section, const std::string& name, std::string& field) const {
    if (const std::string* text = Find(section, name)) field = DecodeText(*text);
  }
  void operator()(const char* section, const std::string& name, bool& field) const {
    if (const std::string* text = Find(section, name)) {
      if (*text == "1") field = true;
      if (*text == "0") field = false;
    }
  }
  void operator()(const char* section, const std::string& name, std::int32_t& field) const {
    if (const std::string* text = Find(section, name))
      if (const auto value = ParseInteger(*text)) field = *value;
  }
  void operator()(const char* section, const std::string& name, std::uint8_t& field) const {
    if (const std::string* text = Find(section, name))
      if (const auto value = ParseInteger(*text); value && *value >= 0 && *value <= 255)
        field = static_cast<std::uint8_t>(*value);
  }
  void operator()(const char* section, const std::string& name, float& field) const {
    if (const std::string* text = Find(section, name))
      if (const auto value = ParseThreshold(*text)) field = *value;
  }
  void operator()(const char* section, const std::string& name, double& field) const {
    if (const std::string* text = Find(section, name))
      if (const auto value = ParseNumber(*text); value && std::isfinite(*value)) field = *value;
  }

 private:
  const std::string* Find(const char* section, const std::string& name) const {
    const auto s = ini_.find(section);
    if (s == ini_.end()) return nullptr;
    const auto v = s->second.find(name);
    return v == s->second.end() ? nullptr : &v->second;
  }

  const IniFile& ini_;
};

class ValueWriter {
 public:
  void operator()(const char* section, const std::string& name, const std::string& field) {
    Line(section, name, EncodeText(field));
  }
  void operator()(const char* section, const std::string& name, bool field) {
    Line(section, name, field ? "1" : "0");
  }
  void operator()(const char* section, const std::string& name, std::int32_t field) {
    Line(section, name, IntegerText(field));
  }
  void operator()(const char* section, const std::string& name, std::uint8_t field) {
    Line(section, name, IntegerText(field));
  }
  void operator()(const char* section, const std::string& name, float field) {
    Line(section, name, FormatThreshold(field));
  }
  void operator()(const char* section, const std::string& name, double field) {
    Line(section, name, FormatGeneral(field, 15));
  }

  const std::string& Text() const { return text_; }

 private:
  void Line(const char* section, const std::string& name, const std::string& value) {
    if (section_ != section) {
      if (!text_.empty()) text_ += '\n';
      text_ += std::string("[") + section + "]\n";
      section_ = section;
    }
    text_ += name;
    text_ += '=';
    text_ += value;
    text_ += '\n';
  }

  std::string text_;
  std::string section_;
};

// A hand-edited file may hold any 32-bit number or any length; what the chart and the
// printer compute with must stay far from overflow.
void ClampLoaded(TPreferences& prefs) {
  TZelkPrefs& g = prefs.General;
  g.VertPercentage = std::clamp(g.VertPercentage, kMinPrintPercentage, kMaxPrintPercentage);
  g.HorizPercentage = std::clamp(g.HorizPercentage, kMinPrintPercentage, kMaxPrintPercentage);
  g.ModelTimeLimit = std::clamp(g.ModelTimeLimit, kMinModelTimeLimit, kMaxModelTimeLimit);
  if (g.Integrator != kBdf) g.Integrator = kMerson;
  g.RelTolerance = std::clamp(g.RelTolerance, kMinTolerance, kMaxTolerance);
  g.AbsTolerance = std::clamp(g.AbsTolerance, kMinTolerance, kMaxTolerance);
  for (double* t : {&g.LMFunctionTolerance, &g.LMParameterTolerance, &g.LMGradientTolerance})
    *t = std::clamp(*t, kMinLMTolerance, kMaxLMTolerance);
  g.MultiStarts = std::clamp(g.MultiStarts, 1, 100000);
  for (TDescription& d : prefs.Descriptions) {
    d.Size = std::clamp(d.Size, kMinFontSize, kMaxFontSize);
    if (d.Caption.size() > kMaxCaptionBytes) {
      std::size_t cut = kMaxCaptionBytes;
      while (cut > 0 && (static_cast<unsigned char>(d.Caption[cut]) & 0xC0) == 0x80) --cut;
      d.Caption.resize(cut);
    }
  }
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr)
    return entry->pw_dir;
  return ".";
}

}  // namespace

std::string PreferencesPath() {
  namespace fs = std::filesystem;
  fs::path folder;
  // The XDG rules ignore a relative XDG_CONFIG_HOME.
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && config[0] == '/')
    folder = config;
  else
    folder = fs::path(HomeFolder()) / ".config";
  return (folder / "zelk20.ini").string();
}

bool LoadPreferences(const std::string& path, TPreferences& out) {
  out = TPreferences{};
  std::vector<std::uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(path, bytes, error)) return false;
  const IniFile ini =
      ParseIni(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  ForEachValue(out, ValueReader(ini));
  ClampLoaded(out);
  return true;
}

bool SavePreferences(const std::string& path, const TPreferences& prefs, std::string& error) {
  namespace fs = std::filesystem;
  ValueWriter writer;
  ForEachValue(prefs, writer);
  const fs::path folder = fs::path(path).parent_path();
  std::error_code ec;
  if (!folder.empty() && !fs::is_directory(folder, ec)) {
    fs::create_directories(folder, ec);
    if (ec) {
      error = ec.message();
      return false;
    }
  }
  const std::string& text = writer.Text();
  return WriteFileReplacing(path, std::vector<std::uint8_t>(text.begin(), text.end()), error);
}

std::string FormatThreshold(float value) { return FormatGeneral(value, 15); }

std::optional<float> ParseThreshold(std::string_view text) {
  const auto value = ParseNumber(text);
  if (!value || std::fabs(*value) > std::numeric_limits<float>::max()) return std::nullopt;
  return static_cast<float>(*value);
}

}  // namespace zelk
