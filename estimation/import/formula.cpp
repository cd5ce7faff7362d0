#include "estimation/import/formula.h"

#include <cmath>

#include <sbml/math/FormulaParser.h>
#include <sbml/math/L3Parser.h>
#include <sbml/math/L3ParserSettings.h>

#include "base/csv_table.h"

LIBSBML_CPP_NAMESPACE_USE

namespace zelk {



std::string PascalNumber(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "(-Infinity)";
  std::string text = ExactText(value);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return value < 0 ? "(" + text + ")" : text;
}

namespace {

// Binding strength of what an expression's text is, so that parentheses go where needed.
enum Strength { kSum = 1, kProduct = 2, kUnary = 3, kAtom = 4 };

struct Text {
  std::string s;
  Strength strength;
};

class Writer {
 public:
  Writer(const SymbolText& symbol, const std::string& where) : symbol_(symbol), where_(where) {}

  Text Write(const ASTNode& n) {
    const int count = static_cast<int>(n.getNumChildren());
    const auto child = [&](int i) { return Write(*n.getChild(static_cast<unsigned>(i))); };
    const auto call = [&](const std::string& name) {
      std::string s = name + "(";
      for (int i = 0; i < count; ++i) s += (i ? ", " : "") + child(i).s;
      return Text{s + ")", kAtom};
    };
    switch (n.getType()) {
      case AST_INTEGER: return {PascalNumber(static_cast<double>(n.getInteger())), n.getInteger() < 0 ? kAtom : kAtom};
      case AST_REAL:
      case AST_REAL_E:
      case AST_RATIONAL: return {PascalNumber(n.getReal()), kAtom};
      case AST_NAME: {
        const std::string name = n.getName() ? n.getName() : "";
        std::string s = symbol_(name);
        if (s.empty()) Refuse("the symbol \"" + name + "\"");
        return {s, kAtom};
      }
      case AST_NAME_TIME: return {"x^[1]", kAtom};
      case AST_NAME_AVOGADRO: return {"6.02214076e23", kAtom};
      case AST_CONSTANT_PI: return {"pi", kAtom};
      case AST_CONSTANT_E: return {"exp(1.0)", kAtom};
      case AST_CONSTANT_TRUE: return {"true", kAtom};
      case AST_CONSTANT_FALSE: return {"false", kAtom};
      case AST_PLUS:
      case AST_TIMES: {
        const bool plus = n.getType() == AST_PLUS;
        if (count == 0) return {plus ? "0.0" : "1.0", kAtom};
        const Strength s = plus ? kSum : kProduct;
        std::string out;
        for (int i = 0; i < count; ++i) {
          const Text t = child(i);
          const std::string operand = t.strength < s ? "(" + t.s + ")" : t.s;
          out += i == 0 ? operand : (plus ? " + " : "*") + operand;
        }
        return {out, s};
      }
      case AST_MINUS: {
        if (count == 1) {
          const Text t = child(0);
          return {"-" + (t.strength < kAtom ? "(" + t.s + ")" : t.s), kUnary};
        }
        const Text a = child(0), b = child(1);
        return {a.s + " - " + (b.strength <= kSum ? "(" + b.s + ")" : b.s), kSum};
      }
      case AST_DIVIDE: {
        const Text a = child(0), b = child(1);
        return {(a.strength < kProduct ? "(" + a.s + ")" : a.s) + "/" +
                    (b.strength <= kProduct ? "(" + b.s + ")" : b.s),
                kProduct};
      }
      case AST_POWER:
      case AST_FUNCTION_POWER: return call("power");
      case AST_FUNCTION_EXP: return call("exp");
      case AST_FUNCTION_LN: return call("ln");
      case AST_FUNCTION_LOG: {
        if (count == 1) return call("log10");
        const ASTNode* base = n.getChild(0);
        if (base->isNumber() && base->getValue() == 10) return {"log10(" + child(1).s + ")", kAtom};
        return call("logn");
      }
      case AST_FUNCTION_ROOT: {
        if (count == 1) return call("sqrt");
        const ASTNode* degree = n.getChild(0);
        if (degree->isNumber() && degree->getValue() == 2) return {"sqrt(" + child(1).s + ")", kAtom};
        return {"power(" + child(1).s + ", 1.0/(" + child(0).s + "))", kAtom};
      }
      case AST_FUNCTION_ABS: return call("abs");
      case AST_FUNCTION_FLOOR: return call("floor");
      case AST_FUNCTION_CEILING: return call("ceil");
      case AST_FUNCTION_SIN: return call("sin");
      case AST_FUNCTION_COS: return call("cos");
      case AST_FUNCTION_TAN: return call("tan");
      case AST_FUNCTION_ARCSIN: return call("arcsin");
      case AST_FUNCTION_ARCCOS: return call("arccos");
      case AST_FUNCTION_ARCTAN: return call("arctan");
      case AST_FUNCTION_SINH: return call("sinh");
      case AST_FUNCTION_COSH: return call("cosh");
      case AST_FUNCTION_TANH: return call("tanh");
      case AST_FUNCTION_ARCSINH: return call("arcsinh");
      case AST_FUNCTION_ARCCOSH: return call("arccosh");
      case AST_FUNCTION_ARCTANH: return call("arctanh");
      case AST_FUNCTION_MAX:
      case AST_FUNCTION_MIN: {
        const std::string f = n.getType() == AST_FUNCTION_MAX ? "max" : "min";
        if (count == 0) Refuse(f + " without arguments");
        std::string s = child(0).s;
        for (int i = 1; i < count; ++i) s = f + "(" + s + ", " + child(i).s + ")";
        return {s, kAtom};
      }
      case AST_FUNCTION_PIECEWISE: {
        // piecewise(v1, c1, v2, c2, ..., otherwise): nested IfThen, the otherwise last.
        std::string tail = count % 2 == 1 ? child(count - 1).s : "NaN";
        for (int i = (count / 2) * 2 - 2; i >= 0; i -= 2)
          tail = "IfThen(" + child(i + 1).s + ", " + child(i).s + ", " + tail + ")";
        return {tail, kAtom};
      }
      case AST_RELATIONAL_EQ: return Relation(n, "=");
      case AST_RELATIONAL_NEQ: return Relation(n, "<>");
      case AST_RELATIONAL_LT: return Relation(n, "<");
      case AST_RELATIONAL_LEQ: return Relation(n, "<=");
      case AST_RELATIONAL_GT: return Relation(n, ">");
      case AST_RELATIONAL_GEQ: return Relation(n, ">=");
      case AST_LOGICAL_AND: return Logical(n, "and", "true");
      case AST_LOGICAL_OR: return Logical(n, "or", "false");
      case AST_LOGICAL_XOR: return Logical(n, "xor", "false");
      case AST_LOGICAL_NOT: return {"(not " + child(0).s + ")", kAtom};
      case AST_FUNCTION: {
        const std::string name = n.getName() ? n.getName() : "";
        std::string s = symbol_("function " + name);
        if (s.empty()) Refuse("the function \"" + name + "\"");
        return call(s);
      }
      case AST_FUNCTION_DELAY: Refuse("delay");
      case AST_FUNCTION_RATE_OF: Refuse("rateOf");
      default: break;
    }
    Refuse(std::string("the operator \"") + (n.getName() ? n.getName() : "?") + "\"");
  }

