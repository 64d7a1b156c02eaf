#include "hostlib/fs/data_file.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "hostlib/fs/uri_text.h"
#include "script/values/array_record.h"
#include "script/values/factory.h"
#include "script/values/property_table.h"
#include "script/values/string_record.h"

namespace plumex::hostlib::fs {
namespace {

using script::Kind;
using script::Value;

struct Entry {
  std::string section;
  std::string type;
  std::optional<std::string> value;
};

bool forgesLines(std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos; }

// The shortest text that reads back as the same double; the infinities as
// the system's C library writes them, which load reads back.
std::string floatText(double d) {
  if (std::isinf(d)) return d > 0 ? "1.#INF" : "-1.#INF";
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, d);
  return std::string(buffer, ec == std::errc() ? end : buffer);
}

class Saver {
public:
  explicit Saver(script::Engine& engine) : engine_(engine) {}

  bool save(const std::string& section, const Value& v, int depth) {
    if (depth > kMaxDataFileDepth || forgesLines(section)) return false;
    switch (v.kind) {
      case Kind::Boolean: entries_.push_back({section, "boolean", v.u.i32 ? "true" : "false"}); return true;
      case Kind::Integer: entries_.push_back({section, "integer", std::to_string(v.u.i)}); return true;
      case Kind::Float: entries_.push_back({section, "float", floatText(v.u.d)}); return true;
      case Kind::String:
        // A string encodeURI refuses is left out.
        if (auto text = encodeUriValue(v.asString()->view())) entries_.push_back({section, "string", std::move(*text)});
        return true;
      case Kind::Array: return array(section, v.asArray(), depth);
      case Kind::Object: return object(section, v.asObject(), depth);
      default: return true;  // undefined, null, NaN, functions and host objects are not written
    }
  }

  std::vector<Entry>& entries() { return entries_; }

private:
  // Whether a container is already on the path (it would be written forever).
  bool onPath(const void* cell) const {
    for (const void* p : path_)
      if (p == cell) return true;
    return false;
  }

  bool array(const std::string& section, const script::ArrayRecord* a, int depth) {
    if (onPath(a)) return true;
    entries_.push_back({section, "array", std::nullopt});
    path_.push_back(a);
    bool ok = true;
    a->forEach([&](std::uint64_t index, const Value& element) {
      if (ok) ok = save(section + "." + std::to_string(index), element, depth + 1);
    });
    path_.pop_back();
    return ok;
  }

  bool object(const std::string& section, const script::PropertyTable* t, int depth) {
    if (onPath(t)) return true;
    entries_.push_back({section, "object", std::nullopt});
    path_.push_back(t);
    bool ok = true;
    for (std::uint32_t i = 0; ok && i < t->count(); ++i) {
      if (t->atomAt(i) < 0) continue;  // deleted or unnamed
      ok = save(section + "." + engine_.atomName(t->atomAt(i)), t->valueAt(i), depth + 1);
    }
    path_.pop_back();
    return ok;
  }

  script::Engine& engine_;
  std::vector<Entry> entries_;
  std::vector<const void*> path_;
};

// Where a section's value goes: a global, an object's property or an
// array's element.
struct Target {
  script::Atom atom = -1;
  script::PropertyTable* table = nullptr;
  script::ArrayRecord* array = nullptr;
  std::uint64_t index = 0;

  Value get(script::Engine& e) const {
    if (table) {
      Value v;
      table->get(atom, v);
      return v;
    }
    if (array) {
      const Value* v = array->get(index);
      return v ? *v : Value::undefined();
    }
    return e.global(atom);
  }

