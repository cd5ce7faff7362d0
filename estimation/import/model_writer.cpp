#include "estimation/import/model_writer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <set>
#include <sstream>

#include "model/model_names.h"

namespace zelk {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Identifiers of the generated text: unique without regard to case (Pascal ignores it and
// the translator lowers the text), never a reserved word, a frame name or a routine the
// formulas call.
class Namer {
 public:
  std::string Take(const std::string& id) {
    std::string base;
    for (char c : id) base += std::isalnum(static_cast<unsigned char>(c)) || c == '_' ? c : '_';
    if (base.empty() || std::isdigit(static_cast<unsigned char>(base[0]))) base = "_" + base;
    std::string name = base;
    for (int n = 1; !Free(name); ++n) name = base + (n == 1 ? "_" : "_" + std::to_string(n));
    used_.insert(Lower(name));
    return name;
  }
  void Reserve(const std::string& name) { used_.insert(Lower(name)); }

 private:
  bool Free(const std::string& name) const {
    static const std::set<std::string> kTaken = {
        "p", "x", "y", "dy", "xe", "ye", "names", "parameters", "responses", "likelihood",
        "math", "double", "integer", "boolean", "real", "result", "exit", "self", "abs", "sqr",
        "sqrt", "exp", "ln", "power", "log10", "logn", "ifthen", "min", "max", "floor", "ceil",
        "sin", "cos", "tan", "arcsin", "arccos", "arctan", "sinh", "cosh", "tanh", "arcsinh",
        "arccosh", "arctanh", "pi", "round", "trunc", "frac", "int", "true", "false", "infinity",
        "nan", "quantities", "condition", "time", "declar", "static", "dynamic", "initial",
        "language", "pascal", "startequations", "initialequations", "dynamicequations",
        "matrixstrides", "t20vector", "t50vector", "p20vector", "p50vector"};
    const std::string key = Lower(name);
    return !used_.count(key) && !kTaken.count(key) && !IsReservedWord(key);
  }
  std::set<std::string> used_;
};

std::string Join(const std::vector<std::string>& items, const std::string& by) {
  std::string s;
  for (std::size_t i = 0; i < items.size(); ++i) s += (i ? by : "") + items[i];
  return s;
}

// Wraps a list of names at about 90 columns, each line indented.
std::string Wrapped(const std::vector<std::string>& items, const std::string& indent) {
  std::string out, line = indent;
  for (std::size_t i = 0; i < items.size(); ++i) {
    const std::string item = items[i] + (i + 1 < items.size() ? "," : "");
    if (line.size() > indent.size() && line.size() + item.size() + 1 > 90) {
      out += line + "\n";
      line = indent;
    }
    line += (line.size() > indent.size() ? " " : "") + item;
  }
  return out + line + "\n";
}

bool IsNumberText(const std::string& s, double& value) {
  if (s.empty()) return false;
  char* end = nullptr;
  value = std::strtod(s.c_str(), &end);
  return end && *end == '\0';
}

class ModelWriter {
 public:
  ModelWriter(const SbmlModel& m, const ModelPlan& plan) : m_(m), plan_(plan) {}

  WrittenModel Write() {
    Classify();
    NameEverything();
    WrittenModel out;
    out.Names = names_;
    out.States = static_cast<int>(states_.size());
    for (const std::string& id : states_) out.StartValues.push_back(StartValue(id));
    std::ostringstream t;
    t << "language = pascal\n\nnames\n  parameters\n" << Wrapped(names_.Parameters, "    ");
    t << "  responses\n" << Wrapped(names_.Responses, "    ");
    for (const NoiseModel& n : names_.Noise)
      t << "  likelihood " << names_.Responses[n.Response - 1] << " "
        << (n.Distribution == NoiseDistribution::Laplace ? "laplace" : "normal") << " "
        << (n.Transform == NoiseTransform::Log ? "log" : n.Transform == NoiseTransform::Log10 ? "log10" : "lin")
        << " " << names_.Responses[n.Sigma - 1] << "\n";
    t << "end names\n\n" << Declarations() << Initial() << Static() << Dynamic();
    out.Text = t.str();
    return out;
  }

 private:
  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      // The text must not end a section or a comment early.
      std::string safe;
      for (char c : line) safe += c == '{' || c == '}' ? '|' : c;
      lines.push_back(safe);
    }
    return lines;
  }

