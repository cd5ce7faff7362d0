#pragma once
// Formulas of an imported model as Pascal expressions: libSBML's math trees (from the SBML
// file, or parsed from a PEtab table's infix text) written with the model's identifiers.

#include <functional>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>

#include <sbml/math/ASTNode.h>

namespace zelk {

// Why a file cannot be imported: the message names the element and its id.
struct ImportRefusal : std::runtime_error {
  using std::runtime_error::runtime_error;
};

using Formula = std::shared_ptr<const LIBSBML_CPP_NAMESPACE_QUALIFIER ASTNode>;

// What an identifier of the formula is written as; "" refuses it (an unknown symbol).
using SymbolText = std::function<std::string(const std::string& id)>;

// The Pascal expression of `node`. `where` names the element for a refusal ("the kinetic
// law of reaction v1").
std::string PascalExpression(const LIBSBML_CPP_NAMESPACE_QUALIFIER ASTNode& node, const SymbolText& symbol,
                             const std::string& where);

// A PEtab formula (infix, log = ln); refuses what cannot be read.
Formula ParseFormula(const std::string& text, const std::string& where);

// The identifiers a formula reads (function names not included).
void CollectNames(const LIBSBML_CPP_NAMESPACE_QUALIFIER ASTNode& node, std::set<std::string>& out);

// A number as a Pascal real literal: always with a point or an exponent.
std::string PascalNumber(double value);

}  // namespace zelk