  void set(script::Engine& e, Value v) const {
    if (table) table->set(e, atom, v);
    else if (array) array->set(e.heap(), index, v);
    else e.global(atom) = v;
  }
};

std::vector<std::string_view> componentsOf(std::string_view name) {
  std::vector<std::string_view> parts;
  while (!name.empty()) {
    const std::size_t end = name.find_first_of(". ");
    if (end != 0) parts.push_back(name.substr(0, end));
    if (end == std::string_view::npos) break;
    name.remove_prefix(end + 1);
  }
  return parts;
}

// An array step: all digits, at most the largest 64-bit signed number.
std::optional<std::uint64_t> indexOf(std::string_view step) {
  std::uint64_t index = 0;
  const auto [end, ec] = std::from_chars(step.data(), step.data() + step.size(), index);
  if (ec != std::errc() || end != step.data() + step.size() ||
      index > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
    return std::nullopt;
  return index;
}

// Follows a section name's components from the globals; nothing when a
// step meets a value that is neither an Object nor an Array, or an Array
// with a step that is not an index.
std::optional<Target> targetOf(script::Engine& e, std::string_view section) {
  const std::vector<std::string_view> parts = componentsOf(section);
  if (parts.empty()) return std::nullopt;
  Target t{.atom = e.internAnsi(parts[0])};
  for (std::size_t i = 1; i < parts.size(); ++i) {
    const Value here = t.get(e);
    if (here.is(Kind::Object)) {
      script::PropertyTable* table = here.asObject();
      const script::Atom atom = e.internAnsi(parts[i]);
      if (table->findSlot(atom) < 0) table->set(e, atom, Value::undefined());
      t = Target{.atom = atom, .table = table};
    } else if (here.is(Kind::Array)) {
      const auto index = indexOf(parts[i]);
      if (!index) return std::nullopt;
      script::ArrayRecord* array = here.asArray();
      if (!array->get(*index)) {
        array->set(e.heap(), *index, Value::undefined());
        if (*index + 1 > array->length) array->length = *index + 1;
      }
      t = Target{.array = array, .index = *index};
    } else {
      return std::nullopt;
    }
  }
  return t;
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  return true;
}

double floatOf(const std::string& text) {
  // The system's C library writes the infinities so.
  std::string_view t = text;
  const bool negative = t.starts_with('-');
  if (negative || t.starts_with('+')) t.remove_prefix(1);
  if (t.starts_with("1.#INF")) return negative ? -HUGE_VAL : HUGE_VAL;
  return std::strtod(text.c_str(), nullptr);
}

// The section's new value; nothing to leave the target unchanged.
std::optional<Value> valueOf(script::Engine& e, const IniDocument& doc, const std::string& section) {
  const std::string type = doc.value(section, "type").value_or("string");
  const auto value = [&](const char* fallback) { return doc.value(section, "value").value_or(fallback); };
  if (equalsFolded(type, "boolean")) return Value::boolean(equalsFolded(value("false"), "true"));
  if (equalsFolded(type, "integer")) return Value::integer(std::strtoll(value("0").c_str(), nullptr, 10));
  if (equalsFolded(type, "float")) return Value::number(floatOf(value("0.")));
  if (equalsFolded(type, "array")) return Value::array(script::newArray(e));
  if (equalsFolded(type, "object")) return Value::object(script::newTable(e));
  if (!equalsFolded(type, "string")) return std::nullopt;
  const Value raw = script::makeString(e, value(""));
  auto decoded = decodeUriValue(raw.asString()->view());
  if (!decoded) return std::nullopt;
  return script::copyString(e, *decoded);
}

} // namespace

bool saveVariables(script::Engine& engine, IniDocument& doc, std::span<const std::string> names) {
  Saver saver(engine);
  for (const std::string& name : names) {
    if (forgesLines(name)) return false;
    if (!saver.save(name, engine.global(engine.internAnsi(name)), 1)) return false;
  }
  IniDocument changed = doc;
  for (const Entry& entry : saver.entries()) {
    if (!changed.set(entry.section, "type", entry.type)) return false;
    if (entry.value && !changed.set(entry.section, "value", *entry.value)) return false;
  }
  doc = std::move(changed);
  return true;
}

void loadVariables(script::Engine& engine, const IniDocument& doc) {
  // A name that comes again names the section already applied: the lookup
  // finds the first.
  std::unordered_set<std::string> applied;
  for (const std::string& section : doc.sectionNames()) {
    std::string folded = section;
    for (char& c : folded) c = lowerAscii(c);
    if (!applied.insert(std::move(folded)).second) continue;
    const auto target = targetOf(engine, section);
    if (!target) continue;
    if (const auto v = valueOf(engine, doc, section)) target->set(engine, *v);
  }
}

} // namespace plumex::hostlib::fs
