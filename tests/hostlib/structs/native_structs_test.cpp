// Structures as native code uses them: layouts and memory of Structs,
// Structs made from bytes, layouts named by globals, and the native copies
// handed to functions, their pointer members and their identity.

#include <cstring>

#include "hostlib/structs/native_structs.h"
#include "struct_fixture.h"

namespace plumex::hostlib::structs {
namespace {

using namespace testing;
using script::Value;
using Bytes = std::vector<std::uint8_t>;

class NativeStructs : public StructScript {
protected:
  void SetUp() override {
    ASSERT_EQ(run("struct { short x; double y; } Pt;"
                  "var Node = \"<Node><v type='int'/><next type='Node*'/></Node>\";"
                  "var Both = \"<Both><a type='Node*'/><b type='Node*'/></Both>\";"),
              "");
  }

  // n bytes at an address the materialiser gave.
  Bytes bytesAt(Materialiser& m, std::uint32_t address, std::size_t n) {
    const auto bytes = m.resolve(address);
    EXPECT_GE(bytes.size(), n) << "address " << address;
    return Bytes(bytes.begin(), bytes.begin() + std::min(n, bytes.size()));
  }
  std::uint32_t wordAt(Materialiser& m, std::uint32_t address, std::size_t offset) {
    const auto bytes = m.resolve(address);
    std::uint32_t word = 0;
    if (bytes.size() >= offset + 4) std::memcpy(&word, bytes.data() + offset, 4);
    return word;
  }
  template <class T>
  T numberAt(Materialiser& m, std::uint32_t address) {
    T v{};
    const auto bytes = m.resolve(address);
    if (bytes.size() >= sizeof v) std::memcpy(&v, bytes.data(), sizeof v);
    return v;
  }
};

TEST_F(NativeStructs, LayoutAndMemoryOfAStruct) {
  ASSERT_EQ(run("var p = new Struct(Pt); p.x = 0x102; p.y = 1.5; var s = new StringStream();"), "");
  const auto layout = layoutOf(global("p"));
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->size, 16u);
  EXPECT_EQ(layout->alignment, 8u);
  ASSERT_EQ(layout->members.size(), 2u);
  EXPECT_EQ(layout->members[1].code, kDouble);
  EXPECT_EQ(layout->members[1].offset, 8u);
  const auto memory = structMemory(global("p"));
  ASSERT_EQ(memory.size(), 16u);
  EXPECT_EQ(memory[0], 2);
  EXPECT_EQ(memory[1], 1);
  double y;
  std::memcpy(&y, memory.data() + 8, sizeof y);
  EXPECT_EQ(y, 1.5);
  // Written natively, read by the script.
  memory[0] = 7;
  EXPECT_EQ(run("show(p.x);"), "263");
  for (const char* other : {"s", "Struct", "Pt"}) {
    EXPECT_FALSE(layoutOf(global(other))) << other;
    EXPECT_TRUE(structMemory(global(other)).empty()) << other;
  }
}

TEST_F(NativeStructs, StructsFromBytes) {
  const auto layout = namedLayout(e, u"Pt");
  ASSERT_TRUE(layout);
  Bytes bytes(16);
  bytes[0] = 0xFF;
  bytes[1] = 0xFF;
  const double y = -2.5;
  std::memcpy(bytes.data() + 8, &y, sizeof y);
  Value made, wrongSize;
  ASSERT_TRUE(script::runProtected(e, [&] {
    made = makeStruct(e, layout, bytes);
    wrongSize = makeStruct(e, layout, Bytes(15));
  }));
  EXPECT_TRUE(wrongSize.is(script::Kind::Null));
  setGlobal("made", made);
  EXPECT_EQ(run("show(made.x); show(made.y); made.x = 5; show(made.structSize);"), "-1 | -2.5f | 16");
  EXPECT_EQ(structMemory(made)[0], 5);
  // A copy: the bytes given are not the Struct's.
  EXPECT_EQ(bytes[0], 0xFF);
}

TEST_F(NativeStructs, ABooleanMemberReadsTheStoredWord) {
  setGlobal("Flag", script::makeString(e, "<Flag><on type='Boolean'/></Flag>"));
  Value made;
  ASSERT_TRUE(script::runProtected(e, [&] { made = makeStruct(e, namedLayout(e, u"Flag"), Bytes{2, 0, 0, 0}); }));
  setGlobal("made", made);
  EXPECT_EQ(run("show(made.on); if (made.on) show('set'); made.on = 7; show(made.on == true);"), "true | 'set' | true");
}

TEST_F(NativeStructs, NamedLayoutsFollowTheAlignmentOfTheMoment) {
  ASSERT_EQ(run("Struct.align = 4;"), "");
  EXPECT_EQ(structAlignment(e), 4);
  const auto layout = namedLayout(e, u"Pt");
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->size, 12u);
  EXPECT_FALSE(namedLayout(e, u"NoSuchStructure"));
  EXPECT_FALSE(namedLayout(e, u"Struct"));
  ASSERT_EQ(run("var Bad = '<Bad><x type=\"unsigned double\"/></Bad>';"), "");
  EXPECT_FALSE(namedLayout(e, u"Bad"));
}

