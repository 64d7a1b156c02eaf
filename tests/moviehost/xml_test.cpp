// The external interface's XML: the document reader's rules, script values
// both ways, and what the writer refuses.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "moviehost/xml_document.h"
#include "moviehost/xml_values.h"
#include "script/values/array_record.h"
#include "script/values/factory.h"
#include "script/values/property_table.h"
#include "script/values/string_record.h"

namespace plumex::moviehost {
namespace {

using script::Kind;
using script::Value;

std::u16string u(std::string_view s) { return {s.begin(), s.end()}; }
std::string a(std::u16string_view s) { return {s.begin(), s.end()}; }

TEST(XmlDocument, ReadableAndUnreadableDocuments) {
  struct Case {
    const char* doc;
    bool readable;
  } cases[] = {
      {"<invoke name=\"f\" returntype=\"xml\"><arguments><string>x</string></arguments></invoke>", true},
      {"<?xml version=\"1.0\"?>\n<null/>", true},
      {"  <a b='1' c=\"2\" ><b/><c></c></a>  ", true},
      {"<string>&LT;&Amp;&quot;&apos;&gt;</string>", true},
      {"<string>a & b</string>", false},       // "&" outside the five entities
      {"<string>&nbsp;</string>", false},
      {"<string>&#60;</string>", false},
      {"<string>&lt</string>", false},
      {"<a><b></a></b>", false},
      {"<a></A>", false},
      {"<a>", false},
      {"<a/><b/>", false},                     // two roots
      {"<a b=1/>", false},
      {"<a b=\"<\"/>", false},
      {"text", false},
      {"", false},
      {"<?xml", false},
  };
  for (const Case& c : cases) EXPECT_EQ(readXml(u(c.doc)).has_value(), c.readable) << c.doc;
}

TEST(XmlDocument, NamesWithoutCaseTextsAndEntitiesOnce) {
  const auto doc = readXml(u("<INVOKE Name='go'><Arguments>"
                             "<string>a&lt;b</string><string>&amp;lt;</string><string/></Arguments></INVOKE>"));
  ASSERT_TRUE(doc);
  const XmlElement* invoke = doc->find(u"invoke");
  ASSERT_TRUE(invoke);
  ASSERT_TRUE(invoke->attribute(u"name"));
  EXPECT_EQ(a(*invoke->attribute(u"NAME")), "go");
  const XmlElement* args = invoke->find(u"arguments");
  ASSERT_TRUE(args);
  ASSERT_EQ(args->children.size(), 3u);
  EXPECT_EQ(a(*args->children[0].text), "a<b");
  EXPECT_EQ(a(*args->children[1].text), "&lt;");
  EXPECT_FALSE(args->children[2].text);
}

TEST(XmlDocument, NestingIsBounded) {
  auto nested = [](int depth) {
    std::u16string doc;
    for (int i = 0; i < depth; ++i) doc += u"<a>";
    for (int i = 0; i < depth; ++i) doc += u"</a>";
    return doc;
  };
  EXPECT_TRUE(readXml(nested(kMaxXmlDepth)));
  EXPECT_FALSE(readXml(nested(kMaxXmlDepth + 1)));
  EXPECT_FALSE(readXml(nested(100000)));
}

class XmlValues : public ::testing::Test {
protected:
  XmlValues() : engine_(script::Engine::create()), e(*engine_) {}

  std::optional<Value> read(std::string_view element) {
    const auto doc = readXml(u(element));
    if (!doc) return std::nullopt;
    return readXmlValue(e, *doc);
  }
  std::string write(const Value& v) {
    const auto text = writeXmlValue(e, v);
    return text ? a(*text) : "(nothing)";
  }
  Value str(std::string_view s) { return script::copyString(e, u(s)); }

