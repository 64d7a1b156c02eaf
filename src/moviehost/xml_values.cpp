#include "moviehost/xml_values.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "script/values/array_record.h"
#include "script/values/conversions.h"
#include "script/values/factory.h"
#include "script/values/native_cell.h"
#include "script/values/property_table.h"
#include "script/values/string_record.h"

namespace plumex::moviehost {
namespace {

using script::Kind;
using script::Value;

constexpr std::uint64_t kMaxArrayIndex = std::uint64_t{1} << 53;

std::u16string widenAscii(std::string_view s) { return {s.begin(), s.end()}; }

std::string narrowAscii(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (char16_t c : s) out += c < 0x80 ? static_cast<char>(c) : '\x7f';
  return out;
}

class Writer {
public:
  Writer(script::Engine& engine, HandleIssuer* handles) : engine_(engine), handles_(handles) {}

  // v as the element at `depth` (the root is 1).
  bool value(const Value& v, int depth) {
    if (depth > kMaxXmlDepth) return false;
    switch (v.kind) {
      case Kind::Undefined: out_ += u"<undefined/>"; return true;
      case Kind::Null: out_ += u"<null/>"; return true;
      case Kind::Boolean: out_ += v.u.i32 ? u"<true/>" : u"<false/>"; return true;
      case Kind::Integer:
      case Kind::Float:
      case Kind::NaN:
        out_ += u"<number>" + xmlNumberText(v) + u"</number>";
        return true;
      case Kind::String: {
        const std::u16string_view text = v.asString()->view();
        out_ += u"<string>";
        out_ += text.empty() ? std::u16string(u"null") : escapeXml(text);
        out_ += u"</string>";
        return true;
      }
      case Kind::Array: return array(v, depth);
      case Kind::Object: return object(v, depth);
      case Kind::Native:
        if (!handles_) {
          out_ += u"<null/>";
        } else {
          out_ += u"<number>" + widenAscii(std::to_string(handles_->handleFor(v))) + u"</number>";
        }
        return true;
      default: {
        // Functions and names go as their text.
        const Value text = script::toStringValue(engine_, v);
        out_ += u"<string>" + escapeXml(text.asString()->view()) + u"</string>";
        return true;
      }
    }
  }

  std::u16string take() { return std::move(out_); }

private:
  // Entering a container: refused when it is already on the path (it would
  // be written forever).
  bool enter(const void* cell) {
    for (const void* p : path_)
      if (p == cell) return false;
    path_.push_back(cell);
    return true;
  }

  bool array(const Value& v, int depth) {
    const script::ArrayRecord* a = v.asArray();
    if (!enter(a)) return false;
    out_ += u"<array>";
    bool ok = true;
    a->forEach([&](std::uint64_t index, const Value& element) {
      if (!ok) return;
      out_ += u"<property id=\"" + widenAscii(std::to_string(index)) + u"\">";
      ok = value(element, depth + 2);
      out_ += u"</property>";
    });
    out_ += u"</array>";
    path_.pop_back();
    return ok;
  }

  bool object(const Value& v, int depth) {
    const script::PropertyTable* t = v.asObject();
    if (!enter(t)) return false;
    out_ += u"<object>";
    bool ok = true;
    for (std::uint32_t i = 0; ok && i < t->count(); ++i) {
      if (t->atomAt(i) < 0) continue;  // deleted or unnamed
      out_ += u"<property id=\"" + escapeXml(engine_.atoms().name(t->atomAt(i))) + u"\">";
      ok = value(t->valueAt(i), depth + 2);
      out_ += u"</property>";
    }
    out_ += u"</object>";
    path_.pop_back();
    return ok;
  }

