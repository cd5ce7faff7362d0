#include "model/model_language.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace zelk {
namespace {

const char* kDecayModel =
    "language = pascal\n"
    "declar\nend declar\n"
    "static\nend static\n"
    "dynamic\n  dy^[1] := -p^[1]*y^[1];\nend dynamic\n";

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  return text;
}

std::string Fixture(const std::string& name) {
  std::ifstream in(std::string(MODEL_SOURCES) + "/" + name + ".pas");
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(ModelLanguage, GeneratesTheLibrarySourceLineByLine) {
  // The test models were written in exactly the form the translator generates.
  struct Case {
    const char* name;
    std::string text;
  } cases[] = {
      {"decay", kDecayModel},
      {"dose",
       "language = pascal\ndeclar\nend declar\nstatic\n  if abs(x^[1] - 2) < 1e-9 then y^[1] := "
       "y^[1] + p^[2];\n"
       "end static\ndynamic\n  dy^[1] := -p^[1]*y^[1];\nend dynamic\n"},
      {"fault_fdiv",
       "language = pascal\ndeclar\n  z : double;\nend declar\nstatic\nend static\ndynamic\n  z := "
       "y^[1] - y^[1];\n"
       "  dy^[1] := 1.0 / z;\nend dynamic\n"},
  };
  for (const auto& c : cases) {
    ModelTranslator translator(c.text, c.name);
    const TranslationResult r = translator.Translate();
    ASSERT_TRUE(r.Ok) << c.name << ": " << r.Error;
    EXPECT_FALSE(r.SourceIsC);
    EXPECT_EQ(Joined(r.Lines), Fixture(c.name)) << c.name;
  }
}

TEST(ModelLanguage, KeywordsAreCaseInsensitiveAndSectionsLowerCased) {
  std::string upper = kDecayModel;
  for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  const TranslationResult a = ModelTranslator(upper, "decay").Translate();
  const TranslationResult b = ModelTranslator(kDecayModel, "decay").Translate();
  ASSERT_TRUE(a.Ok) << a.Error;
  EXPECT_EQ(a.Lines, b.Lines);
}

TEST(ModelLanguage, EmptyDeclarationsGiveNoVarAndAnEmptyStaticSectionALoneSemicolon) {
  const TranslationResult r = ModelTranslator(kDecayModel, "m").Translate();
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(std::count(r.Lines.begin(), r.Lines.end(), "var"), 0);
  const auto initial = std::find_if(r.Lines.begin(), r.Lines.end(), [](const std::string& l) {
    return l.rfind("procedure InitialEquations", 0) == 0;
  });
  ASSERT_NE(initial, r.Lines.end());
  EXPECT_EQ(*(initial + 1), "begin");
  EXPECT_EQ(*(initial + 4), ";");  // the static text gave "" and "", then the lone ";"
  EXPECT_EQ(*(initial + 5), "end;");
  EXPECT_EQ(r.Lines.front(), "Library m;");
}

TEST(ModelLanguage, TheLibraryIsNamedByAPascalIdentifierWhateverTheFileIsCalled) {
  const std::pair<const char*, const char*> cases[] = {
      {"decay", "Library decay;"},
      {"model-deep", "Library model_deep;"},
      {"2nd run", "Library _2nd_run;"},
      {"Begin", "Library Begin_;"},
      {"Kinetik\xc3\xa4", "Library Kinetik__;"},
      {"", "Library _;"},
  };
  for (const auto& [name, line] : cases) {
    const TranslationResult r = ModelTranslator(kDecayModel, name).Translate();
    ASSERT_TRUE(r.Ok) << name;
    EXPECT_EQ(r.Lines.front(), line) << name;
  }
}

TEST(ModelLanguage, ALanguageNameStartingWithCSelectsCWhichGeneratesNothing) {
  for (const char* line : {"language = c\n", "language = cobol\n", "LANGUAGE=C"}) {
    const TranslationResult r = ModelTranslator(line, "m").Translate();
    EXPECT_FALSE(r.Ok) << line;
    EXPECT_TRUE(r.SourceIsC) << line;
    EXPECT_TRUE(r.Error.empty()) << line;
    EXPECT_TRUE(r.Lines.empty());
  }
}

TEST(ModelLanguage, FrameErrorsNameWhatIsMissingAndPlaceTheCaret) {
  struct Case {
    const char* name;
    std::string text;
    std::string error;
    std::size_t caret;
  } cases[] = {
      {"no language", "  model = pascal", "'language' expected!", 2},
      {"no equals", "language pascal", "'=' expected!", 9},
      {"unknown", "language = fortran", "Unknown language specifier!\n(C or Pascal required)",
       TranslationResult::kCaretUnchanged},
      {"no declar", "language = pascal\nstatic", "'declar' expected!", 18},
      {"no end declar", "language = pascal\ndeclar x", "Undefined end of section (end declar)!",
       24},
      {"no static", "language = pascal declar end declar dynamic", "'static' expected!", 36},
      {"no end static", "language = pascal declar end declar static\n  y^[1] := 1;\n",
       "Undefined end of section (end static)!", 42},
      {"no dynamic", "language = pascal declar end declar static end static", "'dynamic' expected!",
       53},
      {"no end dynamic", "language=pascal declar end declar static end static dynamic dy^[1]:=0;",
       "Undefined end of section (end dynamic)!", 59},
  };
  for (const auto& c : cases) {
    const TranslationResult r = ModelTranslator(c.text, "m").Translate();
    EXPECT_FALSE(r.Ok) << c.name;
    EXPECT_EQ(r.Error, c.error) << c.name;
    EXPECT_EQ(r.Caret, c.caret) << c.name;
    EXPECT_TRUE(r.Lines.empty()) << c.name;
  }
}

// Names stand for their slots through macros ahead of the procedures; the grids read them with
// their case kept, and a model without names is translated as before.
TEST(ModelLanguage, NamesStandForTheirSlotsAndKeepTheirCase) {
  const std::string named =
      "language = pascal\nnames\n  parameters K1, Km\n  responses S Prod\nend names\n"
      "declar\nend declar\nstatic\nend static\ndynamic\n  d_S := -K1*S/(Km+S);\nend dynamic\n";
  const TranslationResult r = ModelTranslator(named, "mm").Translate();
  ASSERT_TRUE(r.Ok) << r.Error;
  EXPECT_EQ(r.Names.Parameters, (std::vector<std::string>{"K1", "Km"}));
  EXPECT_EQ(r.Names.Responses, (std::vector<std::string>{"S", "Prod"}));
  const std::string source = Joined(r.Lines);
  for (const char* line : {"{$macro on}\n", "{$define km:=p^[2]}\n", "{$define prod:=y^[2]}\n",
                           "{$define d_s:=dy^[1]}\n", "  d_s := -k1*s/(km+s);\n"})
    EXPECT_NE(source.find(line), std::string::npos) << line;
  EXPECT_LT(source.find("{$macro on}"), source.find("procedure DynamicEquations"));
  EXPECT_EQ(NamesOf(named).Parameters, r.Names.Parameters);
  EXPECT_EQ(ParameterLabel(r.Names, 3), "p[3]");
  EXPECT_EQ(ResponseLabel(r.Names, 1), "S");
  EXPECT_EQ(ParameterIndex(r.Names, "km"), 2);
  EXPECT_EQ(Joined(ModelTranslator(kDecayModel, "m").Translate().Lines).find("{$"),
            std::string::npos);
}

TEST(ModelLanguage, NamesThatCannotStandAreRefusedWhereTheyStand) {
  const std::string head = "language = pascal\nnames ";  // the block's text starts at 24
  const std::string tail = " end names declar end declar static end static dynamic end dynamic";
  struct Case {
    std::string block;
    std::string error;
    std::size_t caret;
  } cases[] = {
      {"parameters begin", "\"begin\" cannot name a parameter or response: the generated source "
                           "already uses it.", 35},
      // p would hide the parameter vector itself.
      {"responses P", "\"P\" cannot name a parameter or response: the generated source already "
                      "uses it.", 34},
      {"responses dy", "\"dy\" cannot name a parameter or response: the generated source already "
                       "uses it.", 34},
      {"parameters k k", "\"k\" names two parameters or responses.", 37},
      {"responses a parameters d_a", "\"d_a\" names two parameters or responses.", 47},
      {"k1", std::string(kNamesSyntax), 24},
      {"parameters 2k", std::string(kNamesSyntax), 35},
  };
  for (const Case& c : cases) {
    const TranslationResult r = ModelTranslator(head + c.block + tail, "m").Translate();
    EXPECT_FALSE(r.Ok) << c.block;
    EXPECT_EQ(r.Error, c.error) << c.block;
    EXPECT_EQ(r.Caret, c.caret) << c.block;
    EXPECT_TRUE(NamesOf(head + c.block + tail).Parameters.empty()) << c.block;
  }
  const TranslationResult open = ModelTranslator(head + "parameters k declar", "m").Translate();
  EXPECT_EQ(open.Error, "Undefined end of section (end names)!");
}

TEST(ModelLanguage, AKeywordMatchesTheStartOfALongerWordAndTheRestIsIgnored) {
  const TranslationResult r = ModelTranslator(
                                  "language = pascal declarations: x; end declar static end static "
                                  "dynamic end dynamic more",
                                  "m")
                                  .Translate();
  ASSERT_TRUE(r.Ok) << r.Error;
  const auto var = std::find(r.Lines.begin(), r.Lines.end(), "var");
  ASSERT_NE(var, r.Lines.end());
  EXPECT_EQ(*(var + 1), "ations: x; ");
  EXPECT_EQ(r.Lines.back(), "end.");
  const TranslationResult glued = ModelTranslator("language = pascalish declar", "m").Translate();
  EXPECT_EQ(glued.Error, "'declar' expected!");
}

TEST(ModelLanguage, LiteralIndexesBeyondTheDimensionPageAreWarnedAbout) {
  struct Case {
    const char* name;
    const char* text;
    ModelCounts counts;
    std::vector<std::string> warnings;
  } cases[] = {
      {"no differential equation set",
       "dy^[1] := -p^[1]*y^[1];",
       {0, 1, 1},
       {"Warning: dy^[1] (line 1) is beyond the 0 differential equation(s) set on the Dimension "
        "page"}},
      {"each vector against its own count, once, with the line of its first use",
       "dy^[2] := y^[3];\np^[3] := 1; dy^[2] := 0;",
       {1, 2, 2},
       {"Warning: dy^[2] (line 1) is beyond the 1 differential equation(s) set on the Dimension "
        "page",
        "Warning: y^[3] (line 1) is beyond the 2 dependent variable(s) set on the Dimension page",
        "Warning: p^[3] (line 2) is beyond the 2 parameter(s) set on the Dimension page"}},
      {"blanks, capitals, leading zeros and three digits",
       "DY ^ [ 02 ] := Y^[100];",
       {1, 2, 2},
       {"Warning: dy^[2] (line 1) is beyond the 1 differential equation(s) set on the Dimension "
        "page",
        "Warning: y^[100] (line 1) is beyond the 2 dependent variable(s) set on the Dimension "
        "page"}},
      {"within the counts, in comments and strings, computed, or of other names",
       "dy^[1] := -p^[2]*y^[2]; { dy^[9] } (* y^[9] *) // p^[9]\nwriteln('y^[9]'); dy^[i] := "
       "y^[k+1] + ddy^[9] + r.y^[9];",
       {1, 2, 2},
       {}},
  };
  for (const Case& c : cases) EXPECT_EQ(IndexWarnings(c.text, c.counts), c.warnings) << c.name;
}

}  // namespace
}  // namespace zelk