 private:
  Text Relation(const ASTNode& n, const char* op) {
    if (n.getNumChildren() != 2) Refuse(std::string("a relation \"") + op + "\" of other than two operands");
    return {"(" + Write(*n.getChild(0)).s + " " + op + " " + Write(*n.getChild(1)).s + ")", kAtom};
  }
  Text Logical(const ASTNode& n, const char* op, const char* none) {
    if (n.getNumChildren() == 0) return {none, kAtom};
    std::string s;
    for (unsigned i = 0; i < n.getNumChildren(); ++i)
      s += (i ? std::string(" ") + op + " " : "") + Write(*n.getChild(i)).s;
    return {"(" + s + ")", kAtom};
  }
  [[noreturn]] void Refuse(const std::string& what) {
    throw ImportRefusal("Cannot import " + what + " in " + where_ + ": Zelk has no equivalent.");
  }
  const SymbolText& symbol_;
  const std::string& where_;
};

}  // namespace

std::string PascalExpression(const ASTNode& node, const SymbolText& symbol,
                             const std::string& where) {
  Writer writer(symbol, where);
  return writer.Write(node).s;
}

Formula ParseFormula(const std::string& text, const std::string& where) {
  L3ParserSettings settings;
  settings.setParseLog(L3P_PARSE_LOG_AS_LN);
  settings.setParseAvogadroCsymbol(false);
  ASTNode* node = SBML_parseL3FormulaWithSettings(text.c_str(), &settings);
  if (!node) {
    char* error = SBML_getLastParseL3Error();
    std::string reason = error ? error : "";
    std::free(error);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) reason.pop_back();
    throw ImportRefusal("Cannot read the formula \"" + text + "\" of " + where +
                        (reason.empty() ? "" : ": " + reason));
  }
  return Formula(node);
}

void CollectNames(const ASTNode& node, std::set<std::string>& out) {
  if (node.getType() == AST_NAME && node.getName()) out.insert(node.getName());
  for (unsigned i = 0; i < node.getNumChildren(); ++i) CollectNames(*node.getChild(i), out);
}

}  // namespace zelk
