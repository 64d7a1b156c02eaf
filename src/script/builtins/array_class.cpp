// Array: the class of every Array value. Arrays are sparse with a 64-bit
// length, so every method steps over the stored elements, never over the
// indices up to the length.

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "script/builtins/builtins.h"
#include "script/values/array_record.h"
#include "script/values/conversions.h"
#include "script/values/property_table.h"
#include "script/values/string_record.h"

namespace plumex::script::builtins {
namespace {

using binding::Args;

enum Member { Concat, Join, Pop, Push, Reverse, Shift, Slice, Splice, Sort, Unshift, Length };
constexpr std::string_view kMembers[] = {"concat", "join",   "pop",  "push",    "reverse", "shift",
                                         "slice",  "splice", "sort", "unshift", "length"};
static_assert(std::size(kMembers) == Length + 1);

using Entries = std::vector<std::pair<std::uint64_t, Value>>;

// The stored elements at or beyond `from`, in index order.
Entries entriesFrom(const ArrayRecord& a, std::uint64_t from) {
  Entries out;
  for (auto i = a.nextIndex(from); i; i = *i == std::numeric_limits<std::uint64_t>::max()
                                              ? std::nullopt
                                              : a.nextIndex(*i + 1))
    out.emplace_back(*i, *a.get(*i));
  return out;
}

Value elementOrUndefined(const ArrayRecord& a, std::uint64_t index) {
  const Value* v = a.get(index);
  return v ? *v : Value::undefined();
}

// The length as a signed number for index arithmetic; no array holds
// elements near 2^63.
std::int64_t signedLength(const ArrayRecord& a) {
  return static_cast<std::int64_t>(std::min<std::uint64_t>(a.length, std::numeric_limits<std::int64_t>::max()));
}

// ---- constructor and length -------------------------------------------

void constructArray(Engine& e, ClassRecord& cls, ArgBlock block, Value& result) {
  const std::int64_t count = block.count();
  ArrayRecord* a;
  if (count == 1 && block[0].is(Kind::Integer)) {
    a = newArray(e, static_cast<std::uint64_t>(block[0].integerValue()));
  } else {
    // A negative count is the array literal: the same elements, a hole
    // among them arriving as Undefined.
    const std::uint64_t n = count < 0 ? 0 - static_cast<std::uint64_t>(count) : static_cast<std::uint64_t>(count);
    a = newArray(e, n);
    a->renumber(e.heap(), std::span<const Value>(block.values + 1, static_cast<std::size_t>(n)));
  }
  a->table = newTableOver(e, cls.prototype, 0);
  result = Value::array(a);
}

void callArray(Engine& e, ClassRecord& cls, void*, Value& result, ArgBlock block) {
  constructArray(e, cls, block, result);
}

// An Integer, or a non-negative Float truncated; nothing for other values.
std::optional<std::uint64_t> newLength(const Value& v) {
  if (v.is(Kind::Integer)) return static_cast<std::uint64_t>(v.integerValue());
  if (!v.is(Kind::Float) || !(v.floatValue() >= 0)) return std::nullopt;
  const double d = std::trunc(v.floatValue());
  if (d >= 18446744073709551616.0) return std::numeric_limits<std::uint64_t>::max();
  return static_cast<std::uint64_t>(d);
}

bool arrayProperty(Engine& e, ClassRecord& cls, void* self, Atom atom, bool set, Value& io) {
  if (!set) io = Value::undefined();
  if (binding::members(cls).find(atom) != Length) return false;
  if (!self) {
    // The class object's length is 1 and cannot be set.
    if (!set) io = Value::integer(1);
    return true;
  }
  ArrayRecord& a = *static_cast<const Value*>(self)->asArray();
  if (!set) {
    io = Value::integer(static_cast<std::int64_t>(a.length));
    return true;
  }
  if (const auto length = newLength(io)) {
    if (*length < a.length) a.removeFrom(e.heap(), *length);
    a.length = *length;
  }
  return true;
}

// ---- methods ----------------------------------------------------------

Value concat(Engine& e, const ArrayRecord& a, const Args& args) {
  ArrayRecord* out = newArray(e);
  out->appendFrom(e.heap(), a, 0);
  std::uint64_t length = a.length;
  for (const Value& v : args.values()) {
    const std::uint64_t add = v.is(Kind::Array) ? v.asArray()->length : 1;
    if (length + add < length) break;  // the running length would overflow
    if (v.is(Kind::Array)) out->appendFrom(e.heap(), *v.asArray(), length);
    else out->set(e.heap(), length, v);
    length += add;
  }
  out->length = length;
  return Value::array(out);
}

Value join(Engine& e, ArrayRecord& a, const Args& args) {
  std::u16string separator = u",";
  if (args.has(0)) separator = toStringValue(e, args[0]).asString()->view();
  return joinArray(e, a, separator);
}

Value pop(Engine& e, ArrayRecord& a) {
  if (a.length == 0) return Value::undefined();
  const std::uint64_t last = a.length - 1;
  const Value v = elementOrUndefined(a, last);
  a.remove(e.heap(), last);
  a.length = last;
  return v;
}

Value push(Engine& e, ArrayRecord& a, const Args& args) {
  for (const Value& v : args.values()) {
    if ((a.length >> 32) != 0 || static_cast<std::uint32_t>(a.length) == 0xffffffffu) break;
    a.set(e.heap(), a.length, v);
    ++a.length;
  }
  return Value::integer(static_cast<std::int64_t>(a.length));
}

void reverse(Engine& e, ArrayRecord& a) {
  const Entries entries = entriesFrom(a, 0);
  a.removeFrom(e.heap(), 0);
  // Highest index first, so that the new indices ascend.
  for (auto it = entries.rbegin(); it != entries.rend(); ++it)
    a.set(e.heap(), it->first < a.length ? a.length - 1 - it->first : it->first, it->second);
}

Value shift(Engine& e, ArrayRecord& a) {
  if (a.length == 0) return Value::undefined();
  const Value v = elementOrUndefined(a, 0);
  a.removeShift(e.heap(), 0);
  return v;
}

Value slice(Engine& e, const ArrayRecord& a, const Args& args) {
  const std::int64_t length = signedLength(a);
  // Both bounds are the low 32 bits of Integer arguments.
  const auto bound = [&](std::size_t i) -> std::optional<std::int64_t> {
    if (const auto v = args.integer(i)) return static_cast<std::int32_t>(static_cast<std::uint32_t>(*v));
    return std::nullopt;
  };
  std::int64_t start = bound(0).value_or(0);
  if (start < 0) start = std::max<std::int64_t>(start + length, 0);
  std::int64_t end = bound(1).value_or(length);
  if (end < 0) {
    end += length;
    if (end < 0) end = start;
  }
  // Bounds in either order name the same range; it is not cut to the
  // length.
  const auto low = static_cast<std::uint64_t>(std::min(start, end));
  const auto high = static_cast<std::uint64_t>(std::max(start, end));
  ArrayRecord* out = newArray(e, high - low);
  for (auto i = a.nextIndex(low); i && *i < high; i = a.nextIndex(*i + 1))
    out->set(e.heap(), *i - low, *a.get(*i));
  return Value::array(out);
}

Value splice(Engine& e, ArrayRecord& a, const Args& args) {
  const std::uint64_t length = a.length;
  std::int64_t first = args.integer(0).value_or(0);
  if (first < 0) first = std::max<std::int64_t>(first + signedLength(a), 0);
  // An insertion point beyond the end appends, so that no element is
  // stored at or beyond the length.
  const std::uint64_t start = std::min(static_cast<std::uint64_t>(first), length);
  const std::uint64_t rest = length - start;
  std::uint64_t removeCount = rest;
  if (const auto n = args.integer(1)) removeCount = *n < 0 ? 0 : std::min(static_cast<std::uint64_t>(*n), rest);
  const std::uint64_t itemCount = args.size() > 2 ? args.size() - 2 : 0;

  ArrayRecord* removed = newArray(e, removeCount);
  const Entries tail = entriesFrom(a, start);
  a.removeFrom(e.heap(), start);
  for (const auto& [i, v] : tail) {
    if (i - start < removeCount) removed->set(e.heap(), i - start, v);
    else a.set(e.heap(), i - removeCount + itemCount, v);
  }
  for (std::uint64_t k = 0; k < itemCount; ++k) a.set(e.heap(), start + k, args[2 + k]);
  a.length = length - removeCount + itemCount;
  return Value::array(removed);
}

Value unshift(Engine& e, ArrayRecord& a, const Args& args) {
  const std::size_t n = args.size();
  if (n == 0) return Value::integer(static_cast<std::int64_t>(a.length));
  a.offset(e.heap(), static_cast<std::int32_t>(n));
  // The arguments in reverse order: the last one becomes element 0.
  for (std::size_t k = 0; k < n; ++k) a.set(e.heap(), n - 1 - k, args[k]);
  return Value::integer(static_cast<std::int64_t>(a.length));
}

// ---- sort -------------------------------------------------------------

// Stable top-down merge sort of positions: an element of the right run
// goes first only when greater(left, right).
template <class Greater>
void mergeSort(std::vector<std::size_t>& v, std::vector<std::size_t>& scratch, std::size_t low,
               std::size_t high, Greater& greater) {
  if (high - low < 2) return;
  const std::size_t mid = low + (high - low) / 2;
  mergeSort(v, scratch, low, mid, greater);
  mergeSort(v, scratch, mid, high, greater);
  std::size_t i = low, j = mid, k = low;
  while (i < mid && j < high) scratch[k++] = greater(v[i], v[j]) ? v[j++] : v[i++];
  while (i < mid) scratch[k++] = v[i++];
  while (j < high) scratch[k++] = v[j++];
  std::copy(scratch.begin() + static_cast<std::ptrdiff_t>(low),
            scratch.begin() + static_cast<std::ptrdiff_t>(high), v.begin() + static_cast<std::ptrdiff_t>(low));
}

// The comparison's answer: a Float by its sign, anything else by the sign
// of its 64-bit payload.
int sign(const Value& r) {
  if (r.is(Kind::Float)) return (r.floatValue() > 0) - (r.floatValue() < 0);
  return (r.integerValue() > 0) - (r.integerValue() < 0);
}

// Sorts a copy of the stored elements and writes it back. A comparison may
// run script, which may change the array or collect garbage: the copy and
// everything the sort holds stay rooted in a pinned array meanwhile, and
// the array is rewritten only once the order is complete. A comparison
// that fails (a runtime error, or a host break) ends the sort with the
// array unchanged and raises the same error, so that it reaches the
// script's try or the host as though it had happened in the sort.
void sort(Engine& e, const Value& self, const Args& args) {
  ArrayRecord& a = *self.asArray();
  const std::vector<Value> elements = a.collect();
  const std::size_t n = elements.size();
  const Value compare = args[0];
  const bool byFunction = binding::isCallable(compare);

  // Layout: the elements, the array, the comparison, then the default
  // order's texts.
  ArrayRecord* held = newArray(e);
  const Pin keep(e, Value::array(held));
  held->renumber(e.heap(), elements);
  held->set(e.heap(), n, self);
  held->set(e.heap(), n + 1, compare);

  std::vector<std::size_t> order(n), scratch(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = i;

  if (byFunction) {
    auto greater = [&](std::size_t l, std::size_t r) {
      const Value pair[2] = {elements[l], elements[r]};
      if (!callValue(e, Value::null(), compare, pair)) {
        std::string text = e.errorText();
        constexpr std::string_view kPrefix = "Runtime error: ";
        if (text.starts_with(kPrefix)) text.erase(0, kPrefix.size());
        raiseError(e, text);
      }
      return sign(e.result) > 0;
    };
    mergeSort(order, scratch, 0, n, greater);
  } else {
    // Undefined after everything else; the rest by their texts, each
    // computed once (a conversion may run script).
    const std::size_t texts = n + 2;
    for (std::size_t i = 0; i < n; ++i)
      if (!elements[i].is(Kind::Undefined)) held->set(e.heap(), texts + i, toStringValue(e, elements[i]));
    auto greater = [&](std::size_t l, std::size_t r) {
      const bool lu = elements[l].is(Kind::Undefined), ru = elements[r].is(Kind::Undefined);
      if (lu || ru) return lu && !ru;
      return compareStrings(held->get(texts + l)->asString()->view(),
                            held->get(texts + r)->asString()->view()) > 0;
    };
    mergeSort(order, scratch, 0, n, greater);
  }

  std::vector<Value> sorted(n);
  for (std::size_t i = 0; i < n; ++i) sorted[i] = elements[order[i]];
  a.renumber(e.heap(), sorted);
  // A comparison may have shortened the array; the packed elements stay
  // below the length.
  a.length = std::max<std::uint64_t>(a.length, n);
}

bool arrayMethod(Engine& e, ClassRecord& cls, void* self, Atom atom, Value& result, ArgBlock block) {
  if (!self) {
    // The class object answers "toString" only.
    if (atom != kAtomToString) return false;
    result = binding::classObjectText(e, cls);
    return true;
  }
  // A copy: the receiver's slot may be where the result goes.
  const Value me = *static_cast<const Value*>(self);
  if (!me.is(Kind::Array)) return false;
  ArrayRecord& a = *me.asArray();
  const Args args(block);
  if (atom == kAtomToString) {
    result = joinArray(e, a, u",");
    return true;
  }
  switch (binding::members(cls).find(atom)) {
    case Concat: result = concat(e, a, args); return true;
    case Join: result = join(e, a, args); return true;
    case Pop: result = pop(e, a); return true;
    case Push: result = push(e, a, args); return true;
    case Reverse: reverse(e, a); result = Value::undefined(); return true;
    case Shift: result = shift(e, a); return true;
    case Slice: result = slice(e, a, args); return true;
    case Splice: result = splice(e, a, args); return true;
    case Sort: sort(e, me, args); result = Value::undefined(); return true;
    case Unshift: result = unshift(e, a, args); return true;
    default: return false;  // "length" is a property; other names go to the array's table
  }
}

} // namespace

void registerArrayClass(Engine& engine) {
  binding::registerClass(engine, {.name = "Array",
                                   .members = kMembers,
                                   .call = callArray,
                                   .method = arrayMethod,
                                   .property = arrayProperty,
                                   .construct = constructArray,
                                   .objectText = "[object Array]",
                                   .kinds = {Kind::Array}});
}

} // namespace plumex::script::builtins