  // Which SBML symbol is what.
  void Classify() {
    std::set<std::string> fitted(plan_.Parameters.begin(), plan_.Parameters.end());
    for (const SbmlRule& r : m_.AssignmentRules) ruled_.insert(r.Variable);
    for (const SbmlRule& r : m_.RateRules) rated_.insert(r.Variable);
    for (const SbmlSpecies& s : m_.Species)
      if (!ruled_.count(s.Id)) states_.push_back(s.Id);
    for (const SbmlValue& p : m_.Parameters)
      if (rated_.count(p.Id)) states_.push_back(p.Id);
    for (const SbmlValue& c : m_.Compartments)
      if (rated_.count(c.Id)) throw ImportRefusal("Cannot import the rate rule of compartment \"" + c.Id + "\": Zelk has no equivalent.");
    for (const SbmlRule& a : m_.InitialAssignments) initialized_.insert(a.Variable);
    for (const auto& [id, values] : plan_.ConditionValues) conditioned_.insert(id);
    for (const std::string& id : plan_.Parameters)
      if (ruled_.count(id) || rated_.count(id))
        throw ImportRefusal("Cannot fit \"" + id + "\": a rule of the model sets it.");
  }

  void NameEverything() {
    for (const std::string& id : states_) {
      const std::string n = namer_.Take(id);
      names_.Responses.push_back(n);
      name_[id] = n;
    }
    for (const std::string& n : names_.Responses) namer_.Reserve("d_" + n);
    for (const ImportedObservable& o : plan_.Observables) {
      const std::string value = namer_.Take(o.Id);
      const std::string sigma = namer_.Take("sigma_" + value);
      namer_.Reserve("d_" + value);
      namer_.Reserve("d_" + sigma);
      names_.Responses.push_back(value);
      names_.Responses.push_back(sigma);
      const int k = static_cast<int>(names_.Responses.size());
      names_.Noise.push_back({k - 1, o.Distribution, o.Transform, k});
    }
    for (const std::string& id : plan_.Parameters) {
      const auto known = name_.find(id);
      const std::string n = known != name_.end() ? known->second : namer_.Take(id);
      names_.Parameters.push_back(n);
      name_[id] = n;
    }
    for (const SbmlFunction& f : m_.Functions) name_["function " + f.Id] = namer_.Take(f.Id);
    const auto local = [&](const std::string& id) {
      if (!name_.count(id)) name_[id] = namer_.Take(id);
    };
    for (const SbmlValue& c : m_.Compartments) local(c.Id);
    for (const SbmlValue& p : m_.Parameters) local(p.Id);
    for (const SbmlSpecies& s : m_.Species) local(s.Id);
    for (const SbmlReaction& r : m_.Reactions) {
      local(r.Id);
      for (const SbmlValue& l : r.Locals) name_[r.Id + " " + l.Id] = namer_.Take(r.Id + "_" + l.Id);
    }
    for (const auto& [id, values] : plan_.ConditionValues)
      if (!name_.count(id))
        throw ImportRefusal("Cannot import the condition column \"" + id + "\": the model has no such parameter, species or compartment.");
  }

  double StartValue(const std::string& id) const {
    for (const SbmlSpecies& s : m_.Species)
      if (s.Id == id) return s.Initial;
    for (const SbmlValue& p : m_.Parameters)
      if (p.Id == id) return p.Value;
    return NAN;
  }

  bool IsFitted(const std::string& id) const {
    return std::find(plan_.Parameters.begin(), plan_.Parameters.end(), id) != plan_.Parameters.end();
  }
  bool IsState(const std::string& id) const {
    return std::find(states_.begin(), states_.end(), id) != states_.end();
  }

  // A constant of the model: neither fitted, a state, set by a rule or an initial
  // assignment, nor changed by a condition.
  bool IsConstant(const std::string& id) const {
    return !IsFitted(id) && !IsState(id) && !ruled_.count(id) && !initialized_.count(id) &&
           !conditioned_.count(id);
  }

