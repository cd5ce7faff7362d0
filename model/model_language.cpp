#include "model/model_language.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <string_view>
#include <utility>

#include "base/data_set.h"
#include "base/format.h"
#include "base/messages.h"

namespace zelk {

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

bool HasText(const std::string& s) {
  for (char c : s)
    if (!IsBlank(c)) return true;
  return false;
}

// The text's lines; `origins` gets the model line of each, counted from `origin`.
void AppendLines(std::vector<std::string>& lines, std::vector<SourceOrigin>& origins,
                 const std::string& text, SourceOrigin origin) {
  std::size_t start = 0;
  while (true) {
    origins.push_back(origin);
    origin = {origin.Line + 1, 0};
    const std::size_t end = text.find('\n', start);
    std::string line =
        text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    if (end == std::string::npos) return;
    start = end + 1;
  }
}

}  // namespace

std::string LibraryIdentifier(const std::string& baseName) {
  std::string id;
  for (char c : baseName)
    id += std::isalnum(static_cast<unsigned char>(c)) && static_cast<unsigned char>(c) < 128 ? c
                                                                                             : '_';
  if (id.empty() || std::isdigit(static_cast<unsigned char>(id[0]))) id.insert(0, "_");
  std::string lower = id;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return IsReservedWord(lower) ? id + "_" : id;
}

