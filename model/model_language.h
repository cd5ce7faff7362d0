#pragma once
// The model language: a frame of keywords around three sections of target-language text.
//   language = pascal
//   [names ... end names]      -> names for p^[i], y^[i] and dy^[i] (model_names.h)
//   declar ... end declar      -> the var block of both procedures
//   static ... end static      -> the body of InitialEquations
//   dynamic ... end dynamic    -> the body of DynamicEquations
// The whole text is lower-cased first; section texts are copied, not parsed. A language
// name beginning with "c" selects C, which has no generator.

#include <cstddef>
#include <string>
#include <vector>

#include "model/model_names.h"

namespace zelk {

inline constexpr const char* kKeywordExpected = "'%s' expected!";
inline constexpr const char* kUnknownLanguage =
    "Unknown language specifier!\n(C or Pascal required)";

// Where a generated source line came from: the model text's line (1-based; 0 for the
// generator's own frame) and how many columns the model line has before the copied text
// (a section's first line follows its keyword).
struct SourceOrigin {
  int Line = 0;
  int ColumnShift = 0;
};

struct TranslationResult {
  bool Ok = false;
  bool SourceIsC = false;
  bool LanguageLineRead = false;  // "language =" was found: the Source page is brought forward
  std::string Error;              // the error box's text, empty when none was shown
  static constexpr std::size_t kCaretUnchanged = static_cast<std::size_t>(-1);
  std::size_t Caret = kCaretUnchanged;  // byte offset into the editor text for the caret
  std::vector<std::string> Lines;       // the generated library source
  std::vector<SourceOrigin> Origins;    // one per line of Lines
  ModelNames Names;                     // of the names block, when there is one
};

// The name on the generated "Library" line, which also names the built library: the base
// name with every character that cannot stand in a Pascal identifier made "_", a leading
// "_" before a digit, and a trailing "_" after a reserved word ("model-2" gives "model_2"),
// so that any model file name compiles.
std::string LibraryIdentifier(const std::string& baseName);

// The counts of the Dimension page that bound what a model text may index.
struct ModelCounts {
  int DifEqCount = 0;
  int DepCount = 1;
  int ParamCount = 1;
  int IndepCount = 1;
};

// One warning text per distinct dy^[k], y^[k] or p^[k] whose literal index k lies beyond
// DifEqCount, DepCount or ParamCount, in order of first appearance, with its model line.
// The solver carries DepCount state values only, so y^ beyond them is never set up nor
// integrated. Comments and strings are skipped; computed indexes are not judged.
std::vector<std::string> IndexWarnings(const std::string& modelText, const ModelCounts& counts);

class ModelTranslator {
 public:
  // `baseName` names the library: the model file's name without ".mod".
  // The counts size the rows of the static section's matrices (at least the classic 20
  // and 50 columns); the library reports them (MatrixStrides), so a library compiled for
  // other counts is still handed rows it can read.
  ModelTranslator(const std::string& editorText, std::string baseName, ModelCounts counts = {});
  TranslationResult Translate();

  // Consumes `keyword` from the front of the remaining text, or fails with "'%s' expected!".
  bool ExpectKeyword(const char* keyword);
  bool GeneratePascalSource();
  bool GenerateCSource();

 private:
  void SkipBlanks();
  SourceOrigin OriginOf(std::size_t at) const;
  void Fail(const std::string& error);

  std::string original_;  // the editor text as typed: names keep their case
  std::string text_;      // lower-cased editor text
  std::size_t at_ = 0;
  std::string baseName_;
  TranslationResult result_;
  ModelCounts counts_;
};

}  // namespace zelk
