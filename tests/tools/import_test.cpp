// SBML models and PEtab problems of our own, imported and solved through zelkcli, against
// their solutions worked out by hand.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "support/files.h"
#include "support/temp_folder.h"

namespace zelk {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

test::CommandRun Cli(const std::string& args) {
  static const fs::path cache = fs::temp_directory_path() / ("import-test-cache-" + std::to_string(::getpid()));
  return test::RunCommand("XDG_CONFIG_HOME=/nonexistent/zelk-test XDG_CACHE_HOME=" + cache.string() +
                          " " + std::string(ZELKCLI) + " " + args);
}

Json JsonOf(const test::CommandRun& run) {
  std::istringstream in(run.Out);
  for (std::string line; std::getline(in, line);)
    if (!line.empty() && line[0] == '{') return Json::parse(line);
  ADD_FAILURE() << run.Out;
  return Json::object();
}

std::string Sbml(const std::string& body) {
  return R"(<?xml version="1.0" encoding="UTF-8"?>
<sbml xmlns="http://www.sbml.org/sbml/level3/version2/core" level="3" version="2">
<model id="m">)" + body + "</model></sbml>\n";
}

std::string Ci(const std::string& id) { return "<ci>" + id + "</ci>"; }
std::string Apply(const std::string& op, const std::string& args) {
  return "<apply><" + op + "/>" + args + "</apply>";
}
std::string Math(const std::string& inner) {
  return "<math xmlns=\"http://www.w3.org/1998/Math/MathML\">" + inner + "</math>";
}

// A -> B (k, through the function f), B -> (kc while t < 100), C -> (local kloc; C an amount);
// z' = 1 by a rate rule; total = A + B by an assignment rule; A's start 2 a0 by an initial
// assignment; the compartment's volume 2.
const std::string kFeatures = Sbml(
    R"(<listOfFunctionDefinitions><functionDefinition id="f">)" +
    Math("<lambda><bvar><ci>u</ci></bvar><bvar><ci>v</ci></bvar>" + Apply("times", Ci("u") + Ci("v")) + "</lambda>") +
    R"(</functionDefinition></listOfFunctionDefinitions>
<listOfCompartments><compartment id="cell" size="2" constant="true"/></listOfCompartments>
<listOfSpecies>
 <species id="A" compartment="cell" initialConcentration="0" hasOnlySubstanceUnits="false" boundaryCondition="false" constant="false"/>
 <species id="B" compartment="cell" initialConcentration="1" hasOnlySubstanceUnits="false" boundaryCondition="false" constant="false"/>
 <species id="C" compartment="cell" initialAmount="3" hasOnlySubstanceUnits="true" boundaryCondition="false" constant="false"/>
</listOfSpecies>
<listOfParameters>
 <parameter id="k" value="0.3" constant="true"/><parameter id="a0" value="1.5" constant="true"/>
 <parameter id="kc" value="0.2" constant="true"/><parameter id="z" value="0" constant="false"/>
 <parameter id="total" constant="false"/>
</listOfParameters>
<listOfInitialAssignments><initialAssignment symbol="A">)" +
    Math(Apply("times", "<cn>2</cn>" + Ci("a0"))) + R"(</initialAssignment></listOfInitialAssignments>
<listOfRules><assignmentRule variable="total">)" + Math(Apply("plus", Ci("A") + Ci("B"))) +
    R"(</assignmentRule><rateRule variable="z">)" + Math("<cn>1</cn>") + R"(</rateRule></listOfRules>