  std::string Expression(const Formula& f, const std::string& where,
                         const std::map<std::string, std::string>& extra = {},
                         const std::map<std::string, std::string>* locals = nullptr) const {
    const SymbolText symbol = [&](const std::string& id) -> std::string {
      if (locals) {
        const auto l = locals->find(id);
        if (l != locals->end()) return l->second;
      }
      const auto e = extra.find(id);
      if (e != extra.end()) {
        double v = 0;
        if (IsNumberText(e->second, v)) return PascalNumber(v);
        const auto n = name_.find(e->second);
        return n != name_.end() ? n->second : std::string();
      }
      const auto n = name_.find(id);
      if (n != name_.end()) return n->second;
      if (id == "time" || id == "t") return "x^[1]";
      return {};
    };
    return PascalExpression(*f, symbol, where);
  }

  // The text of a condition table's value: a number or a parameter's name.
  std::string ConditionValue(const std::string& value, const std::string& target) const {
    double v = 0;
    if (IsNumberText(value, v)) return PascalNumber(v);
    const auto n = name_.find(value);
    if (n == name_.end() || !IsFitted(value))
      throw ImportRefusal("Cannot import the condition value \"" + value + "\" of \"" + target +
                          "\": it is neither a number nor a parameter of the problem.");
    return n->second;
  }

  // Assignment rules and initial assignments of non-species, ordered so that each follows
  // what it reads.
  std::vector<const SbmlRule*> OrderedQuantities() const {
    std::vector<const SbmlRule*> all;
    for (const SbmlRule& r : m_.AssignmentRules) all.push_back(&r);
    for (const SbmlRule& a : m_.InitialAssignments)
      if (!IsState(a.Variable) && !ruled_.count(a.Variable)) all.push_back(&a);
    std::map<std::string, const SbmlRule*> byTarget;
    for (const SbmlRule* r : all) byTarget[r->Variable] = r;
    std::vector<const SbmlRule*> order;
    std::map<std::string, int> mark;  // 1 visiting, 2 done
    std::function<void(const SbmlRule*)> visit = [&](const SbmlRule* r) {
      int& state = mark[r->Variable];
      if (state == 2) return;
      if (state == 1) throw ImportRefusal("Cannot import the rules of \"" + r->Variable + "\": they depend on each other in a circle.");
      state = 1;
      std::set<std::string> reads;
      CollectNames(*r->Math, reads);
      for (const std::string& id : reads) {
        const auto d = byTarget.find(id);
        if (d != byTarget.end()) visit(d->second);
      }
      mark[r->Variable] = 2;
      order.push_back(r);
    };
    for (const SbmlRule* r : all) visit(r);
    return order;
  }

