#include "model/model_names.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "base/format.h"

namespace zelk {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

bool StartsIdentifier(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool InIdentifier(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The generated source's own identifiers: a name must not hide one of them.
bool IsFrameWord(const std::string& lower) {
  static const char* const kWords[] = {"p", "x", "y", "dy", "xe", "ye", "math", "double",
                                       "t20vector", "t50vector", "t20x500matrix",
                                       "t50x500matrix", "p20vector", "p50vector",
                                       "p20x500matrix", "p50x500matrix", "dynamicequations",
                                       "initialequations", "startequations", "matrixstrides",
                                       "names", "parameters", "responses", "likelihood"};
  return std::find(std::begin(kWords), std::end(kWords), lower) != std::end(kWords);
}

}  // namespace

bool IsReservedWord(const std::string& lower) {
  static const char* const kReserved[] = {
      "and",      "array",  "asm",       "begin",     "case",       "const",          "constructor",
      "destructor", "div",  "do",        "downto",    "else",       "end",            "file",
      "for",      "function", "goto",    "if",        "implementation", "in",         "inherited",
      "inline",   "interface", "label",  "library",   "mod",        "nil",            "not",
      "object",   "of",     "operator",  "or",        "packed",     "procedure",      "program",
      "record",   "repeat", "set",       "shl",       "shr",        "string",         "then",
      "to",       "type",   "unit",      "until",     "uses",       "var",            "while",
      "with",     "xor",    "exports",   "try",       "except",     "finally",        "raise",
      "on",       "class",  "property",  "threadvar", "resourcestring", "out",        "is",
      "as"};
  return std::find(std::begin(kReserved), std::end(kReserved), lower) != std::end(kReserved);
}

NamesBlock ReadNamesBlock(const std::string& text, std::size_t at) {
  NamesBlock block;
  block.End = at;
  const std::string lower = Lower(text);
  if (lower.compare(at, 5, "names") != 0 || (at + 5 < text.size() && InIdentifier(text[at + 5])))
    return block;
  const std::size_t end = lower.find("end names", at + 5);
  const auto refuse = [&](const std::string& error, std::size_t where) {
    block.Names = {};
    block.Error = error;
    block.ErrorAt = where;
    return block;
  };
  if (end == std::string::npos)
    return refuse(FillPlaceholders(kUndefinedSectionEnd, {"end names"}), at + 5);
  std::vector<std::string>* list = nullptr;
  std::set<std::string> seen;  // lower case, the derivative aliases included
  std::vector<std::pair<std::string, std::size_t>> noiseWords;  // after "likelihood", and where
  for (std::size_t i = at + 5; i < end;) {
    const char c = text[i];
    if (IsBlank(c) || c == ',' || c == ';') {
      ++i;
      continue;
    }
    if (!StartsIdentifier(c)) return refuse(kNamesSyntax, i);
    std::size_t j = i;
    while (j < end && InIdentifier(text[j])) ++j;
    const std::string word = text.substr(i, j - i), key = Lower(word);
    if (key == "likelihood") {
      list = nullptr;
      i = j;
      for (int w = 0; w < 4; ++w) {
        while (i < end && (IsBlank(text[i]) || text[i] == ',')) ++i;
        std::size_t k = i;
        while (k < end && (InIdentifier(text[k]))) ++k;
        if (k == i) return refuse(FillPlaceholders(kLikelihoodSyntax, {text.substr(i, 12)}), i);
        noiseWords.emplace_back(text.substr(i, k - i), i);
        i = k;
      }
      continue;
    }
    if (key == "parameters") {
      list = &block.Names.Parameters;
    } else if (key == "responses") {
      list = &block.Names.Responses;
    } else if (!list) {
      return refuse(kNamesSyntax, i);
    } else {
      if (IsReservedWord(key) || IsFrameWord(key))
        return refuse(FillPlaceholders(kNameReserved, {word}), i);
      const bool response = list == &block.Names.Responses;
      for (const std::string& taken : {key, response ? "d_" + key : std::string()})
        if (!taken.empty() && !seen.insert(taken).second)
          return refuse(FillPlaceholders(kNameTwice, {word}), i);
      list->push_back(word);
    }
    i = j;
  }
  const auto response = [&](const std::string& word) {
    for (std::size_t r = 0; r < block.Names.Responses.size(); ++r)
      if (Lower(block.Names.Responses[r]) == Lower(word)) return static_cast<int>(r) + 1;
    return 0;
  };
  for (std::size_t w = 0; w + 3 < noiseWords.size(); w += 4) {
    NoiseModel noise;
    noise.Response = response(noiseWords[w].first);
    noise.Sigma = response(noiseWords[w + 3].first);
    const std::string distribution = Lower(noiseWords[w + 1].first);
    const std::string transform = Lower(noiseWords[w + 2].first);
    const std::pair<std::string, std::size_t>* bad = nullptr;
    if (noise.Response == 0) bad = &noiseWords[w];
    else if (distribution != "normal" && distribution != "laplace") bad = &noiseWords[w + 1];
    else if (transform != "lin" && transform != "log" && transform != "log10") bad = &noiseWords[w + 2];
    else if (noise.Sigma == 0) bad = &noiseWords[w + 3];
    if (bad) return refuse(FillPlaceholders(kLikelihoodSyntax, {bad->first}), bad->second);
    noise.Distribution =
        distribution == "laplace" ? NoiseDistribution::Laplace : NoiseDistribution::Normal;
    noise.Transform = transform == "log"     ? NoiseTransform::Log
                      : transform == "log10" ? NoiseTransform::Log10
                                             : NoiseTransform::Lin;
    block.Names.Noise.push_back(noise);
  }
  block.End = end + 9;
  return block;
}

ModelNames NamesOf(const std::string& modelText) {
  const std::string lower = Lower(modelText);
  std::size_t at = 0;
  const auto skip = [&] {
    while (at < lower.size() && IsBlank(lower[at])) ++at;
  };
  skip();
  if (lower.compare(at, 8, "language") != 0) return {};
  at += 8;
  skip();
  if (lower.compare(at, 1, "=") != 0) return {};
  ++at;
  skip();
  if (lower.compare(at, 6, "pascal") != 0) return {};
  at += 6;
  skip();
  const NamesBlock block = ReadNamesBlock(modelText, at);
  return block.Error.empty() ? block.Names : ModelNames{};
}

std::string ParameterLabel(const ModelNames& names, int i) {
  return i >= 1 && i <= static_cast<int>(names.Parameters.size()) ? names.Parameters[i - 1]
                                                                   : "p[" + std::to_string(i) + "]";
}

std::string ResponseLabel(const ModelNames& names, int i) {
  return i >= 1 && i <= static_cast<int>(names.Responses.size()) ? names.Responses[i - 1]
                                                                  : "Y[" + std::to_string(i) + "]";
}

int ParameterIndex(const ModelNames& names, const std::string& name) {
  const std::string key = Lower(name);
  for (std::size_t i = 0; i < names.Parameters.size(); ++i)
    if (Lower(names.Parameters[i]) == key) return static_cast<int>(i) + 1;
  return 0;
}

std::vector<std::string> NameDefinitions(const ModelNames& names) {
  if (names.Parameters.empty() && names.Responses.empty()) return {};
  std::vector<std::string> lines = {"{$macro on}"};
  for (std::size_t i = 0; i < names.Parameters.size(); ++i)
    lines.push_back("{$define " + Lower(names.Parameters[i]) + ":=p^[" + std::to_string(i + 1) + "]}");
  for (std::size_t i = 0; i < names.Responses.size(); ++i) {
    const std::string name = Lower(names.Responses[i]), slot = std::to_string(i + 1);
    lines.push_back("{$define " + name + ":=y^[" + slot + "]}");
    lines.push_back("{$define d_" + name + ":=dy^[" + slot + "]}");
  }
  return lines;
}

}  // namespace zelk
