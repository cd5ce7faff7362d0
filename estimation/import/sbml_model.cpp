#include "estimation/import/sbml_model.h"

#include <cmath>

#include <sbml/SBMLTypes.h>

LIBSBML_CPP_NAMESPACE_USE

namespace zelk {

namespace {

[[noreturn]] void Refuse(const std::string& what, const std::string& id) {
  throw ImportRefusal("Cannot import " + what + (id.empty() ? "" : " \"" + id + "\"") +
                      ": Zelk has no equivalent.");
}

Formula Copy(const ASTNode* math, const std::string& what, const std::string& id) {
  if (!math) throw ImportRefusal("The " + what + " \"" + id + "\" has no formula.");
  return Formula(math->deepCopy());
}

}  // namespace

SbmlModel ReadSbmlModel(const std::string& xml, const std::string& fileName) {
  std::unique_ptr<SBMLDocument> doc(readSBMLFromString(xml.c_str()));
  if (!doc || doc->getNumErrors(LIBSBML_SEV_FATAL) > 0 ||
      doc->getNumErrors(LIBSBML_SEV_ERROR) > 0 || !doc->getModel()) {
    std::string reason;
    if (doc)
      for (unsigned i = 0; i < doc->getNumErrors() && reason.empty(); ++i)
        if (doc->getError(i)->getSeverity() >= LIBSBML_SEV_ERROR)
          reason = doc->getError(i)->getMessage();
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) reason.pop_back();
    throw ImportRefusal(fileName + " is no SBML model Zelk can read" +
                        (reason.empty() ? "." : ": " + reason));
  }
  const Model& m = *doc->getModel();
  if (m.getNumEvents() > 0) Refuse("the event", m.getEvent(0)->getId());
  SbmlModel out;
  out.Id = m.getId();
  for (unsigned i = 0; i < m.getNumFunctionDefinitions(); ++i) {
    const FunctionDefinition& f = *m.getFunctionDefinition(i);
    SbmlFunction fn{f.getId(), {}, nullptr};
    for (unsigned a = 0; a < f.getNumArguments(); ++a) fn.Arguments.push_back(f.getArgument(a)->getName());
    fn.Body = Copy(f.getBody(), "function definition", f.getId());
    out.Functions.push_back(std::move(fn));
  }
  for (unsigned i = 0; i < m.getNumCompartments(); ++i) {
    const Compartment& c = *m.getCompartment(i);
    const double size = c.isSetSize() ? c.getSize() : (c.getSpatialDimensions() == 0 ? 1 : NAN);
    out.Compartments.push_back({c.getId(), size, c.getConstant()});
    if (!c.getConstant()) Refuse("the compartment of variable size", c.getId());
  }
  for (unsigned i = 0; i < m.getNumSpecies(); ++i) {
    const Species& s = *m.getSpecies(i);
    SbmlSpecies sp;
    sp.Id = s.getId();
    sp.Compartment = s.getCompartment();
    sp.OnlySubstance = s.getHasOnlySubstanceUnits();
    sp.Fixed = s.getBoundaryCondition() || s.getConstant();
    double volume = 1;
    for (const SbmlValue& c : out.Compartments)
      if (c.Id == sp.Compartment) volume = c.Value;
    if (s.isSetInitialConcentration())
      sp.Initial = sp.OnlySubstance ? s.getInitialConcentration() * volume : s.getInitialConcentration();
    else if (s.isSetInitialAmount())
      sp.Initial = sp.OnlySubstance ? s.getInitialAmount() : s.getInitialAmount() / volume;
    else
      sp.Initial = NAN;  // an initial assignment or a rule gives it
    out.Species.push_back(sp);
  }
  for (unsigned i = 0; i < m.getNumParameters(); ++i) {
    const Parameter& p = *m.getParameter(i);
    out.Parameters.push_back({p.getId(), p.isSetValue() ? p.getValue() : NAN, p.getConstant()});
  }
  for (unsigned i = 0; i < m.getNumRules(); ++i) {
    const Rule& r = *m.getRule(i);
    if (r.isAlgebraic()) Refuse("the algebraic rule", r.getMetaId().empty() ? std::to_string(i + 1) : r.getMetaId());
    SbmlRule rule{r.getVariable(), Copy(r.getMath(), "rule of", r.getVariable())};
    (r.isRate() ? out.RateRules : out.AssignmentRules).push_back(std::move(rule));
  }
  for (unsigned i = 0; i < m.getNumInitialAssignments(); ++i) {
    const InitialAssignment& a = *m.getInitialAssignment(i);
    out.InitialAssignments.push_back({a.getSymbol(), Copy(a.getMath(), "initial assignment of", a.getSymbol())});
  }
  for (unsigned i = 0; i < m.getNumReactions(); ++i) {
    const Reaction& r = *m.getReaction(i);
    if (r.isSetFast() && r.getFast()) Refuse("the fast reaction", r.getId());
    if (!r.isSetKineticLaw()) Refuse("the reaction without a kinetic law", r.getId());
    SbmlReaction reaction;
    reaction.Id = r.getId();
    const KineticLaw& law = *r.getKineticLaw();
    reaction.Rate = Copy(law.getMath(), "kinetic law of reaction", r.getId());
    // Level 3 has local parameters, level 2 parameters of the law (each also lists the other).
    if (law.getLevel() >= 3)
      for (unsigned k = 0; k < law.getNumLocalParameters(); ++k)
        reaction.Locals.push_back({law.getLocalParameter(k)->getId(), law.getLocalParameter(k)->getValue(), true});
    else
      for (unsigned k = 0; k < law.getNumParameters(); ++k)
        reaction.Locals.push_back({law.getParameter(k)->getId(), law.getParameter(k)->getValue(), true});
    const auto add = [&](const SpeciesReference& s, double sign) {
      if (s.isSetStoichiometryMath()) Refuse("the stoichiometry formula of reaction", r.getId());
      if (!s.getId().empty() && !s.getConstant() && r.getLevel() >= 3)
        Refuse("the variable stoichiometry of reaction", r.getId());
      const double n = s.isSetStoichiometry() ? s.getStoichiometry() : 1;
      for (auto& [species, change] : reaction.Stoichiometry)
        if (species == s.getSpecies()) {
          change += sign * n;
          return;
        }
      reaction.Stoichiometry.emplace_back(s.getSpecies(), sign * n);
    };
    for (unsigned k = 0; k < r.getNumReactants(); ++k) add(*r.getReactant(k), -1);
    for (unsigned k = 0; k < r.getNumProducts(); ++k) add(*r.getProduct(k), +1);
    out.Reactions.push_back(std::move(reaction));
  }
  return out;
}

}  // namespace zelk