TEST_F(NativeStructs, PointerMembersBecomeCellsTextsAndCopies) {
  ASSERT_EQ(run("struct { int n; char* c; short* w; int64* big; Boolean* b; float* f; double* d; pointer raw;"
                "  pointer rawFloat; pointer none; int* stream; char* unset; String text; pointer flag; } Cells;"
                "var c = new Struct(Cells); c.n = 7; c.c = 0x141; c.w = 'AB'; c.big = -2; c.b = true; c.f = 1.5;"
                "c.d = 2.5; c.raw = 1234; c.rawFloat = 0.5; c.none = null; var st = new StringStream();"
                "st.write('xyz'); c.stream = st; c.text = 'caf' + String.fromCharCode(0xE9); c.flag = true;"),
            "");
  Materialiser m;
  const std::uint32_t copy = m.copyOf(global("c"));
  ASSERT_NE(copy, 0u);
  EXPECT_EQ(m.resolve(copy).size(), 56u);
  EXPECT_EQ(wordAt(m, copy, 0), 7u);
  EXPECT_EQ(bytesAt(m, wordAt(m, copy, 4), 1), Bytes{0x41});
  EXPECT_EQ(bytesAt(m, wordAt(m, copy, 8), 6), (Bytes{'A', 0, 'B', 0, 0, 0}));
  EXPECT_EQ(numberAt<std::int64_t>(m, wordAt(m, copy, 12)), -2);
  EXPECT_EQ(bytesAt(m, wordAt(m, copy, 16), 4), (Bytes{1, 0, 0, 0}));
  EXPECT_EQ(numberAt<float>(m, wordAt(m, copy, 20)), 1.5f);
  EXPECT_EQ(numberAt<double>(m, wordAt(m, copy, 24)), 2.5);
  EXPECT_EQ(wordAt(m, copy, 28), 1234u);
  EXPECT_EQ(numberAt<double>(m, wordAt(m, copy, 32)), 0.5);
  EXPECT_EQ(wordAt(m, copy, 36), 0u);
  EXPECT_EQ(bytesAt(m, wordAt(m, copy, 40), 3), (Bytes{'x', 'y', 'z'}));
  EXPECT_EQ(wordAt(m, copy, 44), 0u);
  EXPECT_EQ(bytesAt(m, wordAt(m, copy, 48), 5), (Bytes{'c', 'a', 'f', 0xE9, 0}));
  EXPECT_EQ(bytesAt(m, wordAt(m, copy, 52), 4), (Bytes{1, 0, 0, 0}));
  // The Struct's own memory holds no addresses.
  for (std::size_t at = 4; at < 56; ++at) EXPECT_EQ(structMemory(global("c"))[at], 0) << at;
  // Blocks are the materialiser's: other addresses resolve to nothing.
  EXPECT_TRUE(m.resolve(0).empty());
  EXPECT_TRUE(m.resolve(copy + 56).empty());
  EXPECT_EQ(m.copyOf(global("st")), 0u);
  EXPECT_EQ(m.copyOf(Value::integer(5)), 0u);
}