<listOfReactions>
 <reaction id="R1" reversible="false"><listOfReactants><speciesReference species="A" stoichiometry="1" constant="true"/></listOfReactants>
  <listOfProducts><speciesReference species="B" stoichiometry="1" constant="true"/></listOfProducts>
  <kineticLaw>)" + Math(Apply("times", "<apply><ci>f</ci>" + Ci("k") + Ci("A") + "</apply>" + Ci("cell"))) + R"(</kineticLaw></reaction>
 <reaction id="R2" reversible="false"><listOfReactants><speciesReference species="B" stoichiometry="1" constant="true"/></listOfReactants>
  <kineticLaw>)" + Math(Apply("times", "<piecewise><piece>" + Ci("kc") + Apply("lt", "<csymbol encoding=\"text\" definitionURL=\"http://www.sbml.org/sbml/symbols/time\">t</csymbol><cn>100</cn>") + "</piece><otherwise><cn>0</cn></otherwise></piecewise>" + Ci("B") + Ci("cell"))) + R"(</kineticLaw></reaction>
 <reaction id="R3" reversible="false"><listOfReactants><speciesReference species="C" stoichiometry="1" constant="true"/></listOfReactants>
  <kineticLaw>)" + Math(Apply("times", Ci("kloc") + Ci("C"))) + R"(<listOfLocalParameters><localParameter id="kloc" value="0.25"/></listOfLocalParameters></kineticLaw></reaction>
</listOfReactions>)");

struct Solution {
  double k = 0.3, a0 = 1.5, kc = 0.2;
  double A(double t) const { return 2 * a0 * std::exp(-k * t); }
  double B(double t) const {
    return std::exp(-kc * t) + k * 2 * a0 / (kc - k) * (std::exp(-k * t) - std::exp(-kc * t));
  }
  double C(double t) const { return 3 * std::exp(-0.25 * t); }
};

void Write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

void WriteProblem(const fs::path& dir, const std::string& sbml, const std::string& conditions,
                  const std::string& observables, const std::string& measurements,
                  const std::string& parameters) {
  Write(dir / "model.xml", sbml);
  Write(dir / "conditions.tsv", conditions);
  Write(dir / "observables.tsv", observables);
  Write(dir / "measurements.tsv", measurements);
  Write(dir / "parameters.tsv", parameters);
  Write(dir / "problem.yaml", "format_version: 1\nparameter_file: parameters.tsv\nproblems:\n"
                              "- condition_files: [conditions.tsv]\n  measurement_files: [measurements.tsv]\n"
                              "  observable_files: [observables.tsv]\n  sbml_files: [model.xml]\n");
}

double Normal(double y, double h, double sigma) {
  return 0.5 * std::log(2 * M_PI * sigma * sigma) + 0.5 * std::pow((y - h) / sigma, 2);
}

TEST(PetabImport, GivesTheLikelihoodOfEveryFeatureAsWorkedOutByHand) {
  test::TempFolder folder;
  WriteProblem(folder.Path(), kFeatures, "conditionId\tkc\nc1\t0.2\nc2\t0.5\n",
               "observableId\tobservableFormula\tnoiseFormula\tobservableTransformation\tnoiseDistribution\n"
               "obsA\tobservableParameter1_obsA * A\tsdA\tlin\tnormal\n"
               "obsB\tB\tnoiseParameter1_obsB\tlog10\tnormal\n"
               "obsC\tC\t0.5\tlin\tlaplace\n"
               "obsZ\tz + total\tnoiseParameter1_obsZ * (z + 1)\tlin\tnormal\n",
               "observableId\tsimulationConditionId\tmeasurement\ttime\tobservableParameters\tnoiseParameters\n"
               "obsA\tc1\t3.1\t0\t2\t\n"
               "obsA\tc1\t2.0\t1\t2\t\n"
               "obsA\tc1\t2.4\t1\t2\t\n"
               "obsB\tc1\t1.5\t2\t\t0.1\n"
               "obsB\tc2\t1.1\t2\t\t0.2\n"
               "obsC\tc1\t1.9\t2\t\t\n"
               "obsZ\tc1\t5.0\t2\t\t0.1\n"
               "obsA\tc2\t1.2\t1\tscaleA\t\n",
               "parameterId\tparameterScale\tlowerBound\tupperBound\tnominalValue\testimate\n"
               "k\tlog10\t0.001\t10\t0.3\t1\na0\tlin\t0\t10\t1.5\t1\nsdA\tlog10\t0.01\t10\t0.4\t1\n"
               "scaleA\tlin\t0\t10\t0.8\t0\n");
  const auto run = Cli("fit --petab " + folder.File("problem.yaml") + " --search none --json");
  ASSERT_EQ(run.Status, 0) << run.Out;
  const Solution s1, s2{0.3, 1.5, 0.5};
  const double expected =
      Normal(3.1, 2 * s1.A(0), 0.4) + Normal(2.0, 2 * s1.A(1), 0.4) + Normal(2.4, 2 * s1.A(1), 0.4) +
      Normal(std::log10(1.5), std::log10(s1.B(2)), 0.1) + std::log(1.5 * std::log(10.0)) +
      Normal(std::log10(1.1), std::log10(s2.B(2)), 0.2) + std::log(1.1 * std::log(10.0)) +
      std::log(2 * 0.5) + std::fabs(1.9 - s1.C(2)) / 0.5 +
      Normal(5.0, 2 + s1.A(2) + s1.B(2), 0.1 * 3) + Normal(1.2, 0.8 * s2.A(1), 0.4);
  EXPECT_NEAR(JsonOf(run)["objective"].get<double>(), expected, 1e-5);
  // LM from there ends no higher, and the fixed scale stays.
  const Json fit = JsonOf(Cli("fit --petab " + folder.File("problem.yaml") + " --search lm --json"));
  EXPECT_LE(fit["objective"].get<double>(), expected + 1e-9);
  EXPECT_EQ(fit["values"][3].get<double>(), 0.8);
}