std::vector<std::string> IndexWarnings(const std::string& modelText, const ModelCounts& counts) {
  struct Vector {
    const char* name;
    const char* message;
    int count;
  };
  const Vector vectors[] = {{"dy", msg::kDyBeyondDifEqCount, counts.DifEqCount},
                            {"y", msg::kYBeyondDepCount, counts.DepCount},
                            {"p", msg::kPBeyondParamCount, counts.ParamCount}};
  std::string text = modelText;
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::size_t n = text.size();
  auto skipBlanks = [&](std::size_t at) {
    while (at < n && IsBlank(text[at])) ++at;
    return at;
  };
  auto isWordChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  // Comments and strings: what opens them and what closes them.
  static const std::pair<std::string_view, std::string_view> kSkipped[] = {
      {"{", "}"}, {"(*", "*)"}, {"//", "\n"}, {"'", "'"}};
  std::vector<std::string> warnings;
  std::set<std::pair<const char*, std::string>> seen;
  for (std::size_t i = 0; i < n;) {
    const auto skipped = std::find_if(std::begin(kSkipped), std::end(kSkipped), [&](auto& s) {
      return text.compare(i, s.first.size(), s.first) == 0;
    });
    if (skipped != std::end(kSkipped)) {
      const std::size_t end = text.find(skipped->second, i + skipped->first.size());
      i = end == std::string::npos ? n : end + skipped->second.size();
      continue;
    }
    if (!isWordChar(text[i])) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    while (i < n && isWordChar(text[i])) ++i;
    const std::string word = text.substr(start, i - start);
    const auto vector = std::find_if(std::begin(vectors), std::end(vectors),
                                     [&](const Vector& v) { return word == v.name; });
    // A field of a record (r.y^[3]) is not the model's vector.
    if (vector == std::end(vectors) || (start > 0 && text[start - 1] == '.')) continue;
    std::size_t at = skipBlanks(i);
    if (at >= n || text[at] != '^') continue;
    at = skipBlanks(at + 1);
    if (at >= n || text[at] != '[') continue;
    at = skipBlanks(at + 1);
    while (at + 1 < n && text[at] == '0' && std::isdigit(static_cast<unsigned char>(text[at + 1])))
      ++at;
    const std::size_t digitsStart = at;
    while (at < n && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
    const std::string index = text.substr(digitsStart, at - digitsStart);
    at = skipBlanks(at);
    if (index.empty() || at >= n || text[at] != ']') continue;
    // Counts stay below 100, so an index of three digits or more is beyond any of them.
    const bool beyond = index.size() > 2 || std::stoi(index) > vector->count;
    if (!beyond || !seen.insert({vector->name, index}).second) continue;
    const auto line = 1 + std::count(text.begin(), text.begin() + start, '\n');
    warnings.push_back(FillPlaceholders(
        vector->message, {index, std::to_string(line), std::to_string(vector->count)}));
  }
  return warnings;
}

ModelTranslator::ModelTranslator(const std::string& editorText, std::string baseName,
                                 ModelCounts counts)
    : original_(editorText), text_(editorText), baseName_(std::move(baseName)), counts_(counts) {
  for (char& c : text_) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

SourceOrigin ModelTranslator::OriginOf(std::size_t at) const {
  SourceOrigin origin{1, 0};
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i < at && i < text_.size(); ++i)
    if (text_[i] == '\n') {
      ++origin.Line;
      lineStart = i + 1;
    }
  origin.ColumnShift = static_cast<int>(at - lineStart);
  return origin;
}

void ModelTranslator::SkipBlanks() {
  while (at_ < text_.size() && IsBlank(text_[at_])) ++at_;
}

void ModelTranslator::Fail(const std::string& error) {
  result_.Error = error;
  // The caret goes where the unconsumed text begins.
  result_.Caret = at_;
}

bool ModelTranslator::ExpectKeyword(const char* keyword) {
  const std::string word(keyword);
  if (text_.compare(at_, word.size(), word) == 0) {
    at_ += word.size();
    return true;
  }
  Fail(FillPlaceholders(kKeywordExpected, {word}));
  return false;
}

bool ModelTranslator::GenerateCSource() { return false; }

bool ModelTranslator::GeneratePascalSource() {
  SkipBlanks();
  const NamesBlock names = ReadNamesBlock(original_, at_);
  if (!names.Error.empty()) {
    at_ = names.ErrorAt;
    Fail(names.Error);
    return false;
  }
  result_.Names = names.Names;
  at_ = names.End;
  SkipBlanks();
  // The initial section is optional: a model without one starts from its measured values.
  const std::pair<const char*, const char*> sections[] = {{"declar", "end declar"},
                                                          {"initial", "end initial"},
                                                          {"static", "end static"},
                                                          {"dynamic", "end dynamic"}};
  std::string texts[4];
  SourceOrigin starts[4];
  bool hasInitial = false;
  for (int s = 0; s < 4; ++s) {
    if (s == 1) {
      hasInitial = text_.compare(at_, 7, "initial") == 0 &&
                   (at_ + 7 >= text_.size() || !std::isalnum(static_cast<unsigned char>(text_[at_ + 7])));
      if (!hasInitial) continue;
    }
    if (!ExpectKeyword(sections[s].first)) return false;
    const std::string marker(sections[s].second);
    const std::size_t end = text_.find(marker, at_);
    if (end == std::string::npos) {
      Fail(FillPlaceholders(kUndefinedSectionEnd, {marker}));
      return false;
    }
    texts[s] = text_.substr(at_, end - at_);
    starts[s] = OriginOf(at_);
    at_ = end + marker.size();
    SkipBlanks();
  }
  const std::string& declarations = texts[0];
  const std::string& initialText = texts[1];
  const std::string& staticText = texts[2];
  const std::string& dynamicText = texts[3];
  std::vector<std::string>& out = result_.Lines;
  std::vector<SourceOrigin>& origins = result_.Origins;
  const int xColumns = std::max(kMaxIndep, counts_.IndepCount);
  const int yColumns = std::max(kMaxDep, counts_.DepCount);
  out = {"Library " + LibraryIdentifier(baseName_) + ";",
         "",
         "uses Math;",
         "",
         // T20Vector and T50Vector stay for a model's own variables; the pointers reach as
         // many values as the problem has, so p^[60] and y^[150] compile.
         "type T20Vector = array[0..20] of Double;",
         "type T50Vector = array[0..50] of Double;",
         "type TZelkValues = array[0..$FFFFFFF] of Double;",
         "type TZelkXeRow = array[0.." + std::to_string(xColumns) + "] of Double;",
         "type TZelkYeRow = array[0.." + std::to_string(yColumns) + "] of Double;",
         "type T20x500Matrix = array[0..$FFFFF] of TZelkXeRow;",
         "type T50x500Matrix = array[0..$FFFFF] of TZelkYeRow;",
         "type P20Vector = ^TZelkValues;",
         "type P50Vector = ^TZelkValues;",
         "type P20x500Matrix = ^T20x500Matrix;",
         "type P50x500Matrix = ^T50x500Matrix;",
         ""};
  // After the frame's own identifiers, so that a name only ever reaches the sections.
  for (const std::string& line : NameDefinitions(result_.Names)) out.push_back(line);
  out.push_back("procedure DynamicEquations(var p,x : P20Vector; var y,dy : P50Vector); export;");
  origins.assign(out.size(), SourceOrigin{});
  auto frame = [&](const std::string& line) {
    out.push_back(line);
    origins.push_back({});
  };
  auto appendVar = [&] {
    if (!HasText(declarations)) return;
    frame("var");
    AppendLines(out, origins, declarations, starts[0]);
  };
  appendVar();
  frame("begin");
  AppendLines(out, origins, dynamicText, starts[3]);
  frame("end;");
  frame("");
  frame(
      "procedure InitialEquations(var p,x : P20Vector; var y : P50Vector; var xe : P20x500Matrix; "
      "var ye : "
      "P50x500Matrix); export;");
  appendVar();
  frame("begin");
  AppendLines(out, origins, staticText, starts[2]);
  if (!HasText(staticText)) frame(";");
  frame("end;");
  frame("");
  if (hasInitial) {
    frame("procedure StartEquations(var p,x : P20Vector; var y : P50Vector); export;");
    appendVar();
    frame("begin");
    AppendLines(out, origins, initialText, starts[1]);
    if (!HasText(initialText)) frame(";");
    frame("end;");
    frame("");
  }
  frame("procedure MatrixStrides(var xs, ys : LongInt); export;");
  frame("begin xs := " + std::to_string(xColumns + 1) + "; ys := " + std::to_string(yColumns + 1) +
        "; end;");
  for (const char* line : {"", "exports", "DynamicEquations,", "InitialEquations,"}) frame(line);
  if (hasInitial) frame("StartEquations,");
  for (const char* line : {"MatrixStrides;", "", "begin", "end."}) frame(line);
  return true;
}

TranslationResult ModelTranslator::Translate() {
  SkipBlanks();
  if (!ExpectKeyword("language")) return result_;
  SkipBlanks();
  if (!ExpectKeyword("=")) return result_;
  result_.LanguageLineRead = true;
  SkipBlanks();
  if (at_ < text_.size() && text_[at_] == 'c') {
    at_ += 1;
    result_.SourceIsC = true;
    result_.Ok = GenerateCSource();
  } else if (text_.compare(at_, 6, "pascal") == 0) {
    at_ += 6;
    result_.SourceIsC = false;
    result_.Ok = GeneratePascalSource();
  } else {
    result_.Error = kUnknownLanguage;
  }
  return result_;
}

}  // namespace zelk