TEST_F(NativeStructs, EachStructureIsCopiedOncePerCall) {
  ASSERT_EQ(run("var self = new Struct(Node); self.v = 1; self.next = self;"
                "var a = new Struct(Node); var b = new Struct(Node); a.v = 2; b.v = 3; a.next = b; b.next = a;"
                "var both = new Struct(Both); both.a = a; both.b = a;"),
            "");
  Materialiser m;
  const std::uint32_t self = m.copyOf(global("self"));
  EXPECT_EQ(wordAt(m, self, 4), self);
  const std::uint32_t a = m.copyOf(global("a"));
  const std::uint32_t b = wordAt(m, a, 4);
  EXPECT_EQ(wordAt(m, b, 0), 3u);
  EXPECT_EQ(wordAt(m, b, 4), a);
  EXPECT_EQ(m.copyOf(global("a")), a);
  EXPECT_EQ(m.copyOf(global("b")), b);
  const std::uint32_t both = m.copyOf(global("both"));
  EXPECT_EQ(wordAt(m, both, 0), a);
  EXPECT_EQ(wordAt(m, both, 4), a);
  // Another call makes copies of its own, as related.
  Materialiser next;
  const std::uint32_t both2 = next.copyOf(global("both"));
  EXPECT_EQ(wordAt(next, both2, 4), next.copyOf(global("a")));
}

TEST_F(NativeStructs, NestedViewsAndArraysOfStructures) {
  // Pt again: the compiler knows the structures of its own compilation.
  ASSERT_EQ(run("struct { short x; double y; } Pt; struct { int k; struct { char* p; short s; } items[2]; Pt at; } Outer;"
                "struct { Outer* whole; Pt* part; } Refs;"
                "var o = new Struct(Outer); o.k = 1; o.items[1].p = 'x'; o.items[1].s = 9; o.at.x = 5;"
                "var r = new Struct(Refs); r.whole = o; r.part = o.at;"),
            "");
  Materialiser m;
  const std::uint32_t refs = m.copyOf(global("r"));
  const std::uint32_t whole = wordAt(m, refs, 0);
  // Outer: k 0, items 4 (two of 8 bytes), at 24 (16 bytes): 40.
  EXPECT_EQ(m.resolve(whole).size(), 40u);
  EXPECT_EQ(wordAt(m, whole, 4), 0u);
  EXPECT_EQ(bytesAt(m, wordAt(m, whole, 12), 2), (Bytes{'x', 0}));
  EXPECT_EQ(wordAt(m, whole, 16), 9u);
  // The view of a member is a structure of its own: copied by itself.
  const std::uint32_t part = wordAt(m, refs, 4);
  EXPECT_EQ(m.resolve(part).size(), 16u);
  EXPECT_EQ(wordAt(m, part, 0), 5u);
}

TEST_F(NativeStructs, LongChainsAreCopiedWithoutRecursion) {
  ASSERT_EQ(run("var head = null, i, n; for (i = 0; i < 100000; i++) { n = new Struct(Node); n.v = i;"
                "if (head != null) n.next = head; head = n; }"),
            "");
  Materialiser m;
  std::uint32_t at = m.copyOf(global("head"));
  std::uint32_t count = 0;
  bool inOrder = true;
  while (at != 0 && count <= 100000) {
    inOrder = inOrder && wordAt(m, at, 0) == 99999 - count;
    at = wordAt(m, at, 4);
    ++count;
  }
  EXPECT_EQ(count, 100000u);
  EXPECT_TRUE(inOrder);
}

TEST_F(NativeStructs, TemporaryBlocks) {
  Materialiser m;
  const std::uint32_t a = m.copyBytes(Bytes{1, 2, 3});
  const std::uint32_t empty = m.copyBytes({});
  EXPECT_NE(a, 0u);
  EXPECT_NE(empty, 0u);
  EXPECT_NE(a, empty);
  EXPECT_EQ(bytesAt(m, a, 3), (Bytes{1, 2, 3}));
  EXPECT_EQ(m.resolve(a + 1).size(), 2u);
  EXPECT_EQ(m.resolve(empty).size(), 1u);
}

} // namespace
} // namespace plumex::hostlib::structs
