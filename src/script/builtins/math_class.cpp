// Math: a class object with methods and read-only constants, and no
// instances (it has neither a call nor a construct hook).

#include <cmath>
#include <cstdint>
#include <ctime>
#include <string_view>

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "script/builtins/builtins.h"
#include "script/builtins/random48.h"
#include "script/values/conversions.h"

namespace plumex::script::builtins {

namespace {

std::uint64_t randomState = 0x330E;
constexpr std::uint64_t kRandomMask = (std::uint64_t{1} << 48) - 1;

} // namespace

void seedRandom48(std::uint32_t seed) { randomState = (std::uint64_t{seed} << 16) | 0x330E; }

double nextRandom48() {
  randomState = (0x5DEECE66Dull * randomState + 0xB) & kRandomMask;
  // 48 bits fit a double's mantissa: the quotient is exact.
  return std::ldexp(static_cast<double>(randomState), -48);
}

namespace {

enum Member {
  Abs, Acos, Asin, Atan, Atan2, Ceil, Cos, Exp, Floor, Log, Max, Min, Pow, Random, Round, Sin,
  Sqrt, Tan, E, Ln10, Ln2, Log10e, Log2e, Pi, Sqrt1_2, Sqrt2,
};
constexpr std::string_view kMembers[] = {
    "abs",  "acos", "asin", "atan", "atan2", "ceil", "cos",    "exp",   "floor",
    "log",  "max",  "min",  "pow",  "random", "round", "sin",  "sqrt",  "tan",
    "E",    "LN10", "LN2",  "LOG10E", "LOG2E", "PI",  "SQRT1_2", "SQRT2",
};
constexpr double kConstants[] = {
    2.718281828459045,  2.302585092994046,  0.6931471805599453, 0.4342944819032518,
    1.4426950408889634, 3.141592653589793,  0.7071067811865476, 1.4142135623730951,
};

using UnaryFunction = double (*)(double);

UnaryFunction unaryFunction(int member) {
  switch (member) {
    case Abs: return [](double x) { return std::fabs(x); };
    case Acos: return [](double x) { return std::acos(x); };
    case Asin: return [](double x) { return std::asin(x); };
    case Atan: return [](double x) { return std::atan(x); };
    case Ceil: return [](double x) { return std::ceil(x); };
    case Cos: return [](double x) { return std::cos(x); };
    case Exp: return [](double x) { return std::exp(x); };
    case Floor: return [](double x) { return std::floor(x); };
    case Log: return [](double x) { return std::log(x); };
    case Sin: return [](double x) { return std::sin(x); };
    case Sqrt: return [](double x) { return std::sqrt(x); };
    case Tan: return [](double x) { return std::tan(x); };
    default: return nullptr;
  }
}

// An argument as a number: Integer or Float, or NaN when it is missing or
// does not convert.
Value numberArgument(Engine& e, const binding::Args& args, std::size_t i) {
  return args.has(i) ? toNumberValue(e, args[i]) : Value::nan();
}

double asDouble(const Value& v) {
  return v.is(Kind::Integer) ? static_cast<double>(v.integerValue()) : v.floatValue();
}

// floor(x + 0.5) reduced modulo 2^32 and sign-extended, exactly for every
// finite x.
std::int64_t roundTo32Bits(double x) {
  double r = std::fmod(std::floor(x + 0.5), 4294967296.0);
  if (r < 0) r += 4294967296.0;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(r));
}

Value round(const Value& x) {
  if (x.is(Kind::Integer)) return Value::integer(static_cast<std::int32_t>(x.integerValue()));
  if (std::isinf(x.floatValue())) return x;
  return Value::integer(roundTo32Bits(x.floatValue()));
}

Value power(const Value& x, const Value& y) {
  const double r = std::pow(asDouble(x), asDouble(y));
  // Integers in, Integer out, while the result is a whole number a double
  // still holds exactly.
  if (x.is(Kind::Integer) && y.is(Kind::Integer) && std::fabs(r) < 9007199254740992.0 &&
      r == std::trunc(r))
    return Value::integer(static_cast<std::int64_t>(r));
  return Value::number(r);
}

// The largest (or smallest) of all arguments as a Float; NaN when there is
// none or any of them is not a number.
Value extreme(Engine& e, const binding::Args& args, bool largest) {
  if (args.size() == 0) return Value::nan();
  double best = 0;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const Value v = toNumberValue(e, args[i]);
    if (v.is(Kind::NaN)) return Value::nan();
    const double d = asDouble(v);
    if (i == 0 || (largest ? d > best : d < best)) best = d;
  }
  return Value::number(best);
}

bool mathMethod(Engine& e, ClassRecord& cls, void*, Atom atom, Value& result, ArgBlock block) {
  const int member = binding::members(cls).find(atom);
  const binding::Args args(block);
  switch (member) {
    case Atan2:
    case Pow: {
      const Value a = numberArgument(e, args, 0);
      const Value b = numberArgument(e, args, 1);
      if (a.is(Kind::NaN) || b.is(Kind::NaN))
        result = Value::nan();
      else
        result = member == Pow ? power(a, b) : Value::number(std::atan2(asDouble(a), asDouble(b)));
      return true;
    }
    case Max:
    case Min:
      result = extreme(e, args, member == Max);
      return true;
    case Random:
      result = Value::number(nextRandom48());
      return true;
    case Round: {
      const Value x = numberArgument(e, args, 0);
      result = x.is(Kind::NaN) ? x : round(x);
      return true;
    }
    default:
      break;
  }
  if (const UnaryFunction f = unaryFunction(member)) {
    const Value x = numberArgument(e, args, 0);
    result = x.is(Kind::NaN) ? x : Value::number(f(asDouble(x)));
    return true;
  }
  return binding::classObjectMethod(e, cls, atom, result);
}

bool mathProperty(Engine&, ClassRecord& cls, void*, Atom atom, bool set, Value& io) {
  if (!set) io = Value::undefined();
  const int member = binding::members(cls).find(atom);
  if (member < E) return false;
  // Read-only: a store is accepted and ignored.
  if (!set) io = Value::number(kConstants[member - E]);
  return true;
}

} // namespace

void registerMathClass(Engine& engine) {
  binding::registerClass(engine, {.name = "Math",
                                  .members = kMembers,
                                  .method = mathMethod,
                                  .property = mathProperty});
  seedRandom48(static_cast<std::uint32_t>(std::time(nullptr)));
}

} // namespace plumex::script::builtins