  script::Engine& engine_;
  HandleIssuer* handles_;
  std::u16string out_;
  std::vector<const void*> path_;
};

bool isIntegerText(std::string_view s) {
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
  const std::size_t digits = i;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
  if (i == digits) return false;
  // Digits followed by a fraction or an exponent make a Float.
  return i == s.size() || (s[i] != '.' && s[i] != 'e' && s[i] != 'E' && s[i] != 'd' && s[i] != 'D');
}

std::optional<Value> read(script::Engine& engine, const XmlElement& e, int depth);

std::optional<Value> readArray(script::Engine& engine, const XmlElement& e, int depth) {
  script::ArrayRecord* a = script::newArray(engine);
  const Value result = Value::array(a);
  for (const XmlElement& p : e.children) {
    if (!p.is(u"property")) continue;
    const std::u16string* id = p.attribute(u"id");
    if (!id) continue;
    const std::string digits = narrowAscii(*id);
    std::uint64_t index = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
    if (ec != std::errc() || end != digits.data() + digits.size() || index > kMaxArrayIndex) return std::nullopt;
    Value element = Value::undefined();
    if (const XmlElement* child = p.firstChild()) {
      auto v = read(engine, *child, depth + 2);
      if (!v) return std::nullopt;
      element = *v;
    }
    a->set(engine.heap(), index, element);
    if (index + 1 > a->length) a->length = index + 1;
  }
  return result;
}

std::optional<Value> readObject(script::Engine& engine, const XmlElement& e, int depth) {
  script::PropertyTable* t = script::newTable(engine);
  const Value result = Value::object(t);
  for (const XmlElement& p : e.children) {
    if (!p.is(u"property")) continue;
    const std::u16string* id = p.attribute(u"id");
    if (!id) continue;
    Value v = Value::undefined();
    if (const XmlElement* child = p.firstChild()) {
      auto read1 = read(engine, *child, depth + 2);
      if (!read1) return std::nullopt;
      v = *read1;
    }
    t->set(engine, engine.intern(*id), v);
  }
  return result;
}

std::optional<Value> read(script::Engine& engine, const XmlElement& e, int depth) {
  if (depth > kMaxXmlDepth) return std::nullopt;
  if (e.is(u"undefined")) return Value::undefined();
  if (e.is(u"null")) return Value::null();
  if (e.is(u"true")) return Value::boolean(true);
  if (e.is(u"false")) return Value::boolean(false);
  if (e.is(u"number")) return numberFromXmlText(e.text ? *e.text : std::u16string());
  if (e.is(u"string")) {
    if (!e.text || *e.text == u"null") return script::copyString(engine, u"");
    return script::copyString(engine, *e.text);
  }
  if (e.is(u"array")) return readArray(engine, e, depth);
  if (e.is(u"object")) return readObject(engine, e, depth);
  return std::nullopt;
}

} // namespace

std::u16string xmlNumberText(const Value& v) {
  if (v.is(Kind::Integer)) return widenAscii(std::to_string(v.u.i));
  if (!v.is(Kind::Float) || std::isnan(v.u.d)) return u"NaN";
  if (std::isinf(v.u.d)) return v.u.d > 0 ? u"Infinity" : u"-Infinity";
  char buffer[64];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v.u.d);
  std::string text(buffer, ec == std::errc() ? end : buffer);
  // A whole Float keeps a fraction, so that it reads back as a Float.
  if (text.find_first_of(".eE") == std::string::npos) text += ".0";
  return widenAscii(text);
}

Value numberFromXmlText(std::u16string_view text16) {
  std::string text = narrowAscii(text16);
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return text.empty() ? Value::integer(0) : Value::nan();
  text.erase(0, first);
  text.erase(text.find_last_not_of(" \t\r\n") + 1);
  if (text == "Infinity" || text == "+Infinity") return Value::number(std::numeric_limits<double>::infinity());
  if (text == "-Infinity") return Value::number(-std::numeric_limits<double>::infinity());
  if (isIntegerText(text)) {
    std::int64_t n = 0;
    const char* begin = text.data() + (text[0] == '+' ? 1 : 0);
    const auto [end, ec] = std::from_chars(begin, text.data() + text.size(), n);
    if (ec == std::errc() && end == text.data() + text.size()) return Value::integer(n);
    // Past 64 bits: a Float, as the decimal conversion gives it.
  }
  char* end = nullptr;
  const double d = std::strtod(text.c_str(), &end);
  if (end == text.c_str()) return Value::nan();
  return Value::number(d);
}

std::optional<std::u16string> writeXmlValue(script::Engine& engine, const Value& v, HandleIssuer* handles) {
  Writer w(engine, handles);
  if (!w.value(v, 1)) return std::nullopt;
  return w.take();
}

std::optional<Value> readXmlValue(script::Engine& engine, const XmlElement& element) {
  return read(engine, element, 1);
}

} // namespace plumex::moviehost