TEST(PetabImport, PreequilibratesToSteadyStateThenStartsTheExperimentFromIt) {
  test::TempFolder folder;
  // A' = kin - kout A: steady state kin / kout under the pre-equilibration condition.
  WriteProblem(folder.Path(), Sbml(R"(<listOfCompartments><compartment id="c" size="1" constant="true"/></listOfCompartments>
<listOfSpecies><species id="A" compartment="c" initialConcentration="0" hasOnlySubstanceUnits="false" boundaryCondition="false" constant="false"/>
<species id="B" compartment="c" initialConcentration="0" hasOnlySubstanceUnits="false" boundaryCondition="false" constant="false"/></listOfSpecies>
<listOfParameters><parameter id="kin" value="1" constant="true"/><parameter id="kout" value="0.5" constant="true"/></listOfParameters>
<listOfReactions><reaction id="in" reversible="false"><listOfProducts><speciesReference species="A" stoichiometry="1" constant="true"/></listOfProducts>
<kineticLaw>)" + Math(Ci("kin")) + R"(</kineticLaw></reaction>
<reaction id="out" reversible="false"><listOfReactants><speciesReference species="A" stoichiometry="1" constant="true"/></listOfReactants>
<kineticLaw>)" + Math(Apply("times", Ci("kout") + Ci("A"))) + R"(</kineticLaw></reaction></listOfReactions>)"),
               "conditionId\tkin\tB\npre\t1\tNaN\nhigh\t2\t5\n",
               "observableId\tobservableFormula\tnoiseFormula\nobsA\tA\t1\nobsB\tB\t1\n",
               "observableId\tpreequilibrationConditionId\tsimulationConditionId\tmeasurement\ttime\n"
               "obsA\tpre\thigh\t3\t1\nobsB\tpre\thigh\t4\t2\nobsA\t\thigh\t1\t1\n",
               "parameterId\tparameterScale\tlowerBound\tupperBound\tnominalValue\testimate\n"
               "kout\tlin\t0.01\t10\t0.5\t1\n");
  const auto run = Cli("fit --petab " + folder.File("problem.yaml") + " --search none --json");
  ASSERT_EQ(run.Status, 0) << run.Out;
  // From A = 2 (steady state at kin 1), B = 5 by the condition at time 0: A = 4 - 2 e^(-t/2).
  const double pre = Normal(3, 4 - 2 * std::exp(-0.5), 1) + Normal(4, 5, 1);
  // Without pre-equilibration A starts at 0: A = 4 (1 - e^(-t/2)).
  const double plain = Normal(1, 4 * (1 - std::exp(-0.5)), 1);
  EXPECT_NEAR(JsonOf(run)["objective"].get<double>(), pre + plain, 1e-5);
}

