#pragma once
// The optional names of a model's parameters and responses, written after the language line:
//   names
//     parameters k1, k2
//     responses A B C
//     likelihood C normal log10 sd_C      (optional; see NoiseModel)
//   end names
// A name stands for p^[i] or y^[i] in the sections and d_NAME for dy^[i]; the grids, plots,
// report and zelkcli show it where a number would be. A model without the block has none.

#include <cstddef>
#include <string>
#include <vector>

namespace zelk {

inline constexpr const char* kUndefinedSectionEnd = "Undefined end of section (%s)!";
inline constexpr const char* kNamesSyntax =
    "The names block holds \"parameters\" and \"responses\", each followed by names (letters, "
    "digits and \"_\", not beginning with a digit).";
inline constexpr const char* kNameReserved =
    "\"%s\" cannot name a parameter or response: the generated source already uses it.";
inline constexpr const char* kNameTwice = "\"%s\" names two parameters or responses.";
inline constexpr const char* kLikelihoodSyntax =
    "A likelihood line names a response, its distribution (normal or laplace), its "
    "transformation (lin, log or log10) and the response holding its sigma, not \"%s\".";

// A measured response's noise model under the "Likelihood" objective, a line of the block:
//   likelihood OBS normal|laplace lin|log|log10 SIGMA
// SIGMA is the response holding the noise's scale: its measured value where there is one,
// else what the model computes for it.
enum class NoiseDistribution { Normal, Laplace };
enum class NoiseTransform { Lin, Log, Log10 };
struct NoiseModel {
  int Response = 0;  // 1-based
  NoiseDistribution Distribution = NoiseDistribution::Normal;
  NoiseTransform Transform = NoiseTransform::Lin;
  int Sigma = 0;     // 1-based
};

struct ModelNames {
  std::vector<std::string> Parameters;  // [0] names p^[1]; as written, case kept
  std::vector<std::string> Responses;   // [0] names y^[1]
  std::vector<NoiseModel> Noise;        // in the order of the block's lines
};

struct NamesBlock {
  ModelNames Names;
  std::string Error;             // why the block is refused; empty when read (or absent)
  std::size_t ErrorAt = 0;       // byte offset into the text where the refused part begins
  std::size_t End = 0;           // offset just past "end names"; `at` when there is no block
};

// The block starting at `at` of `text` (after the language line, blanks skipped); no block
// there reads as no names.
NamesBlock ReadNamesBlock(const std::string& text, std::size_t at);

// The names of a whole model text; none when it has no valid block.
ModelNames NamesOf(const std::string& modelText);

// Parameter i's label (1-based): its name, else "p[i]"; response i's: its name, else "Y[i]".
std::string ParameterLabel(const ModelNames& names, int i);
std::string ResponseLabel(const ModelNames& names, int i);

// The index (1-based) of the parameter named `name`, case-insensitive; 0 when none.
int ParameterIndex(const ModelNames& names, const std::string& name);

// The Pascal macro lines that make the names stand for their slots.
std::vector<std::string> NameDefinitions(const ModelNames& names);

// Whether `lower` is a reserved word of the target language.
bool IsReservedWord(const std::string& lower);

}  // namespace zelk