  std::unique_ptr<script::Engine> engine_;
  script::Engine& e;
};

TEST_F(XmlValues, Numbers) {
  struct Case {
    const char* text;
    Kind kind;
    double value;
  } cases[] = {
      {"12", Kind::Integer, 12},
      {"-7", Kind::Integer, -7},
      {"", Kind::Integer, 0},
      {"1e3", Kind::Float, 1000},
      {"2.5", Kind::Float, 2.5},
      {"3D2", Kind::Float, 3},  // digits followed by D: a Float, by decimal conversion
      {"abc", Kind::NaN, 0},
      {"NaN", Kind::NaN, 0},
      {"18446744073709551616", Kind::Float, 18446744073709551616.0},  // past 64 bits
      {"-9223372036854775808", Kind::Integer, -9223372036854775808.0},
      {"Infinity", Kind::Float, INFINITY},
      {"-Infinity", Kind::Float, -INFINITY},
  };
  for (const Case& c : cases) {
    const Value v = numberFromXmlText(u(c.text));
    EXPECT_EQ(v.kind, c.kind) << c.text;
    if (c.kind == Kind::Integer) {
      EXPECT_EQ(static_cast<double>(v.u.i), c.value) << c.text;
    }
    if (c.kind == Kind::Float) {
      EXPECT_EQ(v.u.d, c.value) << c.text;
    }
  }
  // Written with every bit and read back as the same value.
  const Value numbers[] = {Value::integer((std::int64_t{1} << 32) + 5), Value::integer(INT64_MIN),
                           Value::number(3.14159265),                 Value::number(0.1 + 0.2),
                           Value::number(1000.0),                     Value::number(-0.0),
                           Value::number(1e300),                      Value::number(5e-324),
                           Value::number(INFINITY),                   Value::number(-INFINITY),
                           Value::nan()};
  for (const Value& n : numbers) {
    const std::u16string text = xmlNumberText(n);
    const Value back = numberFromXmlText(text);
    EXPECT_EQ(back.kind, n.kind) << a(text);
    if (n.is(Kind::Integer)) {
      EXPECT_EQ(back.u.i, n.u.i);
    }
    if (n.is(Kind::Float)) {
      EXPECT_EQ(back.u.d, n.u.d) << a(text);
      EXPECT_EQ(std::signbit(back.u.d), std::signbit(n.u.d)) << a(text);
    }
  }
  EXPECT_EQ(write(Value::integer((std::int64_t{1} << 32) + 5)), "<number>4294967301</number>");
  EXPECT_EQ(write(Value::number(3.14159265)), "<number>3.14159265</number>");
  EXPECT_EQ(write(Value::number(1000.0)), "<number>1000.0</number>");
}

TEST_F(XmlValues, StringsEscapedAndTheEmptyOneAsNull) {
  EXPECT_EQ(write(str("a<b & \"c\" 'd'>")), "<string>a&lt;b &amp; &quot;c&quot; &apos;d&apos;&gt;</string>");
  EXPECT_EQ(write(str("")), "<string>null</string>");
  const char* texts[] = {"&lt;", "a<b", "", "x\"y'z", "\xE9"};
  for (const char* t : texts) {
    const auto back = read(write(str(t)));
    ASSERT_TRUE(back) << t;
    ASSERT_TRUE(back->is(Kind::String));
    EXPECT_EQ(a(back->asString()->view()), t);
  }
  const auto none = read("<string></string>");
  ASSERT_TRUE(none);
  EXPECT_EQ(none->asString()->view().size(), 0u);
}

TEST_F(XmlValues, ArraysAndObjects) {
  script::ArrayRecord* arr = script::newArray(e);
  const Value array = Value::array(arr);
  arr->set(e.heap(), 5, Value::integer(50));
  arr->set(e.heap(), 0, str("zero"));
  arr->length = 6;
  EXPECT_EQ(write(array), "<array><property id=\"0\"><string>zero</string></property>"
                          "<property id=\"5\"><number>50</number></property></array>");
  const auto back = read(write(array));
  ASSERT_TRUE(back && back->is(Kind::Array));
  EXPECT_EQ(back->asArray()->length, 6u);
  EXPECT_EQ(back->asArray()->storedCount(), 2u);

  script::PropertyTable* t = script::newTable(e);
  const Value object = Value::object(t);
  t->set(e, e.intern(u"a\"b<c"), Value::boolean(true));
  t->set(e, e.intern(u"inner"), array);
  const std::string text = write(object);
  EXPECT_NE(text.find("id=\"a&quot;b&lt;c\""), std::string::npos) << text;
  const auto obj = read(text);
  ASSERT_TRUE(obj && obj->is(Kind::Object));
  Value v;
  ASSERT_TRUE(obj->asObject()->get(e.intern(u"a\"b<c"), v));
  EXPECT_TRUE(v.is(Kind::Boolean));
  // What was written reads back to what writes the same text again.
  EXPECT_EQ(write(*obj), text);
}

TEST_F(XmlValues, ArrayIdsMustBeIndexes) {
  EXPECT_TRUE(read("<array><property id=\"9007199254740992\"><null/></property></array>"));
  const char* bad[] = {
      "<array><property id=\"9007199254740993\"><null/></property></array>",
      "<array><property id=\"-1\"><null/></property></array>",
      "<array><property id=\"1x\"><null/></property></array>",
      "<array><property id=\"\"><null/></property></array>",
      "<array><property id=\"99999999999999999999999\"><null/></property></array>",
      "<unknown/>",
      "<array><property id=\"0\"><date/></property></array>",
  };
  for (const char* doc : bad) EXPECT_FALSE(read(doc)) << doc;
}

TEST_F(XmlValues, CyclesAndDeepNestingAreNotWritten) {
  script::ArrayRecord* arr = script::newArray(e);
  const Value self = Value::array(arr);
  arr->set(e.heap(), 0, self);
  arr->length = 1;
  EXPECT_EQ(writeXmlValue(e, self), std::nullopt);

  // The same array twice side by side is no cycle.
  script::ArrayRecord* leaf = script::newArray(e);
  script::ArrayRecord* pair = script::newArray(e);
  pair->set(e.heap(), 0, Value::array(leaf));
  pair->set(e.heap(), 1, Value::array(leaf));
  pair->length = 2;
  EXPECT_TRUE(writeXmlValue(e, Value::array(pair)));

  // Containers nest two elements a level: 128 levels reach the limit with
  // their innermost value.
  auto nested = [&](int levels) {
    Value v = Value::null();
    for (int i = 0; i < levels; ++i) {
      script::ArrayRecord* outer = script::newArray(e);
      outer->set(e.heap(), 0, v);
      outer->length = 1;
      v = Value::array(outer);
    }
    return v;
  };
  const auto deepest = writeXmlValue(e, nested(kMaxXmlDepth / 2 - 1));
  ASSERT_TRUE(deepest);
  EXPECT_TRUE(read(a(*deepest)));
  EXPECT_FALSE(writeXmlValue(e, nested(kMaxXmlDepth / 2)));
}

} // namespace
} // namespace plumex::moviehost