  std::string Declarations() const {
    std::ostringstream t;
    t << "declar\n";
    for (const std::string& line : Lines(plan_.Heading)) t << "  { " << line << " }\n";
    std::vector<std::string> constants, variables = {};
    for (const SbmlValue& c : m_.Compartments)
      if (IsConstant(c.Id)) constants.push_back(NameOf(c.Id) + " = " + PascalNumber(c.Value) + ";");
    for (const SbmlValue& p : m_.Parameters)
      if (IsConstant(p.Id)) {
        if (std::isnan(p.Value))
          throw ImportRefusal("Cannot import the parameter \"" + p.Id + "\": it has no value.");
        constants.push_back(NameOf(p.Id) + " = " + PascalNumber(p.Value) + ";");
      }
    for (const SbmlReaction& r : m_.Reactions)
      for (const SbmlValue& l : r.Locals)
        constants.push_back(NameOf(r.Id + " " + l.Id) + " = " + PascalNumber(l.Value) + ";");
    std::vector<std::string> quantities;
    for (const SbmlValue& c : m_.Compartments)
      if (!IsConstant(c.Id)) quantities.push_back(NameOf(c.Id));
    for (const SbmlValue& p : m_.Parameters)
      if (!IsConstant(p.Id) && !IsFitted(p.Id) && !IsState(p.Id)) quantities.push_back(NameOf(p.Id));
    for (const SbmlSpecies& s : m_.Species)
      if (ruled_.count(s.Id)) quantities.push_back(NameOf(s.Id));
    std::vector<std::string> rates;
    for (const SbmlReaction& r : m_.Reactions) rates.push_back(NameOf(r.Id));
    if (!quantities.empty()) t << "  { the model's quantities }\n" << Wrapped(quantities, "  ") << "    : double;\n";
    if (!rates.empty()) t << "  { reaction rates }\n" << Wrapped(rates, "  ") << "    : double;\n";
    if (!plan_.Conditions.empty()) t << "  condition : integer;\n";
    if (!constants.empty()) {
      t << "const\n";
      for (const std::string& c : constants) t << "  " << c << "\n";
    }
    for (const SbmlFunction& f : m_.Functions) {
      std::map<std::string, std::string> args;
      std::vector<std::string> declared;
      for (std::size_t i = 0; i < f.Arguments.size(); ++i) {
        args[f.Arguments[i]] = "arg" + std::to_string(i + 1) + "_";
        declared.push_back(args[f.Arguments[i]]);
      }
      const std::string fname = NameOf("function " + f.Id);
      t << "  function " << fname << "(" << Join(declared, ", ")
        << (declared.empty() ? "" : " : double") << ") : double;\n  begin\n    " << fname << " := "
        << Expression(f.Body, "the function definition \"" + f.Id + "\"", {}, &args) << ";\n  end;\n";
    }
    t << "  { the condition of the experiment, the model's quantities and its rules }\n";
    t << "  procedure Quantities;\n  begin\n";
    if (!plan_.Conditions.empty()) t << "    condition := round(x^[2]);\n";
    if (plan_.Preequilibration)
      t << "    if x^[1] < 0 then condition := round(x^[3]);  { pre-equilibration }\n";
    // Condition values of what is not a species; species take theirs as initial values.
    std::vector<std::string> targets;
    for (const auto& [id, values] : plan_.ConditionValues)
      if (!IsSpecies(id)) targets.push_back(id);
    for (const std::string& id : targets) {
      const std::string n = NameOf(id);
      t << "    " << n << " := " << PascalNumber(DefaultOf(id)) << ";\n";
    }
    t << ConditionCases(targets, "    ");
    for (const SbmlRule* r : OrderedQuantities())
      t << "    " << NameOf(r->Variable) << " := "
        << Expression(r->Math, "the rule of \"" + r->Variable + "\"") << ";\n";
    t << "  end;\nend declar\n\n";
    return t.str();
  }

  const std::string& NameOf(const std::string& id) const {
    const auto n = name_.find(id);
    if (n == name_.end())
      throw ImportRefusal("Cannot import \"" + id + "\": the model uses it but does not define it.");
    return n->second;
  }

  bool IsSpecies(const std::string& id) const {
    for (const SbmlSpecies& s : m_.Species)
      if (s.Id == id) return true;
    return false;
  }

  double DefaultOf(const std::string& id) const {
    for (const SbmlValue& c : m_.Compartments)
      if (c.Id == id) return c.Value;
    for (const SbmlValue& p : m_.Parameters)
      if (p.Id == id) return p.Value;
    return StartValue(id);
  }

  // "case condition of" with the targets' values of each condition that sets one.
  std::string ConditionCases(const std::vector<std::string>& targets, const std::string& indent) const {
    std::ostringstream t;
    bool any = false;
    for (std::size_t c = 0; c < plan_.Conditions.size(); ++c) {
      std::vector<std::string> sets;
      for (const std::string& id : targets) {
        const std::string& v = plan_.ConditionValues.at(id)[c];
        double number = 0;
        if (v.empty() || (IsNumberText(v, number) && std::isnan(number))) continue;
        sets.push_back(NameOf(id) + " := " + ConditionValue(v, id) + ";");
      }
      if (sets.empty()) continue;
      if (!any) t << indent << "case condition of\n";
      any = true;
      t << indent << "  " << c + 1 << ": begin  { " << Lines(plan_.Conditions[c]).front() << " }\n";
      for (const std::string& s : sets) t << indent << "    " << s << "\n";
      t << indent << "  end;\n";
    }
    if (any) t << indent << "end;\n";
    return t.str();
  }

  std::vector<std::string> SpeciesTargets() const {
    std::vector<std::string> targets;
    for (const auto& [id, values] : plan_.ConditionValues)
      if (IsSpecies(id) && IsState(id)) targets.push_back(id);
    return targets;
  }