TEST(PetabImport, RefusesWhatItCannotImportByNameLeavingNothingBehind) {
  const std::string species = R"(<listOfCompartments><compartment id="c" size="1" constant="true"/></listOfCompartments>
<listOfSpecies><species id="A" compartment="c" initialConcentration="1" hasOnlySubstanceUnits="false" boundaryCondition="false" constant="false"/></listOfSpecies>
<listOfParameters><parameter id="p" value="1" constant="false"/></listOfParameters>)";
  const struct {
    std::string body, message;
  } cases[] = {
      {species + R"(<listOfEvents><event id="dose" useValuesFromTriggerTime="true"><trigger initialValue="false" persistent="true">)" +
           Math(Apply("gt", "<csymbol encoding=\"text\" definitionURL=\"http://www.sbml.org/sbml/symbols/time\">t</csymbol><cn>1</cn>")) +
           R"(</trigger><listOfEventAssignments><eventAssignment variable="A">)" + Math("<cn>2</cn>") +
           "</eventAssignment></listOfEventAssignments></event></listOfEvents>",
       "the event \"dose\""},
      {species + R"(<listOfRules><algebraicRule metaid="balance">)" + Math(Apply("minus", Ci("p") + Ci("A"))) +
           "</algebraicRule></listOfRules>",
       "the algebraic rule \"balance\""},
      {species + R"(<listOfRules><assignmentRule variable="p">)" +
           Math(Apply("times", "<apply><csymbol encoding=\"text\" definitionURL=\"http://www.sbml.org/sbml/symbols/delay\">delay</csymbol>" +
                                   Ci("A") + "<cn>1</cn></apply><cn>1</cn>")) +
           "</assignmentRule></listOfRules>",
       "Cannot import delay in the rule of \"p\""},
      {"<listOfCompartments>", "is no SBML model"},
  };
  for (const auto& c : cases) {
    test::TempFolder folder;
    Write(folder.Path() / "model.xml", Sbml(c.body));
    const auto run = Cli("import " + folder.File("model.xml") + " " + folder.File("project"));
    EXPECT_EQ(run.Status, 1) << c.message;
    EXPECT_NE(run.Out.find(c.message), std::string::npos) << run.Out;
    EXPECT_FALSE(fs::exists(folder.Path() / "project")) << c.message;
  }
}

TEST(SbmlImport, WritesAProjectThatCompilesAndSolvesTheModel) {
  test::TempFolder folder;
  Write(folder.Path() / "features.xml", kFeatures);
  const auto imported = Cli("import " + folder.File("features.xml") + " " + folder.File("project"));
  ASSERT_EQ(imported.Status, 0) << imported.Out;
  const std::string model = test::ReadText(folder.File("project/features.mod"));
  for (const char* readable : {"parameters\n    k, a0, kc", "responses\n    A, B, C, z", "d_A := -R1/cell;",
                               "total := A + B;", "function f(arg1_, arg2_ : double) : double;",
                               "A := 2.0*a0;", "R3_kloc = 0.25;", "d_z := 1.0;"})
    EXPECT_NE(model.find(readable), std::string::npos) << readable << " in\n" << model;
  const auto run = Cli("fit " + folder.File("project/features.mod") + " " + folder.File("project/features.zkd") +
                       " --params " + folder.File("project/features.par") + " --integrator bdf --rtol 1e-10 --atol 1e-12 --json");
  ASSERT_EQ(run.Status, 0) << run.Out;
  const Json computed = JsonOf(run)["computed"];
  const Solution s;
  for (int t = 1; t <= 10; ++t) {
    EXPECT_NEAR(computed[t][0].get<double>(), s.A(t), 1e-7) << t;
    EXPECT_NEAR(computed[t][1].get<double>(), s.B(t), 1e-7) << t;
    EXPECT_NEAR(computed[t][2].get<double>(), s.C(t), 1e-7) << t;
    EXPECT_NEAR(computed[t][3].get<double>(), t, 1e-7) << t;
  }
}

}  // namespace
}  // namespace zelk

