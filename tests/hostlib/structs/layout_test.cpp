// Layouts from descriptions: offsets, sizes and alignments of every kind
// of member under each alignment setting, structures named by globals, and
// the descriptions that are refused.

#include "hostlib/structs/struct_layout.h"
#include "struct_fixture.h"

namespace plumex::hostlib::structs {
namespace {

using namespace testing;

// "name code@offset:size" per member (codes in hex, the pointer bit as
// "P|"), then "= size/alignment".
std::string summary(const StructLayout& layout) {
  std::string out;
  for (const StructMember& m : layout.members) {
    char code[32];
    std::snprintf(code, sizeof code, "%s%x", m.isPointer() ? "P|" : "", m.targetCode());
    out += std::string(m.name.begin(), m.name.end()) + " " + code + "@" + std::to_string(m.offset) + ":" +
           std::to_string(m.size) + " ";
  }
  return out + "= " + std::to_string(layout.size) + "/" + std::to_string(layout.alignment);
}

struct LayoutCase {
  std::int32_t alignment;
  const char* description;
  const char* layout;  // its summary, or "refused"
};

std::ostream& operator<<(std::ostream& os, const LayoutCase& c) {
  return os << "align " << c.alignment << ": " << c.description;
}

class Layouts : public StructScript {
protected:
  std::string layoutOf(std::string_view description, std::int32_t alignment) {
    std::shared_ptr<const StructLayout> layout;
    const std::u16string text(description.begin(), description.end());
    EXPECT_TRUE(script::runProtected(e, [&] { layout = readLayout(e, text, alignment); }));
    return layout ? summary(*layout) : "refused";
  }
  void expectAll(std::initializer_list<LayoutCase> cases) {
    for (const LayoutCase& c : cases) EXPECT_EQ(layoutOf(c.description, c.alignment), c.layout) << c;
  }
  void define(std::string_view name, std::string_view description) {
    setGlobal(name, script::makeString(e, description));
  }
};

TEST_F(Layouts, MembersAreAlignedToTheSmallerOfTheirSizeAndTheSetting) {
  const char* ccc = "<s type='struct'><a type='char'/><b type='int'/><c type='char'/></s>";
  const char* cd = "<s><a type='char'/><b type='double'/></s>";
  const char* mixed = "<s><a type='char'/><b type='short'/><c type='int'/><d type='double'/><e type='char'/></s>";
  expectAll({
      {8, ccc, "a 2@0:1 b 20@4:4 c 2@8:1 = 12/4"},
      {1, ccc, "a 2@0:1 b 20@1:4 c 2@5:1 = 6/1"},
      {8, cd, "a 2@0:1 b 400@8:8 = 16/8"},
      {4, cd, "a 2@0:1 b 400@4:8 = 12/4"},
      {1, mixed, "a 2@0:1 b 8@1:2 c 20@3:4 d 400@7:8 e 2@15:1 = 16/1"},
      {2, mixed, "a 2@0:1 b 8@2:2 c 20@4:4 d 400@8:8 e 2@16:1 = 18/2"},
      {4, mixed, "a 2@0:1 b 8@2:2 c 20@4:4 d 400@8:8 e 2@16:1 = 20/4"},
      {8, mixed, "a 2@0:1 b 8@2:2 c 20@4:4 d 400@8:8 e 2@16:1 = 24/8"},
      {16, mixed, "a 2@0:1 b 8@2:2 c 20@4:4 d 400@8:8 e 2@16:1 = 24/8"},
      {8, "<s/>", "= 0/0"},
  });
}

TEST_F(Layouts, EveryTypeTextHasItsCode) {
  expectAll({
      {1,
       "<s><a type='char'/><b type='unsigned char'/><c type='short'/><d type='unsigned short'/>"
       "<e type='int'/><f type='unsigned int'/><g type='long'/><h type='unsigned long'/></s>",
       "a 2@0:1 b 4@1:1 c 8@2:2 d 10@4:2 e 20@6:4 f 40@10:4 g 20@14:4 h 40@18:4 = 22/1"},
      {1,
       "<s><a type='int64'/><b type='unsigned int64'/><c type='float'/><d type='double'/>"
       "<e type='Boolean'/><f type='pointer'/><g type='String'/></s>",
       "a 80@0:8 b 100@8:8 c 200@16:4 d 400@20:8 e 1@28:4 f P|0@32:4 g P|2@36:4 = 40/1"},
      // Pointers: the target's code with the pointer bit; a pointer to a
      // pointer is a pointer. Structures pointed at are not looked up.
      {1,
       "<s><a type='char*'/><b type='unsigned short*'/><c type='double*'/><d type='pointer*'/>"
       "<e type='String*'/><f type='Node*'/><g type='struct*'><x type='int'/></g><h type='Boolean*'/></s>",
       "a P|2@0:4 b P|10@4:4 c P|400@8:4 d P|0@12:4 e P|0@16:4 f P|800@20:4 g P|800@24:4 h P|1@28:4 = 32/1"},
      // Spaces around the words and before the star.
      {1, "<s><a type=' unsigned   long * '/><b type='int *'/></s>", "a P|40@0:4 b P|20@4:4 = 8/1"},
  });
}

TEST_F(Layouts, ArraysTakeCountElements) {
  expectAll({
      {8, "<s><name type='char' count='5'/><n type='int'/></s>", "name 2@0:5 n 20@8:4 = 12/4"},
      {8, "<s><w type='unsigned short' count='3'/><d type='double' count='2'/></s>", "w 10@0:6 d 400@8:16 = 24/8"},
      // One element for a count of 1, 0, a negative number or none.
      {8, "<s><a type='int' count='1'/><b type='int' count='0'/><c type='int' count='-3'/><d type='int'/></s>",
       "a 20@0:4 b 20@4:4 c 20@8:4 d 20@12:4 = 16/4"},
      // Read as the C library reads a number: leading digits.
      {8, "<s><a type='char' count=' 12abc'/><b type='char' count='x'/></s>", "a 2@0:12 b 2@12:1 = 13/1"},
      {8, "<s><p type='String' count='3'/><q type='int*' count='2'/></s>", "p P|2@0:12 q P|20@12:8 = 20/4"},
  });
}

TEST_F(Layouts, NestedStructuresInlineAndByName) {
  define("Pair", "<Pair type='struct'><a type='int'/><b type='char'/></Pair>");
  // Names are whole words: neither of these is an int.
  define("intPair", "<intPair type='struct'><x type='char'/><y type='char'/></intPair>");
  define("Stringy", "<Stringy type='struct'><d type='double'/></Stringy>");
  define("Empty", "<Empty type='struct'/>");
  const char* inlined =
      "<s><a type='char'/><in type='struct'><x type='short'/><y type='double'/></in><z type='char'/></s>";
  expectAll({
      {8, inlined, "a 2@0:1 in 800@8:16 z 2@24:1 = 32/8"},
      {4, inlined, "a 2@0:1 in 800@4:12 z 2@16:1 = 20/4"},
      {8, "<s><p type='Pair' count='3'/><c type='char'/></s>", "p 800@0:24 c 2@24:1 = 28/4"},
      {8, "<s><c type='char'/><p type='intPair'/><q type='Stringy'/></s>", "c 2@0:1 p 800@1:2 q 800@8:8 = 16/8"},
      // A structure without members aligns nothing and takes no room.
      {8, "<s><a type='char'/><e type='Empty' count='4'/><f type='struct'/><b type='char'/></s>",
       "a 2@0:1 e 800@1:0 f 800@1:0 b 2@1:1 = 2/1"},
      {8, "<s><a type='char'/><arr type='struct' count='2'><x type='int'/><y type='char'/></arr></s>",
       "a 2@0:1 arr 800@4:16 = 20/4"},
  });
}

TEST_F(Layouts, NestedMembersKeepTheirOwnLayout) {
  define("Pair", "<Pair><a type='int'/><p type='char*' count='2'/></Pair>");
  std::shared_ptr<const StructLayout> layout;
  ASSERT_TRUE(script::runProtected(e, [&] {
    layout = readLayout(e, u"<s><c type='char'/><pairs type='Pair' count='2'/><again type='Pair'/></s>", 8);
  }));
  ASSERT_TRUE(layout);
  const StructMember& pairs = layout->members[1];
  ASSERT_TRUE(pairs.nested);
  EXPECT_EQ(summary(*pairs.nested), "a 20@0:4 p P|2@4:8 = 12/4");
  EXPECT_EQ(pairs.elementSize, 12u);
  EXPECT_EQ(pairs.elements(), 2u);
  // A named structure is read once per layout and shared.
  EXPECT_EQ(layout->members[2].nested, pairs.nested);
  // Pointer elements are found through nesting and arrays.
  EXPECT_EQ(layout->pointerCodeAt(4 + 12 + 8), kPointer | kChar);
  EXPECT_EQ(layout->pointerCodeAt(4 + 4), kPointer | kChar);
  EXPECT_EQ(layout->pointerCodeAt(4 + 5), 0u);
  EXPECT_EQ(layout->pointerCodeAt(4), 0u);
  EXPECT_EQ(layout->pointerCodeAt(0), 0u);
}

TEST_F(Layouts, InvalidDescriptionsAreRefused) {
  define("Number", "");
  setGlobal("Seven", script::Value::integer(7));
  define("Broken", "<Broken><a type='unsigned float'/></Broken>");
  define("A", "<A><b type='B'/></A>");
  define("B", "<B><x type='int'/><a type='A' count='2'/></B>");
  define("Self", "<Self><next type='Self'/></Self>");
  expectAll({
      {8, "", "refused"},
      {8, "<s><a type='int'></s>", "refused"},
      {8, "<s><a type='int'/></s>trailing", "refused"},
      {8, "<s><a type='char'/><b type='unsigned float'/></s>", "refused"},
      {8, "<s><b type='unsigned double'/></s>", "refused"},
      {8, "<s><b type='unsigned pointer'/></s>", "refused"},
      {8, "<s><b type='unsigned String'/></s>", "refused"},
      {8, "<s><b type='unsigned Boolean'/></s>", "refused"},
      {8, "<s><b type='unsigned Pair'/></s>", "refused"},
      {8, "<s><b type='unsigned'/></s>", "refused"},
      {8, "<s><b type='*'/></s>", "refused"},
      {8, "<s><b type=''/></s>", "refused"},
      {8, "<s><b/></s>", "refused"},
      {8, "<s><b type='unsigned struct'/></s>", "refused"},
      // Structure types whose globals hold no valid description.
      {8, "<s><b type='NoSuchGlobal'/></s>", "refused"},
      {8, "<s><b type='Number'/></s>", "refused"},
      {8, "<s><b type='Seven'/></s>", "refused"},
      {8, "<s><b type='Broken'/></s>", "refused"},
      // Cycles through globals.
      {8, "<s><a type='A'/></s>", "refused"},
      {8, "<s><a type='Self'/></s>", "refused"},
      // Too large: the total, one member, or a count past any size.
      {1, "<s><a type='char' count='16777217'/></s>", "refused"},
      {1, "<s><a type='int' count='4194304'/><b type='char'/></s>", "refused"},
      {1, "<s><a type='char' count='99999999999999999999'/></s>", "refused"},
      {8, "<s><a type='char' count='16777215'/><b type='short'/></s>", "refused"},
  });
  // The largest accepted.
  EXPECT_EQ(layoutOf("<s><a type='int' count='4194304'/></s>", 8), "a 20@0:16777216 = 16777216/4");
}

TEST_F(Layouts, SizesMultiplyInSixtyFourBits) {
  // 4096 times 4096 bytes is the limit; one element more is refused, and
  // larger products, which wrap in 32 bits, too.
  define("Row", "<Row><c type='char' count='4096'/></Row>");
  define("Big", "<Big><r type='Row' count='4096'/></Big>");
  define("Bigger", "<Bigger><r type='Row' count='4097'/></Bigger>");
  define("Wrapping", "<Wrapping><r type='Row' count='1048576'/></Wrapping>");
  expectAll({
      {8, "<s><b type='Big'/></s>", "b 800@0:16777216 = 16777216/1"},
      {8, "<s><b type='Bigger'/></s>", "refused"},
      {8, "<s><b type='Wrapping'/></s>", "refused"},
      {8, "<s><b type='Big'/><c type='char'/></s>", "refused"},
  });
}

std::string nestedInline(int levels) {
  std::string text = "<s>";
  for (int i = 0; i < levels; ++i) text += "<m type='struct'>";
  text += "<x type='char'/>";
  for (int i = 0; i < levels; ++i) text += "</m>";
  return text + "</s>";
}

TEST_F(Layouts, NestingEndsAtThirtyTwoLevels) {
  EXPECT_EQ(layoutOf(nestedInline(32), 8), "m 800@0:1 = 1/1");
  EXPECT_EQ(layoutOf(nestedInline(33), 8), "refused");
  // The same through globals: L0 holds a char, Ln one member of type Ln-1.
  define("L0", "<L0><x type='char'/></L0>");
  for (int i = 1; i <= 33; ++i)
    define("L" + std::to_string(i), "<L><m type='L" + std::to_string(i - 1) + "'/></L>");
  EXPECT_EQ(layoutOf("<s><m type='L31'/></s>", 8), "m 800@0:1 = 1/1");
  EXPECT_EQ(layoutOf("<s><m type='L32'/></s>", 8), "refused");
  // A structure read once and met again deeper is measured again.
  EXPECT_EQ(layoutOf("<s><a type='L2'/><b type='struct'><c type='L31'/></b></s>", 8), "refused");
  EXPECT_EQ(layoutOf("<s><a type='L2'/><b type='struct'><c type='L30'/></b></s>", 8), "a 800@0:1 b 800@1:1 = 2/1");
}

TEST_F(Layouts, EachNamedStructureIsReadOncePerLayout) {
  // Each level holds its predecessor twice: read per use, the thirtieth
  // level would read the first 2^29 times.
  define("T0", "<T0/>");
  for (int i = 1; i <= 30; ++i) {
    const std::string previous = "T" + std::to_string(i - 1);
    define("T" + std::to_string(i), "<T><a type='" + previous + "'/><b type='" + previous + "'/></T>");
  }
  EXPECT_EQ(layoutOf("<s><t type='T30'/><c type='char'/></s>", 8), "t 800@0:0 c 2@0:1 = 1/1");
}

TEST(Alignments, OneTwoFourAndMultiplesOfEight) {
  for (std::int64_t a : {1, 2, 4, 8, 16, 24, 64, 2147483640})
    EXPECT_TRUE(isValidAlignment(a)) << a;
  for (std::int64_t a : std::initializer_list<std::int64_t>{0, -8, 3, 5, 6, 12, 20, 2147483648})
    EXPECT_FALSE(isValidAlignment(a)) << a;
}

} // namespace
} // namespace plumex::hostlib::structs