  std::string Initial() const {
    std::ostringstream t;
    t << "initial\n  { the model's numbers stand in the first row of each experiment }\n  Quantities;\n";
    for (const std::string& id : states_) {
      const SbmlRule* assignment = nullptr;
      for (const SbmlRule& a : m_.InitialAssignments)
        if (a.Variable == id) assignment = &a;
      if (assignment)
        t << "  " << NameOf(id) << " := "
          << Expression(assignment->Math, "the initial assignment of \"" + id + "\"") << ";\n";
      else if (std::isnan(StartValue(id)))
        throw ImportRefusal("Cannot import the species \"" + id + "\": it has no initial value.");
    }
    t << ConditionCases(SpeciesTargets(), "  ");
    t << "end initial\n\n";
    return t.str();
  }

  std::string Static() const {
    std::ostringstream t;
    t << "static\n  Quantities;\n";
    if (plan_.Preequilibration && !SpeciesTargets().empty()) {
      t << "  { at the end of pre-equilibration the experiment's own initial values }\n";
      t << "  if (x^[1] = 0) and (round(x^[3]) > 0) then begin\n"
        << ConditionCases(SpeciesTargets(), "    ") << "  end;\n";
    }
    std::size_t k = static_cast<std::size_t>(states_.size());
    for (const ImportedObservable& o : plan_.Observables) {
      const std::string& value = names_.Responses[k], &sigma = names_.Responses[k + 1];
      k += 2;
      t << "  " << value << " := " << Expression(o.Value, "the formula of " + o.Where, o.Placeholders)
        << ";\n";
      if (o.Sigma)
        t << "  " << sigma << " := " << Expression(o.Sigma, "the noise formula of " + o.Where, o.Placeholders)
          << ";\n";
      else
        t << "  { " << sigma << ": the data give it }\n";
    }
    t << "end static\n\n";
    return t.str();
  }

  std::string Dynamic() const {
    std::ostringstream t;
    t << "dynamic\n  Quantities;\n";
    for (const SbmlReaction& r : m_.Reactions) {
      std::map<std::string, std::string> locals;
      for (const SbmlValue& l : r.Locals) locals[l.Id] = NameOf(r.Id + " " + l.Id);
      t << "  " << NameOf(r.Id) << " := "
        << Expression(r.Rate, "the kinetic law of reaction \"" + r.Id + "\"", {}, &locals) << ";\n";
    }
    for (const SbmlSpecies& s : m_.Species) {
      if (!IsState(s.Id) || rated_.count(s.Id) || s.Fixed) continue;
      std::vector<std::string> terms;
      for (const SbmlReaction& r : m_.Reactions)
        for (const auto& [species, n] : r.Stoichiometry)
          if (species == s.Id && n != 0) {
            const std::string rate = NameOf(r.Id);
            const std::string size = std::fabs(n) == 1 ? rate : PascalNumber(std::fabs(n)) + "*" + rate;
            terms.push_back(terms.empty() ? (n < 0 ? "-" + size : size) : (n < 0 ? "- " : "+ ") + size);
          }
      if (terms.empty()) continue;
      std::string sum = Join(terms, " ");
      if (!s.OnlySubstance) {
        const std::string v = NameOf(s.Compartment);
        sum = (terms.size() > 1 ? "(" + sum + ")" : sum) + "/" + v;
      }
      t << "  d_" << NameOf(s.Id) << " := " << sum << ";\n";
    }
    for (const SbmlRule& r : m_.RateRules)
      t << "  d_" << NameOf(r.Variable) << " := "
        << Expression(r.Math, "the rate rule of \"" + r.Variable + "\"") << ";\n";
    t << "end dynamic\n";
    return t.str();
  }

  const SbmlModel& m_;
  const ModelPlan& plan_;
  Namer namer_;
  ModelNames names_;
  std::map<std::string, std::string> name_;  // SBML or problem id -> identifier
  std::vector<std::string> states_;
  std::set<std::string> ruled_, rated_, initialized_, conditioned_;
};

}  // namespace

WrittenModel WriteModel(const SbmlModel& model, const ModelPlan& plan) {
  return ModelWriter(model, plan).Write();
}

}  // namespace zelk