namespace zelk {
namespace {

// The development problems of the field's benchmark collection (tests/tools/petab): each
// imports, compiles and gives its likelihood at the nominal values.
TEST(PetabImport, GivesTheBenchmarkProblemsLikelihoodsAtTheirNominalValues) {
  const struct {
    const char* name;
    double nllh, tolerance;
  } cases[] = {
      // From the collection's simulation files (tests/tools/petab/README.md).
      {"Boehm_JProteomeRes2014", 138.22199970618, 1e-3},
      {"Bruno_JExpBot2016", -46.68823375793, 1e-3},
      {"Elowitz_Nature2000", -63.20279991419, 1e-3},
      {"Brannmark_JBC2010", 141.88893660710, 1e-3},
      // Its simulation file, matched to the measurements by observable, condition and time.
      {"Armistead_CellDeathDis2024", -301.91618187609964, 1e-3},
      // The README's 943.99929885987 leaves out the problem's normal priors on six
      // parameters, which are part of its objective: 12.519137073132821 at the nominal values.
      {"Schwen_PONE2014", 943.99929885987 + 12.519137073132821, 1e-3},
      // Its simulation file was made with other values than the model's nominal ones (its
      // conditions have other names); SciPy's LSODA on the SBML model agrees with this to 1e-9.
      {"Fujita_SciSignal2010", -53.0837506, 1e-3},
      // No simulation file; its nominal noise parameters are 1, far below the residuals of
      // hundreds, so the integrator's tolerance moves the value in its seventh digit.
      {"Okuonghae_ChaosSolitonsFractals2020", 470490.5577537382, 2},
  };
  for (const auto& c : cases) {
    const std::string yaml = std::string(PETAB) + "/" + c.name + "/" + c.name + ".yaml";
    const auto run = Cli("fit --petab " + yaml + " --search none --json");
    ASSERT_EQ(run.Status, 0) << c.name << ": " << run.Out;
    EXPECT_NEAR(JsonOf(run)["objective"].get<double>(), c.nllh, c.tolerance) << c.name;
  }
}

}  // namespace
}  // namespace zelk

namespace zelk {
namespace {

// From values far off (given beside the problem's own table), LM on the likelihood finds the
// benchmark's optimum again, with difference and with sensitivity Jacobians.
TEST(PetabImport, LevenbergMarquardtFromFarOffReachesTheBenchmarksOptimum) {
  const std::string yaml = std::string(PETAB) + "/Bruno_JExpBot2016/Bruno_JExpBot2016.yaml";
  for (const char* jacobian : {"differences", "sensitivities"}) {
    const Json fit = JsonOf(Cli("fit --petab " + yaml + " --search lm --jacobian " + jacobian +
                                " --values 3,3,3,3,3,3,0.01,0.01,0.01,0.01,0.01,0.01,0.3 --json"));
    EXPECT_GT(fit["initial_objective"].get<double>(), 900) << jacobian;
    EXPECT_NEAR(fit["objective"].get<double>(), -46.68823375793, 1e-3) << jacobian;
  }
}

}  // namespace
}  // namespace zelk

namespace zelk {
namespace {

// A start of objective 1e9 inside the bounds: the gradient Ceres measures is projected on the
// box, so a test relative to such an objective used to end LM at once, nowhere near a minimum.
TEST(PetabImport, LevenbergMarquardtFromAHugeObjectiveInsideTheBoxMovesOn) {
  const std::string yaml = std::string(PETAB) + "/Boehm_JProteomeRes2014/Boehm_JProteomeRes2014.yaml";
  const Json fit = JsonOf(Cli("fit --petab " + yaml + " --search lm --calls 30 --values "
                              "1919.8369305401511,99425.47131228885,8.242081836289135,"
                              "3.921093626501774e-05,40799.03218901277,0.1865923631967627,0.693,"
                              "0.006312967225887743,0.18073789271091917,19110.82198187415,0.107 --json"));
  EXPECT_GT(fit["initial_objective"].get<double>(), 1e9);
  EXPECT_LT(fit["objective"].get<double>(), 1e4);
}

}  // namespace
}  // namespace zelk
